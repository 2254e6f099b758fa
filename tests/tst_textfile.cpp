#include "core/apperror.h"
#include "core/blank.h"
#include "core/messagefile.h"
#include "core/textfile.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(TextEncoding)

class TstTextFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void splitLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("one line, no break") << "a" << QStringList{"a"};
        QTest::newRow("trailing CR LF opens no line") << "a\r\n" << QStringList{"a"};
        QTest::newRow("lone LF") << "a\nb" << QStringList{"a", "b"};
        QTest::newRow("lone CR") << "a\rb\r" << QStringList{"a", "b"};
        QTest::newRow("mixed") << "a\r\nb\nc\rd" << QStringList{"a", "b", "c", "d"};
        QTest::newRow("blank lines kept") << "\r\n\r\nx\r\n\r\n" << QStringList{"", "", "x", ""};
        QTest::newRow("CR CR LF is two breaks") << "a\r\r\nb" << QStringList{"a", "", "b"};
        QTest::newRow("LF CR is two breaks") << "a\n\rb" << QStringList{"a", "", "b"};
    }
    void splitLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(::splitLines(text), lines);
    }

    void readDetectsEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QStringList>("lines");
        const QStringList umlauts{QStringLiteral("Grüße"), QStringLiteral("€ 5")};
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE"
                                                 "G\0\xFC\0\xDF\0"
                                                 "e\0\r\0\n\0\xAC\x20 \0"
                                                 "5\0",
                                                 20)
                                   << TextEncoding::Utf16LE
                                   << QStringList{QStringLiteral("Güße"), QStringLiteral("€ 5")};
        QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0G\0\xFC\0\xDF\0"
                                                 "e\0\n\x20\xAC\0 \0"
                                                 "5",
                                                 18)
                                   << TextEncoding::Utf16BE
                                   << QStringList{QStringLiteral("Güße"), QStringLiteral("€ 5")};
        QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                                             "e\r\n\xE2\x82\xAC 5\r\n")
                               << TextEncoding::Utf8 << umlauts;
        QTest::newRow("no mark: Windows-1252") << QByteArray("Gr\xFC\xDF"
                                                             "e\r\n\x80 5")
                                               << TextEncoding::Ansi << umlauts;
        QTest::newRow("valid UTF-8 without mark") << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                                "e\n\xE2\x82\xAC 5")
                                                  << TextEncoding::Utf8NoBom << umlauts;
        QTest::newRow("plain ASCII is UTF-8")
            << QByteArray("a;b\r\n") << TextEncoding::Utf8NoBom << QStringList{"a;b"};
        // Sequences a lax decoder would accept are not UTF-8: the bytes are Windows-1252.
        QTest::newRow("overlong form")
            << QByteArray("\xC0\xAF") << TextEncoding::Ansi << QStringList{QStringLiteral("À¯")};
        QTest::newRow("encoded surrogate")
            << QByteArray("\xED\xA0\x80") << TextEncoding::Ansi << QStringList{QStringLiteral("í\u00A0€")};
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << TextEncoding::Ansi
                                         << QStringList{QStringLiteral("ô\u0090€€")};
        QTest::newRow("cut off at the end")
            << QByteArray("ab\xC3") << TextEncoding::Ansi << QStringList{QStringLiteral("abÃ")};
        QTest::newRow("FF FE wins over a longer reading")
            << QByteArray("\xFF\xFE\0\0", 4) << TextEncoding::Utf16LE << QStringList{QString(QChar(0))};
        QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF") << TextEncoding::Utf8 << QStringList();
    }
    void readDetectsEncoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, encoding);
        QFETCH(QStringList, lines);
        const QString path = m_dir.filePath(QStringLiteral("in.txt"));
        QVERIFY(writeBytes(path, bytes));
        const TextFileContent content = readTextFile(path);
        QCOMPARE(content.encoding, encoding);
        QCOMPARE(content.lines, lines);
    }

    // A file with CR LF line ends, read and written back unchanged, is byte-identical.
    void roundTripIsByteExact_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray allHigh;
        for (int b = 0x20; b <= 0xFF; ++b)
            if (b != 0x7F) allHigh.append(char(b));
        QTest::newRow("1252, every printable byte") << allHigh + "\r\n";
        QTest::newRow("1252, the five undefined bytes") << QByteArray("a\x81\x8D\x8F\x90\x9D"
                                                                      "b\r\n\r\n");
        QTest::newRow("1252, control bytes") << QByteArray("\x01\x02\x1F\t;\r\n", 7);
        QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF\xC5\x81ukasz;\xE2\x82\xAC\r\n");
        QTest::newRow("UTF-16 LE with mark") << QByteArray("\xFF\xFE\x41\x01\r\0\n\0", 8);
        QTest::newRow("UTF-16 BE with mark") << QByteArray("\xFE\xFF\x01\x41\0\r\0\n", 8);
        QTest::newRow("UTF-16 LE, surrogate pair") << QByteArray("\xFF\xFE\x3D\xD8\x00\xDE\r\0\n\0", 10);
        QTest::newRow("UTF-16 BE, text begins with U+FEFF") << QByteArray("\xFE\xFF\xFE\xFF\0i\0\r", 8);
        QTest::newRow("UTF-8, mark twice") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("mark only, UTF-8") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("UTF-8 without mark, umlauts, no-break space")
            << QByteArray("M\xC3\xBCller\xC2\xA0Hans\r\n\xF0\x9F\x98\x80\r\n");
        QTest::newRow("LF only") << QByteArray("a\n\nb\n");
        QTest::newRow("CR only") << QByteArray("a\r\rb\r");
        QTest::newRow("no break after the last line") << QByteArray("a\r\nb");
        QTest::newRow("ends with an empty line") << QByteArray("a\r\n\r\n");
        QTest::newRow("one empty line") << QByteArray("\r\n");
        QTest::newRow("UTF-16 LE, LF, no final break") << QByteArray("\xFF\xFE"
                                                                     "a\0\n\0b\0",
                                                                     8);
    }
    void roundTripIsByteExact() {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(QStringLiteral("round.txt"));
        QVERIFY(writeBytes(path, bytes));
        const TextFileContent content = readTextFile(path);
        QCOMPARE(writeTextFile(path, content.lines, content).encoding, content.encoding);
        QCOMPARE(readBytes(path), bytes);
        // A multi-line editor holding the lines gives them back unchanged.
        QCOMPARE(splitEditorText(joinEditorLines(content.lines)),
                 content.lines.isEmpty() ? QStringList{""} : content.lines);
    }

    void writeEndsEveryLineWithCrLf() {
        const QString path = m_dir.filePath(QStringLiteral("crlf.txt"));
        writeTextFile(path, {"a", "", "b"}, TextEncoding::Ansi);
        QCOMPARE(readBytes(path), QByteArray("a\r\n\r\nb\r\n"));
        writeTextFile(path, {"x\ny"}, TextEncoding::Utf16BE);
        QCOMPARE(readBytes(path), QByteArray("\xFE\xFF\0x\0\n\0y\0\r\0\n", 12));
    }

    // A character Windows-1252 lacks must not turn into "?": the file becomes UTF-8 with its mark.
    void ansiTextThatDoesNotFitBecomesUtf8() {
        const QString path = m_dir.filePath(QStringLiteral("lukasz.csv"));
        const QStringList lines{QStringLiteral("Łukasz;Müller;l@example.org;;;;;")};
        QCOMPARE(writeTextFile(path, lines, TextEncoding::Ansi), TextEncoding::Utf8);
        QVERIFY(readBytes(path).startsWith("\xEF\xBB\xBF\xC5\x81ukasz;M\xC3\xBCller"));
        const TextFileContent back = readTextFile(path);
        QCOMPARE(back.lines, lines);
        QCOMPARE(back.encoding, TextEncoding::Utf8);
        // Text that fits stays 8-bit.
        QCOMPARE(writeTextFile(path, {QStringLiteral("Müller €")}, TextEncoding::Ansi), TextEncoding::Ansi);
        QCOMPARE(readBytes(path), QByteArray("M\xFCller \x80\r\n"));
    }

    void settingsFormatTurnsMissingCharactersIntoQuestionMarks() {
        QCOMPARE(unicodeToAnsi(QStringLiteral("Łx€\u0081")), QByteArray("?x\x80\x81"));
        QCOMPARE(unicodeToAnsi(QStringLiteral("a\U0001F600b")), QByteArray("a?b")); // one character, one "?"
        QVERIFY(fitsAnsi(QStringLiteral("Grüße € \u009D")));
        QVERIFY(!fitsAnsi(QStringLiteral("\u0080")));
    }

    void readingAMissingFileRaises() {
        const QString path = m_dir.filePath(QStringLiteral("missing.txt"));
        try {
            readTextFile(path);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            QVERIFY2(e.text().contains(path), qPrintable(e.text()));
        }
    }

    void writingIntoAMissingFolderRaises() {
        QVERIFY_THROWS_EXCEPTION(AppError, writeTextFile(m_dir.filePath(QStringLiteral("no/such/x.txt")),
                                                         {"a"}, TextEncoding::Ansi));
    }

    // A write that fails halfway (here: the file-size limit, which binds root as well) leaves the old file.
    void failedWriteLeavesTheOldFile() {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("keep")));
        const QString path = m_dir.filePath(QStringLiteral("keep/keep.txt"));
        QVERIFY(writeBytes(path, "old content\r\n"));
        const QStringList big(2000, QString(100, QLatin1Char('x')));

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool raised = false;
        try {
            writeTextFile(path, big, TextEncoding::Ansi);
        } catch (const AppError&) {
            raised = true;
        }
        setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(raised);
        QCOMPARE(readBytes(path), QByteArray("old content\r\n"));
        QCOMPARE(QDir(m_dir.filePath(QStringLiteral("keep"))).entryList(QDir::Files),
                 QStringList{"keep.txt"});
    }

    // What a write killed after it had staged the new content leaves (the staged file, or Qt's named
    // temporary file where the file system has no unnamed ones) goes with the next write of that file;
    // files of similar names that are not ours stay.
    void nextWriteClearsLeftovers() {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("left")));
        const QString folder = m_dir.filePath(QStringLiteral("left"));
        const QString path = folder + QStringLiteral("/list.csv");
        QCOMPARE(writeStagingPath(path), folder + QStringLiteral("/.list.csv.tarnel-new"));
        const QStringList ours{".list.csv.tarnel-new", ".list.csv.tarnel-new.aB3xY9"};
        const QStringList theirs{"list.csv.backup", "list.csv.aB3xY9", ".list.csv.tarnel-new.old1234",
                                 ".other.csv.tarnel-new"};
        for (const QString& name : ours + theirs)
            QVERIFY(writeBytes(folder + QLatin1Char('/') + name, "x"));
        writeTextFile(path, {"a"}, TextEncoding::Utf8NoBom);
        QStringList expected = theirs + QStringList{"list.csv"};
        expected.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        QCOMPARE(readBytes(path), QByteArray("a\r\n"));
    }

    // A rewritten file keeps its permissions, and through a symbolic link the file it names is replaced.
    void writeKeepsPermissionsAndLinks() {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("keep2")));
        const QString folder = m_dir.filePath(QStringLiteral("keep2"));
        const QString path = folder + QStringLiteral("/real.txt");
        const QString link = folder + QStringLiteral("/link.txt");
        QVERIFY(writeBytes(path, "old\r\n"));
        const QFileDevice::Permissions mode =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions(path, mode));
        QVERIFY(QFile::link(path, link));
        writeTextFile(link, {"new"}, TextEncoding::Ansi);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(path), QByteArray("new\r\n"));
        QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), mode);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"link.txt", "real.txt"}));
    }

    void blank_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("control characters and blanks")
            << QString::fromLatin1("\0\x01\t \r\nab c\x1F \x7F", 13) << QString::fromLatin1("ab c\x1F \x7F");
        QTest::newRow("no-break space is not blank")
            << QStringLiteral("\u00A0x\u00A0") << QStringLiteral("\u00A0x\u00A0");
        QTest::newRow("only blanks") << QString::fromLatin1(" \t\r\n\x20") << "";
    }
    void blank() {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(trimBlank(text), trimmed);
        QCOMPARE(isBlank(text), trimmed.isEmpty());
    }

    // A message file keeps the layout it was loaded with until the next load, and new text is a new file;
    // 8-bit text that gains a character the code page lacks switches to UTF-8 for good.
    void messageFileKeepsItsLayout_data() {
        QTest::addColumn<QByteArray>("loaded"); // empty: no file loaded, new text
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("new text") << QByteArray() << QStringList{"Hallo", "Grüße"}
                                  << QByteArray("Hallo\r\nGr\xC3\xBC\xC3\x9F"
                                                "e\r\n");
        QTest::newRow("LF, no final break, unchanged")
            << QByteArray("a\nb") << QStringList{"a", "b"} << QByteArray("a\nb");
        QTest::newRow("Windows-1252 with CR, edited")
            << QByteArray("M\xFCller\r") << QStringList{"M\u00FCller", "neu"}
            << QByteArray("M\xFCller\rneu\r");
        QTest::newRow("Windows-1252 gains a character it lacks")
            << QByteArray("a\xE4\n") << QStringList{"\u00E4", "\u5BC6"}
            << QByteArray("\xEF\xBB\xBF\xC3\xA4\n\xE5\xAF\x86\n");
    }
    void messageFileKeepsItsLayout() {
        QFETCH(QByteArray, loaded);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, saved);
        const QString path = m_dir.filePath(QStringLiteral("message.txt"));
        MessageFile file;
        if (!loaded.isEmpty()) {
            QVERIFY(writeBytes(path, loaded));
            file.load(path);
        }
        file.save(path, lines);
        QCOMPARE(readBytes(path), saved);
        file.save(path, lines); // the layout that save left holds for the next
        QCOMPARE(readBytes(path), saved);
        file.startNew();
        file.save(path, {QStringLiteral("x")});
        QCOMPARE(readBytes(path), QByteArray("x\r\n"));
    }
};

TARNEL_TEST_MAIN(TstTextFile)
#include "tst_textfile.moc"
