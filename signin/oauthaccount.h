#pragma once

#include "core/accesstoken.h"
#include "signin/secretstore.h"
#include "signin/signinsettings.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

struct OAuthTokenAnswer;

// The OAuth 2.0 sign-in of the mail account: the browser flow (authorization code with PKCE, the
// provider sending the browser back to a port on this machine's loopback), the refresh token kept in the
// secret store, and the short-lived access tokens the SMTP login takes. Access tokens live in memory only.
// One sign-in is kept at a time, together with the token endpoint and application ID it belongs to.
class OAuthAccount : public QObject {
    Q_OBJECT
public:
    explicit OAuthAccount(QObject* parent = nullptr);
    ~OAuthAccount() override;

    // Opens the provider's page in the browser; the main window gives its own (tests see the address).
    std::function<bool(const QUrl&)> openBrowser;
    // The clock the tokens' lifetimes are measured by; the system's when empty.
    std::function<QDateTime()> now;
    // The language of the texts this writes itself: 0 German, every other value English.
    int language = 1;
    // How long a token request may take, and how long the sign-in waits for the browser to come back.
    int requestTimeoutMs = 30000;
    int browserTimeoutMs = 10 * 60 * 1000;

    // Opens the browser at the provider's sign-in page and returns; signInFinished follows. `loginHint`
    // (the account's address) fills in the provider's sign-in form. Replaces a sign-in in progress.
    void signIn(const SignInSettings& settings, const QString& loginHint);
    void cancelSignIn();
    bool signingIn() const { return m_flow != nullptr; }
    // Who is signed in for the settings' provider and application: nullopt when nobody is (the address may
    // be empty when the provider named nobody and no hint was given).
    std::optional<QString> signedInAddress(const SignInSettings& settings);
    // Deletes the stored sign-in and forgets the access token.
    void signOut();
    // A token for the SMTP login: the one at hand while it has more than a minute left and `renew` is
    // false, else a new one from the refresh token. Waits for the provider in a local event loop; never
    // opens a browser.
    AccessToken accessToken(const SignInSettings& settings, bool renew);
    // How the account logs in by the stored sign-in settings: with OAuth 2.0 without a password, its tokens
    // from this sign-in (never through a browser: a scheduled run takes it too). Read anew on each call.
    struct Login {
        bool needsPassword = true;
        AccessTokenSource accessToken; // empty for password login
    };
    Login login();
    // Once per program run, after the secret store failed: that the sign-in holds for this run only.
    QString takeStoreNotice();

Q_SIGNALS:
    // ok: signed in, `text` is the address (possibly empty); else `text` says why not.
    void signInFinished(bool ok, const QString& text);

private:
    struct Stored {
        QString refreshToken;
        QString address;
        QString tokenUrl;
        QString clientId;
    };
    class SignInFlow;
    class RefreshRequest;

    const std::optional<Stored>& stored();
    static bool belongsTo(const Stored& stored, const SignInSettings& settings);
    void keep(const Stored& stored);
    void finishSignIn(const OAuthTokenAnswer& answer, const SignInSettings& settings, const QString& hint);
    void failSignIn(const QString& why);
    void takeAccessToken(const OAuthTokenAnswer& answer);
    QDateTime clock() const;

    SecretStore m_store;
    std::optional<Stored> m_stored;
    bool m_loaded = false;
    QString m_accessToken;
    QDateTime m_expiry; // by `now`
    std::unique_ptr<SignInFlow> m_flow;
    bool m_noticeGiven = false;
};

// The account an OpenID Connect id_token names ("email", else "preferred_username", else "upn"), read
// without checking its signature: it is only shown. Empty when it names none or is no JWT.
QString idTokenAddress(const QString& idToken);
// RFC 7636 S256: the BASE64URL (unpadded) SHA-256 of the verifier.
QByteArray pkceChallenge(const QByteArray& verifier);
