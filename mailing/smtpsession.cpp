#include "mailing/smtpsession.h"

#include "mailing/maillibraries.h"

#include <curl/curl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

CURL* curlHandle(void* handle) {
    return static_cast<CURL*>(handle);
}

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

Slist toSlist(const QList<QByteArray>& items) {
    curl_slist* list = nullptr;
    for (const QByteArray& item : items)
        list = curl_slist_append(list, item.constData());
    return Slist(list);
}

Slist toSlist(const QStringList& items) {
    QList<QByteArray> bytes;
    for (const QString& item : items)
        bytes << item.toUtf8();
    return toSlist(bytes);
}

QByteArray bracketed(const QByteArray& address) {
    return '<' + address + '>';
}

struct Upload {
    const QByteArray* data = nullptr;
    qsizetype offset = 0;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* userdata) {
    auto* upload = static_cast<Upload*>(userdata);
    const size_t left = size_t(upload->data->size() - upload->offset);
    const size_t n = std::min(left, size * count);
    memcpy(buffer, upload->data->constData() + upload->offset, n);
    upload->offset += qsizetype(n);
    return n;
}

// Watches the dialogue: whether DATA (or STARTTLS) went out, and the last failing reply line.
// Command lines are looked at only for their verb, so no credentials are kept.
int traceDialogue(CURL*, curl_infotype type, char* data, size_t size, void* userdata) {
    auto* trace = static_cast<SmtpSession::Trace*>(userdata);
    const QByteArray text = QByteArray::fromRawData(data, qsizetype(size));
    if (type == CURLINFO_HEADER_OUT) {
        if (text.startsWith("DATA")) trace->dataCommandSent = true;
        if (text.startsWith("STARTTLS")) trace->startTlsSent = true;
    } else if (type == CURLINFO_HEADER_IN) {
        for (QByteArray line : text.split('\n')) {
            line = line.trimmed();
            if (line.size() >= 3 && (line[0] == '4' || line[0] == '5') && std::isdigit(uchar(line[1])) &&
                std::isdigit(uchar(line[2])))
                trace->failureLine = QByteArray(line.constData(), line.size());
            // "250-AUTH PLAIN LOGIN" (or the older "250-AUTH=LOGIN") in the EHLO answer.
            const QByteArray keyword = line.mid(4, 5).toUpper();
            if (line.startsWith("250") && (keyword == "AUTH " || keyword == "AUTH=")) {
                trace->authOffered = true;
                for (const QByteArray& method : line.mid(9).toUpper().split(' '))
                    if (method == "LOGIN") trace->loginOffered = true;
            }
        }
    }
    return 0;
}

// smtp://host:port, or smtps:// on port 465, where TLS starts before the greeting.
QByteArray serverUrl(const SmtpAccount& account, QString* error) {
    CURLU* url = curl_url();
    QByteArray host = account.host.toUtf8();
    if (host.contains(':') && !host.startsWith('[')) host = '[' + host + ']';
    const QByteArray port = QByteArray::number(account.port);
    char* text = nullptr;
    CURLUcode rc = curl_url_set(url, CURLUPART_SCHEME, account.port == 465 ? "smtps" : "smtp", 0);
    if (!rc) rc = curl_url_set(url, CURLUPART_HOST, host.constData(), 0);
    if (!rc) rc = curl_url_set(url, CURLUPART_PORT, port.constData(), 0);
    if (!rc) rc = curl_url_get(url, CURLUPART_URL, &text, 0);
    QByteArray result;
    if (rc || host.isEmpty() || host.contains('/') || host.contains('@'))
        *error = QStringLiteral("Invalid SMTP host \"%1\"").arg(account.host);
    else
        result = text;
    curl_free(text);
    curl_url_cleanup(url);
    return result;
}

} // namespace

void SmtpSession::Trace::reset() {
    dataCommandSent = false;
    startTlsSent = false;
    authOffered = false;
    loginOffered = false;
    failureLine.clear();
    errorBuffer[0] = 0;
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

SmtpSession::SmtpSession(const SmtpOptions& options) : m_options(options) {
    initMailLibraries();
}

SmtpSession::~SmtpSession() {
    close();
}

void SmtpSession::setOptions(const SmtpOptions& options) {
    m_options = options;
}

void SmtpSession::close() {
    if (m_curl) curl_easy_cleanup(curlHandle(m_curl));
    m_curl = nullptr;
    m_open = false;
    m_tls = false;
    m_login = false;
    m_account = {};
}

bool SmtpSession::isOpen() {
    if (m_open && !connectionLooksAlive()) close();
    return m_open;
}

// Looks at the idle socket without reading from it. The peer's end of stream means it is gone; anything
// else waiting on a plain connection can only be the server's goodbye ("421 ..."), as it speaks only when
// asked. On a TLS connection waiting bytes may be a session ticket, which curl handles itself.
bool SmtpSession::connectionLooksAlive() {
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(curlHandle(m_curl), CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK ||
        socket == CURL_SOCKET_BAD)
        return false;
    pollfd fd{socket, POLLIN, 0};
    const int ready = ::poll(&fd, 1, 0);
    if (ready == 0) return true;
    if (ready < 0) return errno == EINTR;
    if (fd.revents & (POLLERR | POLLNVAL)) return false;
    char byte;
    const ssize_t n = ::recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    return m_tls;
}

DeliveryResult SmtpSession::send(const PreparedMail& mail) {
    DeliveryResult result;
    if (mail.envelopeRecipients.isEmpty()) {
        close();
        result.error = QStringLiteral("No recipient address");
        return result;
    }
    const bool reuse = isOpen();
    Outcome outcome =
        reuse ? perform(m_account, m_login, mail, result) : perform(mail.account, true, mail, result);
    if (outcome == Outcome::Stale) {
        // The server had dropped the idle connection or said goodbye before taking the message: one
        // more try over a new connection, made from the current settings.
        close();
        result = DeliveryResult();
        result.retried = true;
        outcome = perform(mail.account, true, mail, result);
    }
    if (outcome == Outcome::LoginNotOffered) {
        // The server offers other login methods but not LOGIN: the message goes without a login, as
        // to a server that offers none.
        close();
        const bool retried = result.retried;
        result = DeliveryResult();
        result.retried = retried;
        outcome = perform(mail.account, false, mail, result);
    }
    if (outcome != Outcome::Sent) close();
    return result;
}

SmtpSession::Outcome SmtpSession::perform(const SmtpAccount& account, bool withLogin,
                                          const PreparedMail& mail, DeliveryResult& result) {
    QString urlError;
    const QByteArray url = serverUrl(account, &urlError);
    if (url.isEmpty()) {
        result.error = urlError;
        return Outcome::Failed;
    }
    if (!m_curl) m_curl = curl_easy_init();
    CURL* curl = curlHandle(m_curl);
    if (!curl) {
        result.error = QStringLiteral("Cannot set up the SMTP client");
        return Outcome::Failed;
    }

    const bool implicitTls = account.port == 465;
    const bool login = withLogin && !account.password.isEmpty();
    // A password never crosses the network in clear; on this machine's own loopback nobody can listen in.
    const curl_usessl tls = implicitTls || (!account.password.isEmpty() && !isLoopbackHost(account.host))
                                ? CURLUSESSL_ALL
                                : CURLUSESSL_TRY;
    const QByteArray user = account.user.toUtf8();
    const QByteArray password = account.password.toUtf8();
    const QByteArray sender = bracketed(mail.envelopeSender);
    QList<QByteArray> recipientList;
    for (const QByteArray& r : mail.envelopeRecipients)
        recipientList << bracketed(r);
    const Slist recipients = toSlist(recipientList);
    const Slist resolve = toSlist(m_options.resolve);
    const Slist connectTo = toSlist(m_options.connectTo);
    const QByteArray caFile = m_options.caFile.toLocal8Bit();
    Upload upload{&mail.data, 0};
    m_trace.reset();

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(tls));
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.isEmpty() ? nullptr : caFile.constData());
    curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve.get());
    curl_easy_setopt(curl, CURLOPT_CONNECT_TO, connectTo.get());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(m_options.connectTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_options.responseTimeoutSeconds));
    // A server that stops reading the message also fails it.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(m_options.responseTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_USERNAME, login ? user.constData() : nullptr);
    curl_easy_setopt(curl, CURLOPT_PASSWORD, login ? password.constData() : nullptr);
    curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, login ? "AUTH=LOGIN" : nullptr);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, sender.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(mail.data.size()));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_trace.errorBuffer);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, traceDialogue);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &m_trace);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);

    const CURLcode code = curl_easy_perform(curl);

    // Nothing of this call may be used after it returns (the handle lives on with the connection).
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(curl, CURLOPT_RESOLVE, nullptr);
    curl_easy_setopt(curl, CURLOPT_CONNECT_TO, nullptr);
    curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);

    long connects = 0;
    curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &connects);
    if (code == CURLE_OK) {
        if (connects > 0 || !m_open) {
            m_account = account;
            m_login = withLogin;
            m_tls = implicitTls || m_trace.startTlsSent;
        }
        m_open = true;
        result.sent = true;
        return Outcome::Sent;
    }

    result.serverReply = QString::fromUtf8(m_trace.failureLine);
    result.error = QString::fromUtf8(m_trace.errorBuffer[0] ? m_trace.errorBuffer : curl_easy_strerror(code));
    // Only a connection that carried earlier messages can have gone stale, and only a message whose
    // DATA never went out can safely go again: after that the server may have taken it.
    const bool reused = connects == 0 && m_open;
    const bool goodbye = m_trace.failureLine.startsWith("421");
    const bool lost = m_trace.failureLine.isEmpty() &&
                      (code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING);
    if (reused && !m_trace.dataCommandSent && (goodbye || lost)) return Outcome::Stale;
    if (code == CURLE_LOGIN_DENIED && login && m_trace.authOffered && !m_trace.loginOffered &&
        m_trace.failureLine.isEmpty())
        return Outcome::LoginNotOffered;
    return Outcome::Failed;
}
