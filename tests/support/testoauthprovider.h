#pragma once

#include "tests/support/scriptserver.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// The test OAuth 2.0 provider (oauthprovider.py) in its own process on a free port of 127.0.0.1, with what
// it recorded. Its tokens file tells the test SMTP server which access tokens are in force
// (TestSmtpServer::Options::oauthTokenFile).
class TestOAuthProvider {
public:
    struct Options {
        QString clientId = QStringLiteral("tarnel-test-client");
        QString clientSecret; // empty: a public client, which may send no secret at all
        QString user = QStringLiteral("user@example.test"); // who gives the consent
        QString scope;                                      // the scope a request must ask for; empty: any
        int expiresIn = 3600;                               // access token lifetime, seconds
        bool rotateRefreshTokens = false;
        bool denyConsent = false;
        bool idToken = true; // issue an id_token for the scope "openid"
    };

    TestOAuthProvider();
    explicit TestOAuthProvider(const Options& options);
    ~TestOAuthProvider();
    TestOAuthProvider(const TestOAuthProvider&) = delete;
    TestOAuthProvider& operator=(const TestOAuthProvider&) = delete;

    bool start();
    void stop();
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    QString authorizationUrl() const;
    QString tokenUrl() const;
    QString tokenFile() const;

    // Every refresh and access token stops working (the user revoked the program's access).
    bool revoke();
    // Every access token issued so far expires now, whatever its lifetime said.
    bool expireAccessTokens();

    // Read afresh from the record: every request, in order ({"endpoint": "authorize" | "token", ...}).
    QList<QJsonObject> requests() const;
    // Token requests of the grant type ("authorization_code", "refresh_token").
    QList<QJsonObject> tokenRequests(const QString& grantType) const;
    // Tokens issued, in order.
    QStringList accessTokens() const;
    QStringList refreshTokens() const;

private:
    bool command(const QByteArray& line);

    Options m_options;
    QTemporaryDir m_record;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};

// Plays the user's browser for a sign-in (browser.py): fetches the authorization address the program
// opened and follows the provider's redirect back to the program's loopback port, in a process of its own,
// so the program's event loop answers the redirect meanwhile. Contacts 127.0.0.1 only.
class TestBrowser {
public:
    ~TestBrowser();
    void open(const QUrl& url);
    // Waits (handling events) until the visit ended; false after the time-out.
    bool waitFinished(int timeoutMs = 15000);
    // What it printed: "PROVIDER 302 <location>", "PROGRAM 200" and the page the program's port showed.
    QString output() const { return m_output; }
    int visits() const { return m_visits; }
    // Ends a visit still going.
    void close();

private:
    std::unique_ptr<QProcess> m_process;
    QString m_output;
    int m_visits = 0;
};
