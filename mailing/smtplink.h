#pragma once

// The wire under the SMTP dialogue. Internal to the mailing library: it hands Qt Network on, so only the
// SMTP client's own sources include it.

#include "mailing/mailrequest.h"
#include "mailing/smtpsession.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QSslSocket>
#include <QString>

// One reply of the server: its code and its lines as received.
struct Reply {
    int code = 0;
    QList<QByteArray> lines;

    bool positive() const { return code >= 200 && code < 300; }
    // The lines of a multi-line reply joined into one: "550 5.7.1 first part second part".
    QString text() const;
};

// What the server's EHLO reply offers.
struct Capabilities {
    bool pipelining = false;
    bool chunking = false;
    bool startTls = false;
    bool size = false;
    bool authLogin = false;
};

Capabilities capabilitiesOf(const Reply& ehlo);

// Reads and writes with time-outs, and remembers why it failed.
class SmtpLink {
public:
    enum class Fault { None, Refused, Timeout, Lost };

    explicit SmtpLink(const SmtpOptions& options);

    bool connectTo(const SmtpAccount& account, const SmtpOptions& options);
    bool startTls();
    bool send(const QByteArray& bytes);
    bool read(Reply& reply);
    // Sends one command and reads its reply, which must carry the expected code.
    bool command(const QByteArray& line, int expected, const QString& what);
    bool refuse(const Reply& reply, const QString& what);
    // Whether the idle connection still stands: the peer has not closed it and has said nothing unasked.
    bool looksAlive();
    // How this machine names itself in EHLO: its full host name, or else its address on this connection.
    QByteArray helloName() const;
    void quit();

    QSslSocket socket;
    Capabilities capabilities;
    Fault fault = Fault::None;
    QString error;
    Reply refusal;
    bool inData = false;     // the server took DATA and waits for content that will not come
    QElapsedTimer lastReply; // since the server last answered

private:
    bool fail(Fault fault, const QString& text);
    bool socketFailure(const QString& doing);
    bool fill(const QDeadlineTimer& deadline);

    int m_timeoutMs;
    bool m_peerClosed = false; // also set when the server ends TLS while its TCP connection stays open
    QByteArray m_input;        // received, not yet read as reply lines
};
