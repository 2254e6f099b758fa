#include "core/optionsfile.h"
#include "signin/oauthaccount.h"
#include "signin/signinsettings.h"
#include "tests/support/closedport.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testoauthprovider.h"
#include "tests/support/testsecretservice.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>

#include <memory>

// The OAuth 2.0 sign-in against the test provider on 127.0.0.1, played through by a browser stand-in, with
// a real Secret Service (gnome-keyring) on a private session bus.

namespace {

const QString kUser = QStringLiteral("user@example.test");
const QDateTime kNow(QDate(2026, 12, 9), QTime(18, 30, 10));

SignInSettings settingsFor(const TestOAuthProvider& provider,
                           const QString& clientId = "tarnel-test-client") {
    SignInSettings s;
    s.method = LoginMethod::OAuth;
    s.provider = OAuthProvider::Custom;
    s.clientId = clientId;
    s.authorizationUrl = provider.authorizationUrl();
    s.tokenUrl = provider.tokenUrl();
    s.scope = QStringLiteral("https://mail.example.test/smtp offline_access openid email");
    return s;
}

} // namespace

class TstSignIn : public QObject {
    Q_OBJECT

    TestSecretService secrets;
    bool m_keyring = false; // the Secret Service runs
    TestBrowser browser;
    QList<QUrl> opened;

    // An account whose browser is the stand-in, on the tests' clock.
    std::unique_ptr<OAuthAccount> account(QDateTime* clock = nullptr) {
        auto a = std::make_unique<OAuthAccount>();
        a->openBrowser = [this](const QUrl& url) {
            opened << url;
            browser.open(url);
            return true;
        };
        if (clock) a->now = [clock] { return *clock; };
        return a;
    }

    // Signs in through the browser; returns the finished signal's arguments.
    static QList<QVariant> signIn(OAuthAccount& a, const SignInSettings& settings,
                                  const QString& hint = QString()) {
        QSignalSpy finished(&a, &OAuthAccount::signInFinished);
        a.signIn(settings, hint);
        if (finished.isEmpty() && !finished.wait(20000)) return {};
        return finished.takeFirst();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(secrets.startBus(), qPrintable(secrets.errorString())); }

    void init() {
        opened.clear();
        QFile::remove(openOptionsFile().fileName());
        if (m_keyring) QVERIFY(secrets.clear(QStringLiteral("oauth2")));
    }

    void cleanup() { browser.close(); }

    // First, while the bus has no Secret Service: the sign-in works for the program run, says so once,
    // and leaves the token in no file; the next run is not signed in.
    void noSecretService() {
        TestOAuthProvider provider;
        START(provider);
        const SignInSettings settings = settingsFor(provider);
        auto first = account();
        const QList<QVariant> result = signIn(*first, settings);
        QCOMPARE(result.value(0).toBool(), true);
        QCOMPARE(result.value(1).toString(), kUser);
        const QString notice = first->takeStoreNotice();
        QVERIFY2(notice.startsWith(QLatin1String("No secret store (Secret Service) runs on this machine: the "
                                                 "sign-in holds only until the program ends.")),
                 qPrintable(notice));
        QCOMPARE(first->takeStoreNotice(), QString());
        QCOMPARE(first->signedInAddress(settings), std::optional<QString>(kUser));
        // The refresh token kept in memory still renews the access token.
        const AccessToken renewed = first->accessToken(settings, true);
        QVERIFY(renewed.granted());
        QCOMPARE(renewed.token, provider.accessTokens().value(1));
        QCOMPARE(first->takeStoreNotice(), QString());
        QVERIFY(filesHolding(provider.refreshTokens().value(0)).isEmpty());

        auto nextRun = account();
        QCOMPARE(nextRun->signedInAddress(settings), std::nullopt);
        QCOMPARE(nextRun->accessToken(settings, false).state, AccessToken::State::NotSignedIn);
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 1);
    }

    void startSecretService() {
        QVERIFY2(secrets.startKeyring(), qPrintable(secrets.errorString()));
        m_keyring = true;
    }

    // The whole sign-in: the browser opens at the provider with PKCE (S256), the account's address as
    // hint and the redirect to localhost; the provider checks the verifier; the refresh token goes to the
    // Secret Service, and the address the id_token names is shown.
    void signInEndToEnd_data() {
        QTest::addColumn<QString>("secret");  // the client secret the provider wants; empty: a public client
        QTest::addColumn<bool>("idToken");    // the provider names the account
        QTest::addColumn<QString>("hint");    // the account's address as typed
        QTest::addColumn<QString>("address"); // shown as signed in
        QTest::newRow("public client, id_token") << QString() << true << "typed@example.test" << kUser;
        QTest::newRow("confidential client") << "s3cret" << true << QString() << kUser;
        QTest::newRow("no id_token: the typed address") << QString() << false << " typed@example.test "
                                                        << "typed@example.test";
    }
    void signInEndToEnd() {
        QFETCH(QString, secret);
        QFETCH(bool, idToken);
        QFETCH(QString, hint);
        QFETCH(QString, address);
        TestOAuthProvider::Options options;
        options.clientSecret = secret;
        options.idToken = idToken;
        options.scope = QStringLiteral("https://mail.example.test/smtp offline_access openid email");
        TestOAuthProvider provider(options);
        START(provider);
        SignInSettings settings = settingsFor(provider);
        settings.clientSecret = secret;
        auto a = account();
        const QList<QVariant> result = signIn(*a, settings, hint);
        QVERIFY(browser.waitFinished());
        QCOMPARE(result.value(0).toBool(), true);
        QCOMPARE(result.value(1).toString(), address);
        QCOMPARE(a->takeStoreNotice(), QString());

        QCOMPARE(opened.size(), 1);
        const QUrlQuery query(opened[0]);
        QCOMPARE(query.queryItemValue(QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
        QCOMPARE(query.queryItemValue(QStringLiteral("login_hint"), QUrl::FullyDecoded), hint.trimmed());
        QVERIFY(QUrl(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded)).host() ==
                QLatin1String("localhost"));
        // What the browser saw: the provider's redirect, then the program's page.
        QVERIFY2(browser.output().contains(QLatin1String("PROGRAM 200")), qPrintable(browser.output()));
        QVERIFY(browser.output().contains(QLatin1String("Tarnel has received the sign-in.")));
        const auto codeGrants = provider.tokenRequests(QStringLiteral("authorization_code"));
        QCOMPARE(codeGrants.size(), 1);
        QVERIFY(codeGrants[0].value(QLatin1String("ok")).toBool());
        QCOMPARE(codeGrants[0].value(QLatin1String("client_secret_sent")).toBool(), !secret.isEmpty());

        const QString refreshToken = provider.refreshTokens().value(0);
        const std::optional<QString> stored = secrets.lookup(QStringLiteral("oauth2"));
        QVERIFY(stored && stored->contains(refreshToken));
        QVERIFY(filesHolding(refreshToken).isEmpty());
        QVERIFY(filesHolding(provider.accessTokens().value(0)).isEmpty());
        QCOMPARE(a->signedInAddress(settings), std::optional<QString>(address));
        QCOMPARE(a->signedInAddress(settingsFor(provider, QStringLiteral("another-client"))), std::nullopt);
        // The sign-in's own access token serves the first login: no request for another.
        const AccessToken token = a->accessToken(settings, false);
        QVERIFY(token.granted());
        QCOMPARE(token.token, provider.accessTokens().value(0));
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 0);
    }

    // A sign-in that does not come about says why, and stores nothing.
    void signInFails_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("browserOpened");
        QTest::addColumn<QString>("text");
        QTest::newRow("consent declined")
            << "decline" << true
            << "The provider refused the sign-in: access_denied: The user declined the consent.";
        QTest::newRow("wrong client secret")
            << "secret" << true << "The provider refused the sign-in: invalid_client: Invalid client secret.";
        QTest::newRow("no client ID")
            << "clientId" << false << "Please enter the application (client) ID first.";
        QTest::newRow("plain http off this machine")
            << "http" << false
            << "The provider's address must begin with https://: http://mail.example.test/token";
        QTest::newRow("no browser") << "browser" << true << "The browser could not be opened.";
        QTest::newRow("cancelled") << "cancel" << true << "Sign-in cancelled.";
        QTest::newRow("token endpoint down") << "down" << true << "The provider cannot be reached: ";
    }
    void signInFails() {
        QFETCH(QString, fault);
        QFETCH(bool, browserOpened);
        QFETCH(QString, text);
        TestOAuthProvider::Options options;
        options.denyConsent = fault == QLatin1String("decline");
        options.clientSecret = fault == QLatin1String("secret") ? QStringLiteral("right") : QString();
        TestOAuthProvider provider(options);
        START(provider);
        SignInSettings settings = settingsFor(provider);
        if (fault == QLatin1String("secret")) settings.clientSecret = QStringLiteral("wrong");
        if (fault == QLatin1String("clientId")) settings.clientId = QStringLiteral("  ");
        if (fault == QLatin1String("http"))
            settings.tokenUrl = QStringLiteral("http://mail.example.test/token");
        if (fault == QLatin1String("down"))
            settings.tokenUrl = QStringLiteral("http://127.0.0.1:%1/token").arg(closedPort());
        auto a = account();
        if (fault == QLatin1String("browser"))
            a->openBrowser = [this](const QUrl& url) {
                opened << url;
                return false;
            };
        if (fault == QLatin1String("cancel"))
            a->openBrowser = [this, &a](const QUrl& url) {
                opened << url;
                QTimer::singleShot(0, a.get(), [&a] { a->cancelSignIn(); });
                return true;
            };
        const QList<QVariant> result = signIn(*a, settings);
        QCOMPARE(result.value(0).toBool(), false);
        QVERIFY2(result.value(1).toString().startsWith(text), qPrintable(result.value(1).toString()));
        QCOMPARE(opened.size(), browserOpened ? 1 : 0);
        QVERIFY(!a->signingIn());
        QCOMPARE(a->signedInAddress(settings), std::nullopt);
        QCOMPARE(secrets.lookup(QStringLiteral("oauth2")), std::nullopt);
        browser.waitFinished();
    }

    // The access token is renewed with the refresh token when it has less than a minute left or the
    // caller asks; a rotated refresh token replaces the stored one; a refusal or a provider out of reach
    // is said as such.
    void accessToken_data() {
        QTest::addColumn<int>("minutesLater"); // by the clock, after the sign-in (tokens live an hour)
        QTest::addColumn<bool>("renew");
        QTest::addColumn<bool>("rotate");
        QTest::addColumn<QString>("provider"); // "up", "revoked", "down"
        QTest::addColumn<int>("state");        // AccessToken::State
        QTest::addColumn<int>("refreshes");

        const int granted = int(AccessToken::State::Granted);
        QTest::newRow("58 minutes on: the sign-in's token") << 58 << false << false << "up" << granted << 0;
        QTest::newRow("59.5 minutes on: renewed") << 60 << false << false << "up" << granted << 1;
        QTest::newRow("renew asked for") << 0 << true << false << "up" << granted << 1;
        QTest::newRow("rotated refresh token") << 61 << false << true << "up" << granted << 1;
        QTest::newRow("revoked: refused")
            << 61 << false << false << "revoked" << int(AccessToken::State::Refused) << 1;
        QTest::newRow("provider down: unreachable")
            << 61 << false << false << "down" << int(AccessToken::State::Unreachable) << 0;
    }
    void accessToken() {
        QFETCH(int, minutesLater);
        QFETCH(bool, renew);
        QFETCH(bool, rotate);
        QFETCH(QString, provider);
        QFETCH(int, state);
        QFETCH(int, refreshes);
        TestOAuthProvider::Options options;
        options.rotateRefreshTokens = rotate;
        TestOAuthProvider oauth(options);
        START(oauth);
        const SignInSettings settings = settingsFor(oauth);
        QDateTime clock = kNow;
        auto a = account(&clock);
        QCOMPARE(signIn(*a, settings).value(0).toBool(), true);
        clock = kNow.addSecs(minutesLater * 60 - (minutesLater == 60 ? 30 : 0));
        if (provider == QLatin1String("revoked")) QVERIFY(oauth.revoke());
        if (provider == QLatin1String("down")) oauth.stop();

        const AccessToken token = a->accessToken(settings, renew);
        QCOMPARE(int(token.state), state);
        QCOMPARE(oauth.tokenRequests(QStringLiteral("refresh_token")).size(), refreshes);
        const QStringList issued = oauth.accessTokens();
        if (state == int(AccessToken::State::Granted)) QCOMPARE(token.token, issued.last());
        if (provider == QLatin1String("revoked"))
            QCOMPARE(token.reason,
                     QStringLiteral("invalid_grant: The refresh token has expired or was revoked."));
        if (provider == QLatin1String("down")) QVERIFY(!token.reason.isEmpty());
        if (state != int(AccessToken::State::Granted)) QVERIFY(token.token.isEmpty());
        // The stored refresh token is the one in force.
        const std::optional<QString> stored = secrets.lookup(QStringLiteral("oauth2"));
        QVERIFY(stored && stored->contains(oauth.refreshTokens().last()));
        QCOMPARE(oauth.refreshTokens().size(), rotate ? 2 : 1);
        if (rotate) {
            // The next run takes the new refresh token from the store.
            auto nextRun = account(&clock);
            QVERIFY(nextRun->accessToken(settings, false).granted());
        }
    }

    // A program run after the sign-in finds it in the Secret Service and renews the token from it (the
    // access token itself was never stored); signing out deletes it there.
    void nextRunAndSignOut() {
        TestOAuthProvider provider;
        START(provider);
        const SignInSettings settings = settingsFor(provider);
        QCOMPARE(signIn(*account(), settings).value(0).toBool(), true);

        auto nextRun = account();
        QCOMPARE(nextRun->signedInAddress(settings), std::optional<QString>(kUser));
        const AccessToken token = nextRun->accessToken(settings, false);
        QVERIFY(token.granted());
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 1);
        QVERIFY(filesHolding(token.token).isEmpty());

        nextRun->signOut();
        QCOMPARE(secrets.lookup(QStringLiteral("oauth2")), std::nullopt);
        QCOMPARE(nextRun->signedInAddress(settings), std::nullopt);
        QCOMPARE(nextRun->accessToken(settings, false).state, AccessToken::State::NotSignedIn);
        QCOMPARE(account()->signedInAddress(settings), std::nullopt);
        QCOMPARE(provider.tokenRequests(QStringLiteral("refresh_token")).size(), 1);
    }

    // The sign-in settings beside the sending options, never a token; a garbled file gives password login.
    void settingsFile_data() {
        QTest::addColumn<QByteArray>("file"); // empty: written by saveSignInSettings first
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("provider");
        QTest::addColumn<QString>("clientId");
        QTest::newRow("round trip") << QByteArray() << int(LoginMethod::OAuth) << int(OAuthProvider::Google)
                                    << "id-123";
        QTest::newRow("no file") << QByteArray("-") << int(LoginMethod::Password)
                                 << int(OAuthProvider::Microsoft) << "";
        QTest::newRow("garbage") << QByteArray("\xff\xfe\x00[SignIn\nMethod=\x01\x02", 20)
                                 << int(LoginMethod::Password) << int(OAuthProvider::Microsoft) << "";
        QTest::newRow("unknown names")
            << QByteArray("[SignIn]\nMethod=Kerberos\nProvider=Yahoo\nClientId= x \n")
            << int(LoginMethod::Password) << int(OAuthProvider::Microsoft) << "x";
        QTest::newRow("any letter case") << QByteArray("[SignIn]\nMethod=oauth\nProvider=custom\n")
                                         << int(LoginMethod::OAuth) << int(OAuthProvider::Custom) << "";
    }
    void settingsFile() {
        QFETCH(QByteArray, file);
        QFETCH(int, method);
        QFETCH(int, provider);
        QFETCH(QString, clientId);
        const QString path = openOptionsFile().fileName();
        QVERIFY(path.endsWith(QLatin1String("/tarnel/tarnel.conf")));
        if (file.isEmpty()) {
            SignInSettings s;
            s.method = LoginMethod(method);
            s.provider = OAuthProvider(provider);
            s.clientId = clientId;
            s.clientSecret = QStringLiteral("sec");
            QVERIFY(saveSignInSettings(s));
            QCOMPARE(loadSignInSettings(), s);
            // It holds the client secret.
            QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
            return;
        }
        if (file != "-") {
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QVERIFY(writeBytes(path, file));
        }
        const SignInSettings s = loadSignInSettings();
        QCOMPARE(int(s.method), method);
        QCOMPARE(int(s.provider), provider);
        QCOMPARE(s.clientId, clientId);
    }

    void presets() {
        SignInSettings s;
        s.provider = OAuthProvider::Microsoft;
        QCOMPARE(s.endpoints().tokenUrl,
                 QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token"));
        QVERIFY(s.endpoints().scope.startsWith(
            QLatin1String("https://outlook.office.com/SMTP.Send offline_access")));
        QCOMPARE(s.endpoints().smtpHost, QStringLiteral("smtp.office365.com"));
        s.provider = OAuthProvider::Google;
        QVERIFY(s.endpoints().scope.startsWith(QLatin1String("https://mail.google.com/")));
        QCOMPARE(s.endpoints().smtpPort, 587);
        // The custom fields count only for Custom.
        s.tokenUrl = QStringLiteral("https://example.test/token");
        QCOMPARE(s.endpoints().tokenUrl, QStringLiteral("https://oauth2.googleapis.com/token"));
        s.provider = OAuthProvider::Custom;
        QCOMPARE(s.endpoints().tokenUrl, QStringLiteral("https://example.test/token"));
    }

    void idTokenAddress_data() {
        QTest::addColumn<QString>("claims");
        QTest::addColumn<QString>("address");
        QTest::newRow("email") << R"({"email":"a@b.test","preferred_username":"x@y.test"})"
                               << "a@b.test";
        QTest::newRow("preferred_username") << R"({"preferred_username":"x@y.test","upn":"u@v"})"
                                            << "x@y.test";
        QTest::newRow("upn") << R"({"upn":"u@v.test"})"
                             << "u@v.test";
        QTest::newRow("none") << R"({"sub":"123"})"
                              << "";
        QTest::newRow("no JSON") << "not json"
                                 << "";
        // Lengths 1, 2 and 3 mod 3: every form of unpadded base64url.
        QTest::newRow("padding 1") << R"({"email":"ab@c.test"})"
                                   << "ab@c.test";
        QTest::newRow("padding 2") << R"({"email":"abc@c.test"})"
                                   << "abc@c.test";
    }
    void idTokenAddress() {
        QFETCH(QString, claims);
        QFETCH(QString, address);
        const auto part = [](const QByteArray& bytes) {
            return QString::fromLatin1(
                bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        };
        const QString token =
            part(R"({"alg":"none"})") + QLatin1Char('.') + part(claims.toUtf8()) + QLatin1Char('.');
        QCOMPARE(::idTokenAddress(token), address);
        QCOMPARE(::idTokenAddress(QStringLiteral("no-dots")), QString());
    }
};

TARNEL_TEST_MAIN(TstSignIn)
#include "tst_signin.moc"
