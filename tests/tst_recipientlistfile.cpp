#include "core/apperror.h"
#include "recipients/recipientlistfile.h"
#include "recipients/recipienttablemodel.h"
#include "tests/recipientrows.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QTemporaryDir>

using namespace recipientrows;

// The recipient list file: its lines into the table, the table's rows back into lines, and the encoding
// they are written in.
class TstRecipientListFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void load_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("empty file") << QByteArray() << 19 << "Zeilen: 0" << QStringList{"", ""};
        QTest::newRow("blank lines leave empty rows")
            << QByteArray("a;b;a@x;\r\n\r\n \t \r\nd;e;d@x;\r\n") << 19 << "Zeilen: 4"
            << QStringList{"a|b|a@x", "", "", "d|e|d@x", ""};
        QTest::newRow("fields are not trimmed")
            << QByteArray(" a ; b ;c@x ;") << 19 << "Zeilen: 1" << QStringList{" a | b |c@x "};
        QTest::newRow("last line without line break, LF and CR line ends")
            << QByteArray("1;;1@x;\n2;;2@x;\r3;;3@x;") << 19 << "Zeilen: 3"
            << QStringList{"1||1@x", "2||2@x", "3||3@x"};
        QTest::newRow("18 lines fill a cleared table")
            << QByteArray("x;\r\n").repeated(18) << 19 << "Zeilen: 18"
            << QStringList(18, QStringLiteral("x"));
        QTest::newRow("19 lines grow it") << QByteArray("x;\r\n").repeated(19) << 20 << "Zeilen: 19"
                                          << QStringList(19, QStringLiteral("x"));
        QTest::newRow("100 lines give 101 rows")
            << QByteArray("x;y;z@x;\r\n").repeated(100) << 101 << "Zeilen: 100"
            << QStringList(100, QStringLiteral("x|y|z@x"));
        QTest::newRow("5,000-character line kept whole")
            << QByteArray("n;p;e@x;" + QByteArray(5000, 's') + ";") << 19 << "Zeilen: 1"
            << QStringList{"n|p|e@x|" + QString(5000, QLatin1Char('s'))};
    }
    void load() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rowCount);
        QFETCH(QString, status);
        QFETCH(QStringList, rows);
        QTemporaryDir dir;
        RecipientTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        RecipientListFile list;
        QCOMPARE(list.LoadListFile(writeFile(dir, QStringLiteral("list.csv"), bytes), model), status);
        QCOMPARE(model.RowCount(), rowCount);
        QCOMPARE(rowTexts(model, 1, int(rows.size())), rows);
        QCOMPARE(numbers(model, rowCount - 1), rowNumbers(1, rowCount - 1));
    }

    void loadNeverShrinksTheTable() {
        QTemporaryDir dir;
        RecipientTableModel model;
        model.SetRowCount(50);
        RecipientListFile().LoadListFile(writeFile(dir, QStringLiteral("list.csv"), "a;b;c@x;\r\n"), model);
        QCOMPARE(model.RowCount(), 50);
        QCOMPARE(model.Cell(0, 49), QStringLiteral("49"));
    }

    void loadWithoutFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << "missing.csv";
        QTest::newRow("empty path") << "";
        QTest::newRow("a folder") << ".";
    }
    void loadWithoutFile() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        RecipientTableModel model;
        model.SetCell(2, 3, QStringLiteral("kept"));
        QCOMPARE(RecipientListFile().LoadListFile(name.isEmpty() ? name : dir.filePath(name), model),
                 QString());
        QCOMPARE(model.Cell(2, 3), QStringLiteral("kept"));
        QCOMPARE(model.Cell(0, 1), QString());
        QCOMPARE(model.RowCount(), 19);
    }

    // Loading, then saving: what goes to disk and in which encoding.
    void saveRoundTrip_data() {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("blank lines vanish, blanks trimmed, rows without address left out")
            << QByteArray(" Meier ;\tHans; h@x.de ;Hallo;default;;;\r\n\r\nno address;here;;\r\n   \r\n"
                          "a;b;c@x\r\n")
            << 2 << QByteArray("Meier;Hans;h@x.de;Hallo;default;;;\r\na;b;c@x;;;;;\r\n");
        QTest::newRow("fields after the seventh come back after it, unchanged")
            << QByteArray("a; b ;a@x;s;m;sent;att;K-1; ACME ;\r\nno;address;;;;;;K-2\r\nc;;c@x;;;;;K-3") << 2
            << QByteArray("a;b;a@x;s;m;sent;att;K-1; ACME ;\r\nc;;c@x;;;;;K-3\r\n");
        QTest::newRow("UTF-16 LE stays UTF-16 LE")
            << (QByteArray("\xFF\xFE", 2) + QByteArray("a\0;\0b\0;\0c\0;\0", 12)) << 1
            << (QByteArray("\xFF\xFE", 2) + QByteArray("a\0;\0b\0;\0c\0;\0;\0;\0;\0;\0\r\0\n\0", 24));
        QTest::newRow("UTF-8 keeps its mark") << QByteArray("\xEF\xBB\xBFx;y;\xC3\xA4@x;") << 1
                                              << QByteArray("\xEF\xBB\xBFx;y;\xC3\xA4@x;;;;;\r\n");
        QTest::newRow("ANSI stays ANSI")
            << QByteArray("\xE4;y;z@x;\x81;") << 1 << QByteArray("\xE4;y;z@x;\x81;;;;\r\n");
    }
    void saveRoundTrip() {
        QFETCH(QByteArray, loaded);
        QFETCH(int, count);
        QFETCH(QByteArray, saved);
        QTemporaryDir dir;
        RecipientTableModel model;
        const QString path = writeFile(dir, QStringLiteral("list.csv"), loaded);
        RecipientListFile list;
        list.LoadListFile(path, model);
        QCOMPARE(list.BuildListText(model), count);
        QCOMPARE(list.ListText().size(), count);
        list.WriteListText(path);
        QCOMPARE(readBytes(path), saved);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"list.csv"});
    }

    void saveBeforeAnyLoadIsUtf8WithoutMark() {
        QTemporaryDir dir;
        RecipientTableModel model;
        fill(model, {QStringLiteral("Jörg|Müller|j@x")});
        RecipientListFile list;
        QCOMPARE(list.BuildListText(model), 1);
        const QString path = dir.filePath(QStringLiteral("new.csv"));
        list.WriteListText(path);
        QCOMPARE(readBytes(path), QByteArray("J\xC3\xB6rg;M\xC3\xBCller;j@x;;;;;\r\n"));
    }

    void nothingToSave() {
        RecipientTableModel model;
        fill(model, {QStringLiteral("name|first| \t "), QStringLiteral("||||||attachment")});
        RecipientListFile list;
        QCOMPARE(list.BuildListText(model), 0);
        QVERIFY(list.ListText().isEmpty());
    }

    void writeFailureIsReported() {
        QTemporaryDir dir;
        RecipientTableModel model;
        fill(model, {QStringLiteral("a|b|c@x")});
        RecipientListFile list;
        list.BuildListText(model);
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 list.WriteListText(dir.filePath(QStringLiteral("no/such/folder.csv"))));
    }
};

TARNEL_TEST_MAIN(TstRecipientListFile)
#include "tst_recipientlistfile.moc"
