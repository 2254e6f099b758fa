#include "app/aboutbox.h"
#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "core/datetimenumber.h"
#include "core/help.h"
#include "core/interfacetexts.h"
#include "core/onlineupdate.h"
#include "core/paths.h"
#include "settings/cipher.h"
#include "settings/settingsfile.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <memory>

#include <sys/stat.h>

namespace {

// The plain lines of the settings file as the program wrote it.
QStringList storedLines(const QString& path) {
    return splitLines(ansiToUnicode(DecodeString(kSettingsKey, readBytes(path))));
}

QString installer() {
    return installerPath(programFolderPath());
}

// Runs `check` on the close event, before the window's own close handling.
class CloseSpy : public QObject {
public:
    std::function<void()> check;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close && check) check();
        return false;
    }
};

} // namespace

class TstFormNewMailSettingsAndHelp : public QObject, public MainWindowFixture {
    Q_OBJECT

    QList<ProgramStart> starts;
    std::function<void()> refuse;
    bool startWorks = true;

    void start() {
        showMainWindow([this](TFormNewMail& window) {
            window.StartProgram = [this](const ProgramStart& s, const std::function<void()>& refused) {
                starts << s;
                refuse = refused;
                return startWorks;
            };
        });
    }

    // The program ends and starts again on the same data folder.
    void restart() {
        w->close();
        windows.reset();
        start();
    }

    static QString settingsFile() { return dataFolderPath() + settingsFileName(); }

    // Ticks the schedule box without running its own handling, which is not what these tests are about.
    void setSchedule(bool ticked, const QDateTime& date, const QDateTime& time) {
        const QSignalBlocker blocker(w->CheckBox1);
        w->CheckBox1->setChecked(ticked);
        w->DateTimePicker1->setDateTime(date);
        w->DateTimePicker2->setDateTime(time);
    }

    ProgramStart expectedStart(const QStringList& extra) const {
        QStringList fields{QStringLiteral("tarnelsw64"), FileVersionText(),
                           QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                           QStringLiteral("0")};
        fields << extra;
        return installerStart(installer(), fields, findPkexec());
    }

private Q_SLOTS:
    void init() {
        prompts.reset();
        opened.clear();
        starts.clear();
        refuse = nullptr;
        startWorks = true;
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).removeRecursively();
        QFile::remove(installer());
    }

    void cleanup() {
        VERIFY_PROMPTS(prompts);
        dropWindows();
        QFile::remove(installer());
        for (const char* name : {"tarnel.html", "tarneld.html"})
            QFile::remove(programFolderPath() + QLatin1String(name));
    }

    // The very first start: empty account fields (the port too), German, no schedule, no file yet.
    void firstStartWithoutFile() {
        start();
        QVERIFY(QFileInfo(dataFolderPath()).isDir());
        QVERIFY(!QFileInfo::exists(settingsFile()));
        for (QLineEdit* edit : {w->EditHost, w->EditUser, w->MaskEdit, w->EditPort})
            QCOMPARE(edit->text(), QString());
        QCOMPARE(w->State.Language, 0);
        QCOMPARE(w->findChild<QWidget*>(QStringLiteral("ToolButton2"))->toolTip(),
                 QStringLiteral("Einstellungen speichern (Strg+S)"));
        QCOMPARE(w->State.ScheduledDate, 0.0);
        QCOMPARE(w->State.ScheduledTime, 0.0);
        QVERIFY(!w->CheckBox1->isChecked());
    }

    void firstStartWithFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("fields"); // host, user, password, port
        QTest::addColumn<int>("language");
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QDateTime>("time");
        StoredSettings english;
        english.SmtpHost = QStringLiteral("smtp.example.org");
        english.SmtpUser = QStringLiteral("me@example.org");
        english.SmtpPassword = QStringLiteral("pä ss");
        english.SmtpPort = QStringLiteral("  ");
        english.Language = 1;
        const QDateTime date(QDate(2027, 3, 4), QTime(8, 0, 0));
        const QDateTime time(QDate(2000, 1, 1), QTime(17, 45, 30));
        english.ScheduledDate = dateTimeToNumber(date);
        english.ScheduledTime = dateTimeToNumber(time);
        QTest::newRow("scrambled, English, blank port")
            << settingsFileBytes(english) << QStringList{"smtp.example.org", "me@example.org", "pä ss", "25"}
            << 1 << date << time;
        StoredSettings german = english;
        german.Language = 0;
        german.SmtpPort = QStringLiteral(" 587");
        german.ScheduledTime = 0;
        QTest::newRow("scrambled, German, port with blank, date only")
            << settingsFileBytes(german) << QStringList{"smtp.example.org", "me@example.org", "pä ss", " 587"}
            << 0 << date << QDateTime();
        StoredSettings minusOne = german;
        minusOne.Language = -1; // a hand-edited line: anything but 0 is English
        QTest::newRow("scrambled, language -1")
            << settingsFileBytes(minusOne)
            << QStringList{"smtp.example.org", "me@example.org", "pä ss", " 587"} << -1 << date
            << QDateTime();
        QTest::newRow("plain four lines: language from the system")
            << QByteArray("mail.example.com\r\nbob@example.com\r\nsecret\r\n465\r\n")
            << QStringList{"mail.example.com", "bob@example.com", "secret", "465"} << systemDefaultLanguage()
            << QDateTime() << QDateTime();
    }
    void firstStartWithFile() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, fields);
        QFETCH(int, language);
        QFETCH(QDateTime, date);
        QFETCH(QDateTime, time);
        QVERIFY(QDir().mkpath(dataFolderPath()));
        QVERIFY(writeBytes(settingsFile(), file));
        start();
        QCOMPARE(
            (QStringList{w->EditHost->text(), w->EditUser->text(), w->MaskEdit->text(), w->EditPort->text()}),
            fields);
        QCOMPARE(w->State.SmtpPort, fields.at(3));
        QCOMPARE(w->State.Language, language);
        QCOMPARE(w->State.Texts.MsgSettingsSaved, messageTextsFor(language).MsgSettingsSaved);
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 language == 0 ? QStringLiteral("Mailadresse") : QStringLiteral("Mail address"));
        QCOMPARE(w->State.ScheduledDate, date.isValid() ? dateTimeToNumber(date) : 0.0);
        QCOMPARE(w->State.ScheduledTime, time.isValid() ? dateTimeToNumber(time) : 0.0);
    }

    void saveAndStartAgain_data() {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("language");
        QTest::newRow("schedule ticked, English") << true << 1;
        QTest::newRow("schedule not ticked, German") << false << 0;
    }
    // What the save button stores is what the next start shows.
    void saveAndStartAgain() {
        QFETCH(bool, ticked);
        QFETCH(int, language);
        start();
        if (!isGerman(language)) w->English1->trigger();
        w->EditHost->setText(QStringLiteral("smtp.example.net"));
        w->EditUser->setText(QStringLiteral("anna@example.net"));
        w->MaskEdit->setText(QStringLiteral("geheim €"));
        w->EditPort->setText(QStringLiteral("587"));
        const QDateTime date(QDate(2027, 5, 6), QTime(0, 0));
        const QDateTime time(QDate(2000, 1, 1), QTime(9, 15, 0));
        setSchedule(ticked, date, time);
        w->EditMail->setText(QStringLiteral("x@y"));
        w->EditSubject->setText(QStringLiteral("s"));
        w->EditPatch->setText(QStringLiteral("/a"));
        w->Edit1->setText(QStringLiteral("3"));
        w->Memo2->setPlainText(QStringLiteral("text"));

        click("ToolButton2");
        QCOMPARE(w->PanelMessage->text(), messageTextsFor(language).MsgSettingsSaved);
        for (QLineEdit* edit : {w->EditMail, w->EditSubject, w->EditPatch, w->Edit1})
            QCOMPARE(edit->text(), QString());
        QCOMPARE(w->Memo2->toPlainText(), QString());
        QCOMPARE(QFile::permissions(settingsFile()) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());

        windows.reset(); // ended without another save
        start();
        QCOMPARE(w->EditHost->text(), QStringLiteral("smtp.example.net"));
        QCOMPARE(w->EditUser->text(), QStringLiteral("anna@example.net"));
        QCOMPARE(w->MaskEdit->text(), QStringLiteral("geheim €"));
        QCOMPARE(w->EditPort->text(), QStringLiteral("587"));
        QCOMPARE(w->State.Language, language);
        QCOMPARE(w->State.ScheduledDate, ticked ? dateTimeToNumber(date) : 0.0);
        QCOMPARE(w->State.ScheduledTime, ticked ? dateTimeToNumber(time) : 0.0);
    }

    // Reserved lines of the file read at start go unchanged into every later save; what the user typed
    // into the account fields is saved, and from then on is the stored account the schedule looks at.
    void reservedLinesAndTypedFields() {
        QVERIFY(QDir().mkpath(dataFolderPath()));
        QVERIFY(writeBytes(settingsFile(), "h\r\nu\r\np\r\n25\r\nu\r\nsix\r\n\r\neight\r\n5\r\n"));
        start();
        QCOMPARE(w->State.Language, 5);
        w->EditHost->setText(QStringLiteral("typed.example.org"));
        QCOMPARE(w->State.SmtpHost, QStringLiteral("h")); // typing alone changes nothing stored
        click("ToolButton2");
        QCOMPARE(w->State.SmtpHost, QStringLiteral("typed.example.org"));
        const QStringList lines = storedLines(settingsFile());
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines.mid(0, 9),
                 (QStringList{"typed.example.org", "u", "p", "25", "u", "six", "", "eight", "5"}));
    }

    // A value with characters the 8-bit file cannot hold: the user is told which, in the interface language,
    // before they are lost; the field keeps what was typed for this session.
    void charactersTheFileCannotHold_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("warning");
        QTest::newRow("German")
            << 0
            << "Das Passwort enthält Zeichen, die in der Einstellungsdatei nicht gespeichert "
               "werden können: 密码";
        QTest::newRow("English") << 1
                                 << "The password contains characters the settings file cannot store: 密码";
    }
    void charactersTheFileCannotHold() {
        QFETCH(int, language);
        QFETCH(QString, warning);
        start();
        w->State.Language = language;
        w->ApplyLanguage();
        const QString typed = QStringLiteral("pä€ß密码!");
        w->MaskEdit->setText(typed);
        prompts.expectWarning([&](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, warning);
            QVERIFY(!QFileInfo::exists(settingsFile())); // said before saving
        });
        click("ToolButton2");
        VERIFY_PROMPTS(prompts);
        QCOMPARE(w->MaskEdit->text(), typed);
        QCOMPARE(storedLines(settingsFile()).value(2), QStringLiteral("pä€ß?\?!"));
        w->MaskEdit->setText(QStringLiteral("pä€ß!"));
        click("ToolButton2"); // all of it fits: no word
    }

    void quitAndClose_data() {
        QTest::addColumn<bool>("byQuitButton");
        QTest::newRow("quit button: save, close, save") << true;
        QTest::newRow("close box: one save") << false;
    }
    void quitAndClose() {
        QFETCH(bool, byQuitButton);
        start();
        w->EditHost->setText(QStringLiteral("first"));
        QByteArray atClose = "not closed";
        CloseSpy spy;
        spy.check = [&] {
            atClose = readBytes(settingsFile());
            w->EditHost->setText(QStringLiteral("second"));
        };
        w->installEventFilter(&spy);
        if (byQuitButton)
            click("ToolButton18");
        else
            w->close();
        w->removeEventFilter(&spy);
        QVERIFY(!w->isVisible());
        const QStringList beforeClose = splitLines(ansiToUnicode(DecodeString(kSettingsKey, atClose)));
        if (byQuitButton)
            QCOMPARE(beforeClose.value(0), QStringLiteral("first"));
        else
            QVERIFY(atClose.isEmpty());
        QCOMPARE(storedLines(settingsFile()).value(0), QStringLiteral("second"));
    }

    void failingSave_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("quit keeps the window open") << "ToolButton18";
        QTest::newRow("save settings reports") << "ToolButton2";
    }
    // A file that cannot be replaced: the installer is asked to remove it, the write is tried once
    // more, and the error is reported. Closing afterwards swallows the same failure.
    void failingSave() {
        QFETCH(QString, button);
        QVERIFY(writeBytes(installer(), "#!/bin/sh\n"));
        start();
        QVERIFY(QDir().mkpath(settingsFile() + QStringLiteral("/in-the-way")));
        w->PanelMessage->setText(QStringLiteral("before"));
        prompts.expectError([](const ScriptedPrompts::Asked& a) {
            QVERIFY2(a.text.contains(QStringLiteral("postrun.ini")), qPrintable(a.text));
        });
        click(button.toLatin1().constData());
        QVERIFY(w->isVisible());
        QCOMPARE(w->PanelMessage->text(),
                 button == QLatin1String("ToolButton2") ? QString() : QStringLiteral("before"));
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts.first().program, expectedStart({settingsFile(), "del"}).program);
        QCOMPARE(starts.first().arguments, expectedStart({settingsFile(), "del"}).arguments);
        QCOMPARE(w->State.UpdateAction, QString());
        QCOMPARE(w->State.UpdatePath, QString());
        VERIFY_PROMPTS(prompts);

        w->close(); // no message this time
        QVERIFY(!w->isVisible());
        QCOMPARE(starts.size(), 2);
    }

    void startRemovingFails() {
        QVERIFY(writeBytes(installer(), "#!/bin/sh\n"));
        startWorks = false;
        start();
        QVERIFY(QDir().mkpath(settingsFile() + QStringLiteral("/in-the-way")));
        prompts.expectError(
            [](const ScriptedPrompts::Asked& a) { QCOMPARE(a.text, messageTextsFor(0).MsgUpdateFailed); });
        prompts.expectError([](const ScriptedPrompts::Asked& a) { QVERIFY(a.text.contains("postrun.ini")); });
        click("ToolButton18");
        QVERIFY(w->isVisible());
    }

    void failedFirstShow_data() {
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("host");
        // Said in the interface language (German at the first start), never with the file's content.
        QTest::newRow("bad language line: the values before it are kept")
            << true << "Die Einstellungsdatei konnte nicht gelesen werden und bleibt, wie sie ist.\n"
            << "h.example.org";
        // Reading this file fails with an input/output error, even for root.
        QTest::newRow("file that cannot be read") << false << "postrun.ini"
                                                  << "";
    }
    // An error while loading ends the first show: the window shows all the same, the account fields and
    // the language are not applied, and closing leaves the stored settings as they were.
    void failedFirstShow() {
        QFETCH(bool, readable);
        QFETCH(QString, message);
        QFETCH(QString, host);
        QVERIFY(QDir().mkpath(dataFolderPath()));
        if (readable)
            QVERIFY(writeBytes(settingsFile(),
                               EncodeString(kSettingsKey, "h.example.org\r\nu@example.org\r\npw\r\n"
                                                          "25\r\nu\r\n\r\n\r\n\r\nDeutsch\r\n\r\n\r\n")));
        else
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), settingsFile()));
        const QByteArray stored = readBytes(settingsFile());
        prompts.expectError(
            [&](const ScriptedPrompts::Asked& a) { QVERIFY2(a.text.contains(message), qPrintable(a.text)); });
        start();
        QVERIFY(w->isVisible());
        QCOMPARE(w->State.SmtpHost, host);
        QCOMPARE(w->EditHost->text(), QString());            // step 7 did not run
        QCOMPARE(w->EditPort->text(), QStringLiteral("25")); // the design text stays
        QVERIFY(w->ImageDisconnect->isVisible());
        QVERIFY(!w->ImageConnect->isVisible());
        // Every control has its caption all the same.
        QCOMPARE(w->CheckBox1->text(), QStringLiteral("Nächstes Mailing automatisch starten am:"));
        // The messages are there all the same.
        prompts.expectQuestion(false, [](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, messageTextsFor(0).MsgDefaultMissingAsk);
        });
        click("ToolButton11");

        click("ToolButton18"); // quit: nothing is saved over the stored account
        QVERIFY(!w->isVisible());
        QCOMPARE(readBytes(settingsFile()), stored);
        QCOMPARE(QFileInfo(settingsFile()).isSymLink(), !readable);
    }

    // A folder or a named pipe in the settings file's place is no settings file: the program starts as on
    // a first start instead of stopping or waiting for a writer.
    void settingsPathThatIsNoRegularFile_data() {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("folder") << false;
        QTest::newRow("named pipe") << true;
    }
    void settingsPathThatIsNoRegularFile() {
        QFETCH(bool, pipe);
        QVERIFY(QDir().mkpath(dataFolderPath()));
        const QByteArray path = QFile::encodeName(settingsFile());
        QVERIFY(pipe ? mkfifo(path.constData(), 0600) == 0 : QDir().mkpath(settingsFile()));
        start();
        QVERIFY(w->isVisible());
        QCOMPARE(w->EditHost->text(), QString());
        QCOMPARE(w->EditPort->text(), QString());
    }

    void aboutBox_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("address");
        QTest::newRow("German") << 0 << "Über ..."
                                << "https://tarnel.example.org/de/";
        QTest::newRow("English") << 1 << "About ..."
                                 << "https://tarnel.example.org/en/";
    }
    void aboutBox() {
        QFETCH(int, language);
        QFETCH(QString, caption);
        QFETCH(QString, address);
        start();
        if (!isGerman(language)) w->English1->trigger();
        QString version, shownCaption, rights;
        QTimer::singleShot(0, this, [&] {
            TAboutBox* box = w->AboutBox;
            version = box->LabelVersion->text();
            shownCaption = box->windowTitle();
            rights = box->Label6->text();
            QTest::mouseClick(box->Label5, Qt::LeftButton);
            box->BitBtn1->click();
        });
        click("ToolButton15");
        QCOMPARE(version, FileVersionText());
        QCOMPARE(shownCaption, caption);
        QCOMPARE(rights, isGerman(language) ? QStringLiteral("Alle Rechte vorbehalten")
                                            : QStringLiteral("All rights reserved"));
        QCOMPARE(opened, QList<QUrl>{QUrl(address)});
        QVERIFY(!w->AboutBox->isVisible());
    }

    // The help button opens the main topic, F1 the contents, each in the current language's file.
    void help() {
        start();
        const QString german = programFolderPath() + QStringLiteral("tarneld.html");
        const QString english = programFolderPath() + QStringLiteral("tarnel.html");
        prompts.expectError([&](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Die Hilfedatei konnte nicht geöffnet werden:\n") + german);
        });
        click("ToolButton16");
        QVERIFY(opened.isEmpty()); // no help file: said so
        QVERIFY(writeBytes(german, "<html></html>"));
        QVERIFY(writeBytes(english, "<html></html>"));
        click("ToolButton16");
        QTest::keyClick(w->EditHost, Qt::Key_F1);
        w->English1->trigger();
        click("ToolButton16");
        QUrl germanTopic = QUrl::fromLocalFile(german);
        germanTopic.setFragment(QStringLiteral("topic0"));
        QUrl englishTopic = QUrl::fromLocalFile(english);
        englishTopic.setFragment(QStringLiteral("topic0"));
        QCOMPARE(opened, (QList<QUrl>{germanTopic, QUrl::fromLocalFile(german), englishTopic}));

        // No program to show it: the file is named, in the current language.
        w->OpenUrl = [](const QUrl&) { return false; };
        prompts.expectError([&](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("The help file could not be opened:\n") + english);
        });
        QTest::keyClick(w->EditHost, Qt::Key_F1);
    }

    void onlineUpdate_data() {
        QTest::addColumn<bool>("installerThere");
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("errors");
        QTest::newRow("no installer: nothing visible") << false << true << false << 0;
        QTest::newRow("started") << true << true << false << 0;
        QTest::newRow("start fails") << true << false << false << 1;
        QTest::newRow("consent refused later") << true << true << true << 1;
    }
    void onlineUpdate() {
        QFETCH(bool, installerThere);
        QFETCH(bool, startWorks);
        QFETCH(bool, refused);
        QFETCH(int, errors);
        if (installerThere) QVERIFY(writeBytes(installer(), "#!/bin/sh\n"));
        this->startWorks = startWorks;
        start();
        w->English1->trigger();
        for (int i = 0; i < errors; ++i)
            prompts.expectError([](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("Could not run online update or aborted by user!"));
            });
        click("ToolButton13");
        QCOMPARE(starts.size(), installerThere ? 1 : 0);
        if (installerThere) {
            QCOMPARE(starts.first().program, expectedStart({}).program);
            QCOMPARE(starts.first().arguments, expectedStart({}).arguments);
            QCOMPARE(starts.first().arguments.size(), findPkexec().isEmpty() ? 4 : 5);
        }
        if (refused) refuse();
    }

    // The removal runs the update with "del" and the path, and clears both afterwards.
    void removeFileElevated() {
        QVERIFY(writeBytes(installer(), "#!/bin/sh\n"));
        start();
        w->RemoveFileElevated(QStringLiteral("/some where/postrun.ini"));
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts.first().arguments, expectedStart({"/some where/postrun.ini", "del"}).arguments);
        QCOMPARE(w->State.UpdateAction, QString());
        QCOMPARE(w->State.UpdatePath, QString());
        click("ToolButton13");
        QCOMPARE(starts.last().arguments, expectedStart({}).arguments);
    }
};

TARNEL_TEST_MAIN(TstFormNewMailSettingsAndHelp)
#include "tst_formnewmail_settingsandhelp.moc"
