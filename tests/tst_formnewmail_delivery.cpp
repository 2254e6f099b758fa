#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "app/radiogroup.h"
#include "mailing/maildelivery.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/parsedmail.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testsmtpserver.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

const QString account = QStringLiteral("user@example.test");
const QString password = QStringLiteral("secret");
// The error box of a failed delivery, as the user reads it.
const QString mailErrorGerman = QStringLiteral(
    "Fehler beim Mailversand. Bitte prüfen Sie Ihre Firewalleinstellungen und die Internetverbindung!");
const QString mailErrorEnglish =
    QStringLiteral("Mail error! Check your firewall settings and the internet connection!");

TestSmtpServer::Options loginServer() {
    TestSmtpServer::Options o;
    o.auth = TestSmtpServer::Options::Auth::Login;
    o.user = account;
    o.password = password;
    return o;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

} // namespace

class TstFormNewMailDelivery : public QObject, public MainWindowFixture {
    Q_OBJECT

    QTemporaryDir files;

    void showWindow() {
        showMainWindow();
        SmtpOptions options;
        options.caFile = TestSmtpServer::caFile();
        w->IdSMTP->setOptions(options);
    }

    // The account and a message as the user (or the mailing run) leaves them in the fields.
    void fillFields(const TestSmtpServer& server) {
        w->EditHost->setText(QStringLiteral(" 127.0.0.1 "));
        w->EditPort->setText(QString::number(server.port()));
        w->EditUser->setText(QStringLiteral(" ") + account);
        w->MaskEdit->setText(password + QStringLiteral(" "));
        w->EditMail->setText(QStringLiteral("  to@example.test "));
        w->EditSubject->setText(QStringLiteral("  Angebot für Sie "));
        w->EditPatch->clear();
        w->SelHtml->setItemIndex(0);
        w->MessageText.setLines({QStringLiteral("Hallo,"), QString(), QStringLiteral("Grüße")});
    }

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = files.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(bytes);
        return path;
    }

private Q_SLOTS:
    void init() {
        prompts.reset();
        showWindow();
    }
    void cleanup() { dropWindows(); }

    void sendCurrentMail_data() {
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("reply"); // the kept server reply of a failure

        QTest::newRow("sent") << true << "to@example.test" << true << true << QString();
        QTest::newRow("blank recipient: the box, no server") << true << " \t " << true << false << QString();
        QTest::newRow("refused recipient, German")
            << true << "refused@example.test" << true << false
            << "550 5.1.1 <refused@example.test>: Recipient address rejected";
        QTest::newRow("refused recipient, English")
            << false << "refused@example.test" << true << false
            << "550 5.1.1 <refused@example.test>: Recipient address rejected";
        QTest::newRow("server down") << false << "to@example.test" << false << false << QString();
    }
    void sendCurrentMail() {
        QFETCH(bool, german);
        QFETCH(QString, recipient);
        QFETCH(bool, serverUp);
        QFETCH(bool, sent);
        QFETCH(QString, reply);
        TestSmtpServer::Options options = loginServer();
        options.refuseRecipients = QStringList{QStringLiteral("refused@example.test")};
        TestSmtpServer smtp(options);
        START(smtp);
        german ? w->German1Click() : w->English1Click();
        fillFields(smtp);
        w->EditMail->setText(recipient);
        if (!serverUp) smtp.stop();
        const bool contact = !recipient.trimmed().isEmpty();
        if (!sent)
            prompts.expectError([&](const ScriptedPrompts::Asked& a) {
                // The box's text, and below it what went wrong: the server's reply where there is one.
                const QString box = german ? mailErrorGerman : mailErrorEnglish;
                QCOMPARE(a.text.section(QLatin1Char('\n'), 0, 0), box);
                if (!reply.isEmpty()) QCOMPARE(a.text, box + QLatin1Char('\n') + reply);
                if (!serverUp) QVERIFY2(a.text.contains(QStringLiteral("127.0.0.1")), qPrintable(a.text));
                QVERIFY2(!a.text.section(QLatin1Char('\n'), 1).trimmed().isEmpty(), qPrintable(a.text));
                // The box comes after the connection is dropped and before the caller goes on.
                QVERIFY(!w->IdSMTP->isOpen());
                QVERIFY(w->DeliveryInFlight());
            });
        w->State.SendFailed = !sent;
        w->SendCurrentMail();
        VERIFY_PROMPTS(prompts);
        QCOMPARE(w->State.SendFailed, !sent);
        QCOMPARE(w->ImageConnect->isVisibleTo(w), sent);
        QCOMPARE(w->ImageDisconnect->isVisibleTo(w), !sent);
        QCOMPARE(w->IdSMTP->isOpen(), sent);
        QVERIFY(!w->DeliveryInFlight());
        if (serverUp) QCOMPARE(smtp.connectionCount(), contact ? 1 : 0);
        if (contact) QCOMPARE(w->LastDelivery.serverReply, reply);
        if (!sent) return;

        // Every field as it stood, trimmed where it counts.
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].sender, account);
        QCOMPARE(messages[0].recipients, QStringList{"to@example.test"});
        QCOMPARE(smtp.logins().value(0).user, account);
        QCOMPARE(smtp.logins().value(0).password, password);
        const ParsedMail mail = ParsedMail::parse(messages[0].data);
        QCOMPARE(mail.subject, QStringLiteral("Angebot für Sie"));
        QCOMPARE(mail.mimeType, QStringLiteral("text/plain"));
        QCOMPARE(mail.parts.value(0).text().replace(QLatin1String("\r\n"), QLatin1String("\n")),
                 QStringLiteral("Hallo,\n\nGrüße\n"));
    }

    // Each message takes the fields as they stand at that moment; only the connection carries over.
    void fieldsReadAfresh() {
        TestSmtpServer smtp(loginServer());
        START(smtp);
        fillFields(smtp);
        w->EditPatch->setText(writeFile(QStringLiteral("preise.csv"), "a;b\r\n"));
        w->SendCurrentMail();
        QVERIFY(!w->State.SendFailed);

        w->EditMail->setText(QStringLiteral("a@example.test, b@example.test"));
        w->EditSubject->setText(QStringLiteral("Zweite"));
        w->EditPatch->clear();
        w->SelHtml->setItemIndex(1);
        w->MessageText.setLines({QStringLiteral("<p>Zweite</p>")});
        w->SendCurrentMail();
        QVERIFY(!w->State.SendFailed);
        VERIFY_PROMPTS(prompts);

        QCOMPARE(smtp.connectionCount(), 1);
        QCOMPARE(smtp.logins().size(), 1);
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 2);
        const ParsedMail first = ParsedMail::parse(messages[0].data);
        QCOMPARE(first.parts.size(), 2);
        QCOMPARE(first.parts[1].fileName, QStringLiteral("preise.csv"));
        QCOMPARE(messages[1].recipients, (QStringList{"a@example.test", "b@example.test"}));
        const ParsedMail second = ParsedMail::parse(messages[1].data);
        QCOMPARE(second.subject, QStringLiteral("Zweite"));
        QStringList types;
        for (const auto& part : second.parts)
            types << part.mimeType;
        QCOMPARE(types, (QStringList{"text/plain", "text/html"}));

        // Closed, the next message goes where the fields now say, and fails there. (An account that
        // differs from the open connection's takes effect at once too: tst_delivery.)
        w->IdSMTP->close();
        w->EditHost->setText(QStringLiteral("no-such-host.invalid"));
        QVERIFY(!w->IdSMTP->isOpen());
        w->English1Click();
        prompts.expectError([](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text.section(QLatin1Char('\n'), 0, 0), mailErrorEnglish);
            QVERIFY2(a.text.contains(QStringLiteral("no-such-host.invalid")), qPrintable(a.text));
        });
        w->SendCurrentMail();
        VERIFY_PROMPTS(prompts);
        QVERIFY(w->State.SendFailed);
        QCOMPARE(smtp.messages().size(), 2);
    }

    void failureThenReconnect() {
        TestSmtpServer::Options options = loginServer();
        options.refuseRecipients = QStringList{QStringLiteral("refused@example.test")};
        TestSmtpServer smtp(options);
        START(smtp);
        fillFields(smtp);
        w->SendCurrentMail();
        QVERIFY(w->IdSMTP->isOpen());
        w->EditMail->setText(QStringLiteral("refused@example.test"));
        prompts.expectError();
        w->SendCurrentMail();
        VERIFY_PROMPTS(prompts);
        QVERIFY(w->State.SendFailed);
        QVERIFY(!w->IdSMTP->isOpen());
        w->EditMail->setText(QStringLiteral("to@example.test"));
        w->SendCurrentMail();
        QVERIFY(!w->State.SendFailed);
        QCOMPARE(smtp.connectionCount(), 2);
        QCOMPARE(smtp.logins().size(), 2);
        QCOMPARE(smtp.messages().size(), 2);
    }

    // These errors belong to the operation that asked for the delivery: no mail-error box, no server.
    void callerErrors_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("attachment");
        QTest::addColumn<QString>("text");
        QTest::newRow("port not a number, in the window's language")
            << "2x5" << QString() << "'2x5' ist keine gültige ganze Zahl";
        QTest::newRow("attachment cannot be read") << QString() << "/proc/self/mem"
                                                   << "/proc/self/mem";
    }
    void callerErrors() {
        QFETCH(QString, port);
        QFETCH(QString, attachment);
        QFETCH(QString, text);
        TestSmtpServer smtp;
        START(smtp);
        fillFields(smtp);
        if (!port.isEmpty()) w->EditPort->setText(port);
        w->EditPatch->setText(attachment);
        prompts.expectError(
            [&](const ScriptedPrompts::Asked& a) { QVERIFY2(a.text.contains(text), qPrintable(a.text)); });
        QVERIFY(!w->runGuarded([this] { w->SendCurrentMail(); }));
        VERIFY_PROMPTS(prompts);
        QVERIFY(!w->DeliveryInFlight());
        QCOMPARE(smtp.connectionCount(), 0);
    }

    // While a slow server answers, the window paints, its timers run, and nothing starts a second delivery.
    void staysResponsive() {
        TestSmtpServer::Options options;
        options.delaySeconds = 0.25;
        TestSmtpServer smtp(options);
        START(smtp);
        fillFields(smtp);
        w->MaskEdit->clear();
        w->English1Click();
        PaintCounter counter;
        w->PanelMessage->installEventFilter(&counter);
        int ticks = 0;
        int inFlightTicks = 0;
        bool nestedTried = false;
        prompts.expectError([](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Mailing running. Please wait..."));
        });
        QTimer timer;
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, this, [&] {
            ++ticks;
            if (!w->DeliveryInFlight()) return;
            ++inFlightTicks;
            w->PanelMessage->setText(QString::number(ticks));
            if (inFlightTicks == 10 && !nestedTried) {
                nestedTried = true;
                // What a second press of the test-mail button would do.
                QVERIFY(!w->runGuarded([this] { w->SendCurrentMail(); }));
            }
        });
        timer.start();
        const int paintsBefore = counter.paints;
        w->SendCurrentMail();
        timer.stop();
        VERIFY_PROMPTS(prompts);
        QVERIFY(nestedTried);
        QVERIFY2(inFlightTicks >= 20, qPrintable(QString::number(inFlightTicks)));
        QVERIFY2(counter.paints - paintsBefore >= 10,
                 qPrintable(QString::number(counter.paints - paintsBefore)));
        // The refused second attempt left the first one's outcome alone.
        QVERIFY(!w->State.SendFailed);
        QVERIFY(w->ImageConnect->isVisibleTo(w));
        QCOMPARE(smtp.connectionCount(), 1);
        QCOMPARE(smtp.messages().size(), 1);
    }

    void closeWaitsForDelivery_data() {
        QTest::addColumn<bool>("fails");
        QTest::newRow("close while the message is in flight") << false;
        QTest::newRow("close while the error box is open") << true;
    }
    void closeWaitsForDelivery() {
        QFETCH(bool, fails);
        TestSmtpServer::Options options;
        options.delaySeconds = 0.25;
        options.refuseRecipients = QStringList{QStringLiteral("refused@example.test")};
        TestSmtpServer smtp(options);
        START(smtp);
        fillFields(smtp);
        w->MaskEdit->clear();
        if (fails) w->EditMail->setText(QStringLiteral("refused@example.test"));
        bool closedEarly = true;
        const auto tryClose = [&] {
            closedEarly = w->close();
            QVERIFY(w->isVisible());
        };
        if (fails)
            prompts.expectError([&](const ScriptedPrompts::Asked&) { tryClose(); });
        else
            QTimer::singleShot(300, this, [&] {
                QVERIFY(w->DeliveryInFlight());
                tryClose();
            });
        w->SendCurrentMail();
        VERIFY_PROMPTS(prompts);
        QVERIFY(!closedEarly);
        // The operation that sent finds its window whole; the close follows once it returns.
        QVERIFY(w->isVisible());
        QCOMPARE(w->State.SendFailed, fails);
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(smtp.messages().size(), fails ? 0 : 1);
    }
};

TARNEL_TEST_MAIN(TstFormNewMailDelivery)
#include "tst_formnewmail_delivery.moc"
