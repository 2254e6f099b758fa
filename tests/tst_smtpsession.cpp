#include "mailing/mailrequest.h"
#include "mailing/smtpsession.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testsmtpserver.h"

#include <QElapsedTimer>

// The SMTP dialogue itself: which commands travel together, and what every way of failing leaves behind.
using Options = TestSmtpServer::Options;
Q_DECLARE_METATYPE(TestSmtpServer::Options)

namespace {

const QByteArray account = "user@example.test";

Options offering(bool pipelining, bool chunking) {
    Options o;
    o.pipelining = pipelining;
    o.chunking = chunking;
    return o;
}

const struct Mode {
    const char* name;
    bool pipelining;
    bool chunking;
} modes[] = {{"lock-step", false, false}, {"PIPELINING", true, false}, {"CHUNKING", true, true}};

PreparedMail mailTo(const TestSmtpServer& server, const QStringList& recipients,
                    const QByteArray& sender = account,
                    const QByteArray& data = "Subject: Hello\r\n\r\nLine one\r\nLine two\r\n") {
    PreparedMail mail;
    mail.account.host = QStringLiteral("127.0.0.1");
    mail.account.port = server.port();
    mail.account.user = QString::fromUtf8(account);
    mail.envelopeSender = sender;
    for (const QString& r : recipients)
        mail.envelopeRecipients << r.toUtf8();
    mail.data = data;
    return mail;
}

SmtpOptions testOptions(int responseTimeoutSeconds = 30) {
    SmtpOptions o;
    o.caFile = TestSmtpServer::caFile();
    o.responseTimeoutSeconds = responseTimeoutSeconds;
    return o;
}

// The dialogue as the server saw it: "EHLO MAIL+ RCPT+ DATA QUIT", "+" where the client's next bytes had
// arrived before the command was answered.
QString dialogueOf(const TestSmtpServer& server) {
    QStringList words;
    for (const TestSmtpServer::Command& c : server.commands())
        words << c.verb + (c.pipelined ? QStringLiteral("+") : QString());
    return words.join(QLatin1Char(' '));
}

} // namespace

class TstSmtpSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dialogue_data() {
        QTest::addColumn<Options>("server");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("expected"); // two messages, then close()

        const QStringList one{"a@example.test"};
        const QStringList two{"a@example.test", "b@example.test"};
        QTest::newRow("no PIPELINING: one command at a time")
            << offering(false, false) << two << "EHLO MAIL RCPT RCPT DATA MAIL RCPT RCPT DATA QUIT";
        QTest::newRow("PIPELINING: envelope and DATA in one group, content after 354")
            << offering(true, false) << two << "EHLO MAIL+ RCPT+ RCPT+ DATA MAIL+ RCPT+ RCPT+ DATA QUIT";
        QTest::newRow("CHUNKING: the whole message in one group")
            << offering(true, true) << one << "EHLO MAIL+ RCPT+ BDAT MAIL+ RCPT+ BDAT QUIT";
        QTest::newRow("CHUNKING, two recipients: the envelope's replies before the content")
            << offering(true, true) << two << "EHLO MAIL+ RCPT+ RCPT BDAT MAIL+ RCPT+ RCPT BDAT QUIT";
        QTest::newRow("CHUNKING without PIPELINING: DATA, one command at a time")
            << offering(false, true) << one << "EHLO MAIL RCPT DATA MAIL RCPT DATA QUIT";
        Options tls = offering(true, true);
        tls.startTls = true;
        QTest::newRow("CHUNKING after STARTTLS")
            << tls << one << "EHLO STARTTLS EHLO MAIL+ RCPT+ BDAT MAIL+ RCPT+ BDAT QUIT";
        Options helo = offering(true, true);
        helo.noEhlo = true;
        QTest::newRow("no EHLO: HELO and no extensions")
            << helo << one << "EHLO HELO MAIL RCPT DATA MAIL RCPT DATA QUIT";
    }
    void dialogue() {
        QFETCH(Options, server);
        QFETCH(QStringList, recipients);
        QFETCH(QString, expected);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions());
        const PreparedMail mail = mailTo(smtp, recipients);
        for (int i = 0; i < 2; ++i) {
            const DeliveryResult result = session.send(mail);
            QVERIFY2(result.sent, qPrintable(result.error + QLatin1Char(' ') + result.serverReply));
        }
        session.close();
        QVERIFY(smtp.waitFor([&] { return smtp.verbs().contains(QStringLiteral("QUIT")); }));
        QCOMPARE(dialogueOf(smtp), expected);
        QCOMPARE(smtp.eventCount(QStringLiteral("sync-error")), 0);
        QCOMPARE(smtp.connectionCount(), 1);
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 2);
        for (const auto& m : messages) {
            QCOMPARE(m.recipients, recipients);
            QCOMPARE(m.data, mail.data);
        }
        if (server.startTls)
            for (const auto& c : smtp.commands())
                if (c.verb != QLatin1String("EHLO") && c.verb != QLatin1String("STARTTLS")) QVERIFY(c.tls);
    }

    // Each way a message can fail, in every mode: the right outcome, and a next message that goes out
    // cleanly with nothing of the failed one.
    void failures_data() {
        QTest::addColumn<Options>("server");
        QTest::addColumn<bool>("reused");       // a first message opens the connection
        QTest::addColumn<QByteArray>("sender"); // of the message under test
        QTest::addColumn<QStringList>("to");    // its recipients
        QTest::addColumn<bool>("sent");         // its outcome...
        QTest::addColumn<bool>("retried");      // ...whether it went again over a new connection...
        QTest::addColumn<QString>("reply");     // ...the reply kept when it failed...
        QTest::addColumn<int>("stored");        // ...and the messages the server holds then

        const QStringList refused{"x@y.test"};
        const QStringList oneRefused{"ok@example.test", "x@y.test"};
        for (const Mode& mode : modes) {
            const auto row = [&mode](const char* name) {
                return &QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(mode.name, name)));
            };
            const Options base = offering(mode.pipelining, mode.chunking);
            Options o = base;
            o.refuseRecipients = refused;
            *row("refused RCPT") << o << false << account << refused << false << false << "550 5.1.1" << 0;
            *row("one of two RCPT refused: sent to neither")
                << o << true << account << oneRefused << false << false << "550 5.1.1" << 1;
            o = base;
            o.refuseSenders = QStringList{"bad@example.test"};
            *row("refused MAIL") << o << true << QByteArray("bad@example.test") << refused << false << false
                                 << "550 5.7.1 <bad@example.test>" << 1;
            o = base;
            o.refuseContent = refused;
            *row("5xx after the content")
                << o << false << account << refused << false << false << "554 5.7.1" << 0;
            o.refuseContentReply = QStringLiteral("451 4.3.0 Try again later");
            *row("4xx after the content")
                << o << true << account << refused << false << false << "451 4.3.0" << 1;
            o.refuseContentReply = QStringLiteral("252 2.0.0 Cannot say");
            *row("2xx other than 250 after the content")
                << o << false << account << refused << false << false << "252 2.0.0" << 0;
            o = base;
            o.failRcptAfter = 1;
            *row("421 in the middle of the group: again over a new connection")
                << o << true << account << refused << true << true << QString() << 2;
            o = base;
            o.dropOn = mode.chunking ? QStringLiteral("BDAT") : QStringLiteral("DATA");
            o.dropOnAfter = 1;
            // Over CHUNKING the content has left with the group: the server may hold the message.
            *row("connection dropped after the group")
                << o << true << account << refused << !mode.chunking << !mode.chunking << QString()
                << 1 + int(!mode.chunking);
            o.dropOn = QStringLiteral("MAIL");
            *row("connection dropped at MAIL") << o << true << account << refused << !mode.chunking
                                               << !mode.chunking << QString() << 1 + int(!mode.chunking);
            o = base;
            o.dropAfterData = 2;
            *row("message kept, connection dropped before the reply")
                << o << true << account << refused << false << false << QString() << 2;
        }
    }
    void failures() {
        QFETCH(Options, server);
        QFETCH(bool, reused);
        QFETCH(QByteArray, sender);
        QFETCH(QStringList, to);
        QFETCH(bool, sent);
        QFETCH(bool, retried);
        QFETCH(QString, reply);
        QFETCH(int, stored);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions());
        if (reused) QVERIFY(session.send(mailTo(smtp, {QStringLiteral("first@example.test")})).sent);
        const PreparedMail failing = mailTo(smtp, to, sender, "Subject: failing\r\n\r\nfailing\r\n");
        QElapsedTimer clock;
        clock.start();
        const DeliveryResult result = session.send(failing);
        // No failure here waits: a server that waits for content is dropped at once, never told QUIT
        // (which it would take as content, leaving the client to wait for an answer).
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(result.sent, sent);
        QCOMPARE(result.retried, retried);
        QVERIFY2(result.serverReply.startsWith(reply), qPrintable(result.serverReply));
        QCOMPARE(result.serverReply.isEmpty(), reply.isEmpty());
        if (!sent) {
            QVERIFY(!result.error.isEmpty());
            QVERIFY(!session.isOpen());
        }
        QCOMPARE(smtp.messages().size(), stored);

        const PreparedMail next = mailTo(smtp, {QStringLiteral("next@example.test")});
        const DeliveryResult nextResult = session.send(next);
        QVERIFY2(nextResult.sent, qPrintable(nextResult.error + QLatin1Char(' ') + nextResult.serverReply));
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), stored + 1);
        QCOMPARE(messages.last().sender, QString::fromUtf8(account));
        QCOMPARE(messages.last().recipients, QStringList{"next@example.test"});
        QCOMPARE(messages.last().data, next.data);
        QCOMPARE(smtp.eventCount(QStringLiteral("sync-error")), 0);
    }

    // One time-out fails a message; only a connection that may not have taken it is tried again.
    void timeouts_data() {
        QTest::addColumn<Options>("server");
        QTest::addColumn<int>("idleMs"); // -1: no first message; else the pause after it
        QTest::addColumn<bool>("sent");
        QTest::addColumn<int>("stored");

        Options greeting;
        greeting.delaySeconds = 20;
        greeting.delayOn = QStringLiteral("GREETING");
        QTest::newRow("silent from the greeting") << greeting << -1 << false << 0;
        Options end = offering(true, true);
        end.delaySeconds = 20;
        end.delayOn = QStringLiteral("END");
        // The server holds the message, but the client cannot know: not reported sent.
        QTest::newRow("silent after the content") << end << -1 << false << 1;
        for (const Mode& mode : modes) {
            Options silent = offering(mode.pipelining, mode.chunking);
            silent.silentAfter = 1;
            // Over CHUNKING the content leaves with the envelope unless the connection lay idle.
            QTest::newRow(qPrintable(QStringLiteral("%1, reused connection gone silent").arg(mode.name)))
                << silent << 0 << !mode.chunking << (mode.chunking ? 1 : 2);
            QTest::newRow(qPrintable(QStringLiteral("%1, idle connection gone silent").arg(mode.name)))
                << silent << 1200 << true << 2;
        }
    }
    void timeouts() {
        QFETCH(Options, server);
        QFETCH(int, idleMs);
        QFETCH(bool, sent);
        QFETCH(int, stored);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions(1));
        if (idleMs >= 0) {
            QVERIFY(session.send(mailTo(smtp, {QStringLiteral("first@example.test")})).sent);
            QTest::qWait(idleMs);
        }
        QElapsedTimer clock;
        clock.start();
        const DeliveryResult result = session.send(mailTo(smtp, {QStringLiteral("to@example.test")}));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(result.sent, sent);
        QCOMPARE(result.retried, sent);
        QVERIFY(result.serverReply.isEmpty());
        // One time-out, no second wait for an answer to QUIT.
        QVERIFY2(elapsed >= 900 && elapsed < 1900, qPrintable(QString::number(elapsed)));
        QCOMPARE(smtp.messages().size(), stored);
        QCOMPARE(session.isOpen(), sent);
    }

    // What a failed message's result says beyond its texts, for the caller to decide what comes next.
    void failureKinds_data() {
        using Failure = DeliveryResult::Failure;
        QTest::addColumn<Options>("server");
        QTest::addColumn<QStringList>("to");
        QTest::addColumn<int>("failure"); // DeliveryResult::Failure
        QTest::addColumn<int>("replyCode");
        QTest::addColumn<bool>("contentSent");
        QTest::addColumn<QString>("error"); // how it begins

        const QStringList refused{"x@y.test"};
        Options o = offering(false, false);
        o.refuseRecipients = refused;
        QTest::newRow("refused recipient")
            << o << refused << int(Failure::Refused) << 550 << false << "Recipient refused";
        o = offering(true, true);
        o.refuseContent = refused;
        o.refuseContentReply = QStringLiteral("451 4.3.0 Try again later");
        QTest::newRow("4xx after the content")
            << o << refused << int(Failure::Refused) << 451 << true << "Message refused";
        o = offering(true, false);
        o.dropOn = QStringLiteral("MAIL");
        QTest::newRow("connection dropped")
            << o << refused << int(Failure::Connection) << 0 << false << "The server closed the connection";
        o = offering(true, true);
        o.dropAfterData = 1;
        QTest::newRow("dropped after the content: it may be there")
            << o << refused << int(Failure::Connection) << 0 << true << "The server closed the connection";
        o = offering(true, false);
        o.greeting421 = true;
        QTest::newRow("421 greeting")
            << o << refused << int(Failure::Refused) << 421 << false << "The server refused the connection";
        o = offering(true, false);
        o.floodReplyTo = QStringLiteral("RCPT");
        QTest::newRow("a reply without end") << o << refused << int(Failure::Protocol) << 0 << false
                                             << "The server's reply is too long (over 64 KB)";
        o = offering(true, false);
        o.replies = QStringList{QStringLiteral("MAIL=Welcome to our web server")};
        QTest::newRow("not SMTP") << o << refused << int(Failure::Protocol) << 0 << false
                                  << "The server's answer is not SMTP: \"Welcome to our web server\"";
        o = offering(true, true);
        o.sizeLimit = 10;
        QTest::newRow("larger than the server takes")
            << o << refused << int(Failure::NotSent) << 0 << false << "Message too large for the server";
    }
    void failureKinds() {
        QFETCH(Options, server);
        QFETCH(QStringList, to);
        QFETCH(int, failure);
        QFETCH(int, replyCode);
        QFETCH(bool, contentSent);
        QFETCH(QString, error);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions(2));
        const DeliveryResult result = session.send(mailTo(smtp, to));
        QVERIFY(!result.sent);
        QCOMPARE(int(result.failure), failure);
        QCOMPARE(result.replyCode, replyCode);
        QCOMPARE(result.contentSent, contentSent);
        QVERIFY(!result.loginRefused);
        QVERIFY2(result.error.startsWith(error), qPrintable(result.error));
        QCOMPARE(result.failureText(), result.serverReply.isEmpty() ? result.error : result.serverReply);
        QVERIFY(!session.isOpen());
    }

    // The server's reply as the caller keeps it: the code once, the lines joined.
    void replyText_data() {
        QTest::addColumn<Options>("server");
        QTest::addColumn<QString>("reply");
        for (const Mode& mode : modes) {
            Options o = offering(mode.pipelining, mode.chunking);
            o.refuseRecipients = QStringList{QStringLiteral("x@y.test")};
            QTest::newRow(qPrintable(QStringLiteral("%1, one line").arg(mode.name)))
                << o << "550 5.1.1 <x@y.test>: Recipient address rejected";
            o.multilineRefusals = true;
            QTest::newRow(qPrintable(QStringLiteral("%1, three lines").arg(mode.name)))
                << o
                << "550 5.1.1 <x@y.test>: Recipient address rejected Please check the address and try again";
        }
    }
    void replyText() {
        QFETCH(Options, server);
        QFETCH(QString, reply);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions());
        const DeliveryResult result = session.send(mailTo(smtp, {QStringLiteral("x@y.test")}));
        QVERIFY(!result.sent);
        QCOMPARE(result.serverReply, reply);
        QCOMPARE(result.replyCode, 550);
    }

    // Only the final reply decides, and a bare "250" (no text) is a yes.
    void bareFinalReply() {
        for (const Mode& mode : modes) {
            Options o = offering(mode.pipelining, mode.chunking);
            o.replies = QStringList{QStringLiteral("END=250")};
            TestSmtpServer smtp(o);
            START(smtp);
            SmtpSession session(testOptions());
            for (int i = 0; i < 2; ++i) {
                const DeliveryResult result = session.send(mailTo(smtp, {QStringLiteral("to@example.test")}));
                QVERIFY2(result.sent, qPrintable(QStringLiteral("%1: %2").arg(mode.name, result.error)));
            }
            QCOMPARE(smtp.messages().size(), 2);
            QCOMPARE(smtp.connectionCount(), 1);
        }
    }

    // A reply no command asked for shifts every later reply onto the wrong command: the message fails,
    // never reported sent, and the connection goes. The next message goes out cleanly over a new one.
    // (The stray comes with the last reply a group awaits, or with a reply it makes a wrong answer to
    // DATA: one that comes alone after the verdict was read cannot be told from a real one without
    // waiting.)
    void strayReply_data() {
        QTest::addColumn<Options>("server");
        QTest::addColumn<QStringList>("to");
        QTest::addColumn<int>("stored"); // the server may have taken the message all the same

        const QStringList one{"to@example.test"};
        const QStringList two{"to@example.test", "b@example.test"};
        const auto row = [](const char* mode, const char* after, const QStringList& to, int stored,
                            bool pipelining, bool chunking, const QStringList& refuseContent = {}) {
            Options o = offering(pipelining, chunking);
            o.strayReplyAfter = QString::fromLatin1(after);
            o.refuseContent = refuseContent;
            QTest::newRow(qPrintable(QStringLiteral("%1, stray after %2").arg(mode, after)))
                << o << to << stored;
        };
        for (const char* after : {"MAIL", "RCPT", "DATA", "END"}) {
            row("lock-step", after, one, QByteArray(after) == "END", false, false);
            row("PIPELINING", after, one, QByteArray(after) == "END", true, false);
        }
        row("CHUNKING", "END", one, 1, true, true);
        row("CHUNKING, two recipients", "RCPT#2", two, 0, true, true);
        row("CHUNKING, two recipients", "END", two, 1, true, true);
        // The case met in the wild: the stray taken for the verdict on content the server refused.
        row("CHUNKING, content refused", "END", one, 0, true, true, one);
    }
    void strayReply() {
        QFETCH(Options, server);
        QFETCH(QStringList, to);
        QFETCH(int, stored);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions(2));
        QElapsedTimer clock;
        clock.start();
        const DeliveryResult result = session.send(mailTo(smtp, to));
        QVERIFY(!result.sent);
        QCOMPARE(result.failure, DeliveryResult::Failure::Protocol);
        QVERIFY2(result.error.startsWith(QLatin1String("The server sent a reply no command asked for: \"")) ||
                     result.error.startsWith(QLatin1String("DATA: unexpected reply 250")),
                 qPrintable(result.error));
        QVERIFY(!session.isOpen());
        // Dropped, not told QUIT: the server may be waiting for content.
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(smtp.messages().size(), stored);

        const PreparedMail next = mailTo(smtp, {QStringLiteral("next@example.test")});
        const DeliveryResult nextResult = session.send(next);
        QVERIFY2(nextResult.sent, qPrintable(nextResult.error + QLatin1Char(' ') + nextResult.serverReply));
        QCOMPARE(smtp.messages().size(), stored + 1);
        QCOMPARE(smtp.messages().last().recipients, QStringList{"next@example.test"});
        QCOMPARE(smtp.connectionCount(), 2);
    }

    // A message larger than the server's SIZE fails before any of it leaves, in every mode.
    void sizeLimit_data() {
        QTest::addColumn<Options>("server");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("limit"); // -1: exactly the message's size
        QTest::addColumn<QString>("error");
        const QString english =
            QStringLiteral("Message too large for the server: 2,048 of at most 1,000 bytes");
        for (const Mode& mode : modes) {
            const Options o = offering(mode.pipelining, mode.chunking);
            QTest::newRow(qPrintable(QStringLiteral("%1, over").arg(mode.name))) << o << 1 << 1000 << english;
            QTest::newRow(qPrintable(QStringLiteral("%1, exactly at the limit").arg(mode.name)))
                << o << 1 << -1 << QString();
        }
        QTest::newRow("German") << offering(true, true) << 0 << 1000
                                << "Nachricht zu groß für den Server: 2.048 von höchstens 1.000 Bytes";
        QTest::newRow("over 1,000,000") << offering(true, false) << 1 << 1000000 << QString();
    }
    void sizeLimit() {
        QFETCH(Options, server);
        QFETCH(int, language);
        QFETCH(int, limit);
        QFETCH(QString, error);
        QByteArray data = "Subject: big\r\n\r\n";
        while (data.size() < 2048)
            data += QByteArray(62, 'x') + "\r\n";
        data.truncate(2046);
        data += "\r\n";
        server.sizeLimit = limit < 0 ? int(data.size()) : limit;
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpOptions o = testOptions();
        o.language = language;
        SmtpSession session(o);
        const DeliveryResult result =
            session.send(mailTo(smtp, {QStringLiteral("to@example.test")}, account, data));
        QCOMPARE(result.sent, error.isEmpty());
        QCOMPARE(result.error, error);
        if (error.isEmpty()) {
            QCOMPARE(smtp.messages().value(0).data, data);
            return;
        }
        QCOMPARE(result.failure, DeliveryResult::Failure::NotSent);
        QVERIFY2(!smtp.verbs().contains(QStringLiteral("MAIL")), qPrintable(dialogueOf(smtp)));
        // What fits still goes, over the same server.
        QVERIFY(session.send(mailTo(smtp, {QStringLiteral("to@example.test")})).sent);
    }

    void closeDoesNotWaitForSilentServer() {
        Options silent;
        silent.silentAfter = 1;
        TestSmtpServer smtp(silent);
        START(smtp);
        SmtpSession session(testOptions());
        QVERIFY(session.send(mailTo(smtp, {QStringLiteral("to@example.test")})).sent);
        QElapsedTimer clock;
        clock.start();
        session.close();
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(smtp.verbs().contains(QStringLiteral("QUIT")));
        QVERIFY(!session.isOpen());
    }

    // What arrives is exactly the message: dots at line starts survive DATA, every line ends in CR LF.
    void content_data() {
        QTest::addColumn<Options>("server");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("arrives");
        for (const Mode& mode : modes) {
            const auto row = [&mode](const char* name) {
                return &(QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(mode.name, name)))
                         << offering(mode.pipelining, mode.chunking));
            };
            *row("lines starting with a dot")
                << QByteArray("S: x\r\n\r\n.hidden\r\n..two\r\n.\r\nQUIT\r\nend\r\n")
                << QByteArray("S: x\r\n\r\n.hidden\r\n..two\r\n.\r\nQUIT\r\nend\r\n");
            *row("a lone dot as the last line, no line end")
                << QByteArray("S: x\r\n\r\na\r\n.") << QByteArray("S: x\r\n\r\na\r\n.\r\n");
            *row("lone LF and CR") << QByteArray("S: x\n\nb\rc\r\r\n.d\n")
                                   << QByteArray("S: x\r\n\r\nb\r\nc\r\n\r\n.d\r\n");
        }
    }
    void content() {
        QFETCH(Options, server);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, arrives);
        TestSmtpServer smtp(server);
        START(smtp);
        SmtpSession session(testOptions());
        for (int i = 0; i < 2; ++i)
            QVERIFY(session.send(mailTo(smtp, {QStringLiteral("to@example.test")}, account, data)).sent);
        const auto messages = smtp.messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].data, arrives);
        QCOMPARE(messages[1].data, arrives);
        QCOMPARE(smtp.connectionCount(), 1);
    }
};

TARNEL_TEST_MAIN(TstSmtpSession)
#include "tst_smtpsession.moc"
