#include "mailing/smtplink.h"

#include "mailing/deliverytexts.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSysInfo>

#include <algorithm>
#include <cctype>
#include <poll.h>

namespace {

// Nothing depends on the answer to QUIT; a server that has gone silent must not hold up the end of a run.
constexpr int quitWaitMs = 2000;
// More than any real server sends in one reply; a peer that floods us is not an SMTP server.
constexpr qsizetype maxReplyBytes = 64 * 1024;

bool validHost(const QString& host) {
    return !host.isEmpty() && std::all_of(host.begin(), host.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
               c == QLatin1Char('_') || c == QLatin1Char(':');
    });
}

// "5.1.1" at the start of a reply line's text (RFC 3463: class.subject.detail), or nothing.
QByteArray enhancedStatus(const QByteArray& text) {
    const qsizetype end = text.indexOf(' ') < 0 ? text.size() : text.indexOf(' ');
    const QList<QByteArray> parts = text.left(end).split('.');
    const bool valid =
        parts.size() == 3 && parts[0].size() == 1 && QByteArray("245").contains(parts[0]) &&
        std::all_of(parts.begin() + 1, parts.end(), [](const QByteArray& p) {
            return !p.isEmpty() && p.size() <= 3 &&
                   std::all_of(p.begin(), p.end(), [](char c) { return std::isdigit(uchar(c)); });
        });
    return valid ? text.left(end) : QByteArray();
}

} // namespace

QString Reply::text() const {
    if (lines.isEmpty()) return {};
    QByteArray joined = lines[0].left(3);
    const QByteArray status = enhancedStatus(lines[0].mid(4).trimmed());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray text = lines[i].mid(4).trimmed();
        if (i > 0 && !status.isEmpty() && enhancedStatus(text) == status)
            text = text.mid(status.size()).trimmed();
        if (!text.isEmpty()) joined += ' ' + text;
    }
    return QString::fromUtf8(joined);
}

Capabilities capabilitiesOf(const Reply& ehlo) {
    Capabilities c;
    for (qsizetype i = 1; i < ehlo.lines.size(); ++i) {
        QList<QByteArray> words = ehlo.lines[i].mid(4).trimmed().toUpper().split(' ');
        const QByteArray keyword = words.takeFirst();
        if (keyword == "PIPELINING") c.pipelining = true;
        if (keyword == "CHUNKING") c.chunking = true;
        if (keyword == "STARTTLS") c.startTls = true;
        if (keyword == "SIZE") {
            c.size = true;
            c.sizeLimit = words.value(0).toLongLong(); // 0 (no limit) when absent or not a number
        }
        if (keyword == "SMTPUTF8") c.smtpUtf8 = true;
        // "AUTH PLAIN LOGIN", or the older "AUTH=LOGIN".
        if (keyword.startsWith("AUTH=")) words << keyword.mid(5);
        if (keyword == "AUTH" || keyword.startsWith("AUTH=")) {
            c.authLogin = c.authLogin || words.contains("LOGIN");
            c.authXoauth2 = c.authXoauth2 || words.contains("XOAUTH2");
        }
    }
    return c;
}

SmtpLink::SmtpLink(const SmtpOptions& options)
    : texts(&deliveryTexts(options.language)), m_timeoutMs(options.responseTimeoutSeconds * 1000) {
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &socket,
                     [this](QAbstractSocket::SocketError e) {
                         if (e == QAbstractSocket::RemoteHostClosedError) m_peerClosed = true;
                     });
}

bool SmtpLink::fail(Fault why, const QString& text) {
    if (fault == Fault::None) {
        fault = why;
        error = text;
    }
    return false;
}

bool SmtpLink::socketFailure(bool handshake) {
    if (socket.error() == QAbstractSocket::SocketTimeoutError &&
        socket.state() == QAbstractSocket::ConnectedState)
        return fail(Fault::Timeout,
                    (handshake ? texts->handshakeStalled : texts->sendingStalled).arg(m_timeoutMs / 1000.0));
    return fail(Fault::Lost,
                (handshake ? texts->lostInHandshake : texts->lostSending).arg(socket.errorString()));
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
    if (!validHost(host)) return fail(Fault::Lost, texts->invalidHost.arg(account.host));
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
    // A local mail bridge or gateway on this machine often has a certificate of its own making; on
    // loopback nobody can listen in, so it is taken as it is. Anywhere else it must verify.
    tls.setPeerVerifyMode(isLoopbackHost(account.host) ? QSslSocket::VerifyNone : QSslSocket::VerifyPeer);
    socket.setSslConfiguration(tls);
    // The certificate must name the host as typed, wherever the connection actually goes.
    socket.setPeerVerifyName(host);
    socket.connectToHost(address, quint16(port));
    if (!socket.waitForConnected(options.connectTimeoutSeconds * 1000)) {
        if (socket.error() == QAbstractSocket::SocketTimeoutError)
            return fail(
                Fault::Timeout,
                texts->connectTimeout.arg(account.host).arg(account.port).arg(options.connectTimeoutSeconds));
        return fail(Fault::Lost,
                    texts->cannotConnect.arg(account.host).arg(account.port).arg(socket.errorString()));
    }
    // Pipelined groups are small writes that must not wait for the previous one's acknowledgement.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Port 465 speaks TLS from the first byte.
    return account.port != 465 || startTls();
}

bool SmtpLink::startTls() {
    if (!QSslSocket::supportsSsl()) return fail(Fault::Lost, texts->noTlsSupport);
    // Whatever came in clear before the handshake must not pass for the server's words after it.
    m_input.clear();
    socket.startClientEncryption();
    if (socket.waitForEncrypted(m_timeoutMs)) return true;
    const QList<QSslError> errors = socket.sslHandshakeErrors();
    if (!errors.isEmpty()) return fail(Fault::Lost, texts->handshakeFailed.arg(errors.first().errorString()));
    return socketFailure(true);
}

bool SmtpLink::send(const QByteArray& bytes) {
    if (socket.write(bytes) != bytes.size()) return socketFailure(false);
    // Hands the bytes to the system at once; waiting is needed only when it cannot take them all.
    socket.flush();
    while (socket.bytesToWrite() + socket.encryptedBytesToWrite() > 0)
        if (!socket.waitForBytesWritten(m_timeoutMs)) return socketFailure(false);
    return true;
}

bool SmtpLink::fill(const QDeadlineTimer& deadline) {
    // Waits in short steps: QSslSocket's wait does not return when the server ends TLS but leaves its TCP
    // connection open for a while, as many do after a 421.
    while (socket.bytesAvailable() == 0) {
        if (m_peerClosed || socket.state() != QAbstractSocket::ConnectedState)
            return fail(Fault::Lost, texts->serverClosed);
        if (deadline.hasExpired()) return fail(Fault::Timeout, texts->noAnswer.arg(m_timeoutMs / 1000.0));
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
            if (m_input.size() + size > maxReplyBytes) return replyTooLong();
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
        if (!wellFormed || (reply.code && code != reply.code))
            return fail(Fault::Protocol, texts->notSmtp.arg(QString::fromUtf8(line.left(80))));
        if (size > maxReplyBytes) return replyTooLong();
        reply.code = code;
        reply.lines << line;
        if (line.size() == 3 || line[3] == ' ') {
            lastReply.start();
            return true;
        }
    }
}

// A flood of continuation lines is no reply any client could use.
bool SmtpLink::replyTooLong() {
    return fail(Fault::Protocol, texts->replyTooLong.arg(maxReplyBytes / 1024));
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

bool SmtpLink::unaskedReply(QString* text) {
    pollfd fd{int(socket.socketDescriptor()), POLLIN, 0};
    if (m_input.isEmpty() && socket.bytesAvailable() == 0 &&
        socket.state() == QAbstractSocket::ConnectedState && ::poll(&fd, 1, 0) > 0)
        socket.waitForReadyRead(0); // what is there is read; a TLS record without data leaves nothing
    m_input += socket.readAll();
    if (m_input.isEmpty() || m_input.startsWith("421")) return false;
    *text = QString::fromUtf8(m_input.left(m_input.indexOf('\n')).left(80)).trimmed();
    return true;
}

QByteArray SmtpLink::helloName() const {
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

void SmtpLink::quit() {
    m_timeoutMs = std::min(m_timeoutMs, quitWaitMs);
    Reply reply;
    if (socket.state() == QAbstractSocket::ConnectedState && send("QUIT\r\n")) read(reply);
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(quitWaitMs);
    socket.abort();
}
