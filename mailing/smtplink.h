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
    // The reply as one line: the code once, then the lines' texts joined by blanks, an enhanced status
    // code that every line repeats given once: "550-5.1.1 first line" + "550 5.1.1 second line" reads
    // "550 5.1.1 first line second line". A bare "250" stays "250".
    QString text() const;
};

// What the server's EHLO reply offers.
struct Capabilities {
    bool pipelining = false;
    bool chunking = false;
    bool startTls = false;
    bool size = false;
    qint64 sizeLimit = 0; // "SIZE 1000000": the largest message the server takes; 0 when it names none
    bool smtpUtf8 = false;
    bool authLogin = false;
    bool authXoauth2 = false;
};

Capabilities capabilitiesOf(const Reply& ehlo);

// Reads and writes with time-outs, and remembers why it failed.
struct DeliveryTexts;

class SmtpLink {
public:
    // Refused: the server said no (refusal holds its reply). Timeout, Lost: the connection failed.
    // Protocol: what the server sent was not the reply awaited.
    enum class Fault { None, Refused, Timeout, Lost, Protocol };

    explicit SmtpLink(const SmtpOptions& options);

    bool connectTo(const SmtpAccount& account, const SmtpOptions& options);
    bool startTls();
    bool send(const QByteArray& bytes);
    bool read(Reply& reply);
    // Sends one command and reads its reply, which must carry the expected code.
    bool command(const QByteArray& line, int expected, const QString& what);
    bool refuse(const Reply& reply, const QString& what);
    // Records the first failure; later ones are its consequences. Returns false.
    bool fail(Fault fault, const QString& text);
    // Whether the idle connection still stands: the peer has not closed it and has said nothing unasked.
    bool looksAlive();
    // Whether reply bytes have come that no command sent awaits (read without waiting). A 421 does not
    // count: a server may say goodbye at any time, and the next read takes it as the reply it is.
    bool unaskedReply(QString* text);
    // How this machine names itself in EHLO: its full host name, or else its address on this connection.
    QByteArray helloName() const;
    void quit();

    QSslSocket socket;
    Capabilities capabilities;
    const DeliveryTexts* texts; // in the language of the session's options
    Fault fault = Fault::None;
    QString error;
    Reply refusal;
    bool loginRefused = false; // the refusal answered the login
    bool inData = false;       // the server took DATA and waits for content that will not come
    QElapsedTimer lastReply;   // since the server last answered

private:
    bool socketFailure(bool handshake);
    bool replyTooLong();
    bool fill(const QDeadlineTimer& deadline);

    int m_timeoutMs;
    bool m_peerClosed = false; // also set when the server ends TLS while its TCP connection stays open
    QByteArray m_input;        // received, not yet read as reply lines
};
