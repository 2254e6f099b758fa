#include "core/apperror.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "core/textfile.h"
#include "settings/cipher.h"
#include "settings/settingsfile.h"
#include "tests/support/testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

const QDateTime kAfternoon(QDate(2026, 12, 9), QTime(14, 5, 9));
const QDateTime kMorning(QDate(2027, 1, 2), QTime(9, 30, 0));

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The scrambling written out by hand, so the file's bytes are checked against more than the cipher itself.
QByteArray scrambledByHand(const QByteArray& plain) {
    const QByteArray key("pohu");
    QByteArray out = plain;
    for (int i = 0; i < out.size(); ++i)
        out[i] = char((static_cast<unsigned char>(out[i]) + static_cast<unsigned char>(key[i % 4])) % 256);
    return out;
}

// Values as a person might type them: mostly ASCII, some letters and signs of the 8-bit code page.
QString randomValue(QRandomGenerator& random, int maxLength) {
    static const QString extra = QStringLiteral("äöüÄÖÜß€éèçñ§°µ²");
    QString value;
    const int length = random.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i) {
        if (random.bounded(10) == 0)
            value += extra.at(random.bounded(extra.size()));
        else
            value += QChar(char16_t(32 + random.bounded(95)));
    }
    return value;
}

double randomDateTime(QRandomGenerator& random) {
    if (random.bounded(4) == 0) return 0;
    const QDate date = QDate(2012, 9, 13).addDays(random.bounded(6000));
    return dateTimeToNumber(QDateTime(date, QTime(0, 0).addSecs(random.bounded(86400))));
}

QString loadFailedText(int language) {
    return language == 0
               ? QStringLiteral("Die Einstellungsdatei konnte nicht gelesen werden und bleibt, wie sie ist.")
               : QStringLiteral("The settings file could not be read and is left as it is.");
}

StoredSettings sample() {
    StoredSettings v;
    v.SmtpHost = QStringLiteral("smtp.example.org");
    v.SmtpUser = QStringLiteral("me@example.org");
    v.SmtpPassword = QStringLiteral("Gëheim€ 1");
    v.SmtpPort = QStringLiteral("587");
    v.Reserved = QStringList{QStringLiteral("r6"), QString(), QStringLiteral("r8")};
    v.Language = 1;
    v.ScheduledDate = dateTimeToNumber(kAfternoon);
    v.ScheduledTime = 0;
    return v;
}

} // namespace

class TstSettingsFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_folder; // a fresh data folder for each test, ending with "/"
    int m_count = 0;

    QString path() const { return settingsFilePath(m_folder); }

private Q_SLOTS:
    void init() {
        QVERIFY(m_root.isValid());
        m_folder = m_root.path() + QStringLiteral("/data%1/").arg(++m_count);
        QVERIFY(QDir().mkpath(m_folder));
    }

    void fileBytesAreExact_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("plain");
        QTest::newRow("de_DE") << "de_DE"
                               << QByteArray(
                                      "smtp.example.org\r\nme@example.org\r\nG\xEBheim\x80 1\r\n587\r\n"
                                      "me@example.org\r\nr6\r\n\r\nr8\r\n1\r\n"
                                      "09.12.2026 14:05:09\r\n30.12.1899\r\n");
        QTest::newRow("en_US") << "en_US"
                               << QByteArray(
                                      "smtp.example.org\r\nme@example.org\r\nG\xEBheim\x80 1\r\n587\r\n"
                                      "me@example.org\r\nr6\r\n\r\nr8\r\n1\r\n"
                                      "12/9/2026 2:05:09 PM\r\n12/30/1899\r\n");
    }
    // Eleven CR LF lines in the 8-bit code page, scrambled as one string: no mark, nothing around them.
    void fileBytesAreExact() {
        QFETCH(QString, locale);
        QFETCH(QByteArray, plain);
        saveSettingsFile(m_folder, sample(), {}, QLocale(locale));
        QCOMPARE(readAll(path()).toHex(), scrambledByHand(plain).toHex());
    }

    void load_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("account"); // host, user, password, port
        QTest::addColumn<QStringList>("reserved");
        QTest::addColumn<int>("language");
        QTest::addColumn<QDateTime>("date"); // invalid: 0
        QTest::addColumn<QDateTime>("time");
        const QStringList empty4{QString(), QString(), QString(), QStringLiteral("25")};
        const QStringList noReserved{QString(), QString(), QString()};
        const QDateTime none;
        QTest::newRow("empty file, German system")
            << QByteArray() << "de_DE" << empty4 << noReserved << 0 << none << none;
        QTest::newRow("empty file, Austrian system")
            << QByteArray() << "de_AT" << empty4 << noReserved << 1 << none << none;
        QTest::newRow("plain four lines")
            << QByteArray("mail.example.com\r\nbob@example.com\r\nsecret\r\n465\r\n") << "de_DE"
            << QStringList{"mail.example.com", "bob@example.com", "secret", "465"} << noReserved << 0 << none
            << none;
        QTest::newRow("plain, lone LF and CR")
            << QByteArray("mail.example.com\nbob@example.com\rsecret\r\n465") << "en_US"
            << QStringList{"mail.example.com", "bob@example.com", "secret", "465"} << noReserved << 1 << none
            << none;
        QTest::newRow("plain UTF-8 with mark")
            << QByteArray("\xEF\xBB\xBFmail.example.com\r\nb\xC3\xB6"
                          "b@example.com\r\npw\r\n25\r\n")
            << "en_US" << QStringList{"mail.example.com", "böb@example.com", "pw", "25"} << noReserved << 1
            << none << none;
        QTest::newRow("plain UTF-16LE with mark")
            << (QByteArray("\xFF\xFE") +
                QByteArray::fromRawData(
                    reinterpret_cast<const char*>(u"h.example.net\r\nu@x.org\r\np\r\n\r\n"), 30 * 2))
            << "en_US" << QStringList{"h.example.net", "u@x.org", "p", "25"} << noReserved << 1 << none
            << none;
        QTest::newRow("plain, port of blanks")
            << QByteArray("host.example.org\r\nuser@example.org\r\npassword\r\n   \r\n") << "en_US"
            << QStringList{"host.example.org", "user@example.org", "password", "25"} << noReserved << 1
            << none << none;
        QTest::newRow("plain, port with a blank in front")
            << QByteArray("host.example.org\r\nuser@example.org\r\npassword\r\n 587\r\n") << "en_US"
            << QStringList{"host.example.org", "user@example.org", "password", " 587"} << noReserved << 1
            << none << none;
        QTest::newRow("plain, all eleven lines")
            << QByteArray(
                   "host.example.org\r\nuser@example.org\r\npassword\r\n 25 \r\nignored@example.org\r\n"
                   "six\r\nseven\r\neight\r\n5\r\n09.12.2026 14:05:09\r\n02.01.2027 09:30:00\r\n")
            << "de_DE" << QStringList{"host.example.org", "user@example.org", "password", " 25 "}
            << QStringList{"six", "seven", "eight"} << 5 << kAfternoon << kMorning;
        QTest::newRow("plain, language with blanks, date only")
            << QByteArray("host.example.org\r\nuser@example.org\r\npassword\r\n25\r\nu\r\n\r\n\r\n\r\n 0 \r\n"
                          "12/9/2026\r\n\r\n")
            << "en_US" << QStringList{"host.example.org", "user@example.org", "password", "25"} << noReserved
            << 0 << QDateTime(QDate(2026, 12, 9), QTime(0, 0)) << none;
        QTest::newRow("plain, schedule in another locale's form")
            << QByteArray("host.example.org\r\nuser@example.org\r\npassword\r\n25\r\nu\r\n\r\n\r\n\r\n1\r\n"
                          "09.12.2026 14:05:09\r\n1/2/2027 9:30:00 AM\r\n")
            << "en_US" << QStringList{"host.example.org", "user@example.org", "password", "25"} << noReserved
            << 1 << none << kMorning;
        QTest::newRow("plain, schedule of the zero date")
            << QByteArray("host.example.org\r\nuser@example.org\r\npassword\r\n25\r\nu\r\n\r\n\r\n\r\n1\r\n"
                          "30.12.1899\r\n30.12.1899\r\n")
            << "de_DE" << QStringList{"host.example.org", "user@example.org", "password", "25"} << noReserved
            << 1 << none << none;
        const QByteArray longLine(5000, 'x');
        QTest::newRow("plain, a line beyond 4096 characters")
            << QByteArray("h.example.org\r\n" + longLine + "\r\npassword\r\n25\r\n") << "en_US"
            << QStringList{"h.example.org", QString(4096, QLatin1Char('x')), "password", "25"} << noReserved
            << 1 << none << none;
        QTest::newRow("scrambled, short")
            << scrambledByHand("h\r\nu\r\np\r\n2525\r\nu\r\na\r\nb\r\nc\r\n1\r\n09.12.2026 14:05:09\r\n"
                               "30.12.1899\r\n")
            << "de_DE" << QStringList{"h", "u", "p", "2525"} << QStringList{"a", "b", "c"} << 1 << kAfternoon
            << none;
    }
    void load() {
        QFETCH(QByteArray, file);
        QFETCH(QString, locale);
        QFETCH(QStringList, account);
        QFETCH(QStringList, reserved);
        QFETCH(int, language);
        QFETCH(QDateTime, date);
        QFETCH(QDateTime, time);
        QVERIFY(writeAll(path(), file));
        StoredSettings v;
        v.Language = 7;
        loadSettingsFile(m_folder, v, 1, QLocale(locale));
        QCOMPARE((QStringList{v.SmtpHost, v.SmtpUser, v.SmtpPassword, v.SmtpPort}), account);
        QCOMPARE(v.Reserved, reserved);
        QCOMPARE(v.Language, language);
        QCOMPARE(v.ScheduledDate, date.isValid() ? dateTimeToNumber(date) : 0.0);
        QCOMPARE(v.ScheduledTime, time.isValid() ? dateTimeToNumber(time) : 0.0);
    }

    // The first start: the folder is made, nothing is read, nothing changes, no file appears.
    void loadWithoutFile() {
        const QString folder = m_folder + QStringLiteral("share/prdata/");
        StoredSettings v;
        v.Language = 0;
        v.SmtpPort = QStringLiteral("kept");
        loadSettingsFile(folder, v, 1, QLocale(QStringLiteral("en_US")));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(!QFileInfo::exists(settingsFilePath(folder)));
        QCOMPARE(v.Language, 0);
        QCOMPARE(v.SmtpHost, QString());
        QCOMPARE(v.SmtpPort, QStringLiteral("kept"));
        QCOMPARE(v.Reserved, QStringList());
        QCOMPARE(v.ScheduledDate, 0.0);
        QCOMPARE(v.ScheduledTime, 0.0);
    }

    void languageNotANumber_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("language"); // of the interface
        QTest::newRow("word") << "English" << 1;
        QTest::newRow("decimal fraction") << "1.0" << 0;
        QTest::newRow("two numbers") << "1 2" << 1;
        QTest::newRow("beyond the integer range") << "99999999999" << 0;
    }
    // The error reaches the caller after the account and reserved values, before the schedule. It says in
    // the interface language that the file could not be read, and names the file, not what it holds.
    void languageNotANumber() {
        QFETCH(QString, line);
        QFETCH(int, language);
        const QByteArray plain = "h.example.org\r\nu@example.org\r\npw\r\n587\r\nu\r\nsix\r\n\r\n\r\n" +
                                 line.toLatin1() + "\r\n09.12.2026 14:05:09\r\n09.12.2026 14:05:09\r\n";
        QVERIFY(writeAll(path(), EncodeString(kSettingsKey, plain)));
        StoredSettings v;
        v.Language = 3;
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 loadSettingsFile(m_folder, v, language, QLocale(QStringLiteral("de_DE"))));
        try {
            loadSettingsFile(m_folder, v, language, QLocale(QStringLiteral("de_DE")));
        } catch (const AppError& e) {
            QCOMPARE(e.text(), loadFailedText(language) + '\n' + path());
        }
        QCOMPARE(v.SmtpHost, QStringLiteral("h.example.org"));
        QCOMPARE(v.SmtpPort, QStringLiteral("587"));
        QCOMPARE(v.Reserved, (QStringList{"six", "", ""}));
        QCOMPARE(v.Language, 3);
        QCOMPARE(v.ScheduledDate, 0.0);
        QCOMPARE(v.ScheduledTime, 0.0);
    }

    void loadFailure_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("language");
        QTest::newRow("random bytes, German") << "random" << 0;
        QTest::newRow("random bytes, English") << "random" << 1;
        QTest::newRow("unreadable file, German") << "unreadable" << 0;
        QTest::newRow("unreadable file, English") << "unreadable" << 1;
        QTest::newRow("no data folder, English") << "no folder" << 1;
    }
    // Whatever went wrong, the user reads in the interface language that the settings file could not be
    // read and is left as it is: never the file's bytes, and the file keeps them.
    void loadFailure() {
        QFETCH(QString, kind);
        QFETCH(int, language);
        QString folder = m_folder;
        QByteArray bytes;
        if (kind == QLatin1String("random")) {
            QRandomGenerator random(2024);
            for (int i = 0; i < 4096; ++i)
                bytes += char(random.bounded(256));
            QVERIFY(writeAll(path(), bytes));
        } else if (kind == QLatin1String("unreadable")) {
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), path())); // reading fails, even for root
        } else {
            folder.clear();
        }
        StoredSettings v;
        QString text;
        try {
            loadSettingsFile(folder, v, language);
        } catch (const AppError& e) {
            text = e.text();
        }
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.first(), loadFailedText(language));
        if (kind == QLatin1String("random")) {
            QCOMPARE(lines.mid(1), QStringList{path()});
            QCOMPARE(readAll(path()), bytes);
        } else if (kind == QLatin1String("unreadable")) {
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines.at(1).startsWith(path() + QStringLiteral(": ")) &&
                         lines.at(1).size() > path().size() + 2,
                     qPrintable(text)); // the system's reason
            QVERIFY(QFileInfo(path()).isSymLink());
        } else {
            QCOMPARE(lines.size(), 1);
        }
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("de_DE") << "de_DE";
        QTest::newRow("en_US") << "en_US";
        QTest::newRow("C") << "C";
    }
    // Whatever is saved is read back, and the file is always taken for scrambled.
    void roundTrip() {
        QFETCH(QString, locale);
        const QLocale l(locale);
        QRandomGenerator random(4711 + quint32(locale.size()));
        for (int round = 0; round < 300; ++round) {
            StoredSettings saved;
            saved.SmtpHost = randomValue(random, 30);
            saved.SmtpUser = randomValue(random, 30);
            saved.SmtpPassword = randomValue(random, 20);
            saved.SmtpPort = randomValue(random, 5);
            if (trimBlank(saved.SmtpPort).isEmpty()) saved.SmtpPort = QStringLiteral("25");
            saved.Reserved =
                QStringList{randomValue(random, 8), randomValue(random, 8), randomValue(random, 8)};
            saved.Language = random.bounded(10);
            saved.ScheduledDate = randomDateTime(random);
            saved.ScheduledTime = randomDateTime(random);
            saveSettingsFile(m_folder, saved, {}, l);

            const QByteArray bytes = readAll(path());
            QVERIFY2(LooksEnciphered(decodeText(bytes)), qPrintable(QString::fromLatin1(bytes.toHex())));
            StoredSettings loaded;
            loadSettingsFile(m_folder, loaded, 1, l);
            QCOMPARE(loaded.SmtpHost, saved.SmtpHost);
            QCOMPARE(loaded.SmtpUser, saved.SmtpUser);
            QCOMPARE(loaded.SmtpPassword, saved.SmtpPassword);
            QCOMPARE(loaded.SmtpPort, saved.SmtpPort);
            QCOMPARE(loaded.Reserved, saved.Reserved);
            QCOMPARE(loaded.Language, saved.Language);
            QCOMPARE(loaded.ScheduledDate, saved.ScheduledDate);
            QCOMPARE(loaded.ScheduledTime, saved.ScheduledTime);
        }
    }

    // Values that scramble into mostly printable ASCII still come back: the file keeps its layout.
    void scrambledIntoPrintableText() {
        StoredSettings saved;
        saved.SmtpPassword = QString(40, QChar(u'ä'));
        saved.SmtpPort = QStringLiteral("25");
        saveSettingsFile(m_folder, saved, {}, QLocale(QStringLiteral("de_DE")));
        const QByteArray bytes = readAll(path());
        QVERIFY(!LooksEnciphered(decodeText(bytes))); // the count alone would get it wrong
        StoredSettings loaded;
        loadSettingsFile(m_folder, loaded, 1, QLocale(QStringLiteral("de_DE")));
        QCOMPARE(loaded.SmtpPassword, saved.SmtpPassword);
        QCOMPARE(loaded.Language, 0);
    }

    // Zero, CR and LF bytes anywhere in the scrambled file do not disturb its lines.
    void zeroAndLineBreakBytes() {
        const QByteArray key(kSettingsKey);
        const char targets[] = {'\0', '\r', '\n', '\r', '\0', '\n', '\n', '\r'};
        QByteArray passwordBytes;
        for (int j = 0; j < 96; ++j) // host and user empty: the password starts at file position 4
            passwordBytes += char((static_cast<unsigned char>(targets[j % 8]) + 256 - key[j % 4]) % 256);
        StoredSettings saved;
        saved.SmtpPassword = ansiToUnicode(passwordBytes);
        saved.SmtpPort = QStringLiteral("25");
        saved.Language = 1;
        saveSettingsFile(m_folder, saved, {}, QLocale(QStringLiteral("en_US")));
        const QByteArray bytes = readAll(path());
        for (int j = 0; j < 96; ++j)
            QCOMPARE(bytes.at(4 + j), targets[j % 8]);
        StoredSettings loaded;
        loadSettingsFile(m_folder, loaded, 1, QLocale(QStringLiteral("en_US")));
        QCOMPARE(loaded.SmtpPassword, saved.SmtpPassword);
        QCOMPARE(loaded.SmtpPort, QStringLiteral("25"));
        QCOMPARE(loaded.Language, 1);
    }

    void valuesTheFileCannotHold_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("readBack");
        QTest::addColumn<QString>("unstorable"); // what is reported before saving
        QTest::newRow("outside the code page")
            << QStringLiteral("pä\u03A9ß中") << QStringLiteral("pä?ß?") << QStringLiteral("\u03A9中");
        QTest::newRow("pä€ß密码!") << QStringLiteral("pä€ß密码!")
                                   << QStringLiteral("pä€ß?"
                                                     "?!")
                                   << QStringLiteral("密码");
        QTest::newRow("code page letters beyond Latin-1")
            << QStringLiteral("€Ÿ‚Œ™") << QStringLiteral("€Ÿ‚Œ™") << QString();
        QTest::newRow("repeated, and beyond 16 bits")
            << QStringLiteral("密x密🔑y🔑") << QStringLiteral("?x??y?") << QStringLiteral("密🔑");
        QTest::newRow("pasted line break")
            << QStringLiteral("secret\r\n") << QStringLiteral("secret") << QString();
        QTest::newRow("line break inside")
            << QStringLiteral("se\ncret") << QStringLiteral("secret") << QString();
    }
    void valuesTheFileCannotHold() {
        QFETCH(QString, password);
        QFETCH(QString, readBack);
        QFETCH(QString, unstorable);
        StoredSettings saved = sample();
        saved.SmtpPassword = password;
        const std::vector<UnstorableCharacters> found = unstorableCharacters(saved);
        QCOMPARE(found.size(), unstorable.isEmpty() ? 0u : 1u);
        if (!found.empty()) {
            QCOMPARE(int(found.front().field), int(SettingsField::Password));
            QCOMPARE(found.front().characters, unstorable);
        }
        saveSettingsFile(m_folder, saved, {}, QLocale(QStringLiteral("de_DE")));
        StoredSettings loaded;
        loadSettingsFile(m_folder, loaded, 0, QLocale(QStringLiteral("de_DE")));
        QCOMPARE(loaded.SmtpPassword, readBack);
        QCOMPARE(loaded.SmtpPort, saved.SmtpPort); // the later lines stay in place
        QCOMPARE(loaded.Reserved, saved.Reserved);
        QCOMPARE(loaded.ScheduledDate, saved.ScheduledDate);
    }

    void messageForUnstorableCharacters_data() {
        QTest::addColumn<QStringList>("account"); // host, mail address, password, port
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("message");
        const QString host = QStringLiteral("smtp.example.org");
        const QString user = QStringLiteral("me@example.org");
        QTest::newRow("all fit") << QStringList{host, user, "Gëheim€ 1", "587"} << 1 << QString();
        QTest::newRow("password, English")
            << QStringList{host, user, "pä€ß密码!", "587"} << 1
            << "The password contains characters the settings file cannot store: 密码";
        QTest::newRow("password, German") << QStringList{host, user, "pä€ß密码!", "587"} << 0
                                          << "Das Passwort enthält Zeichen, die in der Einstellungsdatei "
                                             "nicht gespeichert werden können: 密码";
        QTest::newRow("mail address, German") << QStringList{host, "иван@example.org", "pw", "587"} << 0
                                              << "Die Mailadresse enthält Zeichen, die in der "
                                                 "Einstellungsdatei nicht gespeichert werden können: "
                                                 "иван";
        QTest::newRow("host and port, English, in the fields' order")
            << QStringList{"mail.例え.jp", user, "pw", "５８７"} << 1
            << "The SMTP host contains characters the settings file cannot store: 例え\n"
               "The port contains characters the settings file cannot store: ５８７";
        QTest::newRow("all four, German")
            << QStringList{"ĳ", "ŀ", "ő", "ŧ"} << 0
            << "Der SMTP-Host enthält Zeichen, die in der Einstellungsdatei nicht gespeichert werden können: "
               "ĳ\n"
               "Die Mailadresse enthält Zeichen, die in der Einstellungsdatei nicht gespeichert werden "
               "können: ŀ\n"
               "Das Passwort enthält Zeichen, die in der Einstellungsdatei nicht gespeichert werden können: "
               "ő\n"
               "Der Port enthält Zeichen, die in der Einstellungsdatei nicht gespeichert werden können: ŧ";
    }
    // Said before saving, so the user knows the value would not come back as typed.
    void messageForUnstorableCharacters() {
        QFETCH(QStringList, account);
        QFETCH(int, language);
        QFETCH(QString, message);
        StoredSettings values = sample();
        values.SmtpHost = account.at(0);
        values.SmtpUser = account.at(1);
        values.SmtpPassword = account.at(2);
        values.SmtpPort = account.at(3);
        QCOMPARE(::unstorableCharactersMessage(values, language), message);
    }

    // A hand-typed file is read as it stands and written back scrambled, reserved lines unchanged.
    void plainFileIsWrittenBackScrambled() {
        QVERIFY(writeAll(path(),
                         "host\r\nuser@example.org\r\npass\r\n25\r\nuser@example.org\r\nsix\r\nseven\r\n"));
        StoredSettings v;
        loadSettingsFile(m_folder, v, 0, QLocale(QStringLiteral("de_DE")));
        saveSettingsFile(m_folder, v, {}, QLocale(QStringLiteral("de_DE")));
        const QByteArray plain = DecodeString(kSettingsKey, readAll(path()));
        QCOMPARE(plain,
                 QByteArray("host\r\nuser@example.org\r\npass\r\n25\r\nuser@example.org\r\nsix\r\nseven\r\n"
                            "\r\n0\r\n30.12.1899\r\n30.12.1899\r\n"));
    }

    void permissions_data() {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file") << false;
        QTest::newRow("replacing a readable file") << true;
    }
    // The file holds the password: only its owner may read it, and nothing is left beside it.
    void permissions() {
        QFETCH(bool, existing);
        if (existing) {
            QVERIFY(writeAll(path(), "old"));
            QVERIFY(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ReadGroup | QFileDevice::ReadOther));
        }
        saveSettingsFile(m_folder, sample(), {});
        QCOMPARE(QFile::permissions(path()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList{"postrun.ini"});
    }

    void failedWrite_data() {
        QTest::addColumn<bool>("readOnlyFolder"); // otherwise a folder stands where the file should be
        QTest::addColumn<bool>("helperRemoves");
        QTest::addColumn<bool>("saved");
        QTest::newRow("the helper removes what was in the way") << false << true << true;
        QTest::newRow("the helper cannot help") << false << false << false;
        QTest::newRow("read-only folder") << true << false << false;
        QTest::newRow("read-only folder, the helper makes room") << true << true << true;
    }
    // A write that fails is retried once, after the removal helper and the pause.
    void failedWrite() {
        QFETCH(bool, readOnlyFolder);
        QFETCH(bool, helperRemoves);
        QFETCH(bool, saved);
        const QFileDevice::Permissions writable =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        if (readOnlyFolder) {
            if (geteuid() == 0) QSKIP("the superuser writes into read-only folders");
            QVERIFY(QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        } else {
            QVERIFY(QDir().mkpath(path() + QStringLiteral("/in-the-way")));
        }
        QStringList removals;
        const auto remove = [&](const QString& p) {
            removals << p;
            if (!helperRemoves) return;
            if (readOnlyFolder)
                QFile::setPermissions(m_folder, writable);
            else
                QDir(p).removeRecursively();
        };
        QElapsedTimer clock;
        clock.start();
        bool raised = false;
        try {
            saveSettingsFile(m_folder, sample(), remove);
        } catch (const AppError& e) {
            raised = true;
            QVERIFY2(e.text().contains(path()), qPrintable(e.text()));
        }
        QFile::setPermissions(m_folder, writable);
        QVERIFY(clock.elapsed() >= 400);
        QCOMPARE(removals, QStringList{path()});
        QCOMPARE(raised, !saved);
        QCOMPARE(QFileInfo(path()).isFile(), saved);
        if (saved) QCOMPARE(readAll(path()), settingsFileBytes(sample()));
    }

    void noRetryWhenTheWriteWorks() {
        int removals = 0;
        QElapsedTimer clock;
        clock.start();
        saveSettingsFile(m_folder, sample(), [&](const QString&) { ++removals; });
        QCOMPARE(removals, 0);
        QVERIFY(clock.elapsed() < 400);
    }

    void missingFolders_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("removals");
        QTest::newRow("no data folder at all") << QString() << 0;
        QTest::newRow("folder under a file") << QStringLiteral("file/prdata/") << 1;
    }
    // Never a file in whatever the working folder is; an impossible folder ends in the error.
    void missingFolders() {
        QFETCH(QString, folder);
        QFETCH(int, removals);
        QVERIFY(writeAll(m_folder + QStringLiteral("file"), "x"));
        const QString dataFolder = folder.isEmpty() ? QString() : m_folder + folder;
        int called = 0;
        QVERIFY_THROWS_EXCEPTION(
            AppError, saveSettingsFile(
                          dataFolder, sample(), [&](const QString&) { ++called; }, QLocale::system(), 10));
        QCOMPARE(called, removals);
        QVERIFY(!QFileInfo::exists(settingsFileName()));
        if (dataFolder.isEmpty()) {
            StoredSettings v;
            QVERIFY_THROWS_EXCEPTION(AppError, loadSettingsFile(dataFolder, v, 0));
        }
    }

    void looksEnciphered_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enciphered");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("only line breaks, tabs, blanks and markers") << "\r\n\t PRD prd\tPrD\r\n" << true;
        QTest::newRow("hand-typed settings") << "smtp.example.org\r\nme@example.org\r\nsecret\r\n25\r\n"
                                             << false;
        QTest::newRow("3 left, 1 printable") << "a\x01\x02" << true;
        QTest::newRow("3 left, 2 printable: half rounds to 2") << "ab\x01" << false;
        QTest::newRow("4 left, 1 printable") << "a\x01\x02\x03" << true;
        QTest::newRow("4 left, 2 printable") << "ab\x01\x02" << false;
        QTest::newRow("5 left, 1 printable") << "a\x01\x02\x03\x04" << true;
        QTest::newRow("5 left, 2 printable: half rounds to 2") << "ab\x01\x02\x03" << false;
        QTest::newRow("7 left, 3 printable: half rounds to 4") << "abc\x01\x02\x03\x04" << true;
        QTest::newRow("7 left, 4 printable") << "abcd\x01\x02\x03" << false;
        QTest::newRow("lone CR and LF count") << "ab\n\n\r\r" << true;
        QTest::newRow("a pair formed by the removal stays") << "ab\r\r\n\n" << false;
        QTest::newRow("CR LF pairs do not count") << "ab\r\n\r\n" << false;
        QTest::newRow("letters beyond ASCII are not printable ASCII") << "äöü€a" << true;
        QTest::newRow("marker removed before counting") << "prdPRDa\x01\x02" << true;
        QTest::newRow("marker split by a tab still removed") << "p\trda\x01\x02" << true;
        QTest::newRow("tilde and exclamation mark are printable") << "~!\x7f" << false;
        QTest::newRow("DEL is not printable") << "a\x7f\x7f" << true;
    }
    void looksEnciphered() {
        QFETCH(QString, text);
        QFETCH(bool, enciphered);
        QCOMPARE(LooksEnciphered(text), enciphered);
    }

    // Plain ASCII settings typed by hand are never taken for scrambled.
    void handTypedTextIsPlain() {
        QRandomGenerator random(99);
        for (int round = 0; round < 500; ++round) {
            QStringList lines;
            const int count = 1 + random.bounded(11);
            for (int i = 0; i < count; ++i) {
                QString line;
                const int length = 1 + random.bounded(30);
                for (int k = 0; k < length; ++k)
                    line += QChar(char16_t(random.bounded(8) == 0 ? 32 : 33 + random.bounded(94)));
                lines << line;
            }
            const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
            QVERIFY2(!LooksEnciphered(text), qPrintable(text));
        }
    }

    void systemLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("language");
        QTest::newRow("German (Germany)") << "de_DE" << 0;
        QTest::newRow("German (Switzerland)") << "de_CH" << 1;
        QTest::newRow("English (US)") << "en_US" << 1;
        QTest::newRow("French") << "fr_FR" << 1;
        QTest::newRow("C") << "C" << 1;
    }
    void systemLanguage() {
        QFETCH(QString, locale);
        QFETCH(int, language);
        QCOMPARE(systemDefaultLanguage(QLocale(locale)), language);
    }
};

TARNEL_TEST_MAIN(TstSettingsFile)
#include "tst_settingsfile.moc"
