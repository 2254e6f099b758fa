// GLib names a struct member "signals", which Qt defines as a keyword macro: GMime comes first.
#include <gmime/gmime.h>

#include "core/apperror.h"
#include "core/blank.h"
#include "mailing/mailcomposer.h"
#include "mailing/maillibraries.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSysInfo>

#include <cctype>
#include <cstring>

namespace {

// Owns one GObject reference.
template <typename T> class GRef {
public:
    explicit GRef(T* object = nullptr) : m_object(object) {}
    ~GRef() {
        if (m_object) g_object_unref(m_object);
    }
    GRef(const GRef&) = delete;
    GRef& operator=(const GRef&) = delete;
    T* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T* m_object;
};

struct FormatOptions {
    GMimeFormatOptions* options = g_mime_format_options_new();
    FormatOptions() { g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS); }
    ~FormatOptions() { g_mime_format_options_free(options); }
    FormatOptions(const FormatOptions&) = delete;
    FormatOptions& operator=(const FormatOptions&) = delete;
};

const char* const utf8 = "utf-8";

// A control character inside a header value would end the header and let the rest pass as a new one
// (or, in an address, as a new SMTP command); it becomes a blank.
QString singleLine(const QString& text) {
    QString line = text;
    for (QChar& c : line)
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F) c = QLatin1Char(' ');
    return line;
}

// The parts of a recipient text: separated by ",", ";", CR or LF outside quoted names and angle brackets;
// empty parts are left out. Users type ";" as readily as ",", and a line break must never start a header.
QStringList recipientParts(const QString& text) {
    QStringList parts;
    QString part;
    bool quoted = false;
    bool angle = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            quoted = angle = false; // a break ends whatever it interrupts
        } else if (quoted) {
            if (c == u'\\' && i + 1 < text.size() && text.at(i + 1) != u'\r' && text.at(i + 1) != u'\n') {
                part += c;
                part += text.at(++i);
                continue;
            }
            if (c == u'"') quoted = false;
            part += c;
            continue;
        } else if (c == u'"') {
            quoted = !angle;
        } else if (c == u'<') {
            angle = true;
        } else if (c == u'>') {
            angle = false;
        }
        if (!quoted && !angle && (c == u',' || c == u';' || c == u'\r' || c == u'\n')) {
            if (!isBlank(part)) parts.append(trimBlank(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!isBlank(part)) parts.append(trimBlank(part));
    return parts;
}

// GMime's strict address parser, alone in a function of its own: GMime 3.2.13 leaks its parse buffers when
// the text is not an address (error paths of internet-address.c), and the sanitizer build's leak
// suppressions name this function. The caller owns what it returns.
InternetAddressList* parseAddressesStrictly(const QByteArray& text) {
    GMimeParserOptions* options = g_mime_parser_options_new();
    g_mime_parser_options_set_address_compliance_mode(options, GMIME_RFC_COMPLIANCE_STRICT);
    InternetAddressList* list = internet_address_list_parse(options, text.constData());
    g_mime_parser_options_free(options);
    return list;
}

// One mailbox parsed strictly, or nullptr when the text is not exactly one mail address.
InternetAddress* parseMailbox(const QString& text) {
    GRef<InternetAddressList> list(parseAddressesStrictly(singleLine(text).toUtf8()));
    if (!list || internet_address_list_length(list.get()) != 1) return nullptr;
    InternetAddress* address = internet_address_list_get_address(list.get(), 0);
    if (!INTERNET_ADDRESS_IS_MAILBOX(address)) return nullptr;
    const QString addr =
        QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    const qsizetype at = addr.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == addr.size() - 1) return nullptr;
    for (QChar c : addr)
        if (c.isSpace() || c == u'<' || c == u'>' || c == u',' || c == u';') return nullptr;
    // SMTP carries at most 254 octets of address; a longer one cannot be delivered, and the header line
    // holding it, which cannot be folded, could pass the 998-octet limit of a mail line.
    if (std::strlen(internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(address))) > 254)
        return nullptr;
    g_object_ref(address);
    return address;
}

// Puts every part of an address text into a header of the message and into the envelope. Returns what is
// wrong when a part is not a mail address; then nothing of the text is used.
QString addAddresses(GMimeMessage* message, GMimeAddressType type, const QString& text,
                     QList<QByteArray>& envelope) {
    QList<InternetAddress*> mailboxes;
    QString problem;
    for (const QString& part : recipientParts(text)) {
        InternetAddress* mailbox = parseMailbox(part);
        if (!mailbox) {
            problem = QStringLiteral("\"%1\" is not a mail address").arg(singleLine(part));
            break;
        }
        mailboxes.append(mailbox);
    }
    for (InternetAddress* mailbox : mailboxes) {
        if (problem.isEmpty()) {
            internet_address_set_charset(mailbox, utf8);
            envelope.append(
                QByteArray(internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(mailbox))));
            internet_address_list_add(g_mime_message_get_addresses(message, type), mailbox);
        }
        g_object_unref(mailbox);
    }
    return problem;
}

// The sender: the account address as a mailbox; text that does not parse as one is taken as the address.
QByteArray setSender(GMimeMessage* message, const QString& user) {
    const QString line = singleLine(user);
    QList<QByteArray> addresses;
    GRef<InternetAddressList> list(internet_address_list_parse(nullptr, line.toUtf8().constData()));
    InternetAddress* mailbox = nullptr;
    if (list) {
        for (int i = 0; i < internet_address_list_length(list.get()) && !mailbox; ++i) {
            InternetAddress* address = internet_address_list_get_address(list.get(), i);
            if (INTERNET_ADDRESS_IS_MAILBOX(address)) mailbox = address;
        }
    }
    QByteArray envelope;
    if (mailbox) {
        internet_address_set_charset(mailbox, utf8);
        envelope = internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(mailbox));
        internet_address_list_add(g_mime_message_get_from(message), mailbox);
        GRef<InternetAddress> sender(internet_address_mailbox_new(
            internet_address_get_name(mailbox),
            internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(mailbox))));
        internet_address_set_charset(sender.get(), utf8);
        internet_address_list_add(g_mime_message_get_sender(message), sender.get());
    } else {
        envelope = line.toUtf8();
        g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, nullptr, envelope.constData());
        g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_SENDER, nullptr, envelope.constData());
    }
    return envelope;
}

// A text part in UTF-8, each line ended by a line break.
GMimeObject* newTextPart(const char* subtype, const QStringList& lines) {
    QByteArray text;
    for (const QString& line : lines)
        text += line.toUtf8() + '\n';
    GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
    GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(text.constData(), size_t(text.size())));
    GRef<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part), content.get());
    g_mime_text_part_set_charset(part, utf8);
    // 7bit where the text allows, else quoted-printable: its line breaks stay real CR LF on the wire
    // (base64 would carry the lines' bare LF inside).
    GMimeContentEncoding encoding =
        g_mime_part_get_best_content_encoding(GMIME_PART(part), GMIME_ENCODING_CONSTRAINT_7BIT);
    if (encoding != GMIME_CONTENT_ENCODING_7BIT) encoding = GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    g_mime_part_set_content_encoding(GMIME_PART(part), encoding);
    return GMIME_OBJECT(part);
}

GMimeObject* newFilePart(const QString& fileName, const QByteArray& bytes) {
    QString mimeType = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
    // A message or multipart type may not be base64-encoded (RFC 2046): mail programs would show an empty
    // message and lose the bytes. As plain data the file arrives exactly.
    if (mimeType.startsWith(QLatin1String("message/")) || mimeType.startsWith(QLatin1String("multipart/")))
        mimeType = QStringLiteral("application/octet-stream");
    const QByteArray type = mimeType.section(QLatin1Char('/'), 0, 0).toLatin1();
    const QByteArray subtype = mimeType.section(QLatin1Char('/'), 1).toLatin1();
    GMimePart* part = g_mime_part_new_with_type(type.constData(), subtype.constData());
    GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    GRef<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, content.get());
    g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(part, singleLine(fileName).toUtf8().constData());
    // Names with non-ASCII letters go out as RFC 2231 parameters in UTF-8.
    for (GMimeParamList* params :
         {g_mime_content_type_get_parameters(g_mime_object_get_content_type(GMIME_OBJECT(part))),
          g_mime_content_disposition_get_parameters(
              g_mime_object_get_content_disposition(GMIME_OBJECT(part)))}) {
        for (int i = 0; params && i < g_mime_param_list_length(params); ++i)
            g_mime_param_set_charset(g_mime_param_list_get_parameter_at(params, i), utf8);
    }
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    return GMIME_OBJECT(part);
}

// The domain for the Message-ID: the sender's, or this machine's name when the sender has none.
QByteArray messageIdDomain(const QByteArray& sender) {
    QByteArray domain = sender.mid(sender.lastIndexOf('@') + 1);
    const auto usable = [](const QByteArray& name) {
        if (name.isEmpty()) return false;
        for (char c : name)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-')) return false;
        return true;
    };
    if (!sender.contains('@') || !usable(domain)) domain = QSysInfo::machineHostName().toLatin1();
    if (!usable(domain)) domain = "localhost.localdomain";
    return domain;
}

} // namespace

int portNumber(const QString& text) {
    bool ok = false;
    const int port = trimBlank(text).toInt(&ok, 10);
    if (!ok) throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    if (port < 1 || port > 65535) throw AppError(QStringLiteral("'%1' is not a valid port number").arg(text));
    return port;
}

PreparedMail prepareMail(const MailRequest& request) {
    initMailLibraries();
    PreparedMail mail;
    mail.account.host = trimBlank(request.host);
    mail.account.user = trimBlank(request.user);
    mail.account.password = trimBlank(request.password);
    mail.account.port = portNumber(request.port);

    // Read before the server is contacted: a file that is there but cannot be read is the caller's error.
    const QString attachmentPath = trimBlank(request.attachmentPath);
    const bool attach = !attachmentPath.isEmpty() && QFileInfo(attachmentPath).isFile();
    QByteArray attachment;
    if (attach) {
        QFile file(attachmentPath);
        if (!file.open(QIODevice::ReadOnly))
            throw AppError(
                QStringLiteral("Cannot open file \"%1\". %2").arg(attachmentPath, file.errorString()));
        attachment = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw AppError(
                QStringLiteral("Cannot read file \"%1\". %2").arg(attachmentPath, file.errorString()));
    }

    GRef<GMimeMessage> message(g_mime_message_new(TRUE));
    mail.envelopeSender = setSender(message.get(), mail.account.user);
    mail.addressProblem =
        addAddresses(message.get(), GMIME_ADDRESS_TYPE_TO, request.recipients, mail.envelopeRecipients);
    if (mail.addressProblem.isEmpty())
        mail.addressProblem =
            addAddresses(message.get(), GMIME_ADDRESS_TYPE_CC, request.cc, mail.envelopeRecipients);
    if (mail.addressProblem.isEmpty() && mail.envelopeRecipients.isEmpty())
        mail.addressProblem = QStringLiteral("No mail address given");
    g_mime_message_set_subject(message.get(), singleLine(trimBlank(request.subject)).toUtf8().constData(),
                               utf8);

    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    char* messageId = g_mime_utils_generate_message_id(messageIdDomain(mail.envelopeSender).constData());
    g_mime_message_set_message_id(message.get(), messageId);
    g_free(messageId);

    if (!request.html && !attach) {
        GRef<GMimeObject> body(newTextPart("plain", request.lines));
        g_mime_message_set_mime_part(message.get(), body.get());
    } else {
        GRef<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        if (request.html) {
            GRef<GMimeObject> html(newTextPart("html", request.lines));
            GRef<GMimeObject> plain(newTextPart("plain", {}));
            g_mime_multipart_add(mixed.get(), html.get());
            g_mime_multipart_add(mixed.get(), plain.get());
        } else {
            GRef<GMimeObject> text(newTextPart("plain", request.lines));
            g_mime_multipart_add(mixed.get(), text.get());
        }
        if (attach) {
            GRef<GMimeObject> file(newFilePart(QFileInfo(attachmentPath).fileName(), attachment));
            g_mime_multipart_add(mixed.get(), file.get());
        }
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    }

    FormatOptions format;
    GRef<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), format.options, out.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    mail.data = QByteArray(reinterpret_cast<const char*>(bytes->data), int(bytes->len));
    return mail;
}
