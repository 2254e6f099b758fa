#include "recipients/recipienttablemodel.h"
#include "tests/recipientrows.h"
#include "tests/support/testenvironment.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

using namespace recipientrows;

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
        QTest::addColumn<int>("deleted");
        auto markers = [](int from, int to) {
            QStringList list;
            for (int i = from; i <= to; ++i)
                list << QStringLiteral("r%1").arg(i, 2, 10, QLatin1Char('0'));
            return list;
        };
        QTest::newRow("cancelled") << 19 << -1 << 0 << 4 << markers(1, 18) << 4 << 0;
        QTest::newRow("current row") << 19 << 0 << 0 << 4 << markers(1, 3) + markers(5, 18) << 4 << 1;
        QTest::newRow("current row, the only one") << 2 << 0 << 0 << 1 << QStringList{""} << 1 << 1;
        QTest::newRow("one row") << 19 << 3 << 3 << 10 << markers(1, 2) + markers(4, 18) << 3 << 1;
        QTest::newRow("5 to 100 on 19 rows") << 19 << 5 << 100 << 1 << markers(1, 4) << 4 << 14;
        QTest::newRow("1 to 18 on 19 rows: one empty row")
            << 19 << 1 << 18 << 7 << QStringList{""} << 1 << 18;
        QTest::newRow("1 to 1000 on 19 rows") << 19 << 1 << 1000 << 7 << QStringList{""} << 1 << 18;
        QTest::newRow("1 to 17 leaves the last row") << 19 << 1 << 17 << 7 << QStringList{"r18"} << 1 << 17;
        QTest::newRow("range beyond the table: nothing") << 19 << 40 << 50 << 6 << markers(1, 18) << 6 << 0;
        QTest::newRow("from one past the last row: nothing")
            << 19 << 19 << 30 << 6 << markers(1, 18) << 6 << 0;
        QTest::newRow("from the last row: to is cut to it")
            << 19 << 18 << 30 << 1 << markers(1, 17) << 17 << 1;
        QTest::newRow("to below from: from alone")
            << 19 << 7 << 2 << 1 << markers(1, 6) + markers(8, 18) << 7 << 1;
        QTest::newRow("start of the table") << 19 << 1 << 3 << 1 << markers(4, 18) << 1 << 3;
    }
    void removeRowRange() {
        QFETCH(int, rowCount);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, current);
        QFETCH(QStringList, rows);
        QFETCH(int, newCurrent);
        QFETCH(int, deleted);
        RecipientTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetRowCount(rowCount);
        for (int r = 1; r < rowCount; ++r)
            model.SetCell(1, r, QStringLiteral("r%1").arg(r, 2, 10, QLatin1Char('0')));
        model.NumberRows();

        const RecipientTableModel::RowRemoval removal = model.RemoveRowRange(from, to, current);

        QCOMPARE(removal.currentRow, newCurrent);
        QCOMPARE(removal.deleted, deleted);
        QCOMPARE(rowTexts(model, 1, model.RowCount() - 1), rows);
        QCOMPARE(numbers(model, model.RowCount() - 1), rowNumbers(1, int(rows.size())));
    }

    // The fields after the seventh belong to their row: they move, go and are cleared with it, and no
    // column shows them.
    void fieldsAfterTheSeventhStayWithTheirRow() {
        RecipientTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::vector<RecipientTableModel::Row> rows(4);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i][1] = QStringLiteral("n%1").arg(i + 1);
            rows[i].Extra = QStringLiteral("x%1;").arg(i + 1);
        }
        model.AssignRows(rows);
        QCOMPARE(model.columnCount(), 8);
        auto extras = [&model] {
            QStringList list;
            for (int r = 1; r <= 4; ++r)
                list << model.Cell(1, r) + "=" + model.RowAt(r).Extra;
            return list;
        };
        model.ReorderRows({2, 0, 3, 1});
        QCOMPARE(extras(), (QStringList{"n3=x3;", "n1=x1;", "n4=x4;", "n2=x2;"}));
        model.DeleteTableRow(1, 1);
        QCOMPARE(extras(), (QStringList{"n1=x1;", "n4=x4;", "n2=x2;", "="}));
        model.RemoveRowRange(2, 2, 1);
        QCOMPARE(extras(), (QStringList{"n1=x1;", "n2=x2;", "=", "="}));
        model.ClearTable();
        QCOMPARE(extras(), (QStringList{"=", "=", "=", "="}));
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
