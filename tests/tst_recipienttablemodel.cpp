#include "core/apperror.h"
#include "core/datetimenumber.h"
#include "recipients/recipienttablemodel.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

// Rows are written as their seven fields joined by "|".
void fill(RecipientTableModel& model, const QStringList& rows) {
    if (rows.size() + 1 > model.RowCount()) model.SetRowCount(int(rows.size()) + 1);
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList fields = rows.at(r).split(QLatin1Char('|'));
        for (int c = 1; c <= 7; ++c)
            model.SetCell(c, r + 1, c - 1 < fields.size() ? fields.at(c - 1) : QString());
    }
    model.NumberRows();
}

QString rowText(const RecipientTableModel& model, int row) {
    QStringList fields;
    for (int c = 1; c <= 7; ++c)
        fields << model.Cell(c, row);
    while (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast();
    return fields.join(QLatin1Char('|'));
}

QStringList rowTexts(const RecipientTableModel& model, int first, int last) {
    QStringList texts;
    for (int r = first; r <= last; ++r)
        texts << rowText(model, r);
    return texts;
}

// Column 0 of rows 1 to `last`: the row numbers the rows had before a sort.
QStringList numbers(const RecipientTableModel& model, int last) {
    QStringList list;
    for (int r = 1; r <= last; ++r)
        list << model.Cell(0, r);
    return list;
}

QStringList snapshotNumbers(const RecipientTableModel& model) {
    QStringList list;
    for (int r = 1; r < model.SnapshotRowCount(); ++r)
        list << model.SnapshotCell(0, r);
    return list;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QStringList rowNumbers(int from, int to) {
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

QString stamp(int year, int month, int day, int hour, int minute, int second) {
    return dateTimeToRegionalText(QDateTime(QDate(year, month, day), QTime(hour, minute, second)), kGerman);
}

} // namespace

class TstRecipientTableModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void freshAndCleared() {
        RecipientTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.RowCount(), 19);
        QCOMPARE(model.rowCount(), 18);
        QCOMPARE(model.columnCount(), 8);
        fill(model, QStringList(30, QStringLiteral("n|p|e@x")));
        model.SetHeadings(1);
        QCOMPARE(model.RowCount(), 31);
        model.ClearTable();
        QCOMPARE(model.RowCount(), 19);
        for (int r = 1; r < 19; ++r)
            for (int c = 0; c < 8; ++c)
                QVERIFY2(model.Cell(c, r).isEmpty(), qPrintable(QStringLiteral("cell %1,%2").arg(c).arg(r)));
        QCOMPARE(model.Cell(3, 0), QStringLiteral("     Email"));
        QCOMPARE(model.CountUsedRows(), 0);
    }

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
        QCOMPARE(model.LoadListFile(writeFile(dir, QStringLiteral("list.csv"), bytes)), status);
        QCOMPARE(model.RowCount(), rowCount);
        QCOMPARE(rowTexts(model, 1, int(rows.size())), rows);
        QCOMPARE(numbers(model, rowCount - 1), rowNumbers(1, rowCount - 1));
    }

    void loadNeverShrinksTheTable() {
        QTemporaryDir dir;
        RecipientTableModel model;
        model.SetRowCount(50);
        model.LoadListFile(writeFile(dir, QStringLiteral("list.csv"), "a;b;c@x;\r\n"));
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
        QCOMPARE(model.LoadListFile(name.isEmpty() ? name : dir.filePath(name)), QString());
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
        model.LoadListFile(path);
        QCOMPARE(model.BuildListText(), count);
        QCOMPARE(model.ListText().size(), count);
        model.WriteListText(path);
        QCOMPARE(readBytes(path), saved);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"list.csv"});
    }

    void saveBeforeAnyLoadIsUtf8WithoutMark() {
        QTemporaryDir dir;
        RecipientTableModel model;
        fill(model, {QStringLiteral("Jörg|Müller|j@x")});
        QCOMPARE(model.BuildListText(), 1);
        const QString path = dir.filePath(QStringLiteral("new.csv"));
        model.WriteListText(path);
        QCOMPARE(readBytes(path), QByteArray("J\xC3\xB6rg;M\xC3\xBCller;j@x;;;;;\r\n"));
    }

    void nothingToSave() {
        RecipientTableModel model;
        fill(model, {QStringLiteral("name|first| \t "), QStringLiteral("||||||attachment")});
        QCOMPARE(model.BuildListText(), 0);
        QVERIFY(model.ListText().isEmpty());
    }

    void writeFailureIsReported() {
        QTemporaryDir dir;
        RecipientTableModel model;
        fill(model, {QStringLiteral("a|b|c@x")});
        model.BuildListText();
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 model.WriteListText(dir.filePath(QStringLiteral("no/such/folder.csv"))));
    }

    void countUsedRows_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("used");
        QTest::newRow("none") << QStringList{} << 0;
        QTest::newRow("blank cells do not count") << QStringList{" |\t|  ", "", "|||||| "} << 0;
        QTest::newRow("used rows anywhere") << QStringList{"a", "", "", "||||||x", "", "", "|c"} << 3;
    }
    void countUsedRows() {
        QFETCH(QStringList, rows);
        QFETCH(int, used);
        RecipientTableModel model;
        fill(model, rows);
        model.SetCell(0, 10, QStringLiteral("row numbers do not count"));
        QCOMPARE(model.CountUsedRows(), used);
    }

    void sort_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("case-insensitive, locale-aware")
            << 1 << QStringList{"Zander", "bauer", "Ärger", "Becker", "adam", "Anton"}
            << QStringList{"5", "6", "3", "2", "4", "1"};
        QTest::newRow("keys trimmed")
            << 1 << QStringList{"Bernd", "  Anna", "\tCarl"} << QStringList{"2", "1", "3"};
        QTest::newRow("equal keys ordered by row text: 10 before 2")
            << 1 << QStringList{"Zorn", "müller|b", "Abel", "Zorn", "Zorn",
                                "Zorn", "Zorn",     "Zorn", "Zorn", "Müller|a"}
            << QStringList{"3", "10", "2", "1", "4", "5", "6", "7", "8", "9"};
        QTest::newRow("by another column")
            << 4 << QStringList{"a|||Zebra", "b|||apple", "c|||Mango"} << QStringList{"2", "3", "1"};
        QTest::newRow("by row numbers, as text")
            << 0 << QStringList(11, QStringLiteral("n"))
            << QStringList{"1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"};
        QTest::newRow("sent column, all stamps: time order")
            << 6
            << QStringList{"a|||||" + stamp(2026, 1, 2, 8, 0, 0), "b|||||" + stamp(2025, 12, 31, 23, 59, 59),
                           "c|||||" + stamp(2026, 1, 2, 7, 59, 59), "d|||||" + stamp(2024, 2, 1, 0, 0, 0),
                           "e|||||" + stamp(2026, 1, 1, 10, 0, 0)}
            << QStringList{"4", "2", "5", "3", "1"};
        QTest::newRow("sent column, blanks and failure texts first")
            << 6
            << QStringList{"a|||||" + stamp(2026, 3, 1, 9, 0, 0),
                           "b|||||Fehler: 550 unknown user",
                           "c|||||" + stamp(2025, 3, 1, 9, 0, 0),
                           "d",
                           "e|||||  ",
                           "f|||||" + stamp(2025, 3, 1, 8, 0, 0)}
            << QStringList{"2", "4", "5", "6", "3", "1"};
        // Rows 1 to N are sorted, N being the number of named rows; a used row below them stays.
        QTest::newRow("rows below the named count stay put")
            << 1 << QStringList{"Bert|x", "|nameless|n@x", "Anna", "", "|also|a@x"}
            << QStringList{"2", "1", "3", "4", "5"};
        QTest::newRow("a name of blanks counts as a name")
            << 1 << QStringList{"Bert", "   |blank name", "Anna"} << QStringList{"2", "3", "1"};
    }
    void sort() {
        QFETCH(int, column);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, order);
        RecipientTableModel model;
        model.SetLocale(kGerman);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        fill(model, rows);
        const int rowCount = model.RowCount();
        QStringList before;
        for (int r = 1; r <= rows.size(); ++r)
            before << rowText(model, r);

        model.SortByColumn(column);

        QCOMPARE(numbers(model, int(order.size())), order);
        QCOMPARE(model.RowCount(), rowCount);
        // Every row travels whole, with its number.
        for (int r = 1; r <= order.size(); ++r)
            QCOMPARE(rowText(model, r), before.at(order.at(r - 1).toInt() - 1));
        QVERIFY(model.SortedAscending);
        QVERIFY(!model.ShowingDescending);

        // The snapshot: the sorted rows in reverse, then the used rows below them.
        int named = 0;
        for (const QString& row : rows)
            if (!row.section(QLatin1Char('|'), 0, 0).isEmpty()) ++named;
        QStringList expected = order.mid(0, named);
        std::reverse(expected.begin(), expected.end());
        for (int r = named + 1; r <= rows.size(); ++r)
            if (model.IsRowUsed(r)) expected << model.Cell(0, r);
        QCOMPARE(snapshotNumbers(model), expected);
    }

    // Texts that differ in letter case alone are equal: their rows keep their order.
    void letterCaseAloneDoesNotOrder() {
        RecipientTableModel model;
        model.SetLocale(kGerman);
        fill(model, {"ABC|x", "abc|x", "Abc|x"});
        for (int r = 1; r <= 3; ++r)
            model.SetCell(0, r, QString());
        model.SortByColumn(1);
        QCOMPARE(rowTexts(model, 1, 3), (QStringList{"ABC|x", "abc|x", "Abc|x"}));
    }

    void sentColumnInOtherLocales_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("en_US") << "en_US";
        QTest::newRow("en_GB") << "en_GB";
    }
    void sentColumnInOtherLocales() {
        QFETCH(QString, locale);
        const QLocale l(locale);
        RecipientTableModel model;
        model.SetLocale(l);
        const QDateTime times[] = {
            QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9)), QDateTime(QDate(2026, 2, 10), QTime(9, 0)),
            QDateTime(QDate(2026, 12, 9), QTime(2, 5, 9)), QDateTime(QDate(2027, 1, 1), QTime(0, 0))};
        QStringList rows;
        for (const QDateTime& t : times)
            rows << "n|||||" + dateTimeToRegionalText(t, l);
        fill(model, rows);
        model.SortByColumn(6);
        QCOMPARE(numbers(model, 4), (QStringList{"2", "3", "1", "4"}));
    }

    // A long table is keyed in slices; the slices must come together as one order.
    void longTableSort_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("Name") << 1;
        QTest::newRow("sent") << 6;
    }
    void longTableSort() {
        QFETCH(int, column);
        const int count = 23456;
        RecipientTableModel model;
        model.SetLocale(kGerman);
        model.SetRowCount(count + 1);
        const QDateTime start(QDate(2026, 1, 1), QTime(0, 0, 1));
        for (int r = 1; r <= count; ++r) {
            const int scrambled = int((qint64(r) * 7919) % count); // every value once, out of order
            model.SetCell(1, r, QStringLiteral("N%1").arg(scrambled, 5, 10, QLatin1Char('0')));
            if (r % 10 != 0) model.SetCell(6, r, dateTimeToRegionalText(start.addSecs(scrambled), kGerman));
        }
        model.NumberRows();
        model.SortByColumn(column);

        QSet<QString> seen;
        for (int r = 1; r <= count; ++r)
            seen.insert(model.Cell(0, r));
        QCOMPARE(seen.size(), count);
        for (int r = 2; r <= count; ++r) {
            const QString before = model.Cell(column, r - 1);
            const QString here = model.Cell(column, r);
            bool inOrder;
            if (column == 1) {
                inOrder = before < here;
            } else {
                const auto a = regionalTextToDateTime(before, kGerman);
                const auto b = regionalTextToDateTime(here, kGerman);
                inOrder = !b ? !a : (!a || *a < *b);
            }
            QVERIFY2(inOrder, qPrintable(QStringLiteral("row %1: %2 before %3").arg(r).arg(before, here)));
        }
        QCOMPARE(model.SnapshotCell(0, 1), model.Cell(0, count));
        QCOMPARE(model.SnapshotCell(0, count), model.Cell(0, 1));
    }

    void sortWithoutNamesChangesNothing() {
        RecipientTableModel model;
        model.SetLocale(kGerman);
        fill(model, {"B|x|b@x", "A|y|a@x"});
        model.SortByColumn(1);
        model.AscendingMark[1] = true;
        model.SortColumn = 1;
        QCOMPARE(model.SnapshotRowCount(), 3);
        for (int r = 1; r <= 2; ++r)
            model.SetCell(1, r, QString());
        const QStringList before = rowTexts(model, 1, 18);

        model.SortByColumn(3);

        QCOMPARE(rowTexts(model, 1, 18), before);
        QVERIFY(!model.SortedAscending);
        QVERIFY(!model.ShowingDescending);
        QVERIFY(!model.AscendingMark[1]);
        QCOMPARE(model.SnapshotRowCount(), 1);
        QCOMPARE(model.SortColumn, 1);
    }

    void showDescending_data() {
        QTest::addColumn<int>("named");
        QTest::addColumn<int>("rowCount");
        QTest::newRow("5 rows give 20 rows") << 5 << 20;
        QTest::newRow("19 rows give 20 rows") << 19 << 20;
        QTest::newRow("20 rows give 21 rows") << 20 << 21;
    }
    void showDescending() {
        QFETCH(int, named);
        QFETCH(int, rowCount);
        RecipientTableModel model;
        model.SetLocale(kGerman);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList rows;
        for (int i = 0; i < named; ++i)
            rows << QStringLiteral("N%1|p|e@x").arg(i % 7) + QString(i % 3, QLatin1Char('x'));
        fill(model, rows);
        model.SortByColumn(1);
        const QStringList ascending = numbers(model, named);
        const QStringList ascendingRows = rowTexts(model, 1, named);
        model.SetCell(2, 1, QStringLiteral("edited after the sort"));

        model.ShowDescending();

        QVERIFY(model.ShowingDescending);
        QCOMPARE(model.RowCount(), rowCount);
        QStringList expected = ascending;
        std::reverse(expected.begin(), expected.end());
        QCOMPARE(numbers(model, named), expected);
        QStringList expectedRows = ascendingRows;
        std::reverse(expectedRows.begin(), expectedRows.end());
        QCOMPARE(rowTexts(model, 1, named), expectedRows);
        for (int r = named + 1; r < rowCount; ++r)
            QCOMPARE(model.Cell(0, r) + rowText(model, r), QString());

        // The snapshot is kept and can be shown again.
        model.SetCell(1, 1, QStringLiteral("changed"));
        model.ShowDescending();
        QCOMPARE(rowTexts(model, 1, named), expectedRows);
    }

    // A used row below the sorted block is not lost when the descending order is shown.
    void showDescendingKeepsRowsBelowTheBlock() {
        RecipientTableModel model;
        model.SetLocale(kGerman);
        fill(model, {"Bert", "", "Anna", "|no name|n@x", "", "|another|a@x"});
        model.SortByColumn(1);
        QCOMPARE(numbers(model, 6), (QStringList{"2", "1", "3", "4", "5", "6"}));
        model.ShowDescending();
        QCOMPARE(model.RowCount(), 20);
        QCOMPARE(rowTexts(model, 1, 6),
                 (QStringList{"Bert", "", "Anna", "|no name|n@x", "|another|a@x", ""}));
        QCOMPARE(numbers(model, 5), (QStringList{"1", "2", "3", "4", "6"}));
        QCOMPARE(model.CountUsedRows(), 4);
    }

    void showDescendingWithoutSnapshot() {
        RecipientTableModel model;
        fill(model, {"a", "b"});
        model.SetRowCount(25);
        model.ShowDescending();
        QVERIFY(model.ShowingDescending);
        QCOMPARE(model.RowCount(), 25);
        QCOMPARE(rowTexts(model, 1, 2), (QStringList{"a", "b"}));
    }

    void deleteTableRow_data() {
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("newCurrent");
        QTest::newRow("only data row of a 2-row table is emptied") << 2 << 1 << 1 << QStringList{""} << 1;
        QTest::newRow("middle row") << 5 << 2 << 2 << QStringList{"r1", "r3", "r4"} << 2;
        QTest::newRow("current row above stays") << 5 << 3 << 1 << QStringList{"r1", "r2", "r4"} << 1;
        QTest::newRow("last row while current: current moves up")
            << 5 << 4 << 4 << QStringList{"r1", "r2", "r3"} << 3;
        QTest::newRow("row outside the table: nothing") << 3 << 7 << 2 << QStringList{"r1", "r2"} << 2;
    }
    void deleteTableRow() {
        QFETCH(int, rowCount);
        QFETCH(int, row);
        QFETCH(int, current);
        QFETCH(QStringList, rows);
        QFETCH(int, newCurrent);
        RecipientTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetRowCount(rowCount);
        for (int r = 1; r < rowCount; ++r)
            model.SetCell(1, r, QStringLiteral("r%1").arg(r));
        QCOMPARE(model.DeleteTableRow(row, current), newCurrent);
        QCOMPARE(model.RowCount(), int(rows.size()) + 1);
        QCOMPARE(rowTexts(model, 1, model.RowCount() - 1), rows);
    }

    // The Remove rows command with the deletion dialog's answer.
    void removeRowRange_data() {
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("newCurrent");
        auto markers = [](int from, int to) {
            QStringList list;
            for (int i = from; i <= to; ++i)
                list << QStringLiteral("r%1").arg(i, 2, 10, QLatin1Char('0'));
            return list;
        };
        QTest::newRow("cancelled") << 19 << -1 << 0 << 4 << markers(1, 18) << 4;
        QTest::newRow("current row") << 19 << 0 << 0 << 4 << markers(1, 3) + markers(5, 18) << 4;
        QTest::newRow("current row, the only one") << 2 << 0 << 0 << 1 << QStringList{""} << 1;
        QTest::newRow("one row") << 19 << 3 << 3 << 10 << markers(1, 2) + markers(4, 18) << 3;
        QTest::newRow("5 to 100 on 19 rows") << 19 << 5 << 100 << 1 << markers(1, 4) << 4;
        QTest::newRow("1 to 18 on 19 rows: one empty row") << 19 << 1 << 18 << 7 << QStringList{""} << 1;
        QTest::newRow("1 to 1000 on 19 rows") << 19 << 1 << 1000 << 7 << QStringList{""} << 1;
        QTest::newRow("1 to 17 leaves the last row") << 19 << 1 << 17 << 7 << QStringList{"r18"} << 1;
        QTest::newRow("range beyond the table: the last row") << 19 << 40 << 50 << 1 << markers(1, 17) << 17;
        QTest::newRow("to below from: from alone")
            << 19 << 7 << 2 << 1 << markers(1, 6) + markers(8, 18) << 7;
        QTest::newRow("start of the table") << 19 << 1 << 3 << 1 << markers(4, 18) << 1;
    }
    void removeRowRange() {
        QFETCH(int, rowCount);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, current);
        QFETCH(QStringList, rows);
        QFETCH(int, newCurrent);
        RecipientTableModel model;
        model.SetLocale(kGerman);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetRowCount(rowCount);
        for (int r = 1; r < rowCount; ++r)
            model.SetCell(1, r, QStringLiteral("r%1").arg(r, 2, 10, QLatin1Char('0')));
        model.NumberRows();
        model.SortByColumn(1); // keeps the order, takes a snapshot
        model.AscendingMark[2] = true;

        QCOMPARE(model.RemoveRowRange(from, to, current), newCurrent);

        QCOMPARE(rowTexts(model, 1, model.RowCount() - 1), rows);
        QCOMPARE(numbers(model, model.RowCount() - 1), rowNumbers(1, int(rows.size())));
        // The sort state is reset whatever the answer.
        QVERIFY(!model.SortedAscending);
        QVERIFY(!model.AscendingMark[2]);
        QCOMPARE(model.SnapshotRowCount(), 1);
    }

    // Left clicks on a heading alternate between sorting ascending and showing the descending order.
    void headingClicks_data() {
        QTest::addColumn<QStringList>("presses"); // "L" or "R", then column and row
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<int>("arrow");
        QTest::addColumn<QString>("first");
        using Arrow = RecipientTableModel::SortArrow;
        QTest::newRow("one click sorts")
            << QStringList{"L1,0"} << 1 << "1" << int(Arrow::Ascending) << "Anna";
        QTest::newRow("second shows descending")
            << QStringList{"L1,0", "L1,0"} << 1 << "" << int(Arrow::Descending) << "Carl";
        QTest::newRow("third sorts again")
            << QStringList{"L1,0", "L1,0", "L1,0"} << 1 << "1" << int(Arrow::Ascending) << "Anna";
        QTest::newRow("a data cell hides the arrow, the mark stays")
            << QStringList{"L1,0", "L2,3"} << -1 << "1" << int(Arrow::None) << "Anna";
        QTest::newRow("and the next heading click shows descending")
            << QStringList{"L1,0", "L2,3", "L1,0"} << 1 << "" << int(Arrow::Descending) << "Carl";
        QTest::newRow("right click does not sort")
            << QStringList{"R1,0"} << -1 << "" << int(Arrow::None) << "Bert";
        QTest::newRow("press outside the cells")
            << QStringList{"L1,0", "L1,-1"} << -1 << "1" << int(Arrow::None) << "Anna";
        QTest::newRow("another column sorts by it")
            << QStringList{"L1,0", "L2,0"} << 2 << "2" << int(Arrow::Ascending) << "Carl";
        QTest::newRow("row numbers sort without a mark")
            << QStringList{"L1,0", "L0,0"} << 0 << "1" << int(Arrow::Ascending) << "Bert";
        QTest::newRow("a still-marked column shows the row-number sort reversed")
            << QStringList{"L1,0", "L0,0", "L1,0"} << 1 << "" << int(Arrow::Descending) << "Anna";
    }
    void headingClicks() {
        QFETCH(QStringList, presses);
        QFETCH(int, sortColumn);
        QFETCH(QString, marks);
        QFETCH(int, arrow);
        QFETCH(QString, first);
        RecipientTableModel model;
        model.SetLocale(kGerman);
        fill(model, {"Bert|b", "Carl|a", "Anna|c"});
        for (const QString& press : presses) {
            const QStringList at = press.mid(1).split(QLatin1Char(','));
            model.MouseDown(at.at(0).toInt(), at.at(1).toInt(), press.startsWith(QLatin1Char('L')));
        }
        QCOMPARE(model.SortColumn, sortColumn);
        QString set;
        for (int c = 1; c < 8; ++c)
            if (model.AscendingMark[c]) set += QString::number(c);
        QCOMPARE(set, marks);
        const int shown = sortColumn < 0 ? 1 : sortColumn;
        QCOMPARE(int(model.HeadingArrow(shown)), arrow);
        for (int c = 0; c < 8; ++c)
            if (c != sortColumn)
                QCOMPARE(int(model.HeadingArrow(c)), int(RecipientTableModel::SortArrow::None));
        QCOMPARE(model.Cell(1, 1), first);
    }

    void itemModelInterface() {
        RecipientTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy edited(&model, &RecipientTableModel::cellEdited);
        model.SetHeadings(0);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("     Vorname"));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString());
        model.SetHeadings(1);
        QCOMPARE(model.headerData(6, Qt::Horizontal).toString(), QStringLiteral("     Send"));
        QCOMPARE(model.Cell(5, 0), QStringLiteral("     Message file"));

        // Qt row 0 is data row 1.
        QVERIFY(model.setData(model.index(0, 3), QStringLiteral("a@x")));
        QCOMPARE(model.Cell(3, 1), QStringLiteral("a@x"));
        QCOMPARE(edited.size(), 1);
        QCOMPARE(edited.at(0).at(0).toInt(), 3);
        QCOMPARE(edited.at(0).at(1).toInt(), 1);
        QVERIFY(model.setData(model.index(0, 3), QStringLiteral("a@x")));
        QCOMPARE(edited.size(), 1); // unchanged text is no edit

        // Programmatic changes and the row-number column are no edits in place.
        model.SetCell(2, 4, QStringLiteral("pasted"));
        QCOMPARE(model.data(model.index(3, 2)).toString(), QStringLiteral("pasted"));
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("9")));
        QCOMPARE(edited.size(), 1);
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model.flags(model.index(0, 7)) & Qt::ItemIsEditable);

        model.SetRowCount(1);
        QCOMPARE(model.RowCount(), 2); // a heading row and one data row at least
        QCOMPARE(model.rowCount(), 1);
    }
};

TARNEL_TEST_MAIN(TstRecipientTableModel)
#include "tst_recipienttablemodel.moc"
