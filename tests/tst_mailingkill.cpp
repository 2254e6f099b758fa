#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "core/datetimenumber.h"
#include "core/textfile.h"
#include "mailing/maildelivery.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testsmtpserver.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int kLines = 3000;

QString listLine(int i) {
    return QStringLiteral("Name %1;Vorname;r%1@example.test;Betreff;;;").arg(i);
}

// The child: the real main window runs a mailing over the list, as a user would start it.
int runChild(const QString& list, const QString& port) {
    ScriptedPrompts prompts;
    prompts.expectQuestion(true);
    AppWindows windows(prompts);
    TFormNewMail* w = windows.FormNewMail.get();
    w->show();
    w->EditHost->setText(QStringLiteral("127.0.0.1"));
    w->EditPort->setText(port);
    w->EditUser->setText(QStringLiteral("user@example.test"));
    w->MaskEdit->setText(QStringLiteral("secret"));
    w->State.ListFile = list;
    writeTextFile(w->State.DefaultMessageFile, {QStringLiteral("Hallo $Prename $Name,"), QString()},
                  TextEncoding::Utf8NoBom);
    return w->runGuarded([w] { w->BtnMailClick(); }) ? 0 : 1;
}

} // namespace

// A mailing killed outright leaves a whole list file that records what was sent up to the last two
// seconds: the run writes the list back while it goes.
class TstMailingKill : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killDuringALongRun() {
        TestSmtpServer::Options options;
        options.delaySeconds = 0.01;
        options.delayOn = QStringLiteral("END");
        TestSmtpServer smtp(options);
        QVERIFY2(smtp.start(), qPrintable(smtp.errorString()));
        QTemporaryDir dir;
        const QString list = dir.filePath(QStringLiteral("sendlist.csv"));
        QStringList lines;
        for (int i = 1; i <= kLines; ++i)
            lines << listLine(i);
        writeTextFile(list, lines, TextEncoding::Utf8NoBom);

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), list, QString::number(smtp.port())});
        QVERIFY(child.waitForStarted());
        // Let it send for a while (several write-backs), then kill it without warning.
        QVERIFY(TestSmtpServer::waitFor([&] { return smtp.messages().size() >= 20; }, 20000));
        QElapsedTimer sending;
        sending.start();
        QTest::qWait(4500);
        const int beforeKill = int(smtp.messages().size());
        const double rate = (beforeKill - 20) * 1000.0 / double(sending.elapsed());
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY2(beforeKill < kLines, "the run ended before the kill; make it longer");

        const int accepted = int(smtp.messages().size());
        const TextFileContent after = readTextFile(list);
        QCOMPARE(after.lines.size(), kLines);
        int stamped = 0;
        for (int i = 0; i < kLines; ++i) {
            const QString& line = after.lines.at(i);
            if (line == listLine(i + 1)) continue; // untouched
            const QStringList fields = line.split(QLatin1Char(';'));
            QCOMPARE(fields.size(), 8);
            QVERIFY2(regionalTextToDateTime(fields.at(5)).has_value(), qPrintable(line));
            QCOMPARE(i, stamped); // stamped lines come first, in order
            ++stamped;
        }
        // Never a stamp for a message the server did not take, and at most two seconds' worth missing.
        QVERIFY2(stamped <= accepted, qPrintable(QStringLiteral("%1 > %2").arg(stamped).arg(accepted)));
        const int allowed = int(rate * 2.0) + 5;
        QVERIFY2(beforeKill - stamped <= allowed,
                 qPrintable(QStringLiteral("%1 sent, %2 stamped, %3 allowed missing at %4 mails/s")
                                .arg(beforeKill)
                                .arg(stamped)
                                .arg(allowed)
                                .arg(rate)));
        QVERIFY(stamped > 0);
    }
};

int main(int argc, char** argv) {
    TestEnvironment environment;
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TstMailingKill tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_mailingkill.moc"
