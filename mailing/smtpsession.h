#pragma once

#include "mailing/mailrequest.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// How connections are made. The defaults are the program's own; the rest is for tests.
struct SmtpOptions {
    // The interface language of the texts the client writes itself: 0 German, every other value English.
    int language = 1;
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
    enum class Failure {
        None,       // sent
        Refused,    // the server refused with a reply: replyCode and serverReply hold it
        Connection, // no connection, or it was lost or fell silent (time-out): not the server's verdict
        Protocol,   // the server's bytes were not the replies awaited (not SMTP, too long, unasked, odd)
        NotSent     // the client did not send it: no or no valid recipient, a control character, an address
                    // the server cannot take (SMTPUTF8), larger than the server's limit, a login refused
                    // before on this session, another message in flight
    };

    bool sent = false;
    Failure failure = Failure::None;
    // The server's failing reply, e.g. "550 5.1.1 <x@y>: Recipient address rejected" (a multi-line reply
    // as its code once and its lines joined by blanks); empty when the failure was not a server's
    // refusal (no connection, time-out, certificate refused, protocol error...).
    QString serverReply;
    // The failing reply's code (550 above); 0 when the failure was no server reply. A protocol error
    // caused by one odd reply (a 250 to AUTH) gives that reply's code with an empty serverReply.
    int replyCode = 0;
    // The server refused the login: AUTH answered 535, 534, 530 or 454 (or, to log in with a token, offers
    // no AUTH XOAUTH2: then with no reply code). The session keeps this refusal
    // and gives it back, without contacting the server, for every later message of the same account
    // until close() or a message of another account.
    bool loginRefused = false;
    // Content bytes of the message had left when it failed: the server may hold the message, and sending
    // it again could deliver it twice.
    bool contentSent = false;
    // The failure in the client's own words, in the options' language.
    QString error;
    // A reused connection had gone stale; the message went out again over a new one.
    bool retried = false;

    // What a mailing line records for a failure: the server's reply if there was one, else the error.
    QString failureText() const { return serverReply.isEmpty() ? error : serverReply; }
};

// True when the host text itself names this machine: "localhost", an IPv4 address in 127.0.0.0/8, ::1.
// A name that merely resolves to a loopback address does not count.
bool isLoopbackHost(const QString& host);

// The AUTH XOAUTH2 initial response for the account's address and an OAuth 2.0 access token, base64-coded:
// "user=<address>^Aauth=Bearer <token>^A^A".
QByteArray xoauth2InitialResponse(const QString& user, const QString& accessToken);

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

    // Sends over the open connection, or opens one as the mail's account says when none is open or the
    // open one was made with another host, port, login or password.
    DeliveryResult send(const PreparedMail& mail);
    // Whether the connection of an earlier message is open. A connection the server has closed (or bid
    // goodbye on) in the meantime is dropped here and reported closed.
    bool isOpen();
    // The account the open connection was made with.
    const SmtpAccount& connectedAccount() const { return m_account; }
    // Says QUIT, waits briefly for the answer, and closes; errors are ignored. Forgets a refused login.
    void close();

private:
    enum class Outcome { Sent, Failed, Retry };
    class Transfer; // one message over the open connection
    Outcome deliver(const PreparedMail& mail, DeliveryResult& result);
    bool open(const SmtpAccount& account);
    bool logIn(const SmtpAccount& account);
    bool logInWithToken(const SmtpAccount& account);
    void quit();
    void drop();
    static DeliveryResult notSent(const QString& why);

    SmtpOptions m_options;
    std::unique_ptr<SmtpLink> m_link; // set while a connection is open
    SmtpAccount m_account;
    // The last refused login and the account it was refused for.
    std::optional<DeliveryResult> m_loginRefusal;
    SmtpAccount m_refusedAccount;
};
