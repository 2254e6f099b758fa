#pragma once

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
        enum class Auth { None, Login, Plain };
        Auth auth = Auth::None; // the mechanism offered
        bool authRequired = true;
        QString user = QStringLiteral("user@example.test");
        QString password = QStringLiteral("secret");
        bool refuseLogin = false;
        bool startTls = false;
        bool implicitTls = false;
        QStringList refuseRecipients;
        int closeAfter = 0;       // close a connection after its Nth message
        int goodbyeAfter = 0;     // after the Nth message of a connection say 421 unasked and close
        int failMailAfter = -1;   // after N messages of a connection answer MAIL with 421 and close
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
    // How many connections saw the event: "connect", "close", "goodbye" (421 said unasked), "message".
    int eventCount(const QString& event) const;
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
