#include "import/csvimport.h"
#include "recipients/recipienttablemodel.h"
#include "tests/support/testenvironment.h"

namespace {

// A table row as "number|field 1|...|field 7", empty cells at the end left off.
QString rowText(const RecipientTableModel& model, int row) {
    QStringList cells;
    for (int c = 0; c < RecipientTableModel::ColumnCount; ++c)
        cells << model.Cell(c, row);
    while (!cells.isEmpty() && cells.last().isEmpty())
        cells.removeLast();
    return cells.join(u'|');
}

QStringList numberedLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("Name%1;Vorname%1;m%1@example.org").arg(i);
    return lines;
}

QStringList numberedRows(int count, int rowCount) {
    QStringList rows;
    for (int r = 1; r < rowCount; ++r)
        rows << (r <= count ? QStringLiteral("%1|Name%1|Vorname%1|m%1@example.org").arg(r)
                            : QString::number(r));
    return rows;
}

} // namespace

class TstImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detectSeparator_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("sep");
        QTest::newRow("semicolons") << QStringList{"a;b", "c;d"} << ";";
        QTest::newRow("commas") << QStringList{"a,b", "c,d"} << ",";
        QTest::newRow("a semicolon on line 4 wins over commas")
            << QStringList{"a,b", "c,d", "e,f", "g;h", "i,j"} << ";";
        QTest::newRow("a comma on line 1 and a semicolon on line 1") << QStringList{"a,b;c"} << ";";
        QTest::newRow("first separator on line 5") << QStringList{"a", "b", "c", "d", "e;f,g"} << "";
        QTest::newRow("semicolon on line 5, comma on line 2")
            << QStringList{"a", "b,c", "", "d", "e;f"} << ",";
        QTest::newRow("fewer than four lines") << QStringList{"x", "y,z"} << ",";
        QTest::newRow("no lines") << QStringList{} << "";
    }
    void detectSeparator() {
        QFETCH(QStringList, lines);
        QFETCH(QString, sep);
        QCOMPARE(DetectSeparator(lines), sep);
    }

    void splitFields_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QStringList>("fields"); // the seven fields, empty ones at the end left off
        QTest::newRow("three values") << "Meier;Anna;anna@example.org"
                                      << ";" << QStringList{"Meier", "Anna", "anna@example.org"};
        QTest::newRow("nine values: the first seven")
            << "1;2;3;4;5;6;7;8;9"
            << ";" << QStringList{"1", "2", "3", "4", "5", "6", "7"};
        QTest::newRow("blanks stay, adjacent separators give an empty field")
            << " a ;;  c"
            << ";" << QStringList{" a ", "", "  c"};
        QTest::newRow("the other separator is text") << "a,b;c"
                                                     << ";" << QStringList{"a,b", "c"};
        QTest::newRow("comma inside quotes") << "\"Müller, Hans\",hans@example.com"
                                             << "," << QStringList{"Müller, Hans", "hans@example.com"};
        QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\";x"
                                        << ";" << QStringList{"say \"hi\"", "x"};
        QTest::newRow("empty quoted field") << "\"\",x"
                                            << "," << QStringList{"", "x"};
        QTest::newRow("a quote in the middle of a field stays")
            << "O\"Neil,a \"b,c\" d"
            << "," << QStringList{"O\"Neil", "a \"b", "c\" d"};
        QTest::newRow("a blank before the quote: not quoted") << " \"a,b\""
                                                              << "," << QStringList{" \"a", "b\""};
        QTest::newRow("unclosed quote runs to the end of the line")
            << "x;\"open; still;open"
            << ";" << QStringList{"x", "open; still;open"};
        QTest::newRow("text after the closing quote stays") << "\"ab\"cd;e"
                                                            << ";" << QStringList{"abcd", "e"};
        QTest::newRow("a quoted seventh field, the eighth dropped")
            << "1,2,3,4,5,6,\"7,7\",8"
            << "," << QStringList{"1", "2", "3", "4", "5", "6", "7,7"};
    }
    void splitFields() {
        QFETCH(QString, line);
        QFETCH(QString, sep);
        QFETCH(QStringList, fields);
        const ImportFields split = SplitFields(line, sep);
        QStringList got(split.begin(), split.end());
        while (!got.isEmpty() && got.last().isEmpty())
            got.removeLast();
        QCOMPARE(got, fields);
    }

    void importLines_data() {
        QTest::addColumn<int>("rowCount"); // before the import; every data row holds seven values
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("rows"); // rows 1 to RowCount - 1 afterwards
        const int imported = int(ImportOutcome::Imported);
        QTest::newRow("three values clear the rest of a full row")
            << 3 << QStringList{"a;b;c"} << ";" << imported << QStringList{"1|a|b|c", "2"};
        QTest::newRow("40 lines into 19 rows")
            << 19 << numberedLines(40) << ";" << imported << numberedRows(40, 41);
        QTest::newRow("5 lines into 30 rows")
            << 30 << numberedLines(5) << ";" << imported << numberedRows(5, 30);
        QTest::newRow("a blank third line keeps its place")
            << 5 << QStringList{"a,1", "b,2", " \t", "d,4"} << "," << imported
            << QStringList{"1|a|1", "2|b|2", "3", "4|d|4"};
        const QStringList untouched{"1|x|x|x|x|x|x|x", "2|x|x|x|x|x|x|x"};
        QTest::newRow("blank text: nothing")
            << 3 << QStringList{"", "  "} << ";" << int(ImportOutcome::EmptyText) << untouched;
        QTest::newRow("no separator: nothing")
            << 3 << QStringList{"a;b"} << "" << int(ImportOutcome::NoSeparator) << untouched;
    }
    void importLines() {
        QFETCH(int, rowCount);
        QFETCH(QStringList, lines);
        QFETCH(QString, sep);
        QFETCH(int, outcome);
        QFETCH(QStringList, rows);
        RecipientTableModel model;
        model.SetRowCount(rowCount);
        for (int r = 1; r < rowCount; ++r)
            for (int c = 1; c <= 7; ++c)
                model.SetCell(c, r, QStringLiteral("x"));
        model.NumberRows();
        const QString heading = model.Cell(1, 0);

        QCOMPARE(int(ImportLines(lines, sep, model)), outcome);
        QStringList got;
        for (int r = 1; r < model.RowCount(); ++r)
            got << rowText(model, r);
        QCOMPARE(got, rows);
        QCOMPARE(model.Cell(1, 0), heading);
    }
};

TARNEL_TEST_MAIN(TstImport)
#include "tst_import.moc"
