#include "core/datetimenumber.h"
#include "recipients/recipientsort.h"
#include "tests/recipientrows.h"
#include "tests/support/testenvironment.h"

#include <QAbstractItemModelTester>
#include <QSet>

using namespace recipientrows;

namespace {

QStringList snapshotNumbers(const RecipientSort& sort) {
    QStringList list;
    for (int r = 1; r < sort.SnapshotRowCount(); ++r)
        list << sort.SnapshotCell(0, r);
    return list;
}

} // namespace

// Sorting the recipient table by a column, and the descending snapshot.
class TstRecipientSort : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
        QTest::newRow("by row numbers, as numbers")
            << 0 << QStringList(11, QStringLiteral("n"))
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
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
        RecipientSort sort;
        sort.SetLocale(kGerman);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        fill(model, rows);
        const int rowCount = model.RowCount();
        QStringList before;
        for (int r = 1; r <= rows.size(); ++r)
            before << rowText(model, r);

        QVERIFY(sort.SortByColumn(model, column));

        QCOMPARE(numbers(model, int(order.size())), order);
        QCOMPARE(model.RowCount(), rowCount);
        // Every row travels whole, with its number.
        for (int r = 1; r <= order.size(); ++r)
            QCOMPARE(rowText(model, r), before.at(order.at(r - 1).toInt() - 1));

        // The snapshot: the sorted rows in reverse, then the used rows below them.
        int named = 0;
        for (const QString& row : rows)
            if (!row.section(QLatin1Char('|'), 0, 0).isEmpty()) ++named;
        QStringList expected = order.mid(0, named);
        std::reverse(expected.begin(), expected.end());
        for (int r = named + 1; r <= rows.size(); ++r)
            if (model.IsRowUsed(r)) expected << model.Cell(0, r);
        QCOMPARE(snapshotNumbers(sort), expected);
    }

    // After any sort, a sort by row number brings back the loaded order, whatever the numbers' lengths.
    void rowNumbersRestoreTheOrder() {
        RecipientTableModel model;
        RecipientSort sort;
        sort.SetLocale(kGerman);
        QStringList rows;
        for (int i = 1; i <= 120; ++i)
            rows << QStringLiteral("N%1").arg((i * 37) % 120);
        fill(model, rows);
        QVERIFY(sort.SortByColumn(model, 1));
        QVERIFY(numbers(model, 120) != rowNumbers(1, 120));
        QVERIFY(sort.SortByColumn(model, 0));
        QCOMPARE(numbers(model, 120), rowNumbers(1, 120));
        QCOMPARE(rowTexts(model, 1, 120), rows);
    }

    // A row's fields after the seventh move with it, into the snapshot and back.
    void fieldsAfterTheSeventhTravel() {
        RecipientTableModel model;
        RecipientSort sort;
        sort.SetLocale(kGerman);
        std::vector<RecipientTableModel::Row> rows(3);
        const QStringList names{"Bert", "Carl", "Anna"};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i][1] = names.at(qsizetype(i));
            rows[i].Extra = names.at(qsizetype(i)).left(1) + ";";
        }
        model.AssignRows(rows);
        auto extras = [&model] {
            return QStringList{model.RowAt(1).Extra, model.RowAt(2).Extra, model.RowAt(3).Extra};
        };
        QVERIFY(sort.SortByColumn(model, 1));
        QCOMPARE(extras(), (QStringList{"A;", "B;", "C;"}));
        QVERIFY(sort.ShowDescending(model));
        QCOMPARE(extras(), (QStringList{"C;", "B;", "A;"}));
    }

    // Texts that differ in letter case alone are equal: their rows keep their order.
    void letterCaseAloneDoesNotOrder() {
        RecipientTableModel model;
        RecipientSort sort;
        sort.SetLocale(kGerman);
        fill(model, {"ABC|x", "abc|x", "Abc|x"});
        for (int r = 1; r <= 3; ++r)
            model.SetCell(0, r, QString());
        sort.SortByColumn(model, 1);
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
        RecipientSort sort;
        sort.SetLocale(l);
        const QDateTime times[] = {
            QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9)), QDateTime(QDate(2026, 2, 10), QTime(9, 0)),
            QDateTime(QDate(2026, 12, 9), QTime(2, 5, 9)), QDateTime(QDate(2027, 1, 1), QTime(0, 0))};
        QStringList rows;
        for (const QDateTime& t : times)
            rows << "n|||||" + dateTimeToRegionalText(t, l);
        fill(model, rows);
        sort.SortByColumn(model, 6);
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
        RecipientSort sort;
        sort.SetLocale(kGerman);
        model.SetRowCount(count + 1);
        const QDateTime start(QDate(2026, 1, 1), QTime(0, 0, 1));
        for (int r = 1; r <= count; ++r) {
            const int scrambled = int((qint64(r) * 7919) % count); // every value once, out of order
            model.SetCell(1, r, QStringLiteral("N%1").arg(scrambled, 5, 10, QLatin1Char('0')));
            if (r % 10 != 0) model.SetCell(6, r, dateTimeToRegionalText(start.addSecs(scrambled), kGerman));
        }
        model.NumberRows();
        sort.SortByColumn(model, column);

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
        QCOMPARE(sort.SnapshotCell(0, 1), model.Cell(0, count));
        QCOMPARE(sort.SnapshotCell(0, count), model.Cell(0, 1));
    }

    void sortWithoutNamesChangesNothing() {
        RecipientTableModel model;
        RecipientSort sort;
        sort.SetLocale(kGerman);
        fill(model, {"B|x|b@x", "A|y|a@x"});
        QVERIFY(sort.SortByColumn(model, 1));
        QCOMPARE(sort.SnapshotRowCount(), 3);
        for (int r = 1; r <= 2; ++r)
            model.SetCell(1, r, QString());
        const QStringList before = rowTexts(model, 1, 18);

        QVERIFY(!sort.SortByColumn(model, 3));

        QCOMPARE(rowTexts(model, 1, 18), before);
        QCOMPARE(sort.SnapshotRowCount(), 1);
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
        RecipientSort sort;
        sort.SetLocale(kGerman);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList rows;
        for (int i = 0; i < named; ++i)
            rows << QStringLiteral("N%1|p|e@x").arg(i % 7) + QString(i % 3, QLatin1Char('x'));
        fill(model, rows);
        sort.SortByColumn(model, 1);
        const QStringList ascending = numbers(model, named);
        const QStringList ascendingRows = rowTexts(model, 1, named);
        model.SetCell(2, 1, QStringLiteral("edited after the sort"));

        QVERIFY(sort.ShowDescending(model));

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
        sort.ShowDescending(model);
        QCOMPARE(rowTexts(model, 1, named), expectedRows);
    }

    // A used row below the sorted block is not lost when the descending order is shown.
    void showDescendingKeepsRowsBelowTheBlock() {
        RecipientTableModel model;
        RecipientSort sort;
        sort.SetLocale(kGerman);
        fill(model, {"Bert", "", "Anna", "|no name|n@x", "", "|another|a@x"});
        sort.SortByColumn(model, 1);
        QCOMPARE(numbers(model, 6), (QStringList{"2", "1", "3", "4", "5", "6"}));
        sort.ShowDescending(model);
        QCOMPARE(model.RowCount(), 20);
        QCOMPARE(rowTexts(model, 1, 6),
                 (QStringList{"Bert", "", "Anna", "|no name|n@x", "|another|a@x", ""}));
        QCOMPARE(numbers(model, 5), (QStringList{"1", "2", "3", "4", "6"}));
        QCOMPARE(model.CountUsedRows(), 4);
    }

    void showDescendingWithoutSnapshot() {
        RecipientTableModel model;
        RecipientSort sort;
        fill(model, {"a", "b"});
        model.SetRowCount(25);
        QVERIFY(!sort.ShowDescending(model));
        QCOMPARE(model.RowCount(), 25);
        QCOMPARE(rowTexts(model, 1, 2), (QStringList{"a", "b"}));
    }
};

TARNEL_TEST_MAIN(TstRecipientSort)
#include "tst_recipientsort.moc"
