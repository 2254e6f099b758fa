#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "app/sendingoptionswindow.h"
#include "core/datetimenumber.h"
#include "core/optionsfile.h"
#include "core/paths.h"
#include "mailing/maildelivery.h"
#include "mailing/sendingoptions.h"
#include "settings/settingsfile.h"
#include "signin/oauthaccount.h"
#include "signin/signinsettings.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testoauthprovider.h"
#include "tests/support/testsecretservice.h"
#include "tests/support/testsmtpserver.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTcpServer>
#include <QTimer>

// The OAuth 2.0 sign-in as the program carries it out: the sign-in part of the sending options window,
// and mailings and test mails that log in with the token (AUTH XOAUTH2), against the test OAuth provider
// and test SMTP server on 127.0.0.1, a browser stand-in, and a real Secret Service on a private bus.

namespace {

const QString account = QStringLiteral("user@example.test");
const QString kScope = QStringLiteral("https://mail.example.test/smtp offline_access openid email");
const QDateTime kNow(QDate(2026, 12, 9), QTime(18, 30, 10));

QByteArray numberedList(int lines) {
    QByteArray bytes;
    for (int i = 1; i <= lines; ++i)
        bytes += QStringLiteral("N%1;P%1;r%1@example.test;Betreff %1;;;\r\n").arg(i).toUtf8();
    return bytes;
}

QString dataFile(const QString& name) {
    return dataFolderPath() + name;
}

} // namespace

// The test provider and an SMTP server that takes its tokens, both running.
#define START_PROVIDER_AND_SMTP()                                                                            \
    TestOAuthProvider provider(providerOptions());                                                           \
    START(provider);                                                                                         \
    TestSmtpServer smtp(xoauth2Server(provider));                                                            \
    START(smtp)

class TstFormNewMailSignIn : public QObject, public MainWindowFixture {
    Q_OBJECT

    TestSecretService secrets;
    bool m_keyring = false;
    TestBrowser browser;
    QTcpServer web; // stands in for the public web host of the connection check
    QDateTime clock = kNow;

    // The account with an empty password: with OAuth 2.0 none is needed.
    void writeSettings(const TestSmtpServer& smtp, const QString& password = QString(), double date = 0,
                       double time = 0) {
        storeAccount(smtp.port(), account, password, 1, date, time);
    }

    void start() {
        showMainWindow([this](TFormNewMail& window) {
            window.Now = [this] { return clock; };
            window.OnlineCheck.webHosts = {{QStringLiteral("127.0.0.1"), web.serverPort()}};
            window.OnlineCheck.timeoutMs = 2000;
        });
        // The desktop's browser is the stand-in, which signs in at once.
        w->OpenUrl = [this](const QUrl& url) {
            opened << url;
            if (url.path() == QLatin1String("/authorize")) browser.open(url);
            return true;
        };
    }

    static TestSmtpServer::Options xoauth2Server(const TestOAuthProvider& provider) {
        TestSmtpServer::Options o;
        o.auth = TestSmtpServer::Options::Auth::XOAuth2;
        o.user = account;
        o.oauthTokenFile = provider.tokenFile();
        return o;
    }

    static TestOAuthProvider::Options providerOptions(int expiresIn = 3600) {
        TestOAuthProvider::Options o;
        o.scope = kScope;
        o.expiresIn = expiresIn;
        return o;
    }

    // Opens the sending options, chooses OAuth 2.0 with the test provider as Custom, signs in, checks the
    // state shown and closes with OK.
    void signInThroughWindow(const TestOAuthProvider& provider, const QString& shown = account) {
        SendingOptionsWindow* options = windows->FormSendingOptions;
        bool checked = false;
        QTimer::singleShot(0, options, [&] {
            const auto close = qScopeGuard([options] {
                if (options->isVisible()) options->reject();
            });
            options->ComboLoginMethod->setCurrentIndex(1);
            options->ComboProvider->setCurrentIndex(int(OAuthProvider::Custom));
            options->EditClientId->setText(QStringLiteral("tarnel-test-client"));
            options->EditAuthorizationUrl->setText(provider.authorizationUrl());
            options->EditTokenUrl->setText(provider.tokenUrl());
            options->EditScope->setText(kScope);
            QCOMPARE(options->LabelSignInState->text(), QStringLiteral("Not signed in"));
            QSignalSpy finished(w->SignIn, &OAuthAccount::signInFinished);
            options->ButtonSignIn->click();
            QCOMPARE(options->LabelSignInState->text(),
                     QStringLiteral("Please sign in with the provider in the browser …"));
            QCOMPARE(options->ButtonSignIn->text(), QStringLiteral("Cancel sign-in"));
            QVERIFY(finished.wait(20000));
            QCOMPARE(finished.first().value(0).toBool(), true);
            QCOMPARE(options->LabelSignInState->text(), QStringLiteral("Signed in as ") + shown);
            QVERIFY(options->ButtonSignOut->isEnabled());
            options->ButtonOk->click();
            checked = true;
        });
        click("ToolButton20");
        QVERIFY(checked);
        QVERIFY(browser.waitFinished());
    }

    // Starts the mailing in the window and answers its question.
    void runMailing() {
        prompts.expectQuestion(true);
        click("ToolButton3");
    }

    QStringList xoauth2Tokens(const TestSmtpServer& smtp) const {
        QStringList tokens;
        for (const auto& login : smtp.logins()) {
            if (login.mechanism != QLatin1String("XOAUTH2")) return {QStringLiteral("not XOAUTH2")};
            tokens << login.password;
        }
        return tokens;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(web.listen(QHostAddress::LocalHost));
        QVERIFY2(secrets.startBus(), qPrintable(secrets.errorString()));
    }

    void init() {
        prompts.reset();
        opened.clear();
        clock = kNow;
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).removeRecursively();
        QDir().mkpath(dataFolderPath());
        QVERIFY(writeBytes(dataFile(QStringLiteral("defaultmail.txt")), "Hallo $Prename $Name\r\n"));
        QFile::remove(openOptionsFile().fileName());
        if (m_keyring) QVERIFY(secrets.clear(QStringLiteral("oauth2")));
    }

    void cleanup() {
        VERIFY_PROMPTS(prompts);
        browser.close();
        dropWindows();
    }

    // First, while no Secret Service runs: the window says so once, and the sign-in serves this program
    // run.
    void withoutSecretService() {
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(1)));
        start();
        prompts.expectWarning([](const ScriptedPrompts::Asked& a) {
            QVERIFY2(
                a.text.startsWith(QLatin1String("No secret store (Secret Service) runs on this machine")),
                qPrintable(a.text));
        });
        signInThroughWindow(provider);
        VERIFY_PROMPTS(prompts);
        runMailing();
        QCOMPARE(smtp.messages().size(), 1);
        QCOMPARE(xoauth2Tokens(smtp), QStringList{provider.accessTokens().value(0)});
        // Said once: the window opened again says nothing more, and still shows the sign-in.
        SendingOptionsWindow* options = windows->FormSendingOptions;
        QString state;
        QTimer::singleShot(0, options, [&] {
            state = options->LabelSignInState->text();
            options->reject();
        });
        click("ToolButton20");
        QCOMPARE(state, QStringLiteral("Signed in as ") + account);
    }

    void startSecretService() {
        QVERIFY2(secrets.startKeyring(), qPrintable(secrets.errorString()));
        m_keyring = true;
    }

    // The sign-in part in both languages, its controls following the method and provider chosen.
    void signInPart_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("texts"); // tab, method label, not signed in, Microsoft's server
        QTest::newRow("German") << 0
                                << QStringList{"Anmeldung", "Anmeldeverfahren:", "Nicht angemeldet",
                                               "SMTP-Server: smtp.office365.com, Port 587 (STARTTLS)",
                                               "Anmelden"};
        QTest::newRow("English") << 1
                                 << QStringList{"Sign-in", "Login method:", "Not signed in",
                                                "SMTP server: smtp.office365.com, port 587 (STARTTLS)",
                                                "Sign in"};
    }
    void signInPart() {
        QFETCH(int, language);
        QFETCH(QStringList, texts);
        start();
        w->State.Language = language;
        w->ApplyLanguage();
        w->State.HelpFile = dataFile(QStringLiteral("help.html"));
        QVERIFY(writeBytes(w->State.HelpFile, "<html></html>"));
        SendingOptionsWindow* options = windows->FormSendingOptions;
        QTimer::singleShot(0, options, [&] {
            const auto close = qScopeGuard([options] { options->reject(); });
            // F1 on this tab opens the help at the sign-in.
            options->TabsOptions->setCurrentIndex(1);
            Q_EMIT options->findChild<QShortcut*>()->activated();
            QCOMPARE(opened.size(), 1);
            QCOMPARE(opened.last().fragment(), QStringLiteral("signin"));
            QCOMPARE(options->TabsOptions->tabText(1), texts[0]);
            QCOMPARE(options->findChild<QLabel*>(QStringLiteral("LabelLoginMethod"))->text(), texts[1]);
            // Password login, as always: nothing of OAuth to fill in.
            QCOMPARE(options->ComboLoginMethod->currentIndex(), 0);
            QVERIFY(!options->EditClientId->isEnabled());
            QVERIFY(!options->ButtonSignIn->isEnabled());
            QVERIFY(options->LabelSignInState->text().isEmpty());
            options->ComboLoginMethod->setCurrentIndex(1);
            QVERIFY(options->EditClientId->isEnabled());
            QCOMPARE(options->LabelSignInState->text(), texts[2]);
            QCOMPARE(options->LabelSmtpServer->text(), texts[3]);
            QCOMPARE(options->ButtonSignIn->text(), texts[4]);
            QVERIFY(options->EditTokenUrl->isReadOnly());
            QCOMPARE(options->EditTokenUrl->text(),
                     QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token"));
            options->ComboProvider->setCurrentIndex(int(OAuthProvider::Google));
            QCOMPARE(options->EditScope->text(), QStringLiteral("https://mail.google.com/ openid email"));
            // Custom: the endpoints typed in, kept while a preset is looked at.
            options->ComboProvider->setCurrentIndex(int(OAuthProvider::Custom));
            QVERIFY(!options->EditTokenUrl->isReadOnly());
            QVERIFY(options->EditTokenUrl->text().isEmpty());
            options->EditTokenUrl->setText(QStringLiteral("https://id.example.test/token"));
            options->ComboProvider->setCurrentIndex(int(OAuthProvider::Microsoft));
            options->ComboProvider->setCurrentIndex(int(OAuthProvider::Custom));
            QCOMPARE(options->EditTokenUrl->text(), QStringLiteral("https://id.example.test/token"));
            QCOMPARE(options->signInSettings().tokenUrl, QStringLiteral("https://id.example.test/token"));
        });
        click("ToolButton20");
        // Escape or Cancel leaves the options as they were.
        QCOMPARE(loadSignInSettings().method, LoginMethod::Password);
    }

    // Sign in, then a mailing and a test mail with an empty password: each logs in with the sign-in's
    // access token (no new one asked for), the refresh token lives in the Secret Service, and neither is
    // in any file.
    void mailingLogsInWithTheToken() {
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(3)));
        start();
        signInThroughWindow(provider);
        QCOMPARE(opened.size(), 1);
        runMailing();
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("3 Mail(s) send."));
        QCOMPARE(smtp.messages().size(), 3);
        QCOMPARE(smtp.connectionCount(), 1);
        QCOMPARE(xoauth2Tokens(smtp), QStringList{provider.accessTokens().value(0)});

        w->EditMail->setText(QStringLiteral("test@example.test"));
        prompts.expectQuestion(false); // no attachment
        click("ToolButton8");
        QVERIFY2(w->LastDelivery.sent, qPrintable(w->LastDelivery.failureText()));
        QCOMPARE(smtp.messages().size(), 4);
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 0);
        QCOMPARE(opened.size(), 1); // no browser for a mailing

        const std::optional<QString> stored = secrets.lookup(QStringLiteral("oauth2"));
        QVERIFY(stored && stored->contains(provider.refreshTokens().value(0)));
        QVERIFY(filesHolding(provider.refreshTokens().value(0)).isEmpty());
        QVERIFY(filesHolding(provider.accessTokens().value(0)).isEmpty());
        const QByteArray optionsFile = readBytes(openOptionsFile().fileName());
        QVERIFY(optionsFile.contains("[SignIn]"));
        QVERIFY(optionsFile.contains("Method=OAuth"));
    }

    // The access token has expired by the program's clock: renewed before the run's first login; or
    // expires while the run goes: renewed before the next message, which logs in again with it.
    void expiredTokenIsRenewed_data() {
        QTest::addColumn<int>("secondsBeforeRun");    // after the sign-in
        QTest::addColumn<int>("secondsPerMail");      // the clock moves on after each delivery
        QTest::addColumn<QList<int>>("tokenOfLogin"); // which issued token each login used
        QTest::addColumn<int>("connections");
        QTest::newRow("expired before the run") << 3600 << 0 << QList<int>{1} << 1;
        QTest::newRow("expires in the middle of the run") << 0 << 1800 << QList<int>{0, 1} << 2;
    }
    void expiredTokenIsRenewed() {
        QFETCH(int, secondsBeforeRun);
        QFETCH(int, secondsPerMail);
        QFETCH(QList<int>, tokenOfLogin);
        QFETCH(int, connections);
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(3)));
        start();
        signInThroughWindow(provider);
        clock = kNow.addSecs(secondsBeforeRun);
        connect(w->IdSMTP, &MailDelivery::busyChanged, this, [this, secondsPerMail](bool busy) {
            if (!busy) clock = clock.addSecs(secondsPerMail);
        });
        runMailing();
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("3 Mail(s) send."));
        QCOMPARE(smtp.messages().size(), 3);
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 1);
        QStringList expected;
        for (int issued : tokenOfLogin)
            expected << provider.accessTokens().value(issued);
        QCOMPARE(xoauth2Tokens(smtp), expected);
        QCOMPARE(smtp.connectionCount(), connections);
    }

    // The server refuses a token the program took for good (expired early at the provider): one new
    // token, one new login, and the run goes on.
    void refusedTokenIsRenewedOnce() {
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(2)));
        start();
        signInThroughWindow(provider);
        QVERIFY(provider.expireAccessTokens());
        runMailing();
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("2 Mail(s) send."));
        QCOMPARE(smtp.messages().size(), 2);
        const auto logins = smtp.logins();
        QCOMPARE(logins.size(), 2);
        QVERIFY(!logins[0].accepted);
        QVERIFY(logins[1].accepted);
        QCOMPARE(xoauth2Tokens(smtp), provider.accessTokens());
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 1);
    }

    // A revoked sign-in: the server refuses the token, the provider refuses to renew it, and the run ends
    // there like a refused login - the list byte for byte, one box at most, and a text that says to sign
    // in again. A server that refuses even the fresh token ends it after that second login. Never a loop.
    void refusedSignInEndsTheRun_data() {
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<bool>("revoked"); // else the server refuses every token
        QTest::addColumn<int>("logins");
        QTest::addColumn<QString>("status");
        const QString signInAgain = QStringLiteral(
            "Login refused: The sign-in with the provider has expired or was revoked (invalid_grant: The "
            "refresh token has expired or was revoked.): please sign in again in the sending options");
        QTest::newRow("revoked, attended") << false << true << 1 << signInAgain;
        QTest::newRow("revoked, unattended") << true << true << 1 << signInAgain;
        QTest::newRow("fresh token refused too")
            << false << false << 2 << QStringLiteral("Login refused: 535 5.7.3 Authentication unsuccessful");
    }
    void refusedSignInEndsTheRun() {
        QFETCH(bool, unattended);
        QFETCH(bool, revoked);
        QFETCH(int, logins);
        QFETCH(QString, status);
        TestOAuthProvider provider(providerOptions());
        START(provider);
        TestSmtpServer::Options options = xoauth2Server(provider);
        options.refuseLogin = !revoked;
        TestSmtpServer smtp(options);
        START(smtp);
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(5)));
        start();
        signInThroughWindow(provider);
        if (revoked) QVERIFY(provider.revoke());
        if (!unattended) {
            prompts.expectQuestion(true);
            prompts.expectError([&status](const ScriptedPrompts::Asked& a) { QCOMPARE(a.text, status); });
        }
        w->State.ScheduleArmed = unattended;
        w->BtnMailClick();
        w->State.ScheduleArmed = false;
        QCOMPARE(smtp.logins().size(), logins);
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 1);
        QCOMPARE(smtp.messages().size(), 0);
        QCOMPARE(readBytes(dataFile(QStringLiteral("sendlist.csv"))), numberedList(5));
        QCOMPARE(w->PanelMessage->text(), status);
        QVERIFY(w->PanelMessage->styleSheet().contains(QLatin1String("#800000")));
    }

    // OAuth chosen but nobody signed in: the run ends before the server is contacted, and no browser opens.
    void notSignedIn() {
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(2)));
        SignInSettings settings;
        settings.method = LoginMethod::OAuth;
        settings.provider = OAuthProvider::Custom;
        settings.clientId = QStringLiteral("tarnel-test-client");
        settings.tokenUrl = provider.tokenUrl();
        QVERIFY(saveSignInSettings(settings));
        start();
        const QString text = QStringLiteral(
            "Login refused: Not signed in with the provider: please sign in in the sending options");
        prompts.expectQuestion(true);
        prompts.expectError([&text](const ScriptedPrompts::Asked& a) { QCOMPARE(a.text, text); });
        click("ToolButton3");
        QCOMPARE(w->PanelMessage->text(), text);
        QCOMPARE(smtp.connectionCount(), 0);
        QVERIFY(provider.requests().isEmpty());
        QVERIFY(opened.isEmpty());
    }

    // Back to the password: AUTH LOGIN as before, whatever sign-in is stored; and the password is needed
    // again.
    void passwordLoginUnchanged() {
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp, QStringLiteral("secret"));
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(2)));
        start();
        signInThroughWindow(provider);
        SendingOptionsWindow* options = windows->FormSendingOptions;
        QTimer::singleShot(0, options, [options] {
            options->ComboLoginMethod->setCurrentIndex(0);
            options->ButtonOk->click();
        });
        click("ToolButton20");
        QCOMPARE(loadSignInSettings().method, LoginMethod::Password);
        runMailing();
        QCOMPARE(smtp.messages().size(), 2);
        const auto logins = smtp.logins();
        QCOMPARE(logins.size(), 1);
        QCOMPARE(logins[0].mechanism, QStringLiteral("LOGIN"));
        QCOMPARE(logins[0].password, QStringLiteral("secret"));
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 0);

        w->MaskEdit->clear();
        prompts.expectError([](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Pls enter your account data first!"));
        });
        click("ToolButton3");
        QCOMPARE(smtp.messages().size(), 2);
    }

    // The next program run takes the sign-in from the Secret Service; its scheduled run renews the access
    // token (which was never stored) and sends without opening a browser.
    void scheduledRunUsesTheStoredSignIn() {
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp);
        QVERIFY(writeBytes(dataFile(QStringLiteral("sendlist.csv")), numberedList(2)));
        start();
        signInThroughWindow(provider);
        dropWindows();

        const QDateTime at = kNow.addSecs(600);
        writeSettings(smtp, QString(), dateToNumber(at.date()), timeToNumber(at.time()));
        opened.clear();
        start();
        QVERIFY(w->State.ScheduleArmed);
        clock = at;
        w->Timer1Timer();
        QCOMPARE(smtp.messages().size(), 2);
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("2 Mail(s) send."));
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 1);
        QCOMPARE(xoauth2Tokens(smtp), QStringList{provider.accessTokens().value(1)});
        QVERIFY(opened.isEmpty());
    }

    // A provider preset fills the account's server when it is still empty; sign out deletes the token.
    void presetServerAndSignOut() {
        START_PROVIDER_AND_SMTP();
        writeSettings(smtp);
        start();
        signInThroughWindow(provider);
        QVERIFY(secrets.lookup(QStringLiteral("oauth2")));
        w->EditHost->clear();
        SendingOptionsWindow* options = windows->FormSendingOptions;
        QString state;
        QTimer::singleShot(0, options, [&] {
            QCOMPARE(options->LabelSignInState->text(), QStringLiteral("Signed in as ") + account);
            // The sign-in belongs to its application: another ID typed in is not signed in.
            QTest::keyClick(options->EditClientId, Qt::Key_X);
            QCOMPARE(options->LabelSignInState->text(), QStringLiteral("Not signed in"));
            QTest::keyClick(options->EditClientId, Qt::Key_Backspace);
            QCOMPARE(options->LabelSignInState->text(), QStringLiteral("Signed in as ") + account);
            options->ButtonSignOut->click();
            state = options->LabelSignInState->text();
            options->ComboProvider->setCurrentIndex(int(OAuthProvider::Microsoft));
            options->ButtonOk->click();
        });
        click("ToolButton20");
        QCOMPARE(state, QStringLiteral("Not signed in"));
        QCOMPARE(secrets.lookup(QStringLiteral("oauth2")), std::nullopt);
        QCOMPARE(w->EditHost->text(), QStringLiteral("smtp.office365.com"));
        QCOMPARE(w->EditPort->text(), QStringLiteral("587"));
    }
};

TARNEL_TEST_MAIN(TstFormNewMailSignIn)
#include "tst_formnewmail_signin.moc"
