#include "mailing/smtpsession.h"
#include "mailing/deliverytexts.h"
#include "mailing/smtplink.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

// A connection that has carried no traffic for this long may have been dropped unnoticed (a firewall
// forgetting an idle connection); messages inside a running mailing follow each other far faster.
constexpr qint64 idleProbeMs = 1000;

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

// Envelope addresses become command lines: a control character in one could end the line early.
bool validEnvelope(const PreparedMail& mail) {
    const auto clean = [](const QByteArray& address) {
        return std::none_of(address.begin(), address.end(),
                            [](char c) { return uchar(c) < 0x20 || c == 0x7F; });
    };
    return clean(mail.envelopeSender) &&
           std::all_of(mail.envelopeRecipients.begin(), mail.envelopeRecipients.end(), clean);
}

DeliveryResult::Failure failureOf(const SmtpLink& link) {
    using Failure = DeliveryResult::Failure;
    switch (link.fault) {
    case SmtpLink::Fault::Refused:
        // Without a reply it was the client that would not go on (no encryption for the password).
        return link.refusal.code ? Failure::Refused : Failure::NotSent;
    case SmtpLink::Fault::Protocol:
        return Failure::Protocol;
    default:
        return Failure::Connection;
    }
}

// The address that needs SMTPUTF8: one the composer noted, or one of the envelope's.
QString nonAsciiAddress(const PreparedMail& mail) {
    if (!mail.nonAsciiAddress.isEmpty()) return mail.nonAsciiAddress;
    QList<QByteArray> envelope = mail.envelopeRecipients;
    envelope.prepend(mail.envelopeSender);
    for (const QByteArray& address : envelope)
        if (std::any_of(address.begin(), address.end(), [](char c) { return uchar(c) >= 0x80; }))
            return QString::fromUtf8(address);
    return {};
}

// A login answered otherwise than hoped: refused, or (a 250 from a server that takes any command) no
// login at all, which says what came rather than just the reply.
bool loginFailed(SmtpLink& link, const Reply& reply) {
    if (reply.code < 400) {
        link.refusal = reply;
        return link.fail(SmtpLink::Fault::Protocol,
                         link.texts->unexpectedReply.arg(link.texts->login, reply.text()));
    }
    link.loginRefused = reply.code == 535 || reply.code == 534 || reply.code == 530 || reply.code == 454;
    return link.refuse(reply, link.texts->loginRefused);
}

} // namespace

// One message over the open connection, in the way the server's extensions allow. Every reply counts;
// the first refusal decides.
class SmtpSession::Transfer {
public:
    Transfer(SmtpLink& link, const PreparedMail& mail, bool reused)
        : m_link(link), m_reused(reused),
          m_chunking(link.capabilities.pipelining && link.capabilities.chunking),
          m_content(wireContent(mail.data, !m_chunking)), m_size(m_content.size()),
          m_nonAscii(nonAsciiAddress(mail)) {
        const Capabilities& can = link.capabilities;
        m_envelope << "MAIL FROM:<" + mail.envelopeSender + '>' +
                          (can.size ? " SIZE=" + QByteArray::number(m_size) : QByteArray()) +
                          (m_nonAscii.isEmpty() ? QByteArray() : QByteArray(" SMTPUTF8")) + "\r\n";
        for (const QByteArray& recipient : mail.envelopeRecipients)
            m_envelope << "RCPT TO:<" + recipient + ">\r\n";
        if (!m_chunking) m_content += ".\r\n";
    }

    bool contentSent() const { return m_contentSent; }

    Outcome run() {
        // What the server has said it cannot take is not sent at all, not even its envelope.
        const DeliveryTexts& texts = *m_link.texts;
        const qint64 limit = m_link.capabilities.sizeLimit;
        if (!m_nonAscii.isEmpty() && !m_link.capabilities.smtpUtf8)
            m_link.refuse(Reply(), texts.needsSmtpUtf8.arg(m_nonAscii));
        else if (limit > 0 && m_size > limit)
            m_link.refuse(Reply(), texts.tooLarge.arg(formattedCount(m_size, texts.language),
                                                      formattedCount(limit, texts.language)));
        if (m_link.fault != SmtpLink::Fault::None) return failed();
        if (!m_link.capabilities.pipelining) return lockStep();
        return m_chunking ? chunked() : pipelined();
    }

private:
    // One command at a time, each answered before the next goes out.
    Outcome lockStep() {
        bool ok = true;
        for (const QByteArray& command : m_envelope)
            if (!(ok = exchange(command, 1)) || !m_replies.last().positive()) break;
        if (!envelopeAccepted() || !ok || !exchange("DATA\r\n", 1)) return failed();
        return data();
    }

    // PIPELINING: the envelope and DATA as one group, the content after the server's 354.
    Outcome pipelined() {
        const bool ok = exchange(m_envelope.join() + "DATA\r\n", int(m_envelope.size()) + 1);
        if (!envelopeAccepted() || !ok) return failed();
        return data();
    }

    // CHUNKING: the whole message goes in the envelope's write, one round trip. Not with several
    // recipients, where one refused recipient would not stop the message for the others, and not over a
    // connection idle for a while, which must prove itself alive before any content leaves: only then may
    // the message safely go again over a new connection.
    Outcome chunked() {
        const bool idle = m_reused && m_link.lastReply.isValid() && m_link.lastReply.elapsed() >= idleProbeMs;
        const bool contentInGroup = m_envelope.size() == 2 && !idle;
        const QByteArray bdat = "BDAT " + QByteArray::number(m_content.size()) + " LAST\r\n" + m_content;
        m_contentSent = contentInGroup;
        const bool ok = contentInGroup ? exchange(m_envelope.join() + bdat, int(m_envelope.size()) + 1)
                                       : exchange(m_envelope.join(), int(m_envelope.size()));
        if (!envelopeAccepted() || !ok) return failed();
        if (!contentInGroup) {
            m_contentSent = true;
            if (!exchange(bdat, 1)) return failed();
        }
        return finalReply();
    }

    // The content after DATA, once the server has said it waits for it.
    Outcome data() {
        const Reply& reply = m_replies.last();
        if (reply.code != 354) {
            // A yes that is no 354 is no answer to DATA (a stray reply taken for it, perhaps): whether the
            // server now waits for content is unknown, so the connection must go.
            if (reply.code < 400)
                m_link.fail(SmtpLink::Fault::Protocol,
                            m_link.texts->unexpectedReply.arg("DATA", reply.text()));
            else
                m_link.refuse(reply, m_link.texts->dataRefused);
            return failed();
        }
        m_contentSent = true;
        if (!exchange(m_content, 1)) return failed();
        return finalReply();
    }

    // Only 250 means the server has taken responsibility for the message.
    Outcome finalReply() {
        if (m_replies.last().code == 250) return Outcome::Sent;
        m_link.refuse(m_replies.last(), m_link.texts->messageRefused);
        return failed();
    }

    // Sends a group and reads its replies. Replies beyond them (already here) answer no command: the
    // replies cannot be matched to their commands any more, and one taken for the message's verdict could
    // report it sent when the server refused it.
    bool exchange(const QByteArray& bytes, int count) {
        if (!m_link.send(bytes)) return false;
        for (int i = 0; i < count; ++i) {
            Reply reply;
            if (!m_link.read(reply)) return false;
            m_replies << reply;
        }
        QString stray;
        if (m_link.unaskedReply(&stray))
            return m_link.fail(SmtpLink::Fault::Protocol, m_link.texts->strayReply.arg(stray));
        return true;
    }

    // A server that refused the envelope has not taken the message, whatever content reached it.
    bool envelopeAccepted() {
        const auto end = m_replies.begin() + std::min(m_replies.size(), m_envelope.size());
        const auto refusal =
            std::find_if(m_replies.begin(), end, [](const Reply& r) { return !r.positive(); });
        if (refusal == end) return true;
        m_envelopeRefused = true;
        // In DATA the server would take anything that follows as content: the connection must go.
        m_link.inData = m_replies.size() > m_envelope.size() && m_replies[m_envelope.size()].code == 354;
        m_link.refuse(*refusal, refusal == m_replies.begin() ? m_link.texts->senderRefused
                                                             : m_link.texts->recipientRefused);
        return false;
    }

    // Goes again over a new connection only when the reused one had gone stale and cannot have taken the
    // message.
    Outcome failed() const {
        const bool mayBeTaken = m_contentSent && !m_envelopeRefused;
        const bool stale = m_link.fault == SmtpLink::Fault::Timeout ||
                           m_link.fault == SmtpLink::Fault::Lost || m_link.refusal.code == 421;
        return m_reused && stale && !mayBeTaken ? Outcome::Retry : Outcome::Failed;
    }

    SmtpLink& m_link;
    const bool m_reused;
    const bool m_chunking;
    QByteArray m_content;
    const qint64 m_size; // as declared in SIZE=: with DATA's doubled dots, without its final dot
    const QString m_nonAscii;
    QList<QByteArray> m_envelope;
    QList<Reply> m_replies;
    bool m_contentSent = false;
    bool m_envelopeRefused = false;
};

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
    quit();
    m_loginRefusal.reset();
}

void SmtpSession::quit() {
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
    const DeliveryTexts& texts = deliveryTexts(m_options.language);
    if (mail.envelopeRecipients.isEmpty() || !validEnvelope(mail)) {
        quit();
        return notSent(mail.envelopeRecipients.isEmpty() ? texts.noRecipient : texts.controlCharacter);
    }
    // A connection made as another account (the fields changed since) must not carry this message.
    if (m_link && mail.account != m_account) quit();
    if (m_loginRefusal && mail.account != m_refusedAccount) m_loginRefusal.reset();
    // Providers lock an account after repeated failed logins: a refused one is not tried again on its own.
    if (m_loginRefusal) return *m_loginRefusal;

    DeliveryResult result;
    Outcome outcome = deliver(mail, result);
    if (outcome == Outcome::Retry) {
        // The server had dropped the idle connection, gone silent or said goodbye before it could have
        // taken the message: one more try over a new connection.
        result = DeliveryResult();
        result.retried = true;
        outcome = deliver(mail, result);
    }
    result.sent = outcome == Outcome::Sent;
    if (result.loginRefused) {
        m_loginRefusal = result;
        m_refusedAccount = mail.account;
    }
    return result;
}

SmtpSession::Outcome SmtpSession::deliver(const PreparedMail& mail, DeliveryResult& result) {
    const bool reused = isOpen();
    if (m_link) m_link->texts = &deliveryTexts(m_options.language);
    Outcome outcome = Outcome::Failed;
    std::optional<Transfer> transfer;
    if (reused || open(mail.account)) {
        transfer.emplace(*m_link, mail, reused);
        outcome = transfer->run();
    }
    if (outcome == Outcome::Sent) return outcome;
    const SmtpLink& link = *m_link;
    result.error = link.error;
    result.contentSent = transfer && transfer->contentSent();
    const bool refused = link.fault == SmtpLink::Fault::Refused;
    result.serverReply = refused ? link.refusal.text() : QString();
    result.replyCode = link.refusal.code;
    result.loginRefused = refused && link.loginRefused;
    result.failure = failureOf(link);
    // A refusal leaves the dialogue in order, so the server hears QUIT; 421 means it is leaving already.
    if (refused && link.refusal.code != 421 && !link.inData)
        quit();
    else
        drop();
    return outcome;
}

DeliveryResult SmtpSession::notSent(const QString& why) {
    DeliveryResult result;
    result.failure = DeliveryResult::Failure::NotSent;
    result.error = why;
    return result;
}

bool SmtpSession::open(const SmtpAccount& account) {
    m_link = std::make_unique<SmtpLink>(m_options);
    m_account = account;
    SmtpLink& link = *m_link;
    const DeliveryTexts& texts = *link.texts;
    const bool implicitTls = account.port == 465;
    // A password or token never crosses the network in clear; on this machine's own loopback nobody can
    // listen in.
    const bool withToken = !account.accessToken.isEmpty();
    const bool secret = withToken || !account.password.isEmpty();
    const bool mustEncrypt = implicitTls || (secret && !isLoopbackHost(account.host));

    Reply reply;
    if (!link.connectTo(account, m_options) || !link.read(reply)) return false;
    if (reply.code != 220) return link.refuse(reply, texts.connectionRefused);

    const auto hello = [&link, &texts] {
        Reply ehlo;
        const QByteArray name = link.helloName();
        if (!link.send("EHLO " + name + "\r\n") || !link.read(ehlo)) return false;
        link.capabilities = capabilitiesOf(ehlo);
        if (ehlo.code == 250) return true;
        // A server from before ESMTP: no extensions at all.
        if (ehlo.code != 500 && ehlo.code != 502) return link.refuse(ehlo, texts.ehloRefused);
        link.capabilities = Capabilities();
        return link.command("HELO " + name + "\r\n", 250, texts.heloRefused);
    };
    if (!hello()) return false;
    if (!implicitTls && link.capabilities.startTls && QSslSocket::supportsSsl()) {
        if (!link.send("STARTTLS\r\n") || !link.read(reply)) return false;
        if (reply.code == 220) {
            if (!link.startTls() || !hello()) return false;
        } else if (mustEncrypt) {
            return link.refuse(reply, texts.startTlsRefused);
        }
    }
    if (mustEncrypt && !link.socket.isEncrypted())
        return link.refuse(Reply(), withToken ? texts.noEncryptionToken : texts.noEncryption);
    if (withToken) return logInWithToken(account);
    return account.password.isEmpty() || !link.capabilities.authLogin || logIn(account);
}

// AUTH LOGIN: the command, the user name and the password, each answered before the next goes out.
bool SmtpSession::logIn(const SmtpAccount& account) {
    SmtpLink& link = *m_link;
    const QByteArray steps[] = {"AUTH LOGIN", account.user.toUtf8().toBase64(),
                                account.password.toUtf8().toBase64()};
    for (const QByteArray& step : steps) {
        Reply reply;
        if (!link.send(step + "\r\n") || !link.read(reply)) return false;
        const int expected = &step == &steps[2] ? 235 : 334;
        if (reply.code != expected) return loginFailed(link, reply);
    }
    return true;
}

// AUTH XOAUTH2 with the token as initial response, on the command line. A server that refuses the token
// says why in a 334 (a base64 JSON error) and waits for an empty line; its verdict, 535, follows that.
bool SmtpSession::logInWithToken(const SmtpAccount& account) {
    SmtpLink& link = *m_link;
    if (!link.capabilities.authXoauth2) {
        // Every further message of the account would meet the same server.
        link.loginRefused = true;
        return link.refuse(Reply(), link.texts->noXoauth2);
    }
    Reply reply;
    if (!link.send("AUTH XOAUTH2 " + xoauth2InitialResponse(account.user, account.accessToken) + "\r\n") ||
        !link.read(reply))
        return false;
    if (reply.code == 334 && (!link.send("\r\n") || !link.read(reply))) return false;
    return reply.code == 235 || loginFailed(link, reply);
}

QByteArray xoauth2InitialResponse(const QString& user, const QString& accessToken) {
    // "\x01" stands alone: "\x01a" would be one hex escape.
    return ("user=" + user.toUtf8() +
            "\x01"
            "auth=Bearer " +
            accessToken.toUtf8() + "\x01\x01")
        .toBase64();
}
