// Message composition from fuzzed field values: recipient text, subject, message lines and attachment file
// name (the account address is one of three: plain, with a name and umlauts, with a local part and a
// domain beyond ASCII). The message must parse with GMime without a complaint, carry exactly one From, To,
// Subject, Date and Message-ID header and no header beyond the composer's own, keep CR LF line ends within
// the line-length limit, and name as envelope recipients exactly the addresses of its To header. No raw
// 8-bit byte may reach a header or the envelope unless the mail is marked for SMTPUTF8, and then for an
// address that needs it. GLib names a struct member "signals", which Qt defines as a keyword macro: GMime
// comes first.
#include <gmime/gmime.h>

#include "core/apperror.h"
#include "core/blank.h"
#include "fuzz/fuzzcheck.h"
#include "mailing/mailcomposer.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <map>

namespace {

const QStringList kOwnHeaders = {"from",         "sender",       "to",
                                 "subject",      "date",         "message-id",
                                 "mime-version", "content-type", "content-transfer-encoding"};

// The header names of the message's top level as a server reads them: lines up to the first empty one,
// a line that begins with a blank or tab continuing the one before.
QStringList headerNames(const QByteArray& data) {
    QStringList names;
    const qsizetype end = data.indexOf("\r\n\r\n");
    for (const QByteArray& line : data.left(end < 0 ? data.size() : end).split('\n')) {
        if (line.isEmpty() || line.startsWith(' ') || line.startsWith('\t')) continue;
        names << QString::fromLatin1(line.left(line.indexOf(':'))).toLower();
    }
    return names;
}

QList<QByteArray> toAddresses(GMimeMessage* message) {
    QList<QByteArray> result;
    InternetAddressList* list = g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO);
    for (int i = 0; list && i < internet_address_list_length(list); ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        FUZZ_CHECK(INTERNET_ADDRESS_IS_MAILBOX(address), "a group in To");
        result << QByteArray(internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
    return result;
}

void onParserWarning(gint64 offset, GMimeParserWarning code, const gchar* item, gpointer data) {
    const QByteArray& message = *static_cast<const QByteArray*>(data);
    FUZZ_CHECK(false, "GMime complains:" << int(code) << "at" << offset << item << message);
}

// A file name the file system takes: no "/" or NUL, short enough, never "." or "..".
QString fileNameFrom(const QByteArray& raw) {
    QString name = QString::fromUtf8(raw.left(80));
    name.replace(QLatin1Char('/'), QLatin1Char('_')).remove(QChar(0));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("a");
    return name;
}

bool hasEightBit(const QByteArray& bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return uint8_t(c) >= 0x80; });
}

// Raw 8-bit bytes only where SMTPUTF8 allows them, and only then when an address needs it.
void checkEightBit(const PreparedMail& mail, const QString& user) {
    const qsizetype end = mail.data.indexOf("\r\n\r\n");
    const QByteArray head = mail.data.left(end < 0 ? mail.data.size() : end);
    QList<QByteArray> envelope = mail.envelopeRecipients;
    envelope << mail.envelopeSender;
    if (mail.nonAsciiAddress.isEmpty()) {
        FUZZ_CHECK(!hasEightBit(head), "8-bit header without SMTPUTF8:" << head);
        for (const QByteArray& address : envelope)
            FUZZ_CHECK(!hasEightBit(address), "8-bit envelope without SMTPUTF8:" << address);
        return;
    }
    const QByteArray needing = mail.nonAsciiAddress.toUtf8();
    FUZZ_CHECK(hasEightBit(needing), "SMTPUTF8 for an ASCII address:" << needing);
    FUZZ_CHECK(envelope.contains(needing) || user.contains(mail.nonAsciiAddress),
               "SMTPUTF8 for an address of nobody's:" << needing << envelope);
}

} // namespace

// HTML messages are read with Qt's rich-text reader, which needs a GUI application (offscreen here).
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir folder;
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    MailRequest request;
    request.host = QStringLiteral("127.0.0.1");
    request.port = QStringLiteral("25");
    request.user = (mode & 8)   ? QStringLiteral("Jörg Müller <jörg@müller.example>")
                   : (mode & 1) ? QStringLiteral("Jörg Müller <joerg@example.org>")
                                : QStringLiteral("sender@example.org");
    request.recipients = QString::fromUtf8(in.field());
    request.subject = QString::fromUtf8(in.field());
    const QString attachmentName = fileNameFrom(in.field());
    request.lines = QString::fromUtf8(in.rest()).split(QLatin1Char('\n'));
    request.html = mode & 2;
    QString attachmentPath;
    if (mode & 4) {
        attachmentPath = folder.filePath(attachmentName);
        QFile file(attachmentPath);
        if (!file.open(QIODevice::WriteOnly) || file.write("attached\r\n\0bytes", 16) != 16) return 0;
        request.attachmentPath = attachmentPath;
    }

    PreparedMail mail;
    try {
        mail = prepareMail(request);
    } catch (const AppError& e) {
        FUZZ_CHECK(false, "composition raised:" << e.text());
    }
    if (!attachmentPath.isEmpty()) QFile::remove(attachmentPath);

    const QByteArray& wire = mail.data;
    checkEightBit(mail, request.user);
    for (qsizetype i = 0; i < wire.size(); ++i) {
        if (wire[i] == '\r') FUZZ_CHECK(i + 1 < wire.size() && wire[i + 1] == '\n', "bare CR" << wire);
        if (wire[i] == '\n') FUZZ_CHECK(i > 0 && wire[i - 1] == '\r', "bare LF" << wire);
    }
    for (const QByteArray& line : wire.split('\n'))
        FUZZ_CHECK(line.size() <= 1000, "line of" << line.size() << "bytes:" << line.left(300));

    std::map<QString, int> count;
    for (const QString& name : headerNames(wire)) {
        FUZZ_CHECK(kOwnHeaders.contains(name), "header" << name << "in" << wire);
        ++count[name];
    }
    for (const auto& [name, n] : count)
        FUZZ_CHECK(n == 1, name << n << wire);
    const bool addressed = mail.addressProblem.isEmpty();
    FUZZ_CHECK(count["from"] == 1 && count["subject"] == 1 && count["date"] == 1 && count["message-id"] == 1,
               wire);
    FUZZ_CHECK(count["to"] == (addressed ? 1 : 0), wire);

    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(wire.constData(), size_t(wire.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeParserOptions* options = g_mime_parser_options_new();
    g_mime_parser_options_set_warning_callback(options, onParserWarning, const_cast<QByteArray*>(&wire));
    GMimeMessage* message = g_mime_parser_construct_message(parser, options);
    FUZZ_CHECK(message, "GMime cannot parse" << wire);

    // Every envelope recipient is an address of the To header and no more: nothing in a field value
    // can add a recipient of its own.
    const QList<QByteArray> to = toAddresses(message);
    if (addressed) {
        FUZZ_CHECK(to == mail.envelopeRecipients, to << mail.envelopeRecipients << wire);
    } else {
        FUZZ_CHECK(mail.envelopeRecipients.isEmpty() && to.isEmpty(), mail.envelopeRecipients);
    }
    for (const QByteArray& address : mail.envelopeRecipients)
        for (char c : address)
            FUZZ_CHECK(uint8_t(c) > ' ' && c != '<' && c != '>' && c != 0x7F, "envelope" << address);
    FUZZ_CHECK(mail.envelopeRecipients.size() <= request.recipients.count(u'@'), mail.envelopeRecipients);

    g_object_unref(message);
    g_mime_parser_options_free(options);
    g_object_unref(parser);
    g_object_unref(stream);
    return 0;
}
