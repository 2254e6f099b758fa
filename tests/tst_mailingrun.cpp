#include "core/apperror.h"
#include "core/datetimenumber.h"
#include "core/interfacetexts.h"
#include "mailing/connectionprobe.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"
#include "mailing/mailingrun.h"
#include "mailing/schedule.h"
#include "mailing/sendingoptions.h"
#include "tests/support/parsedmail.h"
#include "tests/support/recordingrundisplay.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testsmtpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <optional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QDateTime kClock(QDate(2026, 12, 9), QTime(14, 5, 30));

// A run under test: its display (answering from the scripted prompts) and the delivery it hands its
// messages to, with the account on the test server at `port`.
class TestRunWindow : public RecordingRunDisplay {
public:
    TestRunWindow(ScriptedPrompts& prompts, quint16 port) : m_port(port) {
        answer = [&prompts](const QString& text) { return prompts.question(text); };
        chooseFile = [&prompts](const QString& folder, const QString& fileName) {
            return prompts.openFile({folder, fileName, QString()});
        };
    }

    MailingRun runOver(MailingRun::Setup setup) {
        setup.account = {QStringLiteral("127.0.0.1"), QString::number(m_port),
                         QStringLiteral("user@example.test"), QStringLiteral("secret")};
        return MailingRun(*this, delivery, setup);
    }

    MailDelivery delivery;

private:
    quint16 m_port;
};

QStringList fieldsOf(const QString& line) {
    return line.split(QLatin1Char(';'));
}

// The run's clock for the sending options: waits move it on at once, so no test sleeps through a minute.
struct FakeClock {
    QDateTime time = kClock;
    void useIn(MailingRun::Setup& setup) {
        setup.now = [this] { return time; };
        setup.pause = [this](int ms) { time = time.addMSecs(ms); };
    }
};

QByteArray numberedList(int lines) {
    QByteArray bytes;
    for (int i = 1; i <= lines; ++i)
        bytes += QStringLiteral("N%1;P;r%1@example.test;S;;;\r\n").arg(i).toUtf8();
    return bytes;
}

} // namespace

// A port on 127.0.0.1 that neither takes nor refuses a connection: its queue holds one connection and is
// full, so the system drops a new one's first packet and the connection waits.
struct SilentPort {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int filler = socket(AF_INET, SOCK_STREAM, 0);
    quint16 port = 0;
    SilentPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (bind(listener, any, length) != 0 || listen(listener, 0) != 0) return;
        if (getsockname(listener, any, &length) != 0 || ::connect(filler, any, length) != 0) return;
        port = ntohs(address.sin_port);
    }
    ~SilentPort() {
        close(filler);
        close(listener);
    }
};

class TstMailingRun : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    ScriptedPrompts prompts;

    QString data(const QString& name) const { return m_dir.filePath(name); }

    MailingRun::Setup setup(const QString& listFile, int language = 1) const {
        MailingRun::Setup s;
        s.listFile = listFile;
        s.dataFolder = m_dir.path() + QLatin1Char('/');
        s.defaultMessageFile = data(QStringLiteral("defaultmail.txt"));
        s.texts = messageTextsFor(language);
        s.locale = QLocale(QLocale::German, QLocale::Germany);
        s.now = [] { return kClock; };
        return s;
    }

    static TestSmtpServer::Options refusing() {
        TestSmtpServer::Options o;
        o.refuseRecipients = QStringList{QStringLiteral("refused@example.test")};
        return o;
    }

private Q_SLOTS:
    void init() {
        prompts.reset();
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        QVERIFY(writeBytes(data(QStringLiteral("defaultmail.txt")), "Hallo $PRENAME $name,\r\nText\r\n"));
        QVERIFY(writeBytes(data(QStringLiteral("letter.HTM")), "<p>Hi $Prename</p>\r\n"));
        QVERIFY(writeBytes(data(QStringLiteral("plain.txt")), "Dear $Prename $Name\r\n"));
        QVERIFY(writeBytes(data(QStringLiteral("empty.txt")), " \r\n\t\r\n"));
    }
    void cleanup() { VERIFY_PROMPTS(prompts); }

    // One line of every kind: what goes out, and what the line holds afterwards.
    void oneLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("body"); // first body line received; empty: nothing received
        QTest::addColumn<bool>("html");
        QTest::addColumn<QString>("rewritten"); // "=" unchanged; "STAMP" stands for the sent stamp
        QTest::addColumn<QString>("report");
        const QString letter = data(QStringLiteral("letter.HTM"));
        const QString plain = data(QStringLiteral("plain.txt"));
        QTest::newRow("default message, placeholders in any case")
            << "Müller;Jürgen;to@example.test;Betreff;default;;"
            << "Hallo Jürgen Müller," << false << "Müller;Jürgen;to@example.test;Betreff;default;STAMP;;"
            << "";
        QTest::newRow("\"Default\" is a file name: none there, so the default")
            << "M;J;to@example.test;S;Default;old stamp;a"
            << "Hallo J M," << false << "M;J;to@example.test;S;Default;STAMP;a;"
            << "";
        QTest::newRow("blank message file field")
            << "M;J;to@example.test;S; ;;"
            << "Hallo J M," << false << "M;J;to@example.test;S; ;STAMP;;"
            << "";
        QTest::newRow("missing message file")
            << "M;J;to@example.test;S;/no/such.txt;;"
            << "Hallo J M," << false << "M;J;to@example.test;S;/no/such.txt;STAMP;;"
            << "";
        QTest::newRow(".HTM in capitals is HTML")
            << "M;J;to@example.test;S;" + letter + ";;"
            << "<p>Hi J</p>" << true << "M;J;to@example.test;S;" + letter + ";STAMP;;"
            << "";
        QTest::newRow("text file") << "Doe;John;to@example.test;S;" + plain << "Dear John Doe" << false
                                   << "Doe;John;to@example.test;S;" + plain + ";STAMP;;"
                                   << "";
        QTest::newRow("short line: the missing fields are empty")
            << "Doe;John;to@example.test"
            << "Hallo John Doe," << false << "Doe;John;to@example.test;;;STAMP;;"
            << "";
        QTest::newRow("long line: fields after the seventh kept as they stand")
            << "a;b;to@example.test;s;;f;g; K-17 ;;Firma "
            << "Hallo b a," << false << "a;b;to@example.test;s;;STAMP;g; K-17 ;;Firma "
            << "";
        QTest::newRow("failed long line keeps them too")
            << "a;b; ;s;;f;g;h;i"
            << "" << false << "a;b; ;s;;Invalid mail address!;g;h;i"
            << " Invalid mail address!";
        QTest::newRow("blank line: left as it is") << " \t "
                                                   << "" << false << "="
                                                   << "";
        QTest::newRow("empty message: skipped, left as it is")
            << "M;J;to@example.test;S;" + data(QStringLiteral("empty.txt")) + ";x;"
            << "" << false << "="
            << " Empty mail message!";
        QTest::newRow("blank address: failed without the server")
            << "M;J; ;S;;;"
            << "" << false << "M;J; ;S;;Invalid mail address!;;"
            << " Invalid mail address!";
        QTest::newRow("refused recipient: the server's reply, no \";\" added")
            << "M;J;refused@example.test;S;;;"
            << "" << false
            << "M;J;refused@example.test;S;;550 5.1.1 <refused@example.test>: Recipient address rejected "
               "Invalid "
               "mail address!;;"
            << " Invalid mail address!";
        QTest::newRow("not an address: named, nothing sent")
            << "M;J;hans;S;;;"
            << "" << false << "M;J;hans;S;;\"hans\" is not a mail address Invalid mail address!;;"
            << " Invalid mail address!";
    }
    void oneLine() {
        QFETCH(QString, line);
        QFETCH(QString, body);
        QFETCH(bool, html);
        QFETCH(QString, rewritten);
        QFETCH(QString, report);
        TestSmtpServer smtp(refusing());
        START(smtp);
        const QString list = data(QStringLiteral("list.csv"));
        QVERIFY(writeBytes(list, (line + QStringLiteral("\r\n")).toUtf8()));
        prompts.expectQuestion(true, [&](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Send mailing to 1 recipients of list.csv ?"));
        });
        TestRunWindow window(prompts, smtp.port());
        MailingRun run = window.runOver(setup(list));
        run.run();

        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), body.isEmpty() ? 0 : 1);
        if (!body.isEmpty()) {
            const ParsedMail mail = ParsedMail::parse(messages[0].data);
            // HTML goes after its plain-text rendering.
            const ParsedMail::Part& typed = mail.parts[html ? 1 : 0];
            QCOMPARE(typed.mimeType, html ? QStringLiteral("text/html") : QStringLiteral("text/plain"));
            QCOMPARE(typed.text().section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r')), body);
            QCOMPARE(mail.subject, fieldsOf(line).value(3)); // never personalised
        }
        const QString stamp = dateTimeToRegionalText(kClock, QLocale(QLocale::German, QLocale::Germany));
        const QString expected =
            rewritten == QLatin1String("=") ? line : QString(rewritten).replace("STAMP", stamp);
        QCOMPARE(readTextFile(list).lines, QStringList{expected});
        QCOMPARE(run.report(), report);
        QCOMPARE(window.status, QString::number(body.isEmpty() ? 0 : 1) + QStringLiteral(" Mail(s) send."));
        QCOMPARE(window.tone, MailingRunDisplay::Tone::Result);
    }

    void failureText_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("text");
        QTest::newRow("server reply, first line only") << "  550 no; really\r\n550 second line"
                                                       << "550 no, really Mailadresse fehlt oder ungültig!";
        QTest::newRow("nothing known") << ""
                                       << "Mailadresse fehlt oder ungültig!";
        QTest::newRow("line break inside") << "a\rb"
                                           << "a b Mailadresse fehlt oder ungültig!";
    }
    void failureText() {
        QFETCH(QString, failure);
        QFETCH(QString, text);
        QCOMPARE(MailingRun::failureText(failure, messageTextsFor(0)), text);
    }

    // Where the list file is, or is not.
    void listFile_data() {
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<bool>("search");    // answer to "search yourself?"
        QTest::addColumn<bool>("pick");      // a file is picked in the dialog
        QTest::addColumn<QString>("status"); // empty: the run went on
        QTest::newRow("missing, No") << false << false << false << "(untouched)";
        QTest::newRow("missing, search, cancelled") << false << true << false << " recipient list not found!";
        QTest::newRow("missing, search, found") << false << true << true << "";
        QTest::newRow("missing, unattended: status only")
            << true << false << false << " recipient list not found!";
    }
    void listFile() {
        QFETCH(bool, unattended);
        QFETCH(bool, search);
        QFETCH(bool, pick);
        QFETCH(QString, status);
        TestSmtpServer smtp;
        START(smtp);
        const QString elsewhere = data(QStringLiteral("other.csv"));
        QVERIFY(writeBytes(elsewhere, "A;B;to@example.test;S;;;\r\n"));
        if (!unattended)
            prompts.expectQuestion(search, [](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("Recipient list not found. Do you want to search yourself?"));
            });
        if (search)
            prompts.expectOpenFile(pick ? elsewhere : QString(), [&](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.request.folder, m_dir.path());
                QCOMPARE(a.request.fileName, QStringLiteral("sendlist.csv"));
            });
        if (pick) prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        window.status = QStringLiteral("(untouched)");
        MailingRun::Setup s = setup(QStringLiteral("  "));
        s.unattended = unattended;
        MailingRun run = window.runOver(s);
        run.run();
        QCOMPARE(run.listFile(), pick ? elsewhere : data(QStringLiteral("sendlist.csv")));
        QCOMPARE(smtp.messages().size(), pick ? 1 : 0);
        QCOMPARE(window.status, pick ? QStringLiteral("1 Mail(s) send.") : status);
    }

    // N counts every line; No leaves the file untouched and the status empty.
    void confirmation() {
        const QString list = data(QStringLiteral("sendlist.csv"));
        const QByteArray bytes("A;B;a@example.test;;;;\r\n\r\n \r\nC;D;c@example.test;;;;\r\n");
        QVERIFY(writeBytes(list, bytes));
        prompts.expectQuestion(false, [](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Mailing an 4 Empfänger aus sendlist.csv versenden?"));
        });
        TestRunWindow window(prompts, 1);
        window.status = QStringLiteral("before");
        MailingRun run = window.runOver(setup(list, 0));
        run.run();
        QCOMPARE(window.status, QString());
        QCOMPARE(readBytes(list), bytes);
        QVERIFY(window.numbers.isEmpty());
    }

    // A stop is seen once per line: the line in delivery is finished, the rest keep their bytes.
    void stopMidRun() {
        TestSmtpServer smtp;
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        QByteArray bytes;
        for (int i = 1; i <= 6; ++i)
            bytes += QStringLiteral("N%1;P;r%1@example.test;S;;;\r\n").arg(i).toUtf8();
        bytes += "tail without break;";
        QVERIFY(writeBytes(list, bytes));
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        window.atLine = [&](int line) {
            if (line == 3) window.stop = true;
        };
        MailingRun run = window.runOver(setup(list));
        run.run();
        QCOMPARE(smtp.messages().size(), 2);
        QCOMPARE(window.status, QStringLiteral("Mailing aborted!"));
        QCOMPARE(window.tone, MailingRunDisplay::Tone::Aborted);
        // The run closed its connection: QUIT was said once and nothing stays open.
        QVERIFY(!window.delivery.isOpen());
        QCOMPARE(smtp.verbs().count(QStringLiteral("QUIT")), 1);
        const QByteArray after = readBytes(list);
        QVERIFY(after.startsWith("N1;P;r1@example.test;S;;09.12.2026 14:05:30;;\r\nN2;"));
        QVERIFY(after.endsWith(bytes.mid(bytes.indexOf("N3;"))));
    }

    // A server that is down fails every line on its own, and the run goes on.
    void serverDown() {
        TestSmtpServer smtp;
        START(smtp);
        const quint16 port = smtp.port();
        smtp.stop();
        const QString list = data(QStringLiteral("sendlist.csv"));
        QVERIFY(writeBytes(list, "A;B;a@example.test;;;;\r\nC;D;c@example.test;;;;\r\n"));
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, port);
        MailingRun run = window.runOver(setup(list));
        run.run();
        QCOMPARE(run.report(), QStringLiteral(" Invalid mail address! Invalid mail address!"));
        const QStringList lines = readTextFile(list).lines;
        QCOMPARE(lines.size(), 2);
        for (const QString& line : lines) {
            QCOMPARE(fieldsOf(line).size(), 8); // seven fields, each ended by ";"
            QVERIFY2(fieldsOf(line).at(5).endsWith(QLatin1String(" Invalid mail address!")),
                     qPrintable(line));
            QVERIFY2(fieldsOf(line).at(5).size() > 22, qPrintable(line)); // says what went wrong first
        }
        QCOMPARE(window.status, QStringLiteral("0 Mail(s) send."));
    }

    // A second run replaces the stamps; each stamp reads back as the time it was sent, in the locale's form.
    void twoRunsAndStamps_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("de_DE") << "de_DE";
        QTest::newRow("en_US") << "en_US";
        QTest::newRow("C") << "C";
    }
    void twoRunsAndStamps() {
        QFETCH(QString, locale);
        TestSmtpServer smtp;
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        QVERIFY(writeBytes(list, "A;B;a@example.test;;;;\r\n"));
        QDateTime clock(QDate(2026, 1, 2), QTime(3, 4, 5));
        for (int round = 0; round < 2; ++round) {
            prompts.expectQuestion(true);
            TestRunWindow window(prompts, smtp.port());
            MailingRun::Setup s = setup(list);
            s.locale = QLocale(locale);
            s.now = [&] { return clock; };
            window.runOver(s).run();
            const QString stamp = fieldsOf(readTextFile(list).lines.value(0)).value(5);
            QCOMPARE(regionalTextToDateTime(stamp, QLocale(locale)), std::optional<QDateTime>(clock));
            clock = QDateTime(QDate(2027, 11, 30), QTime(23, 59, 58));
        }
        QCOMPARE(smtp.messages().size(), 2);
    }

    // The list is written back as it was read: encoding, mark, line breaks; untouched lines byte for byte.
    void layoutKept_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("sentLine");
        QTest::addColumn<QByteArray>("rest");
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE", 2)
                                   << QStringLiteral("Ä;B;a@example.test;;;;\r\n").toUtf8() // as text
                                   << QByteArray(" \r\n");
        QTest::newRow("Windows-1252, LF")
            << QByteArray() << QByteArray("\xC4;B;a@example.test;;;;\n") << QByteArray("\n \t\n");
        QTest::newRow("UTF-8 without mark, no final break")
            << QByteArray() << QByteArray("\xC3\x84;B;a@example.test;;;;\r\n") << QByteArray("  ");
    }
    void layoutKept() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, sentLine);
        QFETCH(QByteArray, rest);
        const bool utf16 = !head.isEmpty();
        const auto encode = [&](const QByteArray& text) {
            if (!utf16) return text;
            const QString s = QString::fromUtf8(text);
            return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        };
        TestSmtpServer smtp;
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        const QByteArray before = head + encode(sentLine) + encode(rest);
        QVERIFY(writeBytes(list, before));
        const TextFileContent read = readTextFile(list);
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        window.runOver(setup(list)).run();
        QCOMPARE(smtp.messages().size(), 1);
        const QByteArray after = readBytes(list);
        QVERIFY(after.startsWith(head));
        QVERIFY2(after.endsWith(encode(rest)), after.toHex().constData());
        const TextFileContent reread = readTextFile(list);
        QCOMPARE(reread.encoding, read.encoding);
        QCOMPARE(reread.lineBreak, read.lineBreak);
        QCOMPARE(fieldsOf(reread.lines.value(0)).value(0), QStringLiteral("Ä"));
        QCOMPARE(fieldsOf(reread.lines.value(0)).value(5), QStringLiteral("09.12.2026 14:05:30"));
    }

    // An error that ends the run early (an attachment that cannot be read) keeps what was sent before it.
    void earlyErrorKeepsTheRecord() {
        TestSmtpServer smtp;
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        const QByteArray rest("C;D;c@example.test;;;;/proc/self/mem\r\nE;F;e@example.test;;;;\r\n");
        QVERIFY(writeBytes(list, "A;B;a@example.test;;;;\r\n" + rest));
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        MailingRun run = window.runOver(setup(list));
        QVERIFY_THROWS_EXCEPTION(AppError, run.run());
        QCOMPARE(smtp.messages().size(), 1);
        QCOMPARE(readBytes(list), "A;B;a@example.test;;;09.12.2026 14:05:30;;\r\n" + rest);
        // The run closed its connection: QUIT was said once and nothing stays open.
        QVERIFY(!window.delivery.isOpen());
        QCOMPARE(smtp.verbs().count(QStringLiteral("QUIT")), 1);
        // The status line must not go on saying the run is under way.
        QCOMPARE(window.status, QStringLiteral("Mailing aborted!"));
        QCOMPARE(window.tone, MailingRunDisplay::Tone::Aborted);
    }

    // An empty list asks for 0 recipients, sends nothing and is written back empty.
    void emptyList() {
        const QString list = data(QStringLiteral("sendlist.csv"));
        QVERIFY(writeBytes(list, ""));
        prompts.expectQuestion(true,
                               [](const ScriptedPrompts::Asked& a) { QVERIFY(a.text.contains(" 0 ")); });
        TestRunWindow window(prompts, 1);
        window.runOver(setup(list)).run();
        QCOMPARE(readBytes(list), QByteArray());
        QCOMPARE(window.status, QStringLiteral("0 Mail(s) send."));
        QCOMPARE(window.progressMaximum, 0);
    }

    // ---- sending options ----

    // No 60 seconds hold more messages than the cap, and the run waits no longer than the cap needs.
    void perMinuteCapHolds() {
        TestSmtpServer smtp;
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        QVERIFY(writeBytes(list, numberedList(30)));
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        FakeClock clock;
        QList<QDateTime> sentAt;
        window.afterDelivery = [&](const DeliveryResult&) { sentAt << clock.time; };
        MailingRun::Setup s = setup(list);
        clock.useIn(s);
        s.options.messagesPerMinute = 10;
        window.runOver(s).run();
        QCOMPARE(smtp.messages().size(), 30);
        QCOMPARE(sentAt.size(), 30);
        for (int i = 10; i < sentAt.size(); ++i)
            QVERIFY2(sentAt[i - 10].msecsTo(sentAt[i]) >= 60000, qPrintable(QString::number(i)));
        QVERIFY(sentAt.first().msecsTo(sentAt.last()) < 121000);
        QVERIFY(window.statuses.contains(QStringLiteral("Next mail in 60 s")));
        QCOMPARE(window.status, QStringLiteral("30 Mail(s) send."));
    }

    // The run ends after the cap of sent messages; the rest of the list keeps its bytes.
    void runCapEndsTheRun() {
        TestSmtpServer smtp(refusing());
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        const QByteArray rest = "N4;P;r4@example.test;S;;;\r\nN5;P;r5@example.test;S;;;\r\n";
        QVERIFY(writeBytes(list, "N1;P;r1@example.test;S;;;\r\nN2;P;refused@example.test;S;;;\r\n"
                                 "N3;P;r3@example.test;S;;;\r\n" +
                                     rest));
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        MailingRun::Setup s = setup(list);
        s.options.messagesPerRun = 2; // a refused line counts no message
        window.runOver(s).run();
        QCOMPARE(smtp.messages().size(), 2);
        QVERIFY(readBytes(list).endsWith("N3;P;r3@example.test;S;;09.12.2026 14:05:30;;\r\n" + rest));
        QCOMPARE(window.status, QStringLiteral("2 Mail(s) send. Limit per run reached."));
        QCOMPARE(window.tone, MailingRunDisplay::Tone::Result);
    }

    // Lines stamped as sent are left out and keep their bytes; failed and unsent lines go out.
    void skipSentSendsTheRest() {
        TestSmtpServer smtp;
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        const QByteArray stamped = "A;B;a@example.test;S;;09.12.2026 10:00:00;x.pdf;K-1\r\n";
        const QByteArray dateOnly = "D;E;d@example.test;S;; 01.02.2026 ;;\r\n";
        QVERIFY(writeBytes(list, stamped + "F;G;f@example.test;S;;550 no Invalid mail address!;;\r\n" +
                                     dateOnly + "H;I;h@example.test;S;;;;\r\n\r\n"));
        prompts.expectQuestion(true, [](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text,
                     QStringLiteral(
                         "Send mailing to 3 recipients of sendlist.csv ? (2 already sent are skipped)"));
        });
        TestRunWindow window(prompts, smtp.port());
        MailingRun::Setup s = setup(list);
        s.options.skipSent = true;
        window.runOver(s).run();
        QStringList sentTo;
        for (const auto& message : smtp.messages())
            sentTo << message.recipients;
        QCOMPARE(sentTo, (QStringList{"f@example.test", "h@example.test"}));
        QCOMPARE(window.progressMaximum, 3);
        QCOMPARE(window.numbers, (QList<int>{2, 4})); // a blank line is passed over
        const QByteArray after = readBytes(list);
        QVERIFY(after.startsWith(stamped + "F;G;f@example.test;S;;09.12.2026 14:05:30;;\r\n" + dateOnly));
        QCOMPARE(window.status, QStringLiteral("2 Mail(s) send. 2 already sent skipped."));
    }

    // A temporary refusal waits and tries the line again, up to an hour; a permanent one fails at once.
    void temporaryFailureIsRetried_data() {
        QTest::addColumn<QString>("mailReply");
        QTest::addColumn<int>("replyTimes");
        QTest::addColumn<bool>("retry");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<int>("waitedMinutes");
        QTest::addColumn<bool>("sent");
        QTest::newRow("421 once, then accepted")
            << "421 4.7.0 Try again later" << 1 << true << 2 << 1 << true;
        QTest::newRow("421 three times") << "421 4.7.0 Try again later" << 3 << true << 4 << 7 << true;
        QTest::newRow("451 for an hour and more") << "451 4.3.2 Busy" << 0 << true << 8 << 60 << false;
        QTest::newRow("421 without retrying") << "421 4.7.0 Try again later" << 1 << false << 1 << 0 << false;
        QTest::newRow("550 is never retried") << "550 5.7.1 Not here" << 1 << true << 1 << 0 << false;
    }
    void temporaryFailureIsRetried() {
        QFETCH(QString, mailReply);
        QFETCH(int, replyTimes);
        QFETCH(bool, retry);
        QFETCH(int, attempts);
        QFETCH(int, waitedMinutes);
        QFETCH(bool, sent);
        TestSmtpServer::Options options;
        options.replies = QStringList{QStringLiteral("MAIL=") + mailReply};
        options.replyTimes = replyTimes;
        TestSmtpServer smtp(options);
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        QVERIFY(writeBytes(list, numberedList(1)));
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        FakeClock clock;
        MailingRun::Setup s = setup(list);
        clock.useIn(s);
        s.options.retryTemporaryFailures = retry;
        window.runOver(s).run();
        QCOMPARE(smtp.verbs().count(QStringLiteral("MAIL")), attempts);
        QCOMPARE(smtp.messages().size(), sent ? 1 : 0);
        QCOMPARE(kClock.secsTo(clock.time) / 60, waitedMinutes);
        QCOMPARE(window.errorBoxes.size(), sent ? 0 : 1); // one box, after the last try
        const QString sentColumn = fieldsOf(readTextFile(list).lines.value(0)).value(5);
        QCOMPARE(sentColumn, sent ? dateTimeToRegionalText(clock.time, s.locale)
                                  : mailReply + QStringLiteral(" Invalid mail address!"));
        if (attempts > 1)
            QVERIFY(window.statuses.contains(
                mailReply + QStringLiteral(" Next try at ") +
                s.locale.toString(kClock.addSecs(60).time(), QLocale::ShortFormat) + QLatin1Char('.')));
    }

    // Stop ends a wait at once; what was sent is written back, the rest keeps its bytes.
    void stopDuringAWait() {
        TestSmtpServer smtp;
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        const QByteArray bytes = numberedList(3);
        QVERIFY(writeBytes(list, bytes));
        prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        window.onStatus = [&window](const QString& status) {
            if (status.startsWith(QLatin1String("Next mail in"))) window.stop = true;
        };
        FakeClock clock;
        MailingRun::Setup s = setup(list);
        clock.useIn(s);
        s.options.messagesPerMinute = 1;
        window.runOver(s).run();
        QCOMPARE(smtp.messages().size(), 1);
        QVERIFY(clock.time < kClock.addSecs(1)); // the wait ended on the stop, not at its end
        QCOMPARE(window.status, QStringLiteral("Mailing aborted!"));
        QCOMPARE(readBytes(list),
                 "N1;P;r1@example.test;S;;09.12.2026 14:05:30;;\r\n" + bytes.mid(bytes.indexOf("N2;")));
    }

    // A refused login ends the run at once: one login attempt, the list as it was, one box at most.
    void refusedLoginEndsTheRun_data() {
        QTest::addColumn<bool>("unattended");
        QTest::newRow("attended") << false;
        QTest::newRow("unattended") << true;
    }
    void refusedLoginEndsTheRun() {
        QFETCH(bool, unattended);
        TestSmtpServer::Options options;
        options.auth = TestSmtpServer::Options::Auth::Login;
        options.refuseLogin = true;
        TestSmtpServer smtp(options);
        START(smtp);
        const QString list = data(QStringLiteral("sendlist.csv"));
        QVERIFY(writeBytes(list, numberedList(5)));
        if (!unattended) prompts.expectQuestion(true);
        TestRunWindow window(prompts, smtp.port());
        MailingRun::Setup s = setup(list);
        s.unattended = unattended;
        s.options.retryTemporaryFailures = true; // a refused login is no temporary failure
        window.runOver(s).run();
        QCOMPARE(smtp.logins().size(), 1);
        QCOMPARE(readBytes(list), numberedList(5));
        QCOMPARE(window.status,
                 QStringLiteral("Login refused: 535 5.7.8 Authentication credentials invalid"));
        QCOMPARE(window.tone, MailingRunDisplay::Tone::Aborted);
        QCOMPARE(window.errorBoxes.size(), unattended ? 0 : 1);
    }

    // The options file: what was stored comes back; anything garbled gives the defaults.
    void sendingOptionsFile_data() {
        QTest::addColumn<QByteArray>("file"); // empty: stored by the program
        QTest::addColumn<int>("perMinute");
        QTest::addColumn<bool>("skipSent");
        QTest::newRow("stored") << QByteArray() << 30 << true;
        QTest::newRow("random bytes")
            << QByteArray("\x8f\x00\xff[Sending\x01=\xfe\n\xe2\x82", 13) << 0 << false;
        QTest::newRow("values of the wrong kind")
            << QByteArray("[Sending]\nMessagesPerMinute=fast\nSkipSent=maybe\n") << 0 << false;
        QTest::newRow("negative count")
            << QByteArray("[Sending]\nMessagesPerMinute=-5\nSkipSent=true\n") << 0 << true;
    }
    void sendingOptionsFile() {
        QFETCH(QByteArray, file);
        QFETCH(int, perMinute);
        QFETCH(bool, skipSent);
        QFile::remove(sendingOptionsFilePath());
        if (file.isEmpty()) {
            SendingOptions stored;
            stored.messagesPerMinute = 30;
            stored.skipSent = true;
            QVERIFY(saveSendingOptions(stored));
            QVERIFY(sendingOptionsFilePath().endsWith(QLatin1String("/tarnel/tarnel.conf")));
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(sendingOptionsFilePath()).path()));
            QVERIFY(writeBytes(sendingOptionsFilePath(), file));
        }
        const SendingOptions options = loadSendingOptions();
        QCOMPARE(options.messagesPerMinute, perMinute);
        QCOMPARE(options.skipSent, skipSent);
        QCOMPARE(options.messagesPerRun, 0);
        QVERIFY(!options.retryTemporaryFailures);
    }

    void scheduleDue_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<bool>("due");
        const QDate today(2026, 12, 9);
        QTest::newRow("today 09:05, tick at 10:00")
            << QDateTime(today, QTime(10, 0)) << today << QTime(9, 5) << true;
        QTest::newRow("today 10:00, tick at 09:59")
            << QDateTime(today, QTime(9, 59, 59)) << today << QTime(10, 0) << false;
        QTest::newRow("same minute, seconds ignored")
            << QDateTime(today, QTime(10, 0, 0)) << today << QTime(10, 0, 59) << true;
        QTest::newRow("earlier minute of a later hour")
            << QDateTime(today, QTime(11, 1)) << today << QTime(10, 30) << true;
        QTest::newRow("past date, 18:00, tick at 09:00")
            << QDateTime(today, QTime(9, 0)) << today.addDays(-3) << QTime(18, 0) << false;
        QTest::newRow("past date, 18:00, tick at 18:00")
            << QDateTime(today, QTime(18, 0)) << today.addDays(-3) << QTime(18, 0) << true;
        QTest::newRow("tomorrow, any time")
            << QDateTime(today, QTime(23, 59)) << today.addDays(1) << QTime(0, 0) << false;
    }
    void scheduleDue() {
        QFETCH(QDateTime, now);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(bool, due);
        QCOMPARE(ScheduleDue(now, date, time), due);
    }

    // A stored schedule comes back armed; anything else leaves it off at the present moment.
    void restoredSchedule_data() {
        QTest::addColumn<double>("date");
        QTest::addColumn<double>("time");
        QTest::addColumn<bool>("armed");
        const double christmas = dateToNumber(QDate(2026, 12, 24));
        const double halfPastSix = timeToNumber(QTime(18, 30));
        QTest::newRow("both stored") << christmas << halfPastSix << true;
        QTest::newRow("no time") << christmas << 0.0 << false;
        QTest::newRow("no date") << 0.0 << halfPastSix << false;
    }
    void restoredSchedule() {
        QFETCH(double, date);
        QFETCH(double, time);
        QFETCH(bool, armed);
        const ScheduleSetting schedule = ::restoredSchedule(date, time, kClock);
        QCOMPARE(schedule.armed, armed);
        QCOMPARE(schedule.date, armed ? QDate(2026, 12, 24) : kClock.date());
        QCOMPARE(schedule.time, armed ? QTime(18, 30) : kClock.time());
    }

    // A tick starts the run only when armed, idle, online and due; the online check (a network probe) is
    // not made for nothing, and a start leaves the schedule armed for the run to see but stops the tick.
    void scheduledStartTick_data() {
        QTest::addColumn<bool>("armed");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("online");
        QTest::addColumn<int>("minutesToGo");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<bool>("asked");
        QTest::newRow("due") << true << false << true << 0 << true << true;
        QTest::newRow("not yet due") << true << false << true << 1 << false << true;
        QTest::newRow("offline") << true << false << false << 0 << false << true;
        QTest::newRow("a run or test mail in flight") << true << true << true << 0 << false << false;
        QTest::newRow("disarmed, tick on its way") << false << false << true << 0 << false << false;
    }
    void scheduledStartTick() {
        QFETCH(bool, armed);
        QFETCH(bool, busy);
        QFETCH(bool, online);
        QFETCH(int, minutesToGo);
        QFETCH(bool, starts);
        QFETCH(bool, asked);
        bool flag = false;
        ScheduledStart schedule(flag);
        schedule.setArmed(armed);
        QCOMPARE(flag, armed);
        bool wasAsked = false;
        const auto probe = [&] {
            wasAsked = true;
            return online;
        };
        const QDateTime at = kClock.addSecs(60 * minutesToGo);
        QCOMPARE(schedule.startsNow(busy, probe, kClock, at.date(), at.time()), starts);
        QCOMPARE(wasAsked, asked);
        QCOMPARE(schedule.timer()->isActive(), armed && !starts);
        QCOMPARE(flag, armed);
    }

    void scheduledStartRestoresArmed() {
        bool flag = false;
        ScheduledStart schedule(flag);
        const ScheduleSetting off = schedule.restore(0, 0, kClock);
        QVERIFY(!off.armed && !flag && !schedule.timer()->isActive());
        const ScheduleSetting on =
            schedule.restore(dateToNumber(QDate(2026, 12, 24)), timeToNumber(QTime(9, 5)), kClock);
        QVERIFY(on.armed && flag && schedule.timer()->isActive());
        QCOMPARE(schedule.timer()->interval(), 20000);
        schedule.setArmed(false);
        QVERIFY(!flag && !schedule.timer()->isActive());
    }

    // The connection check tries the mail server too, when the account fields name one it can reach.
    // A check asked for while another waits is let pass; the next one after it runs again.
    void connectionCheckLetsASecondPass() {
        const SilentPort silent;
        QVERIFY(silent.port != 0);
        ConnectionCheck check;
        check.webHosts = {{QStringLiteral("127.0.0.1"), silent.port}};
        check.timeoutMs = 300;
        std::optional<bool> second = true;
        QTimer::singleShot(20, [&] { second = check.run(QString(), QString()); });
        QCOMPARE(check.run(QString(), QString()), std::optional<bool>(false));
        QCOMPARE(second, std::nullopt);
        QCOMPARE(check.run(QString(), QString()), std::optional<bool>(false));
    }

    void onlineProbeTargets_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("added"); // "host:port", empty: the web host only
        QTest::newRow("host and port, blanks trimmed") << " mail.example.org "
                                                       << " 587 "
                                                       << "mail.example.org:587";
        QTest::newRow("blank host") << "  "
                                    << "25"
                                    << "";
        QTest::newRow("port no number") << "mail.example.org"
                                        << "smtp"
                                        << "";
        QTest::newRow("port 0") << "mail.example.org"
                                << "0"
                                << "";
        QTest::newRow("port too high") << "mail.example.org"
                                       << "65536"
                                       << "";
        QTest::newRow("highest port") << "mail.example.org"
                                      << "65535"
                                      << "mail.example.org:65535";
    }
    void onlineProbeTargets() {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, added);
        const ProbeTarget web{QStringLiteral("www.example.org"), 443};
        const QList<ProbeTarget> targets = ::onlineProbeTargets({web}, host, port);
        QCOMPARE(targets.size(), added.isEmpty() ? 1 : 2);
        QCOMPARE(targets.first().host, web.host);
        if (!added.isEmpty())
            QCOMPARE(targets.last().host + QLatin1Char(':') + QString::number(targets.last().port), added);
    }
};

TARNEL_TEST_MAIN(TstMailingRun)
#include "tst_mailingrun.moc"
