#include "mailing/smtpsession.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QSysInfo>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>
#include <poll.h>

namespace {

// A connection that has carried no traffic for this long may have been dropped unnoticed (a firewall
// forgetting an idle connection); messages inside a running mailing follow each other far faster.
constexpr qint64 idleProbeMs = 1000;
// Nothing depends on the answer to QUIT; a server that has gone silent must not hold up the end of a run.
constexpr int quitWaitMs = 2000;
// More than any real server sends in one reply; a peer that floods us is not an SMTP server.
constexpr qsizetype maxReplyBytes = 64 * 1024;

struct Reply {
    int code = 0;
    QList<QByteArray> lines;

    bool positive() const { return code >= 200 && code < 300; }
    // The lines of a multi-line reply joined into one: "550 5.7.1 first part second part".
    QString text() const {
        QByteArray joined = lines.value(0);
        for (qsizetype i = 1; i < lines.size(); ++i)
            joined += ' ' + lines[i].mid(4);
        return QString::fromUtf8(joined.trimmed());
    }
};

struct Capabilities {
    bool pipelining = false;
    bool chunking = false;
    bool startTls = false;
    bool size = false;
    bool authLogin = false;
};

Capabilities capabilitiesOf(const Reply& ehlo) {
    Capabilities c;
    for (qsizetype i = 1; i < ehlo.lines.size(); ++i) {
        QList<QByteArray> words = ehlo.lines[i].mid(4).trimmed().toUpper().split(' ');
        const QByteArray keyword = words.takeFirst();
        if (keyword == "PIPELINING") c.pipelining = true;
        if (keyword == "CHUNKING") c.chunking = true;
        if (keyword == "STARTTLS") c.startTls = true;
        if (keyword == "SIZE") c.size = true;
        // "AUTH PLAIN LOGIN", or the older "AUTH=LOGIN".
        if (keyword.startsWith("AUTH=")) words << keyword.mid(5);
        if (keyword == "AUTH" || keyword.startsWith("AUTH="))
            c.authLogin = c.authLogin || words.contains("LOGIN");
    }
    return c;
}

// The message as it goes over the wire: every line ended by CR LF (a lone CR or LF becomes one), the
// last line too, and for DATA a line that starts with "." gets a second one, which the server removes.
QByteArray wireContent(const QByteArray& data, bool dotStuffing) {
    QByteArray out;
    out.reserve(data.size() + data.size() / 64 + 8);
    const char* p = data.constData();
    const char* const end = p + data.size();
    while (p < end) {
        const char* eol = p;
        while (eol < end && *eol != '\r' && *eol != '\n')
            ++eol;
        if (dotStuffing && *p == '.') out += '.';
        out.append(p, eol - p);
        out.append("\r\n", 2);
        if (eol < end && *eol == '\r' && eol + 1 < end && eol[1] == '\n') ++eol;
        p = eol + 1;
    }
    return out;
}

// How this machine names itself in EHLO: its full host name, or else its address on this connection.
QByteArray helloName(const QAbstractSocket& socket) {
    const QByteArray host = QSysInfo::machineHostName().toLatin1();
    const bool qualified = host.contains('.') && !host.startsWith('.') && !host.endsWith('.') &&
                           std::all_of(host.begin(), host.end(),
                                       [](char c) { return std::isalnum(uchar(c)) || c == '-' || c == '.'; });
    if (qualified) return host;
    QHostAddress local = socket.localAddress();
    local.setScopeId(QString());
    bool v4 = false;
    const quint32 ipv4 = local.toIPv4Address(&v4);
    if (v4) return '[' + QHostAddress(ipv4).toString().toLatin1() + ']';
    return "[IPv6:" + local.toString().toLatin1() + ']';
}

bool validHost(const QString& host) {
    return !host.isEmpty() && std::all_of(host.begin(), host.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
               c == QLatin1Char('_') || c == QLatin1Char(':');
    });
}

// Envelope addresses become command lines: a control character in one could end the line early.
bool validEnvelope(const PreparedMail& mail) {
    const auto clean = [](const QByteArray& address) {
        return std::none_of(address.begin(), address.end(),
                            [](char c) { return uchar(c) < 0x20 || c == 0x7F; });
    };
    return clean(mail.envelopeSender) &&
           std::all_of(mail.envelopeRecipients.begin(), mail.envelopeRecipients.end(), clean);
}

} // namespace

// The wire under the dialogue: reads and writes with time-outs, and remembers why it failed.
class SmtpLink {
public:
    enum class Fault { None, Refused, Timeout, Lost };

    explicit SmtpLink(const SmtpOptions& options) : m_timeoutMs(options.responseTimeoutSeconds * 1000) {
        QObject::connect(&socket, &QAbstractSocket::errorOccurred, &socket,
                         [this](QAbstractSocket::SocketError e) {
                             if (e == QAbstractSocket::RemoteHostClosedError) m_peerClosed = true;
                         });
    }

    bool connectTo(const SmtpAccount& account, const SmtpOptions& options);
    bool startTls();
    bool send(const QByteArray& bytes);
    bool read(Reply& reply);
    // Sends one command and reads its reply, which must carry the expected code.
    bool command(const QByteArray& line, int expected, const QString& what);
    bool refuse(const Reply& reply, const QString& what);
    // Whether the idle connection still stands: the peer has not closed it and has said nothing unasked.
    bool looksAlive();
    void quit();

    QSslSocket socket;
    Capabilities capabilities;
    Fault fault = Fault::None;
    QString error;
    Reply refusal;
    bool inData = false; // the server took DATA and waits for content that will not come

private:
    bool fail(Fault fault, const QString& text);
    bool socketFailure(const QString& doing);
    bool fill(const QDeadlineTimer& deadline);

    int m_timeoutMs;
    bool m_peerClosed = false; // also set when the server ends TLS while its TCP connection stays open
    QByteArray m_input;        // received, not yet read as reply lines
};

bool SmtpLink::fail(Fault why, const QString& text) {
    if (fault == Fault::None) {
        fault = why;
        error = text;
    }
    return false;
}

bool SmtpLink::socketFailure(const QString& doing) {
    if (socket.error() == QAbstractSocket::SocketTimeoutError &&
        socket.state() == QAbstractSocket::ConnectedState)
        return fail(Fault::Timeout,
                    QStringLiteral("No progress %1 within %2 s").arg(doing).arg(m_timeoutMs / 1000.0));
    return fail(Fault::Lost, QStringLiteral("Connection lost %1: %2").arg(doing, socket.errorString()));
}

// The server's refusal explains a failure better than the lost connection that may follow it.
bool SmtpLink::refuse(const Reply& reply, const QString& what) {
    fault = Fault::Refused;
    error = what;
    refusal = reply;
    return false;
}

bool SmtpLink::connectTo(const SmtpAccount& account, const SmtpOptions& options) {
    QString host = account.host;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (!validHost(host))
        return fail(Fault::Lost, QStringLiteral("Invalid SMTP host \"%1\"").arg(account.host));
    QString address = host;
    int port = account.port;
    for (const SmtpOptions::Redirect& r : options.redirects)
        if (r.host.compare(host, Qt::CaseInsensitive) == 0 && r.port == port) {
            address = r.address;
            port = r.toPort;
            break;
        }

    socket.setProxy(QNetworkProxy::NoProxy);
    QSslConfiguration tls = socket.sslConfiguration();
    if (!options.caFile.isEmpty()) tls.setCaCertificates(QSslCertificate::fromPath(options.caFile));
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket.setSslConfiguration(tls);
    // The certificate must name the host as typed, wherever the connection actually goes.
    socket.setPeerVerifyName(host);
    socket.connectToHost(address, quint16(port));
    if (!socket.waitForConnected(options.connectTimeoutSeconds * 1000)) {
        if (socket.error() == QAbstractSocket::SocketTimeoutError)
            return fail(Fault::Timeout, QStringLiteral("No connection to %1:%2 within %3 s")
                                            .arg(account.host)
                                            .arg(account.port)
                                            .arg(options.connectTimeoutSeconds));
        return fail(Fault::Lost, QStringLiteral("Cannot connect to %1:%2: %3")
                                     .arg(account.host)
                                     .arg(account.port)
                                     .arg(socket.errorString()));
    }
    // Pipelined groups are small writes that must not wait for the previous one's acknowledgement.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Port 465 speaks TLS from the first byte.
    return account.port != 465 || startTls();
}

bool SmtpLink::startTls() {
    if (!QSslSocket::supportsSsl())
        return fail(Fault::Lost, QStringLiteral("No TLS support (OpenSSL) available"));
    // Whatever came in clear before the handshake must not pass for the server's words after it.
    m_input.clear();
    socket.startClientEncryption();
    if (socket.waitForEncrypted(m_timeoutMs)) return true;
    const QList<QSslError> errors = socket.sslHandshakeErrors();
    if (!errors.isEmpty())
        return fail(Fault::Lost,
                    QStringLiteral("TLS handshake failed: %1").arg(errors.first().errorString()));
    return socketFailure(QStringLiteral("in the TLS handshake"));
}

bool SmtpLink::send(const QByteArray& bytes) {
    if (socket.write(bytes) != bytes.size()) return socketFailure(QStringLiteral("sending"));
    // Hands the bytes to the system at once; waiting is needed only when it cannot take them all.
    socket.flush();
    while (socket.bytesToWrite() + socket.encryptedBytesToWrite() > 0)
        if (!socket.waitForBytesWritten(m_timeoutMs)) return socketFailure(QStringLiteral("sending"));
    return true;
}

bool SmtpLink::fill(const QDeadlineTimer& deadline) {
    // Waits in short steps: QSslSocket's wait does not return when the server ends TLS but leaves its TCP
    // connection open for a while, as many do after a 421.
    while (socket.bytesAvailable() == 0) {
        if (m_peerClosed || socket.state() != QAbstractSocket::ConnectedState)
            return fail(Fault::Lost, QStringLiteral("The server closed the connection"));
        if (deadline.hasExpired())
            return fail(Fault::Timeout,
                        QStringLiteral("No answer from the server within %1 s").arg(m_timeoutMs / 1000.0));
        socket.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 100)));
    }
    m_input += socket.readAll();
    return true;
}

bool SmtpLink::read(Reply& reply) {
    reply = Reply();
    const QDeadlineTimer deadline(m_timeoutMs);
    qsizetype size = 0;
    for (;;) {
        const qsizetype end = m_input.indexOf('\n');
        if (end < 0) {
            if (m_input.size() + size > maxReplyBytes)
                return fail(Fault::Lost, QStringLiteral("The server's answer is too long"));
            if (!fill(deadline)) return false;
            continue;
        }
        QByteArray line = m_input.left(end);
        m_input.remove(0, end + 1);
        size += end + 1;
        if (line.endsWith('\r')) line.chop(1);
        // "250-..." goes on, "250 ..." (or a bare "250") is the last line.
        const bool wellFormed = line.size() >= 3 && std::isdigit(uchar(line[0])) &&
                                std::isdigit(uchar(line[1])) && std::isdigit(uchar(line[2])) &&
                                (line.size() == 3 || line[3] == ' ' || line[3] == '-');
        const int code = wellFormed ? line.left(3).toInt() : 0;
        if (!wellFormed || (reply.code && code != reply.code) || size > maxReplyBytes)
            return fail(Fault::Lost, QStringLiteral("The server's answer is not SMTP: \"%1\"")
                                         .arg(QString::fromUtf8(line.left(80))));
        reply.code = code;
        reply.lines << line;
        if (line.size() == 3 || line[3] == ' ') return true;
    }
}

bool SmtpLink::command(const QByteArray& line, int expected, const QString& what) {
    Reply reply;
    if (!send(line) || !read(reply)) return false;
    return reply.code == expected || refuse(reply, what);
}

bool SmtpLink::looksAlive() {
    if (!m_input.isEmpty()) return false;
    // A quiet socket is the common case and needs one look; anything waiting (an end of stream, a
    // goodbye, a TLS session ticket) Qt must read to tell which.
    pollfd fd{int(socket.socketDescriptor()), POLLIN, 0};
    if (socket.state() == QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0 &&
        ::poll(&fd, 1, 0) != 0)
        socket.waitForReadyRead(0);
    return !m_peerClosed && socket.state() == QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0;
}

void SmtpLink::quit() {
    m_timeoutMs = std::min(m_timeoutMs, quitWaitMs);
    Reply reply;
    if (socket.state() == QAbstractSocket::ConnectedState && send("QUIT\r\n")) read(reply);
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(quitWaitMs);
    socket.abort();
}

bool isLoopbackHost(const QString& host) {
    QString name = host.trimmed().toLower();
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name == QLatin1String("localhost") || name == QLatin1String("localhost.")) return true;
    const QByteArray text = name.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

SmtpSession::SmtpSession(const SmtpOptions& options) : m_options(options) {}

SmtpSession::~SmtpSession() {
    close();
}

void SmtpSession::setOptions(const SmtpOptions& options) {
    m_options = options;
}

void SmtpSession::close() {
    if (m_link) m_link->quit();
    m_link.reset();
    m_account = {};
}

// After a time-out, a lost connection or a server in the middle of DATA, there is nobody to say QUIT to.
void SmtpSession::drop() {
    if (m_link) m_link->socket.abort();
    m_link.reset();
    m_account = {};
}

bool SmtpSession::isOpen() {
    if (m_link && !m_link->looksAlive()) drop();
    return m_link != nullptr;
}

DeliveryResult SmtpSession::send(const PreparedMail& mail) {
    DeliveryResult result;
    if (mail.envelopeRecipients.isEmpty() || !validEnvelope(mail)) {
        close();
        result.error = mail.envelopeRecipients.isEmpty() ? QStringLiteral("No recipient address")
                                                         : QStringLiteral("Control character in an address");
        return result;
    }
    const bool reused = isOpen();
    Outcome outcome = deliver(reused ? m_account : mail.account, mail, result);
    if (outcome == Outcome::Retry) {
        // The server had dropped the idle connection, gone silent or said goodbye before it could have
        // taken the message: one more try over a new connection, made from the current settings.
        result = DeliveryResult();
        result.retried = true;
        outcome = deliver(mail.account, mail, result);
    }
    result.sent = outcome == Outcome::Sent;
    return result;
}

SmtpSession::Outcome SmtpSession::deliver(const SmtpAccount& account, const PreparedMail& mail,
                                          DeliveryResult& result) {
    const bool reused = m_link != nullptr;
    Outcome outcome = Outcome::Failed;
    if (reused || open(account)) outcome = transfer(mail, reused);
    if (outcome == Outcome::Sent) return outcome;
    result.error = m_link->error;
    result.serverReply = m_link->refusal.text();
    // A refusal leaves the dialogue in order, so the server hears QUIT; 421 means it is leaving already.
    if (m_link->fault == SmtpLink::Fault::Refused && m_link->refusal.code != 421 && !m_link->inData)
        close();
    else
        drop();
    return outcome;
}

bool SmtpSession::open(const SmtpAccount& account) {
    m_link = std::make_unique<SmtpLink>(m_options);
    m_account = account;
    SmtpLink& link = *m_link;
    const bool implicitTls = account.port == 465;
    // A password never crosses the network in clear; on this machine's own loopback nobody can listen in.
    const bool mustEncrypt = implicitTls || (!account.password.isEmpty() && !isLoopbackHost(account.host));

    Reply reply;
    if (!link.connectTo(account, m_options) || !link.read(reply)) return false;
    if (reply.code != 220) return link.refuse(reply, QStringLiteral("The server refused the connection"));

    const auto hello = [&link] {
        Reply ehlo;
        const QByteArray name = helloName(link.socket);
        if (!link.send("EHLO " + name + "\r\n") || !link.read(ehlo)) return false;
        link.capabilities = capabilitiesOf(ehlo);
        if (ehlo.code == 250) return true;
        // A server from before ESMTP: no extensions at all.
        if (ehlo.code != 500 && ehlo.code != 502) return link.refuse(ehlo, QStringLiteral("EHLO refused"));
        link.capabilities = Capabilities();
        return link.command("HELO " + name + "\r\n", 250, QStringLiteral("HELO refused"));
    };
    if (!hello()) return false;
    if (!implicitTls && link.capabilities.startTls && QSslSocket::supportsSsl()) {
        if (!link.send("STARTTLS\r\n") || !link.read(reply)) return false;
        if (reply.code == 220) {
            if (!link.startTls() || !hello()) return false;
        } else if (mustEncrypt) {
            return link.refuse(reply, QStringLiteral("STARTTLS refused"));
        }
    }
    if (mustEncrypt && !link.socket.isEncrypted())
        return link.refuse(Reply(), QStringLiteral("The server offers no encryption (STARTTLS); the password "
                                                   "is not sent in clear"));

    if (!account.password.isEmpty() && link.capabilities.authLogin) {
        const QString refused = QStringLiteral("Login refused");
        if (!link.command("AUTH LOGIN\r\n", 334, refused) ||
            !link.command(account.user.toUtf8().toBase64() + "\r\n", 334, refused) ||
            !link.command(account.password.toUtf8().toBase64() + "\r\n", 235, refused))
            return false;
    }
    m_sinceReply.start();
    return true;
}

SmtpSession::Outcome SmtpSession::transfer(const PreparedMail& mail, bool reused) {
    SmtpLink& link = *m_link;
    const Capabilities& can = link.capabilities;
    const bool chunking = can.pipelining && can.chunking;
    QByteArray content = wireContent(mail.data, !chunking);

    QList<QByteArray> envelope;
    envelope << "MAIL FROM:<" + mail.envelopeSender + '>' +
                    (can.size ? " SIZE=" + QByteArray::number(content.size()) : QByteArray()) + "\r\n";
    for (const QByteArray& recipient : mail.envelopeRecipients)
        envelope << "RCPT TO:<" + recipient + ">\r\n";
    const QByteArray bdat = "BDAT " + QByteArray::number(content.size()) + " LAST\r\n";
    if (!chunking) content += ".\r\n";

    // With CHUNKING the whole message goes in the envelope's write: one round trip. Not with several
    // recipients, where one refused recipient would not stop the message for the others, and not over a
    // connection idle for a while, which must prove itself alive before any content leaves: only then
    // may the message safely go again over a new connection.
    const bool contentInGroup = chunking && envelope.size() == 2 &&
                                !(reused && m_sinceReply.isValid() && m_sinceReply.elapsed() >= idleProbeMs);
    QList<Reply> replies;
    bool contentSent = false;
    const auto exchange = [&](const QByteArray& bytes, int count) {
        if (!link.send(bytes)) return false;
        for (int i = 0; i < count; ++i) {
            Reply reply;
            if (!link.read(reply)) return false;
            replies << reply;
            m_sinceReply.start();
        }
        return true;
    };

    bool ok = true;
    if (!can.pipelining) {
        for (const QByteArray& command : envelope)
            if (!(ok = exchange(command, 1)) || !replies.last().positive()) break;
        if (ok && replies.size() == envelope.size() && replies.last().positive())
            ok = exchange("DATA\r\n", 1);
    } else if (!chunking) {
        ok = exchange(envelope.join() + "DATA\r\n", int(envelope.size()) + 1);
    } else if (contentInGroup) {
        contentSent = true;
        ok = exchange(envelope.join() + bdat + content, int(envelope.size()) + 1);
    } else {
        ok = exchange(envelope.join(), int(envelope.size()));
    }

    // Every reply of a group counts; the first refusal decides. A server that refused the envelope has
    // not taken the message, whatever content reached it.
    const auto firstRefusal =
        std::find_if(replies.begin(), replies.begin() + std::min(replies.size(), envelope.size()),
                     [](const Reply& r) { return !r.positive(); });
    const bool envelopeRefused = firstRefusal != replies.begin() + std::min(replies.size(), envelope.size());
    const auto failed = [&] {
        const bool mayBeTaken = contentSent && !envelopeRefused;
        const bool stale = link.fault == SmtpLink::Fault::Timeout || link.fault == SmtpLink::Fault::Lost ||
                           link.refusal.code == 421;
        return reused && stale && !mayBeTaken ? Outcome::Retry : Outcome::Failed;
    };
    if (envelopeRefused) {
        // In DATA the server would take anything that follows as content: the connection must go.
        link.inData = replies.size() > envelope.size() && replies[envelope.size()].code == 354;
        link.refuse(*firstRefusal, firstRefusal == replies.begin() ? QStringLiteral("Sender refused")
                                                                   : QStringLiteral("Recipient refused"));
        return failed();
    }
    if (!ok) return failed();

    if (!chunking) {
        if (replies.last().code != 354) {
            link.refuse(replies.last(), QStringLiteral("DATA refused"));
            return failed();
        }
        contentSent = true;
        if (!exchange(content, 1)) return failed();
    } else if (!contentInGroup) {
        contentSent = true;
        if (!exchange(bdat + content, 1)) return failed();
    }
    // Only 250 means the server has taken responsibility for the message.
    if (replies.last().code != 250) {
        link.refuse(replies.last(), QStringLiteral("Message refused"));
        return failed();
    }
    return Outcome::Sent;
}
