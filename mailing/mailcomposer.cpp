// GLib names a struct member "signals", which Qt defines as a keyword macro: GMime comes first.
#include <gmime/gmime.h>

#include "core/apperror.h"
#include "core/blank.h"
#include "mailing/deliverytexts.h"
#include "mailing/htmltext.h"
#include "mailing/mailcomposer.h"
#include "mailing/maillibraries.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

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

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Gives the mailbox's domain its ASCII form (IDNA: "müller.example" becomes "xn--mller-kva.example"), the
// one DNS knows and every server takes. False when the domain has none.
bool useAsciiDomain(InternetAddressMailbox* mailbox) {
    const QString addr = QString::fromUtf8(internet_address_mailbox_get_addr(mailbox));
    const qsizetype at = addr.lastIndexOf(QLatin1Char('@'));
    const QString domain = addr.mid(at + 1);
    if (at < 0 || isAscii(domain)) return true;
    const QByteArray ace = QUrl::toAce(domain);
    if (ace.isEmpty()) return false;
    internet_address_mailbox_set_addr(mailbox,
                                      (addr.left(at + 1) + QString::fromLatin1(ace)).toUtf8().constData());
    return true;
}

// An address whose local part is not ASCII can only travel where the server offers SMTPUTF8; the first
// such address of the mail is kept to say so.
void noteNonAscii(PreparedMail& mail, const QByteArray& address) {
    if (mail.nonAsciiAddress.isEmpty() && !isAscii(QString::fromUtf8(address)))
        mail.nonAsciiAddress = QString::fromUtf8(address);
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
    if (!useAsciiDomain(INTERNET_ADDRESS_MAILBOX(address))) return nullptr;
    // SMTP carries at most 254 octets of address; a longer one cannot be delivered, and the header line
    // holding it, which cannot be folded, could pass the 998-octet limit of a mail line.
    if (std::strlen(internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(address))) > 254)
        return nullptr;
    g_object_ref(address);
    return address;
}

// Puts every part of an address text into a header of the message and into the envelope. Returns what is
// wrong when a part is not a mail address; then nothing of the text is used.
QString addAddresses(GMimeMessage* message, GMimeAddressType type, const QString& text, PreparedMail& mail,
                     const DeliveryTexts& texts) {
    QList<InternetAddress*> mailboxes;
    QString problem;
    for (const QString& part : recipientParts(text)) {
        InternetAddress* mailbox = parseMailbox(part);
        if (!mailbox) {
            problem = texts.notAnAddress.arg(singleLine(part));
            break;
        }
        mailboxes.append(mailbox);
    }
    for (InternetAddress* mailbox : mailboxes) {
        if (problem.isEmpty()) {
            internet_address_set_charset(mailbox, utf8);
            mail.envelopeRecipients.append(
                QByteArray(internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(mailbox))));
            noteNonAscii(mail, mail.envelopeRecipients.last());
            internet_address_list_add(g_mime_message_get_addresses(message, type), mailbox);
        }
        g_object_unref(mailbox);
    }
    return problem;
}

// The sender: the account address as a mailbox; text that does not parse as one is taken as the address.
void setSender(GMimeMessage* message, const QString& user, PreparedMail& mail) {
    const QString line = singleLine(user);
    GRef<InternetAddressList> list(internet_address_list_parse(nullptr, line.toUtf8().constData()));
    InternetAddress* mailbox = nullptr;
    if (list) {
        for (int i = 0; i < internet_address_list_length(list.get()) && !mailbox; ++i) {
            InternetAddress* address = internet_address_list_get_address(list.get(), i);
            if (INTERNET_ADDRESS_IS_MAILBOX(address)) mailbox = address;
        }
    }
    QByteArray& envelope = mail.envelopeSender;
    if (mailbox) {
        useAsciiDomain(INTERNET_ADDRESS_MAILBOX(mailbox));
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
    noteNonAscii(mail, envelope);
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

// Read before the server is contacted: a file that is there but cannot be read is the caller's error.
// Nothing when no file is to be attached.
std::optional<QByteArray> readAttachment(const QString& path, const DeliveryTexts& texts) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw AppError(texts.cannotOpenFile.arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(texts.cannotReadFile.arg(path, file.errorString()));
    return bytes;
}

// From, Sender, To, Cc, Subject, Date and Message-ID; the envelope's addresses go into the mail.
void setHeaders(GMimeMessage* message, const MailRequest& request, PreparedMail& mail,
                const DeliveryTexts& texts) {
    setSender(message, mail.account.user, mail);
    mail.addressProblem = addAddresses(message, GMIME_ADDRESS_TYPE_TO, request.recipients, mail, texts);
    if (mail.addressProblem.isEmpty())
        mail.addressProblem = addAddresses(message, GMIME_ADDRESS_TYPE_CC, request.cc, mail, texts);
    if (mail.addressProblem.isEmpty() && mail.envelopeRecipients.isEmpty())
        mail.addressProblem = texts.noAddressGiven;
    g_mime_message_set_subject(message, singleLine(trimBlank(request.subject)).toUtf8().constData(), utf8);

    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message, now);
    g_date_time_unref(now);
    char* messageId = g_mime_utils_generate_message_id(messageIdDomain(mail.envelopeSender).constData());
    g_mime_message_set_message_id(message, messageId);
    g_free(messageId);
}

// The text: plain as typed, or HTML as multipart/alternative with a plain-text rendering first (mail
// programs show the last alternative they can display, and filters rate HTML without text worse).
GMimeObject* newTextBody(const MailRequest& request) {
    if (!request.html) return newTextPart("plain", request.lines);
    const QString text = plainTextOfHtml(request.lines.join(QLatin1Char('\n'))); // may raise: first
    GRef<GMimeObject> plain(newTextPart("plain", text.split(QLatin1Char('\n'))));
    GRef<GMimeObject> html(newTextPart("html", request.lines));
    GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
    g_mime_multipart_add(alternative, plain.get());
    g_mime_multipart_add(alternative, html.get());
    return GMIME_OBJECT(alternative);
}

QByteArray written(GMimeMessage* message) {
    FormatOptions format;
    GRef<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message), format.options, out.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), int(bytes->len));
}

} // namespace

int portNumber(const QString& text, int language) {
    bool ok = false;
    const int port = trimBlank(text).toInt(&ok, 10);
    if (!ok) throw AppError(deliveryTexts(language).notAnInteger.arg(text));
    if (port < 1 || port > 65535) throw AppError(deliveryTexts(language).notAPort.arg(text));
    return port;
}

PreparedMail prepareMail(const MailRequest& request) {
    initMailLibraries();
    const DeliveryTexts& texts = deliveryTexts(request.language);
    PreparedMail mail;
    mail.account.host = trimBlank(request.host);
    mail.account.user = trimBlank(request.user);
    mail.account.password = trimBlank(request.password);
    mail.account.port = portNumber(request.port, request.language);
    const QString attachmentPath = trimBlank(request.attachmentPath);
    const std::optional<QByteArray> attachment = readAttachment(attachmentPath, texts);

    GRef<GMimeMessage> message(g_mime_message_new(TRUE));
    setHeaders(message.get(), request, mail, texts);
    GRef<GMimeObject> text(newTextBody(request));
    if (!attachment) {
        g_mime_message_set_mime_part(message.get(), text.get());
    } else {
        GRef<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        GRef<GMimeObject> file(newFilePart(QFileInfo(attachmentPath).fileName(), *attachment));
        g_mime_multipart_add(mixed.get(), text.get());
        g_mime_multipart_add(mixed.get(), file.get());
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    }
    mail.data = written(message.get());
    return mail;
}
