// Kills the program's file writing (SIGKILL) at random moments: the settings file, a message file, and the
// recipient list during a mailing run against a slow server. After every kill each file must hold either
// its old or its new whole content (the list: every line its old text or its complete rewritten line),
// and nothing may be left beside it but, at most, the staged new content that the next write clears away.
// CI runs a few dozen kills; "--long" runs 240.
#include "core/interfacetexts.h"
#include "core/textfile.h"
#include "settings/settingsfile.h"
#include "tests/killcontent.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testsmtpserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#ifndef TARNEL_KILLDRIVER
#error "TARNEL_KILLDRIVER must name the driver program"
#endif

namespace {

bool s_long = false;

// The driver in its own process, read line by line.
class Driver {
public:
    bool start(const QStringList& arguments) {
        m_process.setProgram(QStringLiteral(TARNEL_KILLDRIVER));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        return m_process.waitForStarted(10000);
    }
    // Waits for a line that begins with `prefix`; the rest of that line, or nullopt when none came.
    std::optional<QByteArray> waitFor(const QByteArray& prefix, int timeoutMs = 15000) {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                m_seen << line;
                if (line.startsWith(prefix)) return line.mid(prefix.size()).trimmed();
            }
            if (deadline.hasExpired() || m_process.state() != QProcess::Running) return std::nullopt;
            m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        }
    }
    void killAfter(qint64 microseconds) {
        QThread::usleep(static_cast<unsigned long>(microseconds));
        m_process.kill(); // SIGKILL
        m_process.waitForFinished(10000);
        m_seen << m_process.readAll().split('\n');
    }
    bool finished() const { return m_process.state() == QProcess::NotRunning; }
    const QList<QByteArray>& seen() const { return m_seen; }

private:
    QProcess m_process;
    QList<QByteArray> m_seen;
};

// Files in the folder beside `keep`, hidden ones included.
QStringList others(const QString& folder, const QStringList& keep) {
    QStringList found =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : keep)
        found.removeAll(name);
    return found;
}

} // namespace

class TstKillSafety : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    quint32 m_seed = 0;
    QRandomGenerator m_random;
    int m_staged = 0; // kills that left the staged new content beside a file

    int rounds(int ci, int full) const { return s_long ? full : ci; }

    // After a kill: nothing beside `file` (and `alsoKeep`) but at most its staged new content.
    void checkNothingLeft(const QString& file, const QStringList& alsoKeep = {}) {
        const QFileInfo info(file);
        QStringList strays = others(info.path(), QStringList{info.fileName()} + alsoKeep);
        if (strays.removeAll(QFileInfo(writeStagingPath(file)).fileName()) > 0) ++m_staged;
        QVERIFY2(strays.isEmpty(), qPrintable(QStringLiteral("left behind: ") + strays.join(u' ')));
    }

    // Writes by turns until killed, `count` times; the file must always be one of the two contents.
    void killWhileWriting(const QStringList& arguments, const QString& file, const QByteArray (&contents)[2],
                          int count, const std::function<void()>& extraCheck = {}) {
        for (int round = 0; round < count; ++round) {
            Driver driver;
            QVERIFY(driver.start(arguments));
            QVERIFY2(driver.waitFor("ready"), "the driver did not start writing");
            driver.killAfter(m_random.bounded(40000));
            QVERIFY(driver.finished());
            const QByteArray found = readBytes(file);
            QVERIFY2(found == contents[0] || found == contents[1],
                     qPrintable(QStringLiteral("round %1: %2 bytes, neither content (seed %3)")
                                    .arg(round)
                                    .arg(found.size())
                                    .arg(m_seed)));
            checkNothingLeft(file);
            if (extraCheck) extraCheck();
            if (QTest::currentTestFailed()) return;
        }
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        bool given = false;
        m_seed = qEnvironmentVariableIntValue("TARNEL_KILL_SEED", &given);
        if (!given) m_seed = QRandomGenerator::global()->generate();
        m_random.seed(m_seed);
        qInfo("seed %u (set TARNEL_KILL_SEED to repeat)", m_seed);
    }

    void cleanupTestCase() {
        qInfo("%d kills left the staged new content, cleared by the next write", m_staged);
    }

    void settingsFile() {
        const QString folder = m_dir.filePath(QStringLiteral("settings")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(folder));
        const QLocale locale = killcontent::locale();
        const QByteArray contents[2] = {settingsFileBytes(killcontent::settings(0), locale),
                                        settingsFileBytes(killcontent::settings(1), locale)};
        saveSettingsFile(folder, killcontent::settings(0), {}, locale, 0);
        const QString file = settingsFilePath(folder);
        killWhileWriting({QStringLiteral("settings"), folder}, file, contents, rounds(30, 100), [&] {
            // It holds the password: owner only, from the first byte on.
            QCOMPARE(QFile::permissions(file) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                                 QFileDevice::WriteGroup | QFileDevice::WriteOther),
                     QFileDevice::Permissions());
        });
        // The program's next write clears a leftover away.
        saveSettingsFile(folder, killcontent::settings(1), {}, locale, 0);
        QCOMPARE(others(folder, {QFileInfo(file).fileName()}), QStringList());
        StoredSettings loaded;
        loadSettingsFile(folder, loaded, 1, locale);
        QCOMPARE(loaded.SmtpPassword, killcontent::settings(1).SmtpPassword);
    }

    void messageFile() {
        const QString folder = m_dir.filePath(QStringLiteral("message"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/Brief.txt");
        TextFormat format = killcontent::messageFormat();
        const QByteArray contents[2] = {encodeLines(killcontent::message(0), format),
                                        encodeLines(killcontent::message(1), format)};
        QVERIFY(writeBytes(file, contents[0]));
        killWhileWriting({QStringLiteral("message"), file}, file, contents, rounds(30, 100));
        writeTextFile(file, killcontent::message(0), killcontent::messageFormat());
        QCOMPARE(others(folder, {QStringLiteral("Brief.txt")}), QStringList());
        QCOMPARE(readBytes(file), contents[0]);
    }

    // The list during mailing runs, each killed once: by turns just after the run has begun to write the
    // list back, after it has written it, and at any moment.
    void recipientList() {
        TestSmtpServer::Options slow;
        slow.delaySeconds = 0.02;
        slow.delayOn = QStringLiteral("END");
        TestSmtpServer smtp(slow);
        QVERIFY2(smtp.start(), qPrintable(smtp.errorString()));

        const QString folder = m_dir.filePath(QStringLiteral("list"));
        QVERIFY(QDir().mkpath(folder));
        const QString list = folder + QStringLiteral("/sendlist.csv");
        const QString message = folder + QStringLiteral("/defaultmail.txt");
        QVERIFY(writeBytes(message, "Hallo $Prename $Name,\r\nText\r\n"));
        // Windows-1252, CR LF: read and written back in that layout. Blank lines and lines without an
        // address among the rest.
        QStringList lines;
        for (int i = 0; i < 8000; ++i) {
            if (i % 500 == 7)
                lines << QStringLiteral("  ");
            else if (i % 1000 == 13)
                lines << QStringLiteral("Müller%1;Jürgen; ;Betreff;;;;").arg(i);
            else
                lines << QStringLiteral("Müller%1;Jürgen;r%1@example.test;Betreff %1;default;;;").arg(i);
        }
        QVERIFY(writeBytes(list, (lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")).toLatin1()));
        const QString invalid = messageTextsFor(0).MsgInvalidAddress.trimmed();

        qint64 writeMs = 30;
        int written = 0;
        const int count = rounds(9, 40);
        for (int round = 0; round < count; ++round) {
            const QString stampText =
                killcontent::stamp(round).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
            const auto rewritten = [&](const QString& line) {
                QStringList fields = line.split(QLatin1Char(';')).mid(0, 7);
                while (fields.size() < 7)
                    fields << QString();
                fields[5] = fields.at(2).trimmed().isEmpty() ? invalid : stampText;
                return fields.join(QLatin1Char(';')) + QLatin1Char(';');
            };

            Driver driver;
            QVERIFY(driver.start({QStringLiteral("list"), list, message, QString::number(smtp.port()),
                                  QString::number(round)}));
            QVERIFY2(driver.waitFor("ready"), "the run did not start");
            switch (round % 3) {
            case 0: // while it writes the list back
                QVERIFY2(driver.waitFor("writing"), "the run did not write the list back");
                driver.killAfter(m_random.bounded(writeMs * 1500));
                break;
            case 1: // between two writes, the list written once
                QVERIFY2(driver.waitFor("wrote"), "the run did not write the list back");
                driver.killAfter(m_random.bounded(500000));
                break;
            default: // at any moment, reading the list at the start included
                driver.killAfter(m_random.bounded(2600000));
            }
            for (const QByteArray& line : driver.seen())
                if (line.startsWith("wrote ")) writeMs = std::max<qint64>(5, line.mid(6).toLongLong());

            const QByteArray bytes = readBytes(list);
            QVERIFY2(bytes.endsWith("\r\n"), qPrintable(QStringLiteral("round %1: cut off").arg(round)));
            const QStringList found = QString::fromLatin1(bytes).chopped(2).split(QLatin1String("\r\n"));
            QCOMPARE(found.size(), lines.size());
            // The lines the run has processed come first; every other line is as it was.
            bool processing = true;
            int changed = 0;
            for (int i = 0; i < lines.size(); ++i) {
                if (lines.at(i).trimmed().isEmpty()) {
                    QCOMPARE(found.at(i), lines.at(i));
                    continue;
                }
                if (processing && found.at(i) == rewritten(lines.at(i))) {
                    ++changed;
                    continue;
                }
                processing = false;
                QVERIFY2(found.at(i) == lines.at(i),
                         qPrintable(QStringLiteral("round %1, line %2: \"%3\" (seed %4)")
                                        .arg(round)
                                        .arg(i + 1)
                                        .arg(found.at(i))
                                        .arg(m_seed)));
            }
            // Killed after a write-back: what it wrote is there.
            if (round % 3 == 1) QVERIFY2(changed > 0, qPrintable(QStringLiteral("round %1").arg(round)));
            if (changed > 0) ++written;
            checkNothingLeft(list, {QStringLiteral("defaultmail.txt")});
            lines = found;
        }
        qInfo("%d of %d runs had written the list back when killed", written, count);
        writeTextFile(list, lines, TextEncoding::Ansi);
        QCOMPARE(others(folder, {QStringLiteral("sendlist.csv"), QStringLiteral("defaultmail.txt")}),
                 QStringList());
    }
};

int main(int argc, char** argv) {
    // "--long" is ours, not Qt Test's.
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--long") == 0)
            s_long = true;
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    TestEnvironment environment;
    QCoreApplication app(count, arguments.data());
    TstKillSafety tc;
    return QTest::qExec(&tc, count, arguments.data());
}

#include "tst_killsafety.moc"
