#include "core/apperror.h"
#include "mailing/deliverygate.h"
#include "mailing/htmltext.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"
#include "mailing/smtpsession.h"
#include "mailing/testmail.h"
#include "tests/support/parsedmail.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testsmtpserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

using Auth = TestSmtpServer::Options::Auth;
Q_DECLARE_METATYPE(TestSmtpServer::Options)
Q_DECLARE_METATYPE(TestSmtpServer::Options::Auth)

namespace {

const QString account = QStringLiteral("user@example.test");
const QString password = QStringLiteral("secret");

// The request most tests start from; sendOne() points it at its server.
MailRequest baseRequest() {
    MailRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.user = account;
    r.recipients = QStringLiteral("to@example.test");
    r.subject = QStringLiteral("Hello");
    r.lines = QStringList{QStringLiteral("Line one"), QStringLiteral("Line two")};
    return r;
}

MailRequest requestTo(const TestSmtpServer& server) {
    MailRequest r = baseRequest();
    r.port = QString::number(server.port());
    return r;
}

SmtpOptions testOptions() {
    SmtpOptions o;
    o.caFile = TestSmtpServer::caFile();
    return o;
}

// "mail.example.test", a host off loopback, reaches the test server: for what the client does only there.
void routeRemoteName(SmtpOptions& o, const TestSmtpServer& smtp) {
    o.redirects = {
        {QStringLiteral("mail.example.test"), smtp.port(), QStringLiteral("127.0.0.1"), smtp.port()}};
}

TestSmtpServer::Options withAuth(Auth auth, bool required = true) {
    TestSmtpServer::Options o;
    o.auth = auth;
    o.authRequired = required;
    o.user = account;
    o.password = password;
    return o;
}

QByteArray fileBytes(int size) {
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes += char((i * 7 + i / 256) & 0xFF);
    return bytes;
}

// A text part's lines, whichever line ends the decoder leaves in.
QStringList lines(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text.split(QLatin1Char('\n'));
}

int count(const QStringList& list, const QString& item) {
    return int(list.count(item));
}

// What the server took of the one message sendOne() sent.
struct Received {
    TestSmtpServer::Message message;
    ParsedMail mail; // the message taken apart
    QList<TestSmtpServer::Command> commands;
    QStringList verbs;
};

} // namespace

// Starts a test server with the given options, sends the request (its port pointed at the server) over a
// new session, and checks that exactly that one message arrived; returns from the test when not.
#define SEND_ONE(request, received, ...)                                                                     \
    do {                                                                                                     \
        sendOne(request, received, ##__VA_ARGS__);                                                           \
        if (QTest::currentTestFailed()) return;                                                              \
    } while (false)

static void sendOne(MailRequest request, Received& received, const TestSmtpServer::Options& server = {}) {
    TestSmtpServer smtp(server);
    START(smtp);
    request.port = QString::number(smtp.port());
    SmtpSession session(testOptions());
    const DeliveryResult result = session.send(prepareMail(request));
    QVERIFY2(result.sent, qPrintable(result.error + QLatin1Char(' ') + result.serverReply));
    const auto messages = smtp.messages();
    QCOMPARE(messages.size(), 1);
    received.message = messages[0];
    received.mail = ParsedMail::parse(messages[0].data);
    QVERIFY(received.mail.valid);
    received.commands = smtp.commands();
    received.verbs = smtp.verbs();
}

class TstDelivery : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(bytes);
        return path;
    }

private Q_SLOTS:
    void login_data() {
        QTest::addColumn<TestSmtpServer::Options>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("login"); // the recorded login name; empty: no AUTH command at all
        QTest::addColumn<QString>("loginPassword");

        QTest::newRow("empty password: no AUTH though LOGIN is offered")
            << withAuth(Auth::Login, false) << account << QString() << true << QString() << QString();
        QTest::newRow("blank password counts as empty")
            << withAuth(Auth::Login, false) << account << QStringLiteral(" \t ") << true << QString()
            << QString();
        QTest::newRow("password with blanks is trimmed")
            << withAuth(Auth::Login) << account << QStringLiteral("  secret\t") << true << account
            << password;
        QTest::newRow("login name with blanks is trimmed")
            << withAuth(Auth::Login) << QStringLiteral(" user@example.test  ") << password << true << account
            << password;
        QTest::newRow("wrong password is refused")
            << withAuth(Auth::Login) << account << QStringLiteral("wrong") << false << account
            << QStringLiteral("wrong");
        QTest::newRow("server offers AUTH without LOGIN: no login, message sent")
            << withAuth(Auth::Plain, false) << account << password << true << QString() << QString();
        QTest::newRow("server without AUTH: no login, message sent")
            << TestSmtpServer::Options() << account << password << true << QString() << QString();
        TestSmtpServer::Options oldForm = withAuth(Auth::Login);
        oldForm.authOldForm = true;
        QTest::newRow("server offers only the old form AUTH=LOGIN")
            << oldForm << account << password << true << account << password;
    }
    void login() {
        QFETCH(TestSmtpServer::Options, server);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, sent);
        QFETCH(QString, login);
        QFETCH(QString, loginPassword);
        TestSmtpServer smtp(server);
        START(smtp);
        MailRequest request = requestTo(smtp);
        request.user = user;
        request.password = password;
        SmtpSession session(testOptions());
        const DeliveryResult result = session.send(prepareMail(request));
        QCOMPARE(result.sent, sent);
        const QStringList verbs = smtp.verbs();
        if (login.isEmpty()) {
            QVERIFY2(!verbs.contains(QStringLiteral("AUTH")), qPrintable(verbs.join(' ')));
            QVERIFY(smtp.logins().isEmpty());
        } else {
            QCOMPARE(count(verbs, QStringLiteral("AUTH")), 1);
            const auto logins = smtp.logins();
            QCOMPARE(logins.size(), 1);
            QCOMPARE(logins[0].mechanism, QStringLiteral("LOGIN"));
            QCOMPARE(logins[0].user, login);
            QCOMPARE(logins[0].password, loginPassword);
        }
        QCOMPARE(smtp.messages().size(), sent ? 1 : 0);
        if (!sent) {
            QVERIFY(result.serverReply.startsWith(QLatin1String("535")));
            QVERIFY(!session.isOpen());
            return;
        }
        // The next message goes over the same connection, logged in (or not) as before.
        const int connections = smtp.connectionCount();
        QVERIFY(session.send(prepareMail(request)).sent);
        QCOMPARE(smtp.connectionCount(), connections);
        QCOMPARE(smtp.logins().size(), login.isEmpty() ? 0 : 1);
    }

    void structure_data() {
        QTest::addColumn<bool>("html");
        QTest::addColumn<bool>("attach");
        QTest::addColumn<QStringList>("multiparts");
        QTest::addColumn<QStringList>("partTypes");

        QTest::newRow("text alone: no multipart")
            << false << false << QStringList() << QStringList{"text/plain"};
        QTest::newRow("text with attachment") << false << true << QStringList{"multipart/mixed"}
                                              << QStringList{"text/plain", "application/pdf"};
        QTest::newRow("html: plain-text rendering, then the html, as alternatives")
            << true << false << QStringList{"multipart/alternative"}
            << QStringList{"text/plain", "text/html"};
        QTest::newRow("html with attachment: the alternatives inside mixed")
            << true << true << QStringList{"multipart/mixed", "multipart/alternative"}
            << QStringList{"text/plain", "text/html", "application/pdf"};
    }
    void structure() {
        QFETCH(bool, html);
        QFETCH(bool, attach);
        QFETCH(QStringList, multiparts);
        QFETCH(QStringList, partTypes);
        const QByteArray bytes = fileBytes(70000);
        MailRequest request = baseRequest();
        request.html = html;
        request.lines = html
                            ? QStringList{QStringLiteral("<html><body>"), QStringLiteral("<h1>Grüße</h1>"),
                                          QStringLiteral("<p>an <a href=\"https://example.test/a\">alle</a>"),
                                          QStringLiteral("Kölner</p></body></html>")}
                            : QStringList{QStringLiteral("Grüße,"), QString(), QStringLiteral("Ende.")};
        if (attach)
            request.attachmentPath = QStringLiteral("  ") + writeFile(QStringLiteral("report.pdf"), bytes);
        Received received;
        SEND_ONE(request, received);
        const ParsedMail& mail = received.mail;
        QCOMPARE(mail.multiparts, multiparts);
        QCOMPARE(mail.mimeType, multiparts.value(0, QStringLiteral("text/plain")));
        QStringList types;
        for (const auto& part : mail.parts)
            types << part.mimeType;
        QCOMPARE(types, partTypes);
        // The text as typed: the only text part, or the HTML one.
        const ParsedMail::Part& typed = mail.parts[html ? 1 : 0];
        for (const ParsedMail::Part* part : {&mail.parts[0], &typed}) {
            QCOMPARE(part->charset.toLower(), QStringLiteral("utf-8"));
            // Umlauts go quoted-printable: the message on the wire is 7-bit, whatever the server supports.
            QCOMPARE(part->transferEncoding.toLower(), QStringLiteral("quoted-printable"));
        }
        for (char c : received.message.data)
            QVERIFY2(uchar(c) < 0x80, "raw 8-bit byte in the message");
        QCOMPARE(lines(typed.text()), request.lines);
        // Beside the HTML, the same text as a reader sees it.
        if (html)
            QCOMPARE(lines(mail.parts[0].text()),
                     (QStringList{"Grüße", "", "an alle (https://example.test/a) Kölner"}));
        if (attach) {
            const ParsedMail::Part& file = mail.parts.last();
            QCOMPARE(file.fileName, QStringLiteral("report.pdf"));
            QCOMPARE(file.disposition, QStringLiteral("attachment"));
            QCOMPARE(file.content, bytes);
        }
    }

    // The plain-text alternative of an HTML message reads as the HTML shows.
    void htmlAsPlainText_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("heading and paragraphs, a blank line between")
            << "<h1>Angebot</h1><p>Erster Absatz</p><p>Zweiter</p>"
            << "Angebot\n\nErster Absatz\n\nZweiter";
        QTest::newRow("line breaks stay lines, source breaks are blanks")
            << "<p>Hallo Hans,<br>zweite\nZeile</p>"
            << "Hallo Hans,\nzweite Zeile";
        QTest::newRow("link: text, then the address")
            << "Mehr <a href=\"https://example.test/p?a=1&amp;b=2\">hier</a>."
            << "Mehr hier (https://example.test/p?a=1&b=2).";
        QTest::newRow("link over formatted words")
            << "<a href=\"https://example.test\"><b>fett</b> und <i>schräg</i></a> danach"
            << "fett und schräg (https://example.test) danach";
        QTest::newRow("two links side by side")
            << "<a href=\"https://a.test\">A</a><a href=\"https://b.test\">B</a>"
            << "A (https://a.test)B (https://b.test)";
        QTest::newRow("link whose text is its address, mail address")
            << "<a href=\"https://a.test\">https://a.test</a> <a href=\"mailto:x@a.test\">x@a.test</a>"
            << "https://a.test x@a.test";
        QTest::newRow("lists")
            << "<ul><li>eins</li><li>zwei<ul><li>innen</li></ul></li></ul><ol><li>erst</li>"
               "<li>dann</li></ol>"
            << "- eins\n- zwei\n  - innen\n\n1. erst\n2. dann";
        QTest::newRow("pre keeps its lines and blanks")
            << "<p>Code:</p><pre>a  = 1\n  b</pre><p><tt>x</tt></p>"
            << "Code:\n\na  = 1\n  b\n\nx";
        QTest::newRow("entities, images left out") << "<p>&lt;Preis&gt; 5&nbsp;&euro; <img src=\"x.png\"></p>"
                                                   << "<Preis> 5 €";
        QTest::newRow("head and style not shown") << "<html><head><title>T</title><style>p { color: red "
                                                     "}</style></head><body><p>Text</p></body></html>"
                                                  << "Text";
        QTest::newRow("empty paragraphs make one blank line") << "<p>a</p><p></p><p>&nbsp;</p><p>b</p>"
                                                              << "a\n\nb";
        QTest::newRow("table cells as lines") << "<table><tr><td>a</td><td>b</td></tr></table>"
                                              << "a\nb";
        QTest::newRow("no tags at all") << "Hallo Welt"
                                        << "Hallo Welt";
    }
    void htmlAsPlainText() {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(plainTextOfHtml(html), text);
    }

    void headers() {
        MailRequest request = baseRequest();
        request.recipients = QStringLiteral("  Jürgen Müller <juergen@example.test>, b@example.test ");
        request.subject = QStringLiteral("  Grüße aus Köln – 5 € für „alle“  ");
        request.attachmentPath = writeFile(QStringLiteral("Übersicht März.txt"), "a;b\r\n");
        Received received;
        SEND_ONE(request, received);
        const QByteArray& data = received.message.data;
        QCOMPARE(received.message.sender, account);
        QCOMPARE(received.message.recipients, (QStringList{"juergen@example.test", "b@example.test"}));

        // A mail program shows exactly what was typed, umlauts and all.
        const ParsedMail& mail = received.mail;
        QCOMPARE(mail.subject, QStringLiteral("Grüße aus Köln – 5 € für „alle“"));
        QCOMPARE(mail.to.size(), 2);
        QCOMPARE(mail.to[0].name, QStringLiteral("Jürgen Müller"));
        QCOMPARE(mail.to[0].address, QStringLiteral("juergen@example.test"));
        QCOMPARE(mail.to[1].address, QStringLiteral("b@example.test"));
        QCOMPARE(mail.from.size(), 1);
        QCOMPARE(mail.from[0].address, account);
        QCOMPARE(mail.sender.size(), 1);
        QCOMPARE(mail.sender[0].address, account);
        QVERIFY(mail.cc.isEmpty());
        QVERIFY(!mail.date.isEmpty());
        QVERIFY(mail.messageId.contains(QLatin1Char('@')));
        QCOMPARE(mail.parts.last().fileName, QStringLiteral("Übersicht März.txt"));
        QCOMPARE(mail.parts.last().content, QByteArray("a;b\r\n"));

        // ...while the header block itself stays plain ASCII (RFC 2047 / 2231 encoded).
        const int headerEnd = data.indexOf("\r\n\r\n");
        for (char c : data.left(headerEnd))
            QVERIFY2(uchar(c) < 0x80, "raw 8-bit byte in the headers");
    }

    void headerInjection_data() {
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("rcpts"); // empty: not looked at
        QTest::addColumn<QString>("decodedSubject");

        QTest::newRow("CR LF in the subject")
            << "to@example.test"
            << "Hi\r\nBcc: evil@example.test" << account << QStringList{"to@example.test"}
            << "Hi  Bcc: evil@example.test";
        QTest::newRow("lone LF in the subject")
            << "to@example.test"
            << "Hi\nX-Injected: yes" << account << QStringList{"to@example.test"} << "Hi X-Injected: yes";
        QTest::newRow("CR LF in the account address")
            << "to@example.test"
            << "Hi"
            << "user@example.test\r\nX-Injected: yes" << QStringList{"to@example.test"} << "Hi";
    }
    void headerInjection() {
        QFETCH(QString, recipients);
        QFETCH(QString, subject);
        QFETCH(QString, user);
        QFETCH(QStringList, rcpts);
        QFETCH(QString, decodedSubject);
        MailRequest request = baseRequest();
        request.recipients = recipients;
        request.subject = subject;
        request.user = user;
        Received received;
        SEND_ONE(request, received);
        // Neither a header nor an SMTP command can be started from inside a field.
        for (const QString& verb : received.verbs)
            QVERIFY2(QStringList({"EHLO", "MAIL", "RCPT", "DATA", "QUIT"}).contains(verb), qPrintable(verb));
        if (!rcpts.isEmpty()) QCOMPARE(received.message.recipients, rcpts);
        for (const auto& command : received.commands)
            if (command.verb == QLatin1String("RCPT") || command.verb == QLatin1String("MAIL"))
                QVERIFY2(QRegularExpression(QStringLiteral("^(TO|FROM):<[^<> ]*>( SIZE=\\d+)?$"))
                             .match(command.argument)
                             .hasMatch(),
                         qPrintable(command.argument));
        for (const QString& line : ParsedMail::rawHeaderLines(received.message.data)) {
            QVERIFY2(!line.startsWith(QLatin1String("Bcc"), Qt::CaseInsensitive), qPrintable(line));
            QVERIFY2(!line.startsWith(QLatin1String("X-Injected"), Qt::CaseInsensitive), qPrintable(line));
        }
        QCOMPARE(received.mail.subject, decodedSubject);
        QVERIFY(!received.mail.headerNames.contains(QStringLiteral("X-Injected"), Qt::CaseInsensitive));
    }

    void recipientsList_data() {
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QStringList>("rcpts");
        QTest::newRow("two, comma-separated")
            << "a@example.test,b@example.test" << QStringList{"a@example.test", "b@example.test"};
        QTest::newRow("three with blanks and names")
            << "  a@example.test , \"Doe, John\" <john@example.test>,c@example.test  "
            << QStringList{"a@example.test", "john@example.test", "c@example.test"};
    }
    void recipientsList() {
        QFETCH(QString, recipients);
        QFETCH(QStringList, rcpts);
        MailRequest request = baseRequest();
        request.recipients = recipients;
        Received received;
        SEND_ONE(request, received);
        QCOMPARE(received.message.recipients, rcpts);
        QCOMPARE(count(received.verbs, QStringLiteral("RCPT")), rcpts.size());
        QCOMPARE(count(received.verbs, QStringLiteral("DATA")), 1);
        QCOMPARE(received.mail.to.size(), rcpts.size());
    }

    // Bodies arrive exactly: a text in another script still goes quoted-printable (its lines stay lines),
    // and lines that are or start with "." are neither lost to the end-of-data mark nor doubled.
    void bodyArrivesExactly_data() {
        QTest::addColumn<QStringList>("body");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("Cyrillic") << QStringList{QStringLiteral("Здравствуйте, Иван Петрович!"),
                                                 QStringLiteral("Спасибо за ваше письмо.")}
                                  << "quoted-printable";
        QTest::newRow("Greek") << QStringList{QStringLiteral("Καλημέρα σας, κύριε Παπαδόπουλε")}
                               << "quoted-printable";
        QTest::newRow("dot lines") << QStringList{".", ".hidden", "..", "a.", ". "} << ""; // any encoding
        QTest::newRow("dot lines with umlauts") << QStringList{".", ".Grüße"} << "quoted-printable";
    }
    void bodyArrivesExactly() {
        QFETCH(QStringList, body);
        QFETCH(QString, encoding);
        MailRequest request = baseRequest();
        request.lines = body;
        Received received;
        SEND_ONE(request, received);
        const ParsedMail& mail = received.mail;
        QCOMPARE(mail.parts.size(), 1);
        if (!encoding.isEmpty()) QCOMPARE(mail.parts[0].transferEncoding.toLower(), encoding);
        QCOMPARE(lines(mail.parts[0].text()), body);
    }

    // A saved mail attached as a file arrives byte for byte (a message type may not be base64-encoded, so it
    // goes as plain data).
    void attachedMailArrivesExactly() {
        const QByteArray eml("From: a@example.test\r\nSubject: Gr\xC3\xBC\xC3\x9F"
                             "e\r\n\r\nText \xFC\r\n.\r\n");
        MailRequest request = baseRequest();
        request.attachmentPath = writeFile(QStringLiteral("forwarded.eml"), eml);
        Received received;
        SEND_ONE(request, received);
        const ParsedMail& mail = received.mail;
        QCOMPARE(mail.parts.size(), 2);
        QCOMPARE(mail.parts[1].fileName, QStringLiteral("forwarded.eml"));
        QCOMPARE(mail.parts[1].mimeType, QStringLiteral("application/octet-stream"));
        QCOMPARE(mail.parts[1].content, eml);
    }

    // "," and ";" both separate addresses, and so do line breaks. A part that is not a mail address fails
    // the whole message before any server contact, and says which part: nothing is dropped in silence.
    void recipientText_data() {
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QStringList>("rcpts"); // empty: the message must fail
        QTest::addColumn<QString>("problem");
        QTest::newRow("semicolon") << "a@example.test; b@example.test"
                                   << QStringList{"a@example.test", "b@example.test"} << "";
        QTest::newRow("both separators, one at the end")
            << "a@example.test;b@example.test , c@example.test;"
            << QStringList{"a@example.test", "b@example.test", "c@example.test"} << "";
        QTest::newRow("line breaks") << "a@example.test\r\nb@example.test\nc@example.test"
                                     << QStringList{"a@example.test", "b@example.test", "c@example.test"}
                                     << "";
        QTest::newRow("separators inside a quoted name")
            << "\"Doe; John, Jr.\" <john@example.test>;a@example.test"
            << QStringList{"john@example.test", "a@example.test"} << "";
        QTest::newRow("a word that is no address") << "a@example.test; hans" << QStringList() << "\"hans\"";
        QTest::newRow("two addresses without separator")
            << "a@example.test b@example.test" << QStringList() << "a@example.test b@example.test";
        QTest::newRow("a group after a line break")
            << "to@example.test\r\nBcc: evil@example.test;" << QStringList() << "Bcc: evil@example.test";
        QTest::newRow("a group in one line")
            << "a@x.test, Friends: evil@example.test;" << QStringList() << "Friends: evil@example.test";
        QTest::newRow("CR LF inside a quoted name")
            << "\"Doe\r\nJohn\" <john@example.test>" << QStringList() << "\"Doe";
        QTest::newRow("LF inside a quoted name")
            << "\"Doe\nJohn\" <john@example.test>" << QStringList() << "\"Doe";
        QTest::newRow("a header after a line break")
            << "to@example.test\nX-Injected: yes" << QStringList() << "X-Injected: yes";
        QTest::newRow("separators only") << " ; , " << QStringList() << "No mail address";
        // SMTP's limit of 254 octets, exactly and one more.
        const QString domain254 =
            QString(63, u'b') + '.' + QString(63, u'c') + '.' + QString(56, u'd') + ".test";
        QTest::newRow("254 octets") << QString(64, u'a') + '@' + domain254
                                    << QStringList{QString(64, u'a') + '@' + domain254} << "";
        QTest::newRow("255 octets") << QString(65, u'a') + '@' + domain254 << QStringList()
                                    << QString(65, u'a') + '@';
    }
    void recipientText() {
        QFETCH(QString, recipients);
        QFETCH(QStringList, rcpts);
        QFETCH(QString, problem);
        TestSmtpServer smtp;
        START(smtp);
        MailRequest request = requestTo(smtp);
        request.recipients = recipients;
        MailDelivery delivery;
        delivery.setOptions(testOptions());
        const DeliveryResult result = delivery.send(prepareMail(request));
        QCOMPARE(result.sent, !rcpts.isEmpty());
        if (rcpts.isEmpty()) {
            QVERIFY2(result.error.contains(problem), qPrintable(result.error));
            QVERIFY(smtp.verbs().isEmpty()); // the server never heard of it
            return;
        }
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].recipients, rcpts);
        QCOMPARE(ParsedMail::parse(messages[0].data).to.size(), rcpts.size());
        for (const QString& line : ParsedMail::rawHeaderLines(messages[0].data))
            QVERIFY2(!line.startsWith(QLatin1String("X-Injected"), Qt::CaseInsensitive), qPrintable(line));
    }

    // A local part beyond ASCII needs the server's SMTPUTF8 (and then goes with its parameter); where the
    // server lacks it, the message fails before any of it leaves and says why. A domain beyond ASCII
    // alone goes in its ASCII form and needs nothing.
    void nonAsciiAddresses_data() {
        QTest::addColumn<QString>("user"); // the account address, the sender
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<bool>("offered");       // the server's SMTPUTF8
        QTest::addColumn<QString>("error");      // empty: sent
        QTest::addColumn<QStringList>("rcpts");  // as the server took them
        QTest::addColumn<bool>("withParameter"); // MAIL FROM:<...> SMTPUTF8

        const QString refused = QStringLiteral("Server does not accept non-ASCII addresses (SMTPUTF8): ");
        QTest::newRow("local part, offered") << account << "Jörg Ähre <jörg@beispiel.de>" << true << ""
                                             << QStringList{"jörg@beispiel.de"} << true;
        QTest::newRow("local part, not offered") << account << "a@example.test, jörg@beispiel.de" << false
                                                 << refused + "jörg@beispiel.de" << QStringList() << false;
        QTest::newRow("domain only, not offered: its ASCII form")
            << account << "Jörg <joerg@müller.example>" << false << ""
            << QStringList{"joerg@xn--mller-kva.example"} << false;
        QTest::newRow("domain only, offered: no parameter needed")
            << account << "joerg@Müller.Example" << true << "" << QStringList{"joerg@xn--mller-kva.example"}
            << false;
        QTest::newRow("the sender's local part, offered")
            << "jörg@müller.example"
            << "to@example.test" << true << "" << QStringList{"to@example.test"} << true;
        QTest::newRow("the sender's local part, not offered")
            << "Jörg <jörg@müller.example>"
            << "to@example.test" << false << refused + "jörg@xn--mller-kva.example" << QStringList() << false;
        QTest::newRow("a domain without an ASCII form is no address")
            << account << "a@" + QString(64, u'ä') + ".test" << true << "is not a mail address"
            << QStringList() << false;
    }
    void nonAsciiAddresses() {
        QFETCH(QString, user);
        QFETCH(QString, recipients);
        QFETCH(bool, offered);
        QFETCH(QString, error);
        QFETCH(QStringList, rcpts);
        QFETCH(bool, withParameter);
        TestSmtpServer::Options options;
        options.smtpUtf8 = offered;
        TestSmtpServer smtp(options);
        START(smtp);
        MailRequest request = requestTo(smtp);
        request.user = user;
        request.recipients = recipients;
        const PreparedMail mail = prepareMail(request);
        MailDelivery delivery;
        delivery.setOptions(testOptions());
        const DeliveryResult result = delivery.send(mail);
        QCOMPARE(result.sent, error.isEmpty());
        if (!error.isEmpty()) {
            QVERIFY2(result.error.endsWith(error), qPrintable(result.error));
            QCOMPARE(result.failure, DeliveryResult::Failure::NotSent);
            QVERIFY2(!smtp.verbs().contains(QStringLiteral("MAIL")), qPrintable(smtp.verbs().join(' ')));
            return;
        }
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].recipients, rcpts);
        // A mail program shows the domain as it was typed again.
        QCOMPARE(ParsedMail::parse(messages[0].data).to.value(0).address,
                 rcpts.value(0).replace(QLatin1String("xn--mller-kva"), QStringLiteral("müller")));
        for (const auto& c : smtp.commands())
            if (c.verb == QLatin1String("MAIL"))
                QCOMPARE(c.argument.endsWith(QLatin1String(" SMTPUTF8")), withParameter);
        // Without SMTPUTF8 the header block stays ASCII: a domain in its ASCII form, names RFC 2047-encoded.
        const QByteArray head = messages[0].data.left(messages[0].data.indexOf("\r\n\r\n"));
        if (!withParameter)
            for (char c : head)
                QVERIFY2(uchar(c) < 0x80, head.constData());
    }

    // A refused login is not tried again by the session on its own: providers lock an account after a
    // few. It comes back at once for the same account, until close() or another account.
    void refusedLoginIsKept_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("loginRefused");
        QTest::newRow("535") << "535 5.7.8 Authentication credentials invalid" << true;
        QTest::newRow("534") << "534 5.7.9 Please log in with your web browser" << true;
        QTest::newRow("530") << "530 5.7.0 Must issue a STARTTLS command first" << true;
        QTest::newRow("454") << "454 4.7.0 Temporary authentication failure" << true;
        QTest::newRow("504: the method, not the account")
            << "504 5.5.4 Unrecognized authentication type" << false;
    }
    void refusedLoginIsKept() {
        QFETCH(QString, reply);
        QFETCH(bool, loginRefused);
        TestSmtpServer::Options options = withAuth(Auth::Login);
        options.refuseLogin = true;
        options.refuseLoginReply = reply;
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpSession session(testOptions());
        MailRequest request = requestTo(smtp);
        request.password = password;
        const DeliveryResult first = session.send(prepareMail(request));
        QVERIFY(!first.sent);
        QCOMPARE(first.failure, DeliveryResult::Failure::Refused);
        QCOMPARE(first.serverReply, reply);
        QCOMPARE(first.replyCode, reply.left(3).toInt());
        QCOMPARE(first.loginRefused, loginRefused);
        QCOMPARE(first.error, QStringLiteral("Login refused"));

        request.recipients = QStringLiteral("next@example.test");
        const DeliveryResult second = session.send(prepareMail(request));
        QVERIFY(!second.sent);
        QCOMPARE(second.serverReply, reply);
        QCOMPARE(second.loginRefused, loginRefused);
        QCOMPARE(smtp.logins().size(), loginRefused ? 1 : 2);
        QCOMPARE(smtp.connectionCount(), loginRefused ? 1 : 2);
        if (!loginRefused) return;

        // Another password is another account: tried.
        request.password = QStringLiteral("corrected");
        QVERIFY(!session.send(prepareMail(request)).sent);
        QCOMPARE(smtp.logins().size(), 2);
        QCOMPARE(smtp.logins().last().password, QStringLiteral("corrected"));
        // After close() the refusal is forgotten.
        session.close();
        QVERIFY(!session.send(prepareMail(request)).sent);
        QCOMPARE(smtp.logins().size(), 3);
        QCOMPARE(smtp.messages().size(), 0);
    }

    // A server that takes anything answers AUTH with 250: no login happened, and the text says so.
    void loginAnsweredWithoutLogin() {
        TestSmtpServer::Options options = withAuth(Auth::Login);
        options.replies = QStringList{QStringLiteral("AUTH=250 2.0.0 OK")};
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpSession session(testOptions());
        MailRequest request = requestTo(smtp);
        request.password = password;
        const DeliveryResult result = session.send(prepareMail(request));
        QVERIFY(!result.sent);
        QCOMPARE(result.error, QStringLiteral("login: unexpected reply 250 2.0.0 OK"));
        QCOMPARE(result.failureText(), result.error);
        QCOMPARE(result.failure, DeliveryResult::Failure::Protocol);
        QCOMPARE(result.replyCode, 250);
        QVERIFY(!result.loginRefused);
        QVERIFY(!smtp.verbs().contains(QStringLiteral("MAIL")));
    }

    void reuseOneConnection() {
        TestSmtpServer smtp(withAuth(Auth::Login));
        START(smtp);
        MailRequest request = requestTo(smtp);
        request.password = password;
        SmtpSession session(testOptions());
        QVERIFY(!session.isOpen());
        for (int i = 0; i < 3; ++i) {
            request.recipients = QStringLiteral("r%1@example.test").arg(i);
            QVERIFY(session.send(prepareMail(request)).sent);
            QVERIFY(session.isOpen());
        }
        QCOMPARE(smtp.connectionCount(), 1);
        const QStringList verbs = smtp.verbs();
        QCOMPARE(count(verbs, QStringLiteral("EHLO")), 1);
        QCOMPARE(count(verbs, QStringLiteral("AUTH")), 1);
        QCOMPARE(count(verbs, QStringLiteral("MAIL")), 3);
        QCOMPARE(smtp.messages().size(), 3);
        session.close();
        QVERIFY(!session.isOpen());
        QVERIFY(smtp.waitFor([&] { return smtp.verbs().contains(QStringLiteral("QUIT")); }));
    }

    void failureDropsConnection_data() {
        QTest::addColumn<TestSmtpServer::Options>("server");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("reply");

        TestSmtpServer::Options refuse;
        refuse.refuseRecipients = QStringList{QStringLiteral("x@y.test")};
        QTest::newRow("refused recipient")
            << refuse << "x@y.test" << QString() << "550 5.1.1 <x@y.test>: Recipient address rejected";
        QTest::newRow("one of two recipients refused") << refuse << "ok@example.test, x@y.test" << QString()
                                                       << "550 5.1.1 <x@y.test>: Recipient address rejected";
        TestSmtpServer::Options refuseLogin = withAuth(Auth::Login);
        refuseLogin.refuseLogin = true;
        QTest::newRow("refused login") << refuseLogin << "to@example.test" << password << "535";
        TestSmtpServer::Options greeting;
        greeting.greeting421 = true;
        QTest::newRow("421 greeting") << greeting << "to@example.test" << QString() << "421";
    }
    void failureDropsConnection() {
        QFETCH(TestSmtpServer::Options, server);
        QFETCH(QString, recipients);
        QFETCH(QString, password);
        QFETCH(QString, reply);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions());
        // An open connection first, so the failure must also drop it.
        MailRequest good = requestTo(smtp);
        good.password = password;
        if (!server.refuseLogin && !server.greeting421) {
            QVERIFY(session.send(prepareMail(good)).sent);
            QVERIFY(session.isOpen());
        }
        MailRequest bad = good;
        bad.recipients = recipients;
        const DeliveryResult result = session.send(prepareMail(bad));
        QVERIFY(!result.sent);
        QVERIFY2(result.serverReply.startsWith(reply), qPrintable(result.serverReply));
        QVERIFY(!result.error.isEmpty());
        QVERIFY(!session.isOpen());
        QVERIFY(smtp.waitFor([&] { return smtp.closedConnectionCount() == smtp.connectionCount(); }));

        if (server.refuseLogin || server.greeting421) return;
        // The next message opens a new connection.
        const int before = smtp.connectionCount();
        QVERIFY(session.send(prepareMail(good)).sent);
        QCOMPARE(smtp.connectionCount(), before + 1);
    }

    // The texts the client and the composer write themselves come in the language of the request or the
    // options; a system's own text inside them stays as the system gives it.
    void ownTexts_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("text"); // how the text begins; "%1" stands for the server's port
        QTest::newRow("port, German") << 0 << "port"
                                      << "'smtp' ist keine gültige ganze Zahl";
        QTest::newRow("port, English") << 1 << "port"
                                       << "'smtp' is not a valid integer value";
        QTest::newRow("port range, German") << 0 << "port range"
                                            << "'0' ist keine gültige Portnummer";
        QTest::newRow("unreadable file, German") << 0 << "file"
                                                 << "Datei \"/proc/self/mem\" kann nicht gelesen werden. ";
        QTest::newRow("unreadable file, English") << 1 << "file"
                                                  << "Cannot read file \"/proc/self/mem\". ";
        QTest::newRow("no address, German") << 0 << "address"
                                            << "\"hans\" ist keine Mailadresse";
        QTest::newRow("no address, English") << 1 << "address"
                                             << "\"hans\" is not a mail address";
        QTest::newRow("no connection, German") << 0 << "connect"
                                               << "Keine Verbindung zu 127.0.0.1:%1 möglich: ";
        QTest::newRow("no connection, English") << 1 << "connect"
                                                << "Cannot connect to 127.0.0.1:%1: ";
        QTest::newRow("refused recipient, German") << 0 << "recipient"
                                                   << "Empfänger abgelehnt";
        QTest::newRow("refused recipient, English") << 1 << "recipient"
                                                    << "Recipient refused";
        QTest::newRow("no SMTPUTF8, German")
            << 0 << "smtputf8"
            << "Der Server nimmt keine Adressen mit Nicht-ASCII-Zeichen an (SMTPUTF8): jörg@beispiel.de";
    }
    void ownTexts() {
        QFETCH(int, language);
        QFETCH(QString, scenario);
        QFETCH(QString, text);
        TestSmtpServer::Options options;
        options.refuseRecipients = QStringList{QStringLiteral("x@y.test")};
        TestSmtpServer smtp(options);
        START(smtp);
        quint16 port = smtp.port();
        if (scenario == QLatin1String("connect")) smtp.stop(); // nobody listens there now
        MailRequest request = requestTo(smtp);
        request.language = language;
        if (scenario == QLatin1String("port")) request.port = QStringLiteral("smtp");
        if (scenario == QLatin1String("port range")) request.port = QStringLiteral("0");
        if (scenario == QLatin1String("file")) request.attachmentPath = QStringLiteral("/proc/self/mem");
        if (scenario == QLatin1String("address")) request.recipients = QStringLiteral("hans");
        if (scenario == QLatin1String("recipient")) request.recipients = QStringLiteral("x@y.test");
        if (scenario == QLatin1String("smtputf8")) request.recipients = QStringLiteral("jörg@beispiel.de");
        QString said;
        try {
            const PreparedMail mail = prepareMail(request);
            SmtpOptions o = testOptions();
            o.language = language;
            MailDelivery delivery;
            delivery.setOptions(o);
            said = delivery.send(mail).error;
        } catch (const AppError& e) {
            said = e.text();
        }
        QVERIFY2(said.startsWith(text.arg(port)), qPrintable(said));
    }

    // A new language reaches a delivery whose worker and connection exist already.
    void languageTakesEffectWithNextCall() {
        MailRequest request = baseRequest();
        {
            TestSmtpServer smtp;
            START(smtp);
            request.port = QString::number(smtp.port());
        }
        MailDelivery delivery;
        SmtpOptions o = testOptions();
        for (int language : {0, 1, 0}) {
            o.language = language;
            delivery.setOptions(o);
            const DeliveryResult result = delivery.send(prepareMail(request));
            QCOMPARE(result.failure, DeliveryResult::Failure::Connection);
            QVERIFY2(result.error.startsWith(language == 0 ? QLatin1String("Keine Verbindung zu 127.0.0.1:")
                                                           : QLatin1String("Cannot connect to 127.0.0.1:")),
                     qPrintable(result.error));
        }
    }

    void serverDown() {
        quint16 port;
        {
            TestSmtpServer smtp;
            START(smtp);
            port = smtp.port();
        }
        MailRequest request;
        request.host = QStringLiteral("127.0.0.1");
        request.port = QString::number(port);
        request.user = account;
        request.recipients = QStringLiteral("to@example.test");
        SmtpSession session(testOptions());
        const DeliveryResult result = session.send(prepareMail(request));
        QVERIFY(!result.sent);
        QVERIFY(result.serverReply.isEmpty());
        QVERIFY(!result.error.isEmpty());
        QVERIFY(!session.isOpen());
    }

    // A message whose account differs from the open connection's goes over a new connection made as it
    // says: a changed port reaches the other server, a changed login name or password logs in anew.
    void changedAccountOpensNewConnection_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("sent");           // the second message
        QTest::addColumn<int>("connections");     // the first server's
        QTest::addColumn<QStringList>("logins");  // "user:password" of every login the first server saw
        QTest::addColumn<int>("stored");          // messages at the first server
        QTest::addColumn<int>("storedElsewhere"); // ...and at the second

        const QString first = account + QStringLiteral(":secret");
        QTest::newRow("nothing changed: the connection goes on")
            << QString() << QString() << true << 1 << QStringList{first} << 2 << 0;
        QTest::newRow("blanks around the password change nothing")
            << "password"
            << " secret\t" << true << 1 << QStringList{first} << 2 << 0;
        QTest::newRow("port: to the other server")
            << "port" << QString() << true << 1 << QStringList{first} << 1 << 1;
        QTest::newRow("host: a new connection")
            << "host"
            << "localhost" << true << 2 << QStringList{first, first} << 2 << 0;
        QTest::newRow("password: a new login")
            << "password"
            << "other" << false << 2 << QStringList{first, account + QStringLiteral(":other")} << 1 << 0;
        QTest::newRow("login name: a new login")
            << "user"
            << "new@example.test" << false << 2
            << QStringList{first, QStringLiteral("new@example.test:secret")} << 1 << 0;
    }
    void changedAccountOpensNewConnection() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(bool, sent);
        QFETCH(int, connections);
        QFETCH(QStringList, logins);
        QFETCH(int, stored);
        QFETCH(int, storedElsewhere);
        TestSmtpServer smtp(withAuth(Auth::Login));
        TestSmtpServer other(withAuth(Auth::Login));
        START(smtp);
        START(other);
        SmtpSession session(testOptions());
        MailRequest request = requestTo(smtp);
        request.password = password;
        QVERIFY(session.send(prepareMail(request)).sent);
        if (field == QLatin1String("port")) request.port = QString::number(other.port());
        if (field == QLatin1String("host")) request.host = value;
        if (field == QLatin1String("user")) request.user = value;
        if (field == QLatin1String("password")) request.password = value;
        const PreparedMail second = prepareMail(request);
        const DeliveryResult result = session.send(second);
        QCOMPARE(result.sent, sent);
        if (sent) QCOMPARE(session.connectedAccount(), second.account);
        QCOMPARE(smtp.connectionCount(), connections);
        QStringList seen;
        for (const TestSmtpServer::Login& login : smtp.logins())
            seen << login.user + QLatin1Char(':') + login.password;
        QCOMPARE(seen, logins);
        QCOMPARE(smtp.messages().size(), stored);
        QCOMPARE(other.messages().size(), storedElsewhere);
    }

    void startTls_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("without login") << QString();
        QTest::newRow("with login") << password;
    }
    void startTls() {
        QFETCH(QString, password);
        TestSmtpServer::Options options = withAuth(Auth::Login, !password.isEmpty());
        options.startTls = true;
        MailRequest request = baseRequest();
        request.password = password;
        Received received;
        SEND_ONE(request, received, options);
        QVERIFY(received.verbs.contains(QStringLiteral("STARTTLS")));
        for (const auto& c : received.commands)
            if (c.verb == QLatin1String("AUTH") || c.verb == QLatin1String("MAIL") ||
                c.verb == QLatin1String("DATA"))
                QVERIFY2(c.tls, qPrintable(c.verb + QLatin1String(" went out in clear")));
        QCOMPARE(count(received.verbs, QStringLiteral("AUTH")), password.isEmpty() ? 0 : 1);
    }

    // A certificate is checked against the trusted CAs and the host's name, except on this machine's own
    // loopback, where local mail bridges use certificates of their own making and nobody can listen in.
    void certificates_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("selfSigned");  // the server's certificate: its own, else the test CA's
        QTest::addColumn<bool>("trustTestCa"); // else the system's store only
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("sent");
        QTest::newRow("remote, signed by a trusted CA")
            << "mail.example.test" << false << true << password << true;
        QTest::newRow("remote, signed by an unknown CA")
            << "mail.example.test" << false << false << QString() << false;
        QTest::newRow("remote, self-signed") << "mail.example.test" << true << true << password << false;
        QTest::newRow("127.0.0.1, self-signed: a local bridge")
            << "127.0.0.1" << true << false << password << true;
        QTest::newRow("localhost, self-signed") << "localhost" << true << false << QString() << true;
        QTest::newRow("127.0.0.1, signed by an unknown CA")
            << "127.0.0.1" << false << false << password << true;
    }
    void certificates() {
        QFETCH(QString, host);
        QFETCH(bool, selfSigned);
        QFETCH(bool, trustTestCa);
        QFETCH(QString, password);
        QFETCH(bool, sent);
        TestSmtpServer::Options options = withAuth(Auth::Login, !password.isEmpty());
        options.startTls = true;
        options.selfSignedCertificate = selfSigned;
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpOptions o;
        if (trustTestCa) o.caFile = TestSmtpServer::caFile();
        routeRemoteName(o, smtp);
        SmtpSession session(o);
        MailRequest request = requestTo(smtp);
        request.host = host;
        request.password = password;
        const DeliveryResult result = session.send(prepareMail(request));
        QCOMPARE(result.sent, sent);
        if (!sent) {
            QVERIFY2(result.error.startsWith(QLatin1String("TLS handshake failed: ")),
                     qPrintable(result.error));
            QCOMPARE(result.failure, DeliveryResult::Failure::Connection);
            QVERIFY(!smtp.verbs().contains(QStringLiteral("AUTH")));
            QVERIFY(!smtp.verbs().contains(QStringLiteral("MAIL")));
            QVERIFY(!session.isOpen());
            return;
        }
        // Encrypted all the same: the login and the message never travel in clear.
        QCOMPARE(smtp.logins().size(), password.isEmpty() ? 0 : 1);
        for (const auto& c : smtp.commands())
            if (c.verb != QLatin1String("EHLO") && c.verb != QLatin1String("STARTTLS"))
                QVERIFY2(c.tls, qPrintable(c.verb + QLatin1String(" went out in clear")));
    }

    void implicitTlsOnPort465() {
        TestSmtpServer::Options options = withAuth(Auth::Login);
        options.implicitTls = true;
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpOptions o = testOptions();
        o.redirects = {{QStringLiteral("localhost"), 465, QStringLiteral("127.0.0.1"), smtp.port()}};
        SmtpSession session(o);
        MailRequest request = requestTo(smtp);
        request.host = QStringLiteral("localhost");
        request.port = QStringLiteral("465");
        request.password = password;
        const DeliveryResult result = session.send(prepareMail(request));
        QVERIFY2(result.sent, qPrintable(result.error));
        const auto commands = smtp.commands();
        QVERIFY(!commands.isEmpty());
        QVERIFY(!smtp.verbs().contains(QStringLiteral("STARTTLS")));
        for (const auto& c : commands)
            QVERIFY2(c.tls, qPrintable(c.verb));
    }

    void passwordNeedsTlsOffLoopback_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("serverTls");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<bool>("startTlsRefused"); // the server offers STARTTLS but answers it with 454

        QTest::newRow("remote, no STARTTLS, password: refused before AUTH")
            << "mail.example.test" << false << password << false << false << false;
        QTest::newRow("remote, STARTTLS, password: login over TLS")
            << "mail.example.test" << true << password << true << true << false;
        QTest::newRow("remote, no STARTTLS, no password: nothing to protect")
            << "mail.example.test" << false << QString() << true << false << false;
        QTest::newRow("127.0.0.1, no STARTTLS, password")
            << "127.0.0.1" << false << password << true << true << false;
        QTest::newRow("localhost, no STARTTLS, password")
            << "localhost" << false << password << true << true << false;
        QTest::newRow("remote, STARTTLS answered 454, no password: in clear")
            << "mail.example.test" << true << QString() << true << false << true;
        QTest::newRow("127.0.0.1, STARTTLS answered 454, password: in clear")
            << "127.0.0.1" << true << password << true << true << true;
        QTest::newRow("remote, STARTTLS answered 454, password: refused before AUTH")
            << "mail.example.test" << true << password << false << false << true;
    }
    void passwordNeedsTlsOffLoopback() {
        QFETCH(QString, host);
        QFETCH(bool, serverTls);
        QFETCH(QString, password);
        QFETCH(bool, sent);
        QFETCH(bool, loggedIn);
        QFETCH(bool, startTlsRefused);
        TestSmtpServer::Options options = withAuth(Auth::Login, false);
        options.startTls = serverTls;
        if (startTlsRefused)
            options.replies = QStringList{QStringLiteral("STARTTLS=454 4.7.0 TLS not available")};
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpOptions o = testOptions();
        routeRemoteName(o, smtp);
        SmtpSession session(o);
        MailRequest request = requestTo(smtp);
        request.host = host;
        request.password = password;
        const DeliveryResult result = session.send(prepareMail(request));
        QCOMPARE(result.sent, sent);
        QCOMPARE(smtp.logins().size(), loggedIn ? 1 : 0);
        QCOMPARE(smtp.verbs().contains(QStringLiteral("STARTTLS")), serverTls);
        if (!sent) {
            QVERIFY(!smtp.verbs().contains(QStringLiteral("AUTH")));
            QVERIFY(!smtp.verbs().contains(QStringLiteral("MAIL")));
            if (startTlsRefused) QCOMPARE(result.serverReply, QStringLiteral("454 4.7.0 TLS not available"));
        }
        if (sent && startTlsRefused)
            for (const auto& c : smtp.commands())
                QVERIFY2(!c.tls, qPrintable(c.verb));
    }

    // With an OAuth 2.0 access token the login is AUTH XOAUTH2, the token in the initial response; the
    // password is not used. A refused token is answered as providers do (334 with a JSON error), the
    // client gives the empty line the server waits for, and reports the 535 as a refused login.
    void tokenLogin_data() {
        QTest::addColumn<Auth>("auth");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("serverTls");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<int>("logins");    // recorded XOAUTH2 logins
        QTest::addColumn<int>("replyCode"); // of the failure
        QTest::addColumn<QString>("error"); // of the failure

        const QString good = QStringLiteral("good-token-") + QString(1500, QLatin1Char('x'));
        QTest::newRow("token taken, far beyond 512 bytes on the command line")
            << Auth::XOAuth2 << "127.0.0.1" << false << good << true << 1 << 0 << QString();
        QTest::newRow("token refused: 334, empty line, 535")
            << Auth::XOAuth2 << "127.0.0.1" << false << "stale-token" << false << 1 << 535 << "Login refused";
        QTest::newRow("server without XOAUTH2: nothing sent, no AUTH at all")
            << Auth::Login << "127.0.0.1" << false << good << false << 0 << 0
            << "The server offers no OAuth 2.0 login (AUTH XOAUTH2)";
        QTest::newRow("remote, STARTTLS: the token goes over TLS")
            << Auth::XOAuth2 << "mail.example.test" << true << good << true << 1 << 0 << QString();
        QTest::newRow("remote, no STARTTLS: the token is not sent in clear")
            << Auth::XOAuth2 << "mail.example.test" << false << good << false << 0 << 0
            << "The server offers no encryption (STARTTLS); the sign-in token is not sent in clear";
    }
    void tokenLogin() {
        QFETCH(Auth, auth);
        QFETCH(QString, host);
        QFETCH(bool, serverTls);
        QFETCH(QString, token);
        QFETCH(bool, sent);
        QFETCH(int, logins);
        QFETCH(int, replyCode);
        QFETCH(QString, error);
        TestSmtpServer::Options options = withAuth(auth);
        options.startTls = serverTls;
        options.acceptedTokens = QStringList{QStringLiteral("good-token-") + QString(1500, QLatin1Char('x'))};
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpOptions o = testOptions();
        routeRemoteName(o, smtp);
        SmtpSession session(o);
        MailRequest request = requestTo(smtp);
        request.host = host;
        request.password = password;
        PreparedMail mail = prepareMail(request);
        mail.account.accessToken = token;
        const DeliveryResult result = session.send(mail);
        QVERIFY2(result.sent == sent, qPrintable(result.failureText()));
        QCOMPARE(smtp.messages().size(), sent ? 1 : 0);
        const auto recorded = smtp.logins();
        QCOMPARE(recorded.size(), logins);
        for (const auto& login : recorded) {
            QCOMPARE(login.mechanism, QStringLiteral("XOAUTH2"));
            QCOMPARE(login.user, account);
            QCOMPARE(login.password, token);
        }
        QCOMPARE(count(smtp.verbs(), QStringLiteral("AUTH")), logins);
        if (serverTls)
            for (const auto& c : smtp.commands())
                if (c.verb == QLatin1String("AUTH")) QVERIFY(c.tls);
        if (sent) return;
        QCOMPARE(result.replyCode, replyCode);
        QCOMPARE(result.error, error);
        QVERIFY(!smtp.verbs().contains(QStringLiteral("MAIL")));
        if (replyCode == 0) {
            QVERIFY(!smtp.verbs().contains(QStringLiteral("AUTH")));
            return;
        }
        QCOMPARE(result.serverReply, QStringLiteral("535 5.7.3 Authentication unsuccessful"));
        QVERIFY(result.loginRefused);
        const auto answers = smtp.events(QStringLiteral("xoauth2-answer"));
        QCOMPARE(answers.size(), 1);
        QVERIFY(answers[0].value(QLatin1String("empty")).toBool());
        // Kept like a refused password: the same token is not tried again; a new one is.
        QVERIFY(session.send(mail).loginRefused);
        QCOMPARE(smtp.logins().size(), 1);
        mail.account.accessToken = QStringLiteral("good-token-") + QString(1500, QLatin1Char('x'));
        QVERIFY(session.send(mail).sent);
        QCOMPARE(smtp.logins().size(), 2);
    }

    void isLoopbackHost_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("loopback");
        QTest::newRow("localhost") << "localhost" << true;
        QTest::newRow("LocalHost") << "LocalHost" << true;
        QTest::newRow("127.0.0.1") << "127.0.0.1" << true;
        QTest::newRow("127.255.3.4") << "127.255.3.4" << true;
        QTest::newRow("::1") << "::1" << true;
        QTest::newRow("[::1]") << "[::1]" << true;
        QTest::newRow("mapped 127.0.0.1") << "::ffff:127.0.0.1" << true;
        QTest::newRow("128.0.0.1") << "128.0.0.1" << false;
        QTest::newRow("10.0.0.1") << "10.0.0.1" << false;
        QTest::newRow("::2") << "::2" << false;
        QTest::newRow("name resolving to loopback does not count") << "mail.example.test" << false;
        QTest::newRow("localhost.example.test") << "localhost.example.test" << false;
        QTest::newRow("127.0.0.1.example.test") << "127.0.0.1.example.test" << false;
        QTest::newRow("empty") << "" << false;
    }
    void isLoopbackHost() {
        QFETCH(QString, host);
        QFETCH(bool, loopback);
        QCOMPARE(::isLoopbackHost(host), loopback);
    }

    void stalledServerTimesOut_data() {
        QTest::addColumn<QString>("stage");
        QTest::newRow("greeting") << "GREETING";
        QTest::newRow("MAIL") << "MAIL";
        QTest::newRow("end of data") << "END";
    }
    void stalledServerTimesOut() {
        QFETCH(QString, stage);
        TestSmtpServer::Options options;
        options.delaySeconds = 20;
        options.delayOn = stage;
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpOptions o = testOptions();
        o.responseTimeoutSeconds = 1;
        SmtpSession session(o);
        QElapsedTimer clock;
        clock.start();
        const DeliveryResult result = session.send(prepareMail(requestTo(smtp)));
        QVERIFY(!result.sent);
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!session.isOpen());
    }

    void staleConnection_data() {
        QTest::addColumn<TestSmtpServer::Options>("server");
        QTest::addColumn<bool>("waitForClose"); // let the server's close arrive before the next message
        QTest::addColumn<int>("retried");       // 1 yes, 0 no, -1 either (TLS hides what waits on the socket)
        TestSmtpServer::Options closeIdle;
        closeIdle.closeAfter = 1;
        QTest::newRow("server closed the idle connection") << closeIdle << true << 0;
        TestSmtpServer::Options goodbye;
        goodbye.goodbyeAfter = 1;
        QTest::newRow("server said 421 unasked and closed") << goodbye << true << 0;
        TestSmtpServer::Options goodbyeTls = goodbye;
        goodbyeTls.startTls = true;
        QTest::newRow("server said 421 unasked over TLS") << goodbyeTls << true << -1;
        TestSmtpServer::Options failMail;
        failMail.failMailAfter = 1;
        QTest::newRow("server answered MAIL with 421") << failMail << false << 1;
        TestSmtpServer::Options failMailTls = failMail;
        failMailTls.startTls = true;
        QTest::newRow("server answered MAIL with 421 over TLS") << failMailTls << false << 1;
    }
    void staleConnection() {
        QFETCH(TestSmtpServer::Options, server);
        QFETCH(bool, waitForClose);
        QFETCH(int, retried);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions());
        MailRequest request = requestTo(smtp);
        QVERIFY(session.send(prepareMail(request)).sent);
        if (waitForClose) {
            QVERIFY(smtp.waitFor([&] {
                return smtp.eventCount(QStringLiteral("close")) + smtp.eventCount(QStringLiteral("goodbye")) >
                       0;
            }));
            QTest::qWait(100); // for the last bytes to reach this end
            if (!server.startTls) QVERIFY(!session.isOpen());
        }
        request.recipients = QStringLiteral("second@example.test");
        // A connection found closed is made anew from the fields as they stand now.
        if (waitForClose) request.host = QStringLiteral("localhost");
        const DeliveryResult result = session.send(prepareMail(request));
        QVERIFY2(result.sent, qPrintable(result.error + QLatin1Char(' ') + result.serverReply));
        if (retried >= 0) QCOMPARE(result.retried, retried == 1);
        QVERIFY(session.isOpen());
        QCOMPARE(session.connectedAccount().host, request.host);
        QCOMPARE(smtp.connectionCount(), 2);
        // Each message arrived exactly once.
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].recipients, QStringList{"to@example.test"});
        QCOMPARE(messages[1].recipients, QStringList{"second@example.test"});
    }

    void acceptedMessageNeverSentTwice() {
        TestSmtpServer::Options options;
        options.dropAfterData = 2; // keeps the second message of a connection, then drops it unanswered
        TestSmtpServer smtp(options);
        START(smtp);
        SmtpSession session(testOptions());
        MailRequest request = requestTo(smtp);
        QVERIFY(session.send(prepareMail(request)).sent);
        request.recipients = QStringLiteral("second@example.test");
        const DeliveryResult result = session.send(prepareMail(request));
        QVERIFY(!result.sent);
        QVERIFY(!result.retried);
        QVERIFY(!session.isOpen());
        QCOMPARE(smtp.messages().size(), 2);
        QCOMPARE(smtp.connectionCount(), 1);
    }

    void attachmentPath_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("no file there") << m_dir.filePath(QStringLiteral("missing.pdf"));
        QTest::newRow("a folder") << m_dir.path();
        QTest::newRow("blank") << QStringLiteral("   ");
    }
    void attachmentPath() {
        QFETCH(QString, path);
        MailRequest request = baseRequest();
        request.attachmentPath = path;
        Received received;
        SEND_ONE(request, received);
        QCOMPARE(received.mail.mimeType, QStringLiteral("text/plain"));
        QCOMPARE(received.mail.parts.size(), 1);
    }

    void callerErrors_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("attachment");
        QTest::addColumn<QString>("error");
        QTest::newRow("port not a number") << "smtp" << QString() << "'smtp' is not a valid integer value";
        QTest::newRow("port empty") << "" << QString() << "'' is not a valid integer value";
        QTest::newRow("port with a fraction") << "25.5" << QString() << "'25.5' is not a valid integer value";
        QTest::newRow("port out of range") << "70000" << QString() << "'70000' is not a valid port number";
        QTest::newRow("port zero") << "0" << QString() << "'0' is not a valid port number";
        QTest::newRow("port one above the highest")
            << "65536" << QString() << "'65536' is not a valid port number";
        QTest::newRow("attachment cannot be read") << "25"
                                                   << "/proc/self/mem"
                                                   << "/proc/self/mem";
    }
    void callerErrors() {
        QFETCH(QString, port);
        QFETCH(QString, attachment);
        QFETCH(QString, error);
        MailRequest request;
        request.host = QStringLiteral("127.0.0.1");
        request.port = port;
        request.recipients = QStringLiteral("to@example.test");
        request.attachmentPath = attachment;
        try {
            prepareMail(request);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            QVERIFY2(e.text().contains(error), qPrintable(e.text()));
        }
    }

    // The blocking dialogue runs on the worker: the calling thread goes on handling its events meanwhile,
    // and cannot start a second delivery while one is in flight.
    void deliveryKeepsCallerResponsive() {
        TestSmtpServer::Options options;
        options.delaySeconds = 0.2;
        TestSmtpServer smtp(options);
        START(smtp);
        MailDelivery delivery;
        delivery.setOptions(testOptions());
        QSignalSpy busy(&delivery, &MailDelivery::busyChanged);
        int ticks = 0;
        int busyTicks = 0;
        DeliveryResult nested;
        nested.sent = true;
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ++ticks;
            if (delivery.isBusy()) ++busyTicks;
            if (ticks == 5) nested = delivery.send(prepareMail(requestTo(smtp)));
        });
        timer.start();
        QElapsedTimer clock;
        clock.start();
        const DeliveryResult result = delivery.send(prepareMail(requestTo(smtp)));
        const qint64 elapsed = clock.elapsed();
        timer.stop();
        QVERIFY2(result.sent, qPrintable(result.error));
        QVERIFY(!delivery.isBusy());
        QVERIFY2(elapsed >= 1000, qPrintable(QString::number(elapsed)));
        // A frozen caller would see no tick at all until the end.
        QVERIFY2(busyTicks >= 20, qPrintable(QString::number(busyTicks)));
        QVERIFY(!nested.sent);
        QCOMPARE(busy.size(), 2);
        QCOMPARE(busy[0][0].toBool(), true);
        QCOMPARE(busy[1][0].toBool(), false);
        QCOMPARE(smtp.connectionCount(), 1);
        QCOMPARE(smtp.messages().size(), 1);
    }

    void deliveryConnection() {
        TestSmtpServer smtp(withAuth(Auth::Login));
        START(smtp);
        {
            MailDelivery delivery;
            delivery.setOptions(testOptions());
            QVERIFY(!delivery.isOpen());
            MailRequest request = requestTo(smtp);
            request.password = password;
            QVERIFY(delivery.send(prepareMail(request)).sent);
            QVERIFY(delivery.isOpen());
            QCOMPARE(delivery.connectedAccount().host, QStringLiteral("127.0.0.1"));
            QCOMPARE(delivery.connectedAccount().port, int(smtp.port()));
            QVERIFY(delivery.send(prepareMail(request)).sent);
            delivery.close();
            QVERIFY(!delivery.isOpen());
            QVERIFY(smtp.waitFor([&] { return smtp.verbs().count(QStringLiteral("QUIT")) == 1; }));
            QVERIFY(delivery.send(prepareMail(request)).sent);
            QVERIFY(delivery.isOpen());
            // Going away with the connection open still says goodbye.
        }
        QVERIFY(smtp.waitFor([&] { return smtp.verbs().count(QStringLiteral("QUIT")) == 2; }));
        QCOMPARE(smtp.connectionCount(), 2);
        QCOMPARE(smtp.logins().size(), 2);
    }

    void deliveryFailure() {
        TestSmtpServer::Options options;
        options.delaySeconds = 20;
        options.delayOn = QStringLiteral("RCPT");
        TestSmtpServer smtp(options);
        START(smtp);
        MailDelivery delivery;
        SmtpOptions o = testOptions();
        o.responseTimeoutSeconds = 1;
        delivery.setOptions(o);
        QElapsedTimer clock;
        clock.start();
        const DeliveryResult result = delivery.send(prepareMail(requestTo(smtp)));
        QVERIFY(!result.sent);
        QVERIFY(!result.error.isEmpty());
        QVERIFY(clock.elapsed() < 8000);
        QVERIFY(!delivery.isOpen());
        QVERIFY(!delivery.isBusy());
    }

    // A test mail goes with the account as typed, under the gate: refused while another delivery is in
    // flight or before the server when its port is no number, and its outcome seen while the gate holds.
    void testMail_data() {
        QTest::addColumn<QString>("port"); // empty: the server's
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("refused");
        QTest::newRow("sent") << "" << false << false;
        QTest::newRow("content refused") << "" << false << true;
        QTest::newRow("another delivery in flight") << "" << true << false;
        QTest::newRow("port is no number") << "25x" << false << false;
    }
    void testMail() {
        QFETCH(QString, port);
        QFETCH(bool, busy);
        QFETCH(bool, refused);
        TestSmtpServer::Options options;
        if (refused) options.refuseContent = {QStringLiteral("to@example.test")};
        TestSmtpServer smtp(options);
        START(smtp);
        TestMail mail{baseRequest(),
                      {QStringLiteral("127.0.0.1"), port.isEmpty() ? QString::number(smtp.port()) : port,
                       QStringLiteral("typed@example.test"), QString()},
                      1,
                      {},
                      QStringLiteral("busy")};
        mail.request.user = QStringLiteral("stale@example.test"); // the account is set from the typed one
        MailDelivery delivery;
        delivery.setOptions(testOptions());
        DeliveryGate gate;
        std::optional<DeliveryGate::Pass> inFlight;
        if (busy) inFlight.emplace(gate, DeliveryGate::Work::Delivery);
        int shown = 0;
        QString error;
        DeliveryResult result;
        try {
            result = mail.send(delivery, gate, [&](const DeliveryResult& r) {
                ++shown;
                QVERIFY(gate.delivering());
                QCOMPARE(r.sent, !refused);
            });
        } catch (const AppError& e) {
            error = e.text();
        }
        const bool contact = !busy && port.isEmpty();
        QCOMPARE(shown, contact ? 1 : 0);
        QCOMPARE(gate.delivering(), busy);
        QCOMPARE(smtp.connectionCount(), contact ? 1 : 0);
        if (busy) QCOMPARE(error, QStringLiteral("busy"));
        QCOMPARE(error.isEmpty(), contact);
        QCOMPARE(result.sent, contact && !refused);
        QCOMPARE(smtp.messages().size(), result.sent ? 1 : 0);
        if (result.sent) QCOMPARE(smtp.messages()[0].sender, QStringLiteral("typed@example.test"));
    }

    void portText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("plain") << "25" << 25;
        QTest::newRow("blanks around") << " 587 " << 587;
        QTest::newRow("highest") << "65535" << 65535;
    }
    void portText() {
        QFETCH(QString, text);
        QFETCH(int, port);
        QCOMPARE(portNumber(text), port);
    }
};

TARNEL_TEST_MAIN(TstDelivery)
#include "tst_delivery.moc"
