#include "core/apperror.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "settings/settingsstate.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

// Between the settings file and the program's shared state.
class TstSettingsState : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    SharedState stateBefore() const {
        SharedState state;
        state.DataFolder = m_dir.path() + QLatin1Char('/');
        state.SmtpHost = QStringLiteral("old.example.net");
        state.SmtpPort = QStringLiteral("587");
        state.ReservedSettings = QStringList{QStringLiteral("r6"), QString(), QString()};
        state.Language = 1;
        state.ScheduledDate = 11.0;
        state.ScheduledTime = 0.5;
        return state;
    }

private Q_SLOTS:
    // What the file holds replaces the state's values; a line 9 that is no number ends the load with the
    // account and reserved lines already taken and the schedule as it was.
    void loadTakesWhatWasRead_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("fails");
        QTest::newRow("whole file, no schedule")
            << QByteArray("smtp.example.org\r\nme@example.org\r\npw\r\n2525\r\nx\r\n"
                          "a\r\nb\r\nc\r\n0\r\nnone\r\nnone\r\n")
            << false;
        QTest::newRow("language line is garbage")
            << QByteArray("smtp.example.org\r\nme@example.org\r\npw\r\n2525\r\nx\r\na\r\nb\r\nc\r\nzz\r\n")
            << true;
    }
    void loadTakesWhatWasRead() {
        QFETCH(QByteArray, file);
        QFETCH(bool, fails);
        SharedState state = stateBefore();
        QVERIFY(writeBytes(state.DataFolder + settingsFileName(), file));
        bool raised = false;
        try {
            loadSettingsInto(state);
        } catch (const AppError&) {
            raised = true;
        }
        QCOMPARE(raised, fails);
        QCOMPARE(state.SmtpHost, QStringLiteral("smtp.example.org"));
        QCOMPARE(state.SmtpUser, QStringLiteral("me@example.org"));
        QCOMPARE(state.SmtpPassword, QStringLiteral("pw"));
        QCOMPARE(state.SmtpPort, QStringLiteral("2525"));
        QCOMPARE(state.ReservedSettings, (QStringList{"a", "b", "c"}));
        QCOMPARE(state.Language, fails ? 1 : 0);
        QCOMPARE(state.ScheduledDate, fails ? 11.0 : 0.0);
        QCOMPARE(state.ScheduledTime, fails ? 0.5 : 0.0);
    }

    // Saving takes the account as typed, the state's language and reserved lines, and the schedule only
    // when it is switched on.
    void storeTakesTheTypedAccount_data() {
        QTest::addColumn<bool>("scheduleOn");
        QTest::newRow("schedule on") << true;
        QTest::newRow("schedule off") << false;
    }
    void storeTakesTheTypedAccount() {
        QFETCH(bool, scheduleOn);
        const QDateTime date(QDate(2026, 12, 24), QTime(0, 0));
        const QDateTime time(QDate(2000, 1, 1), QTime(18, 30, 0));
        const AccountFields typed{QStringLiteral(" typed.example.org"), QStringLiteral("465"),
                                  QStringLiteral("me@example.org"), QStringLiteral("pw ")};
        const StoredSettings values = settingsToStore(typed, stateBefore(), scheduleOn, date, time);
        QCOMPARE(values.SmtpHost, typed.host);
        QCOMPARE(values.SmtpPort, typed.port);
        QCOMPARE(values.SmtpUser, typed.user);
        QCOMPARE(values.SmtpPassword, typed.password);
        QCOMPARE(values.Language, 1);
        QCOMPARE(values.Reserved, stateBefore().ReservedSettings);
        QCOMPARE(values.ScheduledDate, scheduleOn ? dateTimeToNumber(date) : 0.0);
        QCOMPARE(values.ScheduledTime, scheduleOn ? dateTimeToNumber(time) : 0.0);
    }
    // A save names what the file cannot hold before the file is written, and only a save that worked
    // changes the server and user the schedule looks at.
    void saveWarnsFirstAndTakesTheStoredServer_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("writable");
        QTest::newRow("all fits") << "pw" << true;
        QTest::newRow("password the file cannot hold") << "pw\u5bc6" << true;
        QTest::newRow("file cannot be written") << "pw" << false;
    }
    void saveWarnsFirstAndTakesTheStoredServer() {
        QFETCH(QString, password);
        QFETCH(bool, writable);
        SharedState state = stateBefore();
        const QString file = state.DataFolder + settingsFileName();
        QFile::remove(file);
        if (!writable) QVERIFY(QDir().mkpath(file + QStringLiteral("/in-the-way")));
        const auto cleanUp = qScopeGuard([&] { QDir(file).removeRecursively(); });
        StoredSettings values;
        values.SmtpHost = QStringLiteral("new.example.org");
        values.SmtpUser = QStringLiteral("me@example.org");
        values.SmtpPassword = password;
        values.SmtpPort = QStringLiteral("25");
        QStringList warnings;
        QStringList removed;
        const auto warn = [&](const QString& text) {
            QVERIFY2(!QFileInfo(file).isFile(), "warned after the file was written");
            warnings << text;
        };
        bool raised = false;
        try {
            saveSettingsFrom(state, values, warn, [&](const QString& path) { removed << path; });
        } catch (const AppError&) {
            raised = true;
        }
        QCOMPARE(warnings.size(), password == QLatin1String("pw") ? 0 : 1);
        if (!warnings.isEmpty())
            QVERIFY2(warnings.first().contains(QChar(0x5bc6)), qPrintable(warnings.first()));
        QCOMPARE(raised, !writable);
        QCOMPARE(removed, writable ? QStringList() : QStringList{file});
        QCOMPARE(QFileInfo(file).isFile(), writable);
        QCOMPARE(state.SmtpHost, writable ? values.SmtpHost : QStringLiteral("old.example.net"));
        QCOMPARE(state.SmtpUser, writable ? values.SmtpUser : QString());
    }
};

TARNEL_TEST_MAIN(TstSettingsState)
#include "tst_settingsstate.moc"
