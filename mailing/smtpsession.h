#pragma once

#include "mailing/mailrequest.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// How connections are made. The defaults are the program's own; the rest is for tests.
struct SmtpOptions {
    int connectTimeoutSeconds = 30;
    int responseTimeoutSeconds = 30;
    // Test-only: a CA certificate (PEM file) trusted instead of the system's store.
    QString caFile;
    // Test-only: a connection to `host`:`port` goes to `address`:`toPort` instead, while the server's
    // certificate is still checked against `host`.
    struct Redirect {
        QString host;
        int port = 0;
        QString address;
        int toPort = 0;
    };
    QList<Redirect> redirects;
};

struct DeliveryResult {
    bool sent = false;
    // The server's failing reply, e.g. "550 5.1.1 <x@y>: Recipient address rejected" (the lines of a
    // multi-line reply joined by blanks); empty when the failure was not a server reply (no connection,
    // time-out, certificate refused...).
    QString serverReply;
    // The failure in the transport's own words.
    QString error;
    // A reused connection had gone stale; the message went out again over a new one.
    bool retried = false;
};

// True when the host text itself names this machine: "localhost", an IPv4 address in 127.0.0.0/8, ::1.
// A name that merely resolves to a loopback address does not count.
bool isLoopbackHost(const QString& host);

class SmtpLink;

// One SMTP connection that carries many messages: opened by the first, reused while it stays open, closed
// after any failure. Where the server offers PIPELINING the envelope and DATA go out as one group (two
// round trips per message); where it also offers CHUNKING the whole message does (one round trip).
// Every message is finished, its outcome known, before send() returns. Blocking; use it from one thread
// only, the one that made the connection.
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
    // Says QUIT, waits briefly for the answer, and closes; errors are ignored.
    void close();

private:
    enum class Outcome { Sent, Failed, Retry };
    class Transfer; // one message over the open connection
    Outcome deliver(const SmtpAccount& account, const PreparedMail& mail, DeliveryResult& result);
    bool open(const SmtpAccount& account);
    void drop();

    SmtpOptions m_options;
    std::unique_ptr<SmtpLink> m_link; // set while a connection is open
    SmtpAccount m_account;
};
