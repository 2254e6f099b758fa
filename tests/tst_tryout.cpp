#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "core/recipientline.h"
#include "core/textfile.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"
#include "settings/settingsfile.h"
#include "tests/support/outboxprocess.h"
#include "tests/support/parsedmail.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testsmtpserver.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolButton>

#include <csignal>

namespace {

QString runTryData(const QProcessEnvironment& environment, quint16 port, int* exitCode) {
    QProcess helper;
    helper.setProcessEnvironment(environment);
    helper.start(QStringLiteral(TARNEL_TRYDATA_PROGRAM), {QString::number(port)});
    const bool finished = helper.waitForFinished(10000);
    *exitCode = finished && helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1;
    return QString::fromUtf8(helper.readAllStandardOutput()).trimmed();
}

// The processes a running process started, from the kernel's list.
QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    const QString path = QStringLiteral("/proc/%1/task/%1/children").arg(pid);
    for (const QByteArray& child : readBytes(path).split(' '))
        if (!child.trimmed().isEmpty()) children << child.trimmed().toLongLong();
    return children;
}

bool isRunning(qint64 pid) {
    // A process that has ended and been waited for has no /proc entry; a zombie's state letter is Z.
    const QByteArray stat = readBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.isEmpty() && !stat.mid(stat.lastIndexOf(')') + 2, 1).contains('Z');
}

bool isEmptyFolder(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
}

} // namespace

class TstTryout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void outboxKeepsWhatIsSent_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("html");
        QTest::newRow("no login, one recipient")
            << QString() << QStringLiteral("anna@example.org") << QStringLiteral("Hello")
            << QStringList{QStringLiteral("Line one")} << false;
        // Any login is taken; the subject is shown decoded; a line's leading dot survives the transfer.
        QTest::newRow("login, umlauts, dotted line")
            << QStringLiteral("whatever") << QStringLiteral("juergen@example.org")
            << QStringLiteral("Grüße zum Sommerfest")
            << QStringList{QStringLiteral("Hallo Jürgen,"), QStringLiteral(".Punkt am Zeilenanfang"),
                           QStringLiteral(".")}
            << false;
        QTest::newRow("two recipients, HTML")
            << QStringLiteral("x") << QStringLiteral("a@example.org, b@example.org")
            << QStringLiteral("Zwei Empfänger") << QStringList{QStringLiteral("<p>Hallo <b>beide</b></p>")}
            << true;
    }
    void outboxKeepsWhatIsSent() {
        QFETCH(QString, password);
        QFETCH(QString, recipients);
        QFETCH(QString, subject);
        QFETCH(QStringList, lines);
        QFETCH(bool, html);
        OutboxProcess outbox;
        START(outbox);

        MailRequest request;
        request.host = QStringLiteral("127.0.0.1");
        request.port = QString::number(outbox.port());
        request.user = QStringLiteral("tryout@example.org");
        request.password = password;
        request.recipients = recipients;
        request.subject = subject;
        request.lines = lines;
        request.html = html;
        const PreparedMail mail = prepareMail(request);
        MailDelivery delivery;
        const DeliveryResult result = delivery.send(mail);
        QVERIFY2(result.sent, qPrintable(result.serverReply));
        delivery.close();

        QVERIFY(TestSmtpServer::waitFor([&] { return outbox.summaries().size() == 1; }));
        QCOMPARE(outbox.messageFiles(), QStringList{QStringLiteral("msg-0001.eml")});
        const QByteArray saved = readBytes(outbox.folder() + QStringLiteral("/msg-0001.eml"));
        // What the server was given, byte for byte, less the line end the transfer adds at the end.
        QByteArray expected = mail.data;
        if (!expected.endsWith("\r\n")) expected += "\r\n";
        QCOMPARE(saved.endsWith("\r\n") ? saved : saved + "\r\n", expected);

        QStringList addressed;
        for (const QByteArray& r : mail.envelopeRecipients)
            addressed << QString::fromUtf8(r);
        QCOMPARE(outbox.summaries().value(0), QStringLiteral("msg-0001.eml  to %1  subject \"%2\"  %3 bytes")
                                                  .arg(addressed.join(QStringLiteral(", ")), subject)
                                                  .arg(saved.size()));
        QVERIFY(outbox.stop());
        QVERIFY2(outbox.output().last().startsWith(QStringLiteral("Outbox closed: 1 message(s) in ")),
                 qPrintable(outbox.output().join('\n')));
    }

    // The data folder try.sh prepares, read by the program's own loaders, delivers through the outbox.
    void tryDataLoadsAndDelivers() {
        OutboxProcess outbox;
        START(outbox);
        int exitCode = 0;
        const QString folder = runTryData(QProcessEnvironment::systemEnvironment(), outbox.port(), &exitCode);
        QCOMPARE(exitCode, 0);
        QCOMPARE(folder, dataFolderPath());

        StoredSettings settings;
        loadSettingsFile(folder, settings, 1);
        QCOMPARE(settings.SmtpHost, QStringLiteral("127.0.0.1"));
        QCOMPARE(settings.SmtpPort, QString::number(outbox.port()));
        QVERIFY(!settings.SmtpUser.trimmed().isEmpty());
        QVERIFY(!settings.SmtpPassword.trimmed().isEmpty()); // the mailing run refuses a blank one

        const QStringList list = readTextFile(folder + defaultListFileName()).lines;
        QCOMPARE(list.size(), 5);
        QList<RecipientRow> rows;
        for (const QString& line : list)
            rows << SplitRecipientLine(line);
        QCOMPARE(rows.value(0).Name, QStringLiteral("Müller"));
        QCOMPARE(rows.value(0).Prename, QStringLiteral("Jürgen"));
        QCOMPARE(
            std::count_if(rows.begin(), rows.end(), [](const RecipientRow& r) { return r.Email.isEmpty(); }),
            1);
        const QString message = readTextFile(folder + defaultMessageFileName()).lines.join('\n');
        QVERIFY(message.contains(QStringLiteral("$Prename $Name")));

        MailRequest request;
        request.host = settings.SmtpHost;
        request.port = settings.SmtpPort;
        request.user = settings.SmtpUser;
        request.password = settings.SmtpPassword;
        request.recipients = rows.value(0).Email;
        request.subject = rows.value(0).Subject;
        request.lines = QStringList{message};
        MailDelivery delivery;
        QVERIFY(delivery.send(prepareMail(request)).sent);
        QVERIFY(TestSmtpServer::waitFor([&] { return outbox.messageFiles().size() == 1; }));

        // Without XDG_DATA_HOME the helper writes nowhere, rather than into the user's real data.
        QProcessEnvironment noDataHome = QProcessEnvironment::systemEnvironment();
        noDataHome.remove(QStringLiteral("XDG_DATA_HOME"));
        QTemporaryDir home;
        noDataHome.insert(QStringLiteral("HOME"), home.path());
        runTryData(noDataHome, 2525, &exitCode);
        QVERIFY(exitCode > 0);
        QVERIFY(isEmptyFolder(home.path()));
    }

    // The try-out as a newcomer does it: the prepared data folder, the real main window, "Run mailing".
    void tryOutMailing() {
        QDir(dataFolderPath()).removeRecursively();
        OutboxProcess outbox;
        START(outbox);
        int exitCode = 0;
        runTryData(QProcessEnvironment::systemEnvironment(), outbox.port(), &exitCode);
        QCOMPARE(exitCode, 0);
        ScriptedPrompts prompts;
        prompts.expectQuestion(true, [](const ScriptedPrompts::Asked& a) {
            QVERIFY2(a.text.contains(QLatin1String(" 5 ")) && a.text.contains(QLatin1String("sendlist.csv")),
                     qPrintable(a.text));
        });
        AppWindows windows(prompts);
        TFormNewMail* w = windows.FormNewMail.get();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->findChild<QToolButton*>(QStringLiteral("ToolButton3"))->click();
        VERIFY_PROMPTS(prompts); // the row without an address fails without an error box
        QCOMPARE(w->PanelMessage->text(), QStringLiteral("4") + w->State.Texts.MsgMailsSent);
        QVERIFY(TestSmtpServer::waitFor([&] { return outbox.messageFiles().size() == 4; }));

        const QStringList list = readTextFile(dataFolderPath() + defaultListFileName()).lines;
        QCOMPARE(list.size(), 5);
        for (int i = 0; i < 5; ++i) {
            const QString sent = SplitRecipientLine(list.at(i)).Send;
            if (i == 3)
                QCOMPARE(sent, w->State.Texts.MsgInvalidAddress.trimmed());
            else
                QVERIFY2(regionalTextToDateTime(sent).has_value(), qPrintable(list.at(i)));
        }
        const QStringList files = outbox.messageFiles();
        const ParsedMail first =
            ParsedMail::parse(readBytes(outbox.folder() + QLatin1Char('/') + files.first()));
        QVERIFY(first.parts.value(0).text().startsWith(QStringLiteral("Hallo Jürgen Müller,")));
        QCOMPARE(first.subject, QStringLiteral("Grüße zum Sommerfest"));
        QVERIFY(outbox.summaries().value(0).contains(QLatin1String("juergen.mueller@example.org")));
        w->hide();
        QVERIFY(outbox.stop());
    }

    // try.sh starts the outbox and the program in a temporary folder and stops the outbox when the program
    // ends, or both when it is itself interrupted. It runs with no XDG folders set, so anything it failed to
    // redirect would land in HOME.
    void tryScriptKeepsToItsFolder_data() {
        QTest::addColumn<bool>("closeProgram"); // else interrupt the script
        QTest::newRow("program closed") << true;
        QTest::newRow("script interrupted") << false;
    }
    void tryScriptKeepsToItsFolder() {
        QFETCH(bool, closeProgram);
        QTemporaryDir home, temp;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("TMPDIR"), temp.path());
        environment.insert(QStringLiteral("TARNEL_TRY_PROGRAMS"), QStringLiteral(TARNEL_BUILD_DIR));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess script;
        script.setProcessEnvironment(environment);
        script.setProcessChannelMode(QProcess::MergedChannels);
        script.start(QStringLiteral("/bin/bash"), {QStringLiteral(TARNEL_SOURCE_DIR "/scripts/try.sh")});
        QString output;
        const auto read = [&] { return output += QString::fromUtf8(script.readAll()); };
        QVERIFY2(
            TestSmtpServer::waitFor([&] { return read().contains(QStringLiteral("Run mailing")); }, 20000),
            qPrintable(output));

        qint64 program = 0, outbox = 0;
        for (const qint64 child : childrenOf(script.processId())) {
            const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(child)).symLinkTarget();
            if (exe.endsWith(QStringLiteral("/bin/tarnel"))) program = child;
            if (readBytes(QStringLiteral("/proc/%1/cmdline").arg(child)).contains("outbox.py"))
                outbox = child;
        }
        QVERIFY2(program && outbox, qPrintable(output));
        // Whatever the outcome, nothing of the try-out is left running.
        const auto cleanup = qScopeGuard([&] {
            for (const qint64 pid : {program, outbox})
                if (isRunning(pid)) ::kill(pid_t(pid), SIGKILL);
        });
        const QByteArray programEnvironment = readBytes(QStringLiteral("/proc/%1/environ").arg(program));
        for (const char* name : {"XDG_DATA_HOME=", "XDG_CONFIG_HOME=", "XDG_CACHE_HOME="}) {
            const int at = int(programEnvironment.indexOf(QByteArray("\0", 1) + name));
            QVERIFY2(at >= 0, name);
            QVERIFY2(programEnvironment.mid(at + 1 + int(qstrlen(name))).startsWith(temp.path().toUtf8()),
                     name);
        }

        QTest::qWait(1000); // the program settles (fonts, caches) before it is closed
        ::kill(pid_t(closeProgram ? program : script.processId()), SIGTERM);
        QVERIFY(script.waitForFinished(15000));
        read();
        QVERIFY2(!isRunning(outbox), qPrintable(output));
        QVERIFY2(!isRunning(program), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("Outbox closed: 0 message(s)")), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("The try-out is kept in ") + temp.path()),
                 qPrintable(output));
        QVERIFY2(isEmptyFolder(home.path()), qPrintable(QDir(home.path()).entryList().join(' ')));
        const QStringList kept = QDir(temp.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(kept.size(), 1);
        QVERIFY(QFileInfo::exists(temp.filePath(kept.first() + QStringLiteral("/data/prdata/postrun.ini"))));
    }
};

TARNEL_TEST_MAIN(TstTryout)
#include "tst_tryout.moc"
