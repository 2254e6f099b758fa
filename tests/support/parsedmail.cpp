// GLib names a struct member "signals", which Qt defines as a keyword macro: GMime comes first.
#include <gmime/gmime.h>

#include "tests/support/parsedmail.h"

#include "mailing/maillibraries.h"

namespace {

QList<ParsedMail::Mailbox> mailboxes(InternetAddressList* list) {
    QList<ParsedMail::Mailbox> result;
    for (int i = 0; list && i < internet_address_list_length(list); ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            result << ParsedMail::Mailbox{
                QString::fromUtf8(internet_address_get_name(address)),
                QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))};
        } else if (INTERNET_ADDRESS_IS_GROUP(address)) {
            result << mailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)));
        }
    }
    return result;
}

ParsedMail::Part readPart(GMimeObject* object) {
    ParsedMail::Part part;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    gchar* mimeType = g_mime_content_type_get_mime_type(type);
    part.mimeType = QString::fromUtf8(mimeType).toLower();
    g_free(mimeType);
    part.charset = QString::fromUtf8(g_mime_content_type_get_parameter(type, "charset"));
    part.disposition = QString::fromUtf8(g_mime_object_get_disposition(object));
    if (GMIME_IS_PART(object)) {
        GMimePart* leaf = GMIME_PART(object);
        part.fileName = QString::fromUtf8(g_mime_part_get_filename(leaf));
        part.transferEncoding =
            QString::fromUtf8(g_mime_content_encoding_to_string(g_mime_part_get_content_encoding(leaf)));
        if (GMimeDataWrapper* content = g_mime_part_get_content(leaf)) {
            GMimeStream* stream = g_mime_stream_mem_new();
            g_mime_data_wrapper_write_to_stream(content, stream);
            GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
            part.content = QByteArray(reinterpret_cast<const char*>(bytes->data), int(bytes->len));
            g_object_unref(stream);
        }
    }
    return part;
}

// The leaf parts below `object` in order, nested multiparts opened.
void addLeafParts(GMimeObject* object, QList<ParsedMail::Part>& parts) {
    if (!GMIME_IS_MULTIPART(object)) {
        parts << readPart(object);
        return;
    }
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
        addLeafParts(g_mime_multipart_get_part(multipart, i), parts);
}

} // namespace

QString ParsedMail::Part::text() const {
    return charset.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0 || charset.isEmpty()
               ? QString::fromUtf8(content)
               : QString::fromLatin1(content);
}

ParsedMail ParsedMail::parse(const QByteArray& data) {
    initMailLibraries();
    ParsedMail mail;
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(data.constData(), size_t(data.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message) return mail;
    mail.valid = true;
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    for (int i = 0; i < g_mime_header_list_get_count(headers); ++i)
        mail.headerNames << QString::fromUtf8(
            g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i)));
    mail.subject = QString::fromUtf8(g_mime_message_get_subject(message));
    mail.from = mailboxes(g_mime_message_get_from(message));
    mail.sender = mailboxes(g_mime_message_get_sender(message));
    mail.to = mailboxes(g_mime_message_get_to(message));
    mail.cc = mailboxes(g_mime_message_get_cc(message));
    mail.date = QString::fromUtf8(g_mime_object_get_header(GMIME_OBJECT(message), "Date"));
    mail.messageId = QString::fromUtf8(g_mime_message_get_message_id(message));
    GMimeObject* body = g_mime_message_get_mime_part(message);
    if (body) {
        mail.mimeType = readPart(body).mimeType;
        addLeafParts(body, mail.parts);
        for (GMimeObject* part = body; GMIME_IS_MULTIPART(part);
             part = g_mime_multipart_get_part(GMIME_MULTIPART(part), 0))
            mail.multiparts << readPart(part).mimeType;
    }
    g_object_unref(message);
    return mail;
}

QStringList ParsedMail::rawHeaderLines(const QByteArray& data) {
    const int end = data.indexOf("\r\n\r\n");
    const QString head = QString::fromLatin1(end < 0 ? data : data.left(end));
    QStringList lines;
    for (const QString& line : head.split(QStringLiteral("\r\n"))) {
        if ((line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'))) && !lines.isEmpty())
            lines.last() += line;
        else
            lines << line;
    }
    return lines;
}
