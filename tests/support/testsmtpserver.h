#pragma once

#include "tests/support/scriptserver.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The test SMTP server (smtpserver.py, aiosmtpd) in its own process on a free port of 127.0.0.1, with what
// it recorded: every connection, command, login and message.
class TestSmtpServer {
public:
    struct Options {
        // XOAuth2 offers LOGIN and XOAUTH2, as Microsoft's and Google's servers do.
        enum class Auth { None, Login, Plain, XOAuth2 };
        Auth auth = Auth::None; // the mechanism offered
        bool authRequired = true;
        QString user = QStringLiteral("user@example.test");
        QString password = QStringLiteral("secret");
        bool refuseLogin = false; // also refuses every token
        // The access tokens XOAUTH2 takes: the file the test OAuth provider keeps...
        QString oauthTokenFile;
        // ...or, without a provider, these, for `user`, valid for an hour.
        QStringList acceptedTokens;
        QString refuseTokenReply = QStringLiteral("535 5.7.3 Authentication unsuccessful");
        QString refuseLoginReply = QStringLiteral("535 5.7.8 Authentication credentials invalid");
        bool authOldForm = false; // offer AUTH only as "AUTH=LOGIN"
        bool startTls = false;
        bool implicitTls = false;
        // A certificate of the server's own making, signed by no CA the tests trust (for localhost,
        // 127.0.0.1 and mail.example.test).
        bool selfSignedCertificate = false;
        // Extensions offered. A client that talks ahead of the server's replies where it may not (no
        // PIPELINING, or after a command that ends a group) gets "554 SMTP synchronization error".
        bool pipelining = true;
        bool chunking = false;
        bool noEhlo = false; // answer EHLO with 502: HELO only
        bool smtpUtf8 = false;
        int sizeLimit = -1;             // the SIZE offered and kept; 0: none offered; -1: aiosmtpd's 32 MB
        bool multilineRefusals = false; // refused senders and recipients get three-line replies
        // "VERB" or "VERB#N": after answering the command the first (Nth) time in the server's life a 250
        // nobody asked for, in the same write ("END": before the end of data's reply).
        QString strayReplyAfter;
        // "VERB=TEXT": the command answered with TEXT ("\n" starts a new line) instead of being handled;
        // "END=TEXT": the reply to a stored message.
        QStringList replies;
        int replyTimes = 0;   // the replies hold for the first N uses of their command only (0: always)
        QString floodReplyTo; // answered with 85 KB of continuation lines
        QStringList refuseRecipients;
        QStringList refuseSenders; // MAIL FROM answered with 550
        QStringList refuseContent; // the end of a message to one of them answered with refuseContentReply
        QString refuseContentReply = QStringLiteral("554 5.7.1 Message content rejected");
        int closeAfter = 0;       // close a connection after its Nth message
        int goodbyeAfter = 0;     // after the Nth message of a connection say 421 unasked and close
        int failMailAfter = -1;   // after N messages of a connection answer MAIL with 421 and close
        int failRcptAfter = -1;   // ...RCPT likewise
        QString dropOn;           // drop the connection unanswered when this command arrives...
        int dropOnAfter = 0;      // ...once the connection has carried N messages
        int silentAfter = 0;      // after N messages of a connection answer nothing more
        bool greeting421 = false; // greet with 421 and close
        int dropAfterData = 0;    // keep the Nth message of a connection but drop it unanswered
        double delaySeconds = 0;
        QString delayOn = QStringLiteral("ALL"); // GREETING, a command name, END or ALL
    };
    struct Command {
        int connection;
        QString verb;
        QString argument;
        bool tls;
        bool pipelined; // the client's next bytes had arrived before this command was answered
    };
    struct Login {
        int connection;
        QString mechanism;
        QString user;
        QString password;
        bool accepted;
    };
    struct Message {
        int connection;
        QString sender;
        QStringList recipients;
        QByteArray data;
    };

    TestSmtpServer();
    explicit TestSmtpServer(const Options& options);
    ~TestSmtpServer();
    TestSmtpServer(const TestSmtpServer&) = delete;
    TestSmtpServer& operator=(const TestSmtpServer&) = delete;

    // Starts the server and waits until it listens; on failure errorString() says why.
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    // Read afresh from the record at each call.
    QList<Command> commands() const;
    QStringList verbs() const; // the command names in order, e.g. {"EHLO", "AUTH", "MAIL", ...}
    QList<Login> logins() const;
    QList<Message> messages() const;
    int connectionCount() const;
    int closedConnectionCount() const;
    // How many connections saw the event: "connect", "close", "goodbye" (421 said unasked), "message",
    // "drop", "sync-error".
    int eventCount(const QString& event) const;
    // Every record of the event, in order ("xoauth2-answer": {"empty": whether the client's answer to a
    // refused token's 334 was the empty line}).
    QList<QJsonObject> events(const QString& event) const;
    // Processes events until `ready` holds or `timeoutMs` has passed; returns whether it held.
    static bool waitFor(const std::function<bool()>& ready, int timeoutMs = 5000);

    // The test CA's certificate (made once per test process with openssl); empty if that failed.
    static QString caFile();

private:
    QList<QJsonObject> entries() const;

    Options m_options;
    QTemporaryDir m_record;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};
