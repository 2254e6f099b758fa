#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "app/radiogroup.h"
#include "app/sendingoptionswindow.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "mailing/maildelivery.h"
#include "mailing/sendingoptions.h"
#include "recipients/formgrid.h"
#include "recipients/recipientlistfile.h"
#include "recipients/recipientsort.h"
#include "recipients/recipienttablemodel.h"
#include "settings/settingsfile.h"
#include "tests/support/closedport.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/parsedmail.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testsmtpserver.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

const QString account = QStringLiteral("user@example.test");
const QDateTime kNow(QDate(2026, 12, 9), QTime(18, 30, 10));

} // namespace

// The mailing run, test mail, connection check and schedule as the main window carries them out.
class TstFormNewMailMailing : public QObject, public MainWindowFixture {
    Q_OBJECT

    QTcpServer web; // stands in for the public web host

    static QString dataFile(const QString& name) { return dataFolderPath() + name; }

    void writeSettings(const TestSmtpServer& smtp, double date = 0, double time = 0, int language = 1) {
        storeAccount(smtp.port(), account, QStringLiteral("secret"), language, date, time);
    }

    void start() {
        showMainWindow([this](TFormNewMail& window) {
            window.Now = [] { return kNow; };
            window.OnlineCheck.webHosts = {{QStringLiteral("127.0.0.1"), web.serverPort()}};
            window.OnlineCheck.timeoutMs = 2000;
        });
    }

    static void writeList(int lines, const QString& address = QStringLiteral("r%1@example.test")) {
        QByteArray bytes;
        for (int i = 1; i <= lines; ++i)
            bytes += QStringLiteral("N%1;P%1;%2;Betreff %1;;;\r\n").arg(i).arg(address.arg(i)).toUtf8();
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), bytes));
    }

    static QStringList storedLines() {
        return settingsLinesFromFileBytes(readBytes(settingsFilePath(dataFolderPath())));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(web.listen(QHostAddress::LocalHost)); }

    void init() {
        prompts.reset();
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).removeRecursively();
        QDir().mkpath(dataFolderPath());
        QVERIFY(writeBytes(dataFile(QStringLiteral("defaultmail.txt")), "Hallo $Prename $Name\r\n"));
        QFile::remove(sendingOptionsFilePath()); // every test starts with the options off
    }

    void cleanup() {
        VERIFY_PROMPTS(prompts);
        dropWindows();
    }

    // A whole run through the window: questions in the window's language, every line shown, the result
    // in the status panel.
    void runInTheWindow_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("result");
        QTest::newRow("German") << 0 << "Mailing an 3 Empfänger aus sendlist.csv versenden?"
                                << "2 Mail(s) versendet.";
        QTest::newRow("English") << 1 << "Send mailing to 3 recipients of sendlist.csv ?"
                                 << "2 Mail(s) send.";
    }
    void runInTheWindow() {
        QFETCH(int, language);
        QFETCH(QString, question);
        QFETCH(QString, result);
        TestSmtpServer smtp;
        START(smtp);
        writeSettings(smtp, 0, 0, language);
        QVERIFY(writeBytes(
            dataFile(QStringLiteral("sendlist.csv")),
            "M;Jo;a@example.test;Eins;;;\r\nX;Y; ;Zwei;;;\r\nK;Lu;c@example.test;Drei;;;x.pdf\r\n"));
        start();
        w->Memo2->setPlainText(QStringLiteral("typed before the start"));
        prompts.expectQuestion(true, [&](const ScriptedPrompts::Asked& a) { QCOMPARE(a.text, question); });
        click("ToolButton3");
        QCOMPARE(w->PanelMessage->text(), result);
        QVERIFY(w->PanelMessage->styleSheet().contains(QLatin1String("#000080")));
        QCOMPARE(w->EditMail->text(), QStringLiteral("c@example.test"));
        QCOMPARE(w->EditSubject->text(), QStringLiteral("Drei"));
        QCOMPARE(w->EditPatch->text(), QStringLiteral("x.pdf"));
        QCOMPARE(w->Edit1->text(), QStringLiteral("3"));
        QCOMPARE(w->Memo2->toPlainText(), QStringLiteral("Hallo Lu K"));
        QCOMPARE(w->ProgressBar1->maximum(), 3);
        QCOMPARE(w->ProgressBar1->value(), 3);
        QCOMPARE(w->State.MessageFile, dataFile(QStringLiteral("defaultmail.txt")));
        QCOMPARE(w->State.ListFile, dataFile(QStringLiteral("sendlist.csv")));
        QVERIFY(!w->IdSMTP->isOpen());
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(ParsedMail::parse(messages[0].data).parts[0].text().trimmed(), QStringLiteral("Hallo Jo M"));
        QCOMPARE(smtp.connectionCount(), 1); // one connection for the whole run
        for (const char* name : {"ToolButton1", "ToolButton3", "ToolButton8"})
            QVERIFY(w->findChild<QWidget*>(QLatin1String(name))->isEnabled());
    }

    // The editor's table sorts the stamps a run writes as dates: a later stamp on an earlier line sorts
    // after.
    void stampsSortAsDates() {
        TestSmtpServer smtp;
        START(smtp);
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")),
                           "A;B;a@example.test;;;;\r\nC;D;c@example.test;;;;\r\n"));
        start();
        // As text "09.12.2026" comes first; as dates 10 November does.
        QList<QDateTime> clock{QDateTime(QDate(2026, 12, 9), QTime(9, 0, 0)),
                               QDateTime(QDate(2026, 11, 10), QTime(23, 0, 0))};
        w->Now = [&] { return clock.takeFirst(); };
        prompts.expectQuestion(true);
        click("ToolButton3");
        QVERIFY(clock.isEmpty());
        RecipientTableModel model;
        RecipientListFile().LoadListFile(dataFile(QStringLiteral("sendlist.csv")), model);
        RecipientSort().SortByColumn(model, RecipientTableModel::SendColumn);
        QCOMPARE(model.Cell(1, 1), QStringLiteral("C"));
        QCOMPARE(model.Cell(1, 2), QStringLiteral("A"));
    }

    // A line that fails in a run someone watches: one box, saying why below its own text, with the line's
    // recipient in the field behind it; the run goes on.
    void runErrorBoxSaysWhy() {
        TestSmtpServer::Options options;
        options.refuseRecipients = QStringList{QStringLiteral("refused@example.test")};
        TestSmtpServer smtp(options);
        START(smtp);
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")),
                           "A;B;refused@example.test;S;;;\r\nC;D;ok@example.test;S;;;\r\n"));
        start();
        prompts.expectQuestion(true);
        prompts.expectError([this](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text,
                     QStringLiteral("Mail error! Check your firewall settings and the internet connection!\n"
                                    "550 5.1.1 <refused@example.test>: Recipient address rejected"));
            QCOMPARE(w->EditMail->text(), QStringLiteral("refused@example.test"));
        });
        click("ToolButton3");
        VERIFY_PROMPTS(prompts);
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("1 Mail(s) send."));
    }

    // The sending options window: opened by its button, F1 opens its help, Escape leaves the options as
    // they were, OK stores them for the next run, which then follows them.
    void sendingOptionsWindow() {
        TestSmtpServer smtp;
        START(smtp);
        writeSettings(smtp);
        // Stamped in the system's regional form, as a run here writes it.
        const QByteArray stamped =
            "A;B;a@example.test;S;;" + dateTimeToRegionalText(kNow).toUtf8() + ";;\r\n";
        QVERIFY(
            writeBytes(dataFile(QStringLiteral("sendlist.csv")), stamped + "C;D;c@example.test;S;;;;\r\n"));
        start();
        w->State.HelpFile = dataFile(QStringLiteral("help.html"));
        QVERIFY(writeBytes(w->State.HelpFile, "<html></html>"));
        SendingOptionsWindow* options = windows->FormSendingOptions;
        QTimer::singleShot(0, options, [&] {
            QVERIFY(options->isVisible());
            QCOMPARE(options->windowTitle(), QStringLiteral("Sending options"));
            QCOMPARE(options->SpinMessagesPerMinute->value(), 0);
            options->CheckSkipSent->setChecked(true);
            // F1 is the window's own key (the offscreen platform does not make a modal dialog the active
            // window, so the key is not pressed here).
            auto* f1 = options->findChild<QShortcut*>();
            QVERIFY(f1 && f1->key() == QKeySequence(Qt::Key_F1) && f1->context() == Qt::WindowShortcut);
            Q_EMIT f1->activated();
            QTest::keyClick(options->SpinMessagesPerMinute, Qt::Key_Escape);
        });
        click("ToolButton20");
        QVERIFY(!options->isVisible());
        QVERIFY(!loadSendingOptions().skipSent);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().fragment(), QStringLiteral("sendingoptions"));

        QTimer::singleShot(0, options, [&] {
            QVERIFY(!options->CheckSkipSent->isChecked()); // shown as stored
            options->CheckSkipSent->setChecked(true);
            options->SpinMessagesPerMinute->setValue(600);
            options->ButtonOk->click();
        });
        click("ToolButton20");
        QVERIFY(loadSendingOptions().skipSent);
        QCOMPARE(loadSendingOptions().messagesPerMinute, 600);

        prompts.expectQuestion(true, [](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text,
                     QStringLiteral(
                         "Send mailing to 1 recipients of sendlist.csv ? (1 already sent are skipped)"));
        });
        click("ToolButton3");
        QCOMPARE(smtp.messages().size(), 1);
        QCOMPARE(smtp.messages().first().recipients, QStringList{"c@example.test"});
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("1 Mail(s) send. 1 already sent skipped."));
    }

    void blankAccountStopsTheStart() {
        start();
        writeList(1);
        prompts.expectError([](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Bitte zunächst alle Accountdaten ausfüllen!"));
        });
        click("ToolButton3");
        QCOMPARE(w->PanelMessage->text(), QString());
    }

    // During a run: Stop ends it after the line in delivery; a second start, a tick or a test mail does
    // nothing; closing stops it too, writes the list and the settings, and then closes.
    void duringARun_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("stop button") << "stop";
        QTest::newRow("second start, tick and test mail are refused") << "again";
        QTest::newRow("close") << "close";
    }
    void duringARun() {
        QFETCH(QString, action);
        TestSmtpServer::Options options;
        options.delaySeconds = 0.15;
        options.delayOn = QStringLiteral("END");
        TestSmtpServer smtp(options);
        START(smtp);
        writeSettings(smtp);
        writeList(6);
        start();
        prompts.expectQuestion(true);
        int seenAt = 0;
        QTimer::singleShot(500, this, [&] {
            QVERIFY(w->MailingRunning());
            QVERIFY(!w->findChild<QWidget*>(QStringLiteral("ToolButton3"))->isEnabled());
            seenAt = int(smtp.messages().size());
            if (action == QLatin1String("stop")) {
                click("ToolButton4");
            } else if (action == QLatin1String("again")) {
                w->BtnMailClick();
                w->Timer1->start(); // as if armed: the tick must not act during the run
                w->Timer1Timer();
                QVERIFY(w->Timer1->isActive());
                w->Timer1->stop();
                w->EditMail->setText(QStringLiteral("x@example.test"));
                w->BitBtnTestmailClick();
            } else {
                w->close();
            }
        });
        click("ToolButton3");
        const QStringList lines = readTextFile(dataFile(QStringLiteral("sendlist.csv"))).lines;
        if (action == QLatin1String("again")) {
            QCOMPARE(smtp.messages().size(), 6);
            QCOMPARE(w->PanelMessage->text(), QStringLiteral("6 Mail(s) send."));
            return;
        }
        const int sent = int(smtp.messages().size());
        QVERIFY2(sent >= seenAt && sent <= seenAt + 1 && sent < 6, qPrintable(QString::number(sent)));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(lines.at(i).split(QLatin1Char(';')).value(5).isEmpty(), i >= sent);
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("Mailing aborted!"));
        QVERIFY(w->PanelMessage->styleSheet().contains(QLatin1String("#800000")));
        if (action == QLatin1String("close")) {
            QTRY_VERIFY(!w->isVisible());
            QVERIFY(QFileInfo::exists(settingsFilePath(dataFolderPath())));
        }
    }

    // A test mail needs the account it goes out from, as a mailing does; the password may be empty (a relay
    // without login).
    void testMailNeedsTheAccount_data() {
        QTest::addColumn<QString>("blank");
        QTest::newRow("no account address") << "EditUser";
        QTest::newRow("no host") << "EditHost";
        QTest::newRow("no port") << "EditPort";
    }
    void testMailNeedsTheAccount() {
        QFETCH(QString, blank);
        TestSmtpServer smtp;
        START(smtp);
        writeSettings(smtp);
        start();
        w->findChild<QLineEdit*>(blank)->setText(QStringLiteral("  "));
        w->EditMail->setText(QStringLiteral("to@example.test"));
        prompts.expectError([](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Pls enter your account data first!"));
        });
        click("ToolButton8");
        VERIFY_PROMPTS(prompts);
        QCOMPARE(smtp.connectionCount(), 0);
    }

    void testMail_data() {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("attachAsk");
        QTest::addColumn<QString>("sentSubject"); // empty: nothing is sent
        QTest::addColumn<QString>("sentText");
        QTest::newRow("blank recipient: warning only") << " "
                                                       << "S"
                                                       << "T" << false << ""
                                                       << "";
        QTest::newRow("blank subject and text are filled in") << "to@example.test"
                                                              << " "
                                                              << " \n " << false << "Testmail"
                                                              << "Testmail Text";
        QTest::newRow("placeholders go as they are") << "to@example.test"
                                                     << "Hi $Name"
                                                     << "Dear $Prename $NAME" << false << "Hi $Name"
                                                     << "Dear $Prename $NAME";
        QTest::newRow("attach: Yes, then cancelled: the old path stays") << "to@example.test"
                                                                         << "S"
                                                                         << "T" << true << "S"
                                                                         << "T";
    }
    void testMail() {
        QFETCH(QString, recipient);
        QFETCH(QString, subject);
        QFETCH(QString, text);
        QFETCH(bool, attachAsk);
        QFETCH(QString, sentSubject);
        QFETCH(QString, sentText);
        TestSmtpServer smtp;
        START(smtp);
        writeSettings(smtp);
        start();
        const QString oldAttachment = dataFile(QStringLiteral("old.txt"));
        QVERIFY(writeBytes(oldAttachment, "old"));
        w->EditPatch->setText(oldAttachment);
        w->EditMail->setText(recipient);
        w->EditSubject->setText(subject);
        w->Memo2->setPlainText(text);
        if (sentSubject.isEmpty()) {
            prompts.expectWarning([](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("Pls enter a recipient mail address!"));
            });
        } else {
            prompts.expectQuestion(attachAsk, [](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("Do you want to attach a file?"));
            });
            if (attachAsk) prompts.expectOpenFile(QString());
        }
        click("ToolButton8");
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), sentSubject.isEmpty() ? 0 : 1);
        if (sentSubject.isEmpty()) return;
        const ParsedMail mail = ParsedMail::parse(messages[0].data);
        QCOMPARE(mail.subject, sentSubject);
        QCOMPARE(mail.parts[0].text().trimmed(), sentText);
        QCOMPARE(mail.parts.last().content, QByteArray("old")); // the path in the field is attached
        QCOMPARE(w->EditSubject->text().trimmed(), sentSubject.trimmed());
        QCOMPARE(w->Memo2->toPlainText().trimmed(), sentText);
        QCOMPARE(w->PanelMessage->text(), QStringLiteral(" Mail(s) send."));
        QVERIFY(w->IdSMTP->isOpen()); // left open for the next test mail or mailing
        QVERIFY(w->ImageConnect->isVisible());
    }

    // Online when the web host or the account's SMTP server takes a connection.
    void connectionCheck_data() {
        QTest::addColumn<bool>("webUp");
        QTest::addColumn<bool>("smtpUp");
        QTest::addColumn<QString>("status");
        QTest::newRow("web host answers") << true << false << "Connected";
        QTest::newRow("only the mail server answers") << false << true << "Connected";
        QTest::newRow("nothing answers") << false << false << "Offline";
    }
    void connectionCheck() {
        QFETCH(bool, webUp);
        QFETCH(bool, smtpUp);
        QFETCH(QString, status);
        TestSmtpServer smtp;
        START(smtp);
        writeSettings(smtp);
        start();
        if (!webUp) w->OnlineCheck.webHosts = {{QStringLiteral("127.0.0.1"), closedPort()}};
        if (!smtpUp) w->EditPort->setText(QString::number(closedPort()));
        QVERIFY(!w->LabelStatus->isVisible());
        click("ToolButtonCheck");
        QCOMPARE(w->State.OnlineState, status == QLatin1String("Connected"));
        QCOMPARE(w->LabelStatus->text(), status);
        QVERIFY(w->LabelStatus->isVisible());
        QCOMPARE(w->ImageConnect->isVisible(), w->State.OnlineState);
        QCOMPARE(w->ImageDisconnect->isVisible(), !w->State.OnlineState);
    }

    // Arming looks at the stored account; a save makes typed values count without a restart.
    void arming() {
        start(); // no settings file: nothing stored
        prompts.expectError([](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Bitte zunächst alle Accountdaten ausfüllen!"));
        });
        w->CheckBox1->setChecked(true);
        QVERIFY(w->CheckBox1->isChecked()); // the tick stays as set
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(!w->State.ScheduleArmed);
        prompts.expectError(); // unticking asks the same
        w->CheckBox1->setChecked(false);

        w->EditHost->setText(QStringLiteral("mail.example.test"));
        w->EditUser->setText(account);
        prompts.expectError(); // typed, not saved: still refused
        w->CheckBox1->setChecked(true);
        QVERIFY(!w->Timer1->isActive());
        prompts.expectError();
        w->CheckBox1->setChecked(false);

        click("ToolButton2"); // saved: now it counts
        w->CheckBox1->setChecked(true);
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->Timer1->interval(), 20000);
        QVERIFY(w->State.ScheduleArmed);
        w->CheckBox1->setChecked(false);
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(!w->State.ScheduleArmed);
    }

    // A stored schedule is armed at start and fires once at its time: no question, no error box for a
    // refused recipient, then disarmed and stored as used up.
    void scheduledRun() {
        TestSmtpServer::Options options;
        options.refuseRecipients = QStringList{QStringLiteral("r2@example.test")};
        TestSmtpServer smtp(options);
        START(smtp);
        const QDateTime at(QDate(2026, 12, 9), QTime(18, 40));
        writeSettings(smtp, dateToNumber(at.date()), timeToNumber(at.time()));
        writeList(3);
        start();
        QVERIFY(w->CheckBox1->isChecked());
        QCOMPARE(w->DateTimePicker1->date(), at.date());
        QCOMPARE(w->DateTimePicker2->time(), at.time());
        QVERIFY(w->Timer1->isActive());
        QVERIFY(w->State.ScheduleArmed);

        w->Timer1Timer(); // 18:30: online, not yet due
        QVERIFY(w->State.OnlineState);
        QCOMPARE(smtp.messages().size(), 0);
        w->Now = [] { return kNow.addSecs(600); };
        windows->FormGrid->DataPath = dataFolderPath();
        windows->FormGrid->FItems = dataFile(QStringLiteral("sendlist.csv"));
        windows->FormGrid->show(); // the list editor is open: the run waits for a later tick
        w->Timer1Timer();
        QCOMPARE(smtp.messages().size(), 0);
        windows->FormGrid->hide();
        w->Timer1Timer();
        QCOMPARE(smtp.messages().size(), 2);
        QVERIFY(!w->CheckBox1->isChecked());
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(!w->State.ScheduleArmed);
        StoredSettings stored; // no schedule left to fire again after a crash
        applySettingsLines(storedLines(), stored);
        QCOMPARE(stored.ScheduledDate, 0.0);
        QCOMPARE(stored.ScheduledTime, 0.0);
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("2 Mail(s) send."));
        w->Timer1Timer(); // a late tick after it fired does nothing
        QCOMPARE(smtp.messages().size(), 2);
    }
};

TARNEL_TEST_MAIN(TstFormNewMailMailing)
#include "tst_formnewmail_mailing.moc"
