#pragma once

#include "mailing/mailrequest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// How connections are made. The defaults are the program's own; the rest is for tests.
struct SmtpOptions {
    int connectTimeoutSeconds = 30;
    int responseTimeoutSeconds = 30;
    // Test-only: a CA bundle trusted instead of the system's store, fixed name-to-address entries in
    // curl's "host:port:address" form, and redirections in its "host:port:to-host:to-port" form.
    QString caFile;
    QStringList resolve;
    QStringList connectTo;
};

struct DeliveryResult {
    bool sent = false;
    // The server's failing reply line, e.g. "550 5.1.1 <x@y>: Recipient address rejected"; empty when the
    // failure was not a server reply (no connection, time-out, certificate refused...).
    QString serverReply;
    // The failure in the transport's own words.
    QString error;
    // A reused connection had gone stale; the message went out again over a new one.
    bool retried = false;
};

// True when the host text itself names this machine: "localhost", an IPv4 address in 127.0.0.0/8, ::1.
// A name that merely resolves to a loopback address does not count.
bool isLoopbackHost(const QString& host);

// One SMTP connection that carries many messages: opened by the first, reused while it stays open, closed
// after any failure. Blocking; use it from one thread only, the one its curl handle belongs to.
class SmtpSession {
public:
    explicit SmtpSession(const SmtpOptions& options = {});
    ~SmtpSession();
    SmtpSession(const SmtpSession&) = delete;
    SmtpSession& operator=(const SmtpSession&) = delete;

    void setOptions(const SmtpOptions& options);
    const SmtpOptions& options() const { return m_options; }

    // Sends over the open connection, or opens one as the mail's account says when none is open.
    DeliveryResult send(const PreparedMail& mail);
    // Whether the connection of an earlier message is open. A connection the server has closed (or bid
    // goodbye on) in the meantime is dropped here and reported closed.
    bool isOpen();
    // The account the open connection was made with; later messages travel as this until it is closed.
    const SmtpAccount& connectedAccount() const { return m_account; }
    // Says QUIT and closes; errors are ignored.
    void close();

    // What curl reports while a transfer runs; kept here so it outlives every transfer.
    struct Trace {
        bool dataCommandSent = false;
        bool startTlsSent = false;
        bool authOffered = false;  // the EHLO answer names AUTH methods...
        bool loginOffered = false; // ...and LOGIN among them
        QByteArray failureLine;
        char errorBuffer[256] = {};
        void reset();
    };

private:
    enum class Outcome { Sent, Failed, Stale, LoginNotOffered };
    Outcome perform(const SmtpAccount& account, bool login, const PreparedMail& mail, DeliveryResult& result);
    bool connectionLooksAlive();

    SmtpOptions m_options;
    void* m_curl = nullptr; // CURL*
    bool m_open = false;
    bool m_tls = false;
    bool m_login = false; // the open connection was made with a login
    SmtpAccount m_account;
    Trace m_trace;
};
