#include "import/csvimport.h"
#include "recipients/recipienttablemodel.h"
#include "tests/support/testenvironment.h"

namespace {

// Texts joined by "|", empty ones at the end left off.
template <typename Texts> QString joined(const Texts& texts) {
    QStringList list(texts.begin(), texts.end());
    while (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list.join(u'|');
}

QStringList numberedLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("N%1;V%1").arg(i);
    return lines;
}

// Rows 1 to rowCount - 1 after importing numberedLines(count).
QStringList numberedRows(int count, int rowCount) {
    QStringList rows;
    for (int r = 1; r < rowCount; ++r)
        rows << (r <= count ? QStringLiteral("%1|N%1|V%1").arg(r) : QString::number(r));
    return rows;
}

} // namespace

class TstImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detectSeparator_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("sep");
        QTest::newRow("a semicolon on line 4 wins") << QStringList{"a,b", "c,d", "e,f", "g;h", "i,j"} << ";";
        QTest::newRow("; on line 5 does not count") << QStringList{"a", "b,c", "", "d", "e;f"} << ",";
        QTest::newRow("fewer than four lines") << QStringList{"x", "y,z"} << ",";
        QTest::newRow("no lines") << QStringList{} << "";
    }
    void detectSeparator() {
        QFETCH(QStringList, lines);
        QFETCH(QString, sep);
        QCOMPARE(DetectSeparator(lines), sep);
    }

    void splitFields_data() {
        QTest::addColumn<QString>("line"); // split at ","
        QTest::addColumn<QString>("fields");
        QTest::newRow("three values") << "Meier,Anna,a@example.org"
                                      << "Meier|Anna|a@example.org";
        QTest::newRow("nine values: the first seven") << "1,2,3,4,5,6,7,8,9"
                                                      << "1|2|3|4|5|6|7";
        QTest::newRow("blanks stay, adjacent separators") << " a ,,  c;d"
                                                          << " a ||  c;d";
        QTest::newRow("comma inside quotes") << "\"Müller, Hans\",h@example.com"
                                             << "Müller, Hans|h@example.com";
        QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\",x"
                                        << "say \"hi\"|x";
        QTest::newRow("a quote inside a field stays") << "O\"Neil,a \"b,c\" d"
                                                      << "O\"Neil|a \"b|c\" d";
        QTest::newRow("a blank before the quote") << " \"a,b\""
                                                  << " \"a|b\"";
        QTest::newRow("unclosed quote runs to the end") << "x,\"open, still,open"
                                                        << "x|open, still,open";
        QTest::newRow("text after the closing quote") << "\"ab\"cd,e"
                                                      << "abcd|e";
        QTest::newRow("quoted seventh field") << "1,2,3,4,5,6,\"7,7\",8"
                                              << "1|2|3|4|5|6|7,7";
    }
    void splitFields() {
        QFETCH(QString, line);
        QFETCH(QString, fields);
        QCOMPARE(joined(SplitFields(line, u",")), fields);
    }

    void importLines_data() {
        QTest::addColumn<int>("rowCount"); // before the import; every cell of the data rows holds "x"
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("rows"); // rows 1 to RowCount - 1 afterwards
        const int imported = int(ImportOutcome::Imported);
        QTest::newRow("three values clear a full row")
            << 3 << QStringList{"a;b;c"} << imported << QStringList{"1|a|b|c", "2"};
        QTest::newRow("40 lines into 19 rows") << 19 << numberedLines(40) << imported << numberedRows(40, 41);
        QTest::newRow("5 lines into 30 rows") << 30 << numberedLines(5) << imported << numberedRows(5, 30);
        QTest::newRow("seven fields fill seven columns")
            << 3 << QStringList{"a;b;c;d;e;f;/home/u/flyer.pdf"} << imported
            << QStringList{"1|a|b|c|d|e|f|/home/u/flyer.pdf", "2"};
        // A quoted field still open at a line's end runs on into the next line; each break becomes a blank
        // and the rows below move up.
        QTest::newRow("a record of two lines")
            << 4 << QStringList{"\"Müller", "von Berg\";Hans;h@example.org", "Roth;Eva;e@example.org"}
            << imported
            << QStringList{"1|Müller von Berg|Hans|h@example.org", "2|Roth|Eva|e@example.org", "3"};
        QTest::newRow("a record of three lines")
            << 2 << QStringList{"Weiß;\"first line", "second line", "third\";w@example.org;Hi", "x"}
            << imported << QStringList{"1|Weiß|first line second line third|w@example.org|Hi", "2|x"};
        QTest::newRow("an empty line inside quotes") << 2 << QStringList{"\"a", "", "b\";c", "", "d"}
                                                     << imported << QStringList{"1|a  b|c", "2", "3|d"};
        QTest::newRow("doubled quotes next to the line break")
            << 2 << QStringList{"x;\"says \"\"", "\"\"hi\"\"\";y"} << imported
            << QStringList{"1|x|says \" \"hi\"|y"};
        QTest::newRow("a closing quote at the end of a line ends the record")
            << 2 << QStringList{"x;\"closed\"", "y;z"} << imported << QStringList{"1|x|closed", "2|y|z"};
        QTest::newRow("a quote inside a field opens nothing")
            << 2 << QStringList{"a \"b;c", "d;e"} << imported << QStringList{"1|a \"b|c", "2|d|e"};
        QTest::newRow("a quoted eighth field spans lines too")
            << 2 << QStringList{"1;2;3;4;5;6;7;\"eight", "still eight\";nine", "next;row"} << imported
            << QStringList{"1|1|2|3|4|5|6|7", "2|next|row"};
        QTest::newRow("unclosed quote on the last line runs to its end")
            << 2 << QStringList{"a;b", "c;\"open; to the end"} << imported
            << QStringList{"1|a|b", "2|c|open; to the end"};
        QTest::newRow("unclosed quote runs to the end of the text")
            << 4 << QStringList{"\"open;x", "y;z"} << imported << QStringList{"1|open;x y;z", "2", "3"};
        QTest::newRow("blank text: nothing")
            << 2 << QStringList{"", " \t"} << int(ImportOutcome::EmptyText) << QStringList{"1|x|x|x|x|x|x|x"};
    }
    void importLines() {
        QFETCH(int, rowCount);
        QFETCH(QStringList, lines);
        QFETCH(int, outcome);
        QFETCH(QStringList, rows);
        RecipientTableModel model;
        model.SetRowCount(rowCount);
        for (int r = 1; r < rowCount; ++r)
            for (int c = 0; c <= 7; ++c)
                model.SetCell(c, r, c == 0 ? QString::number(r) : QStringLiteral("x"));
        QCOMPARE(int(ImportLines(lines, QStringLiteral(";"), model)), outcome);
        QStringList got;
        for (int r = 1; r < model.RowCount(); ++r) {
            RecipientTableModel::Row cells;
            for (int c = 0; c <= 7; ++c)
                cells[std::size_t(c)] = model.Cell(c, r);
            got << joined(cells);
        }
        QCOMPARE(got, rows);
        QCOMPARE(model.Cell(1, 0), RecipientTableModel::headingTexts(0).at(1));
    }
};

TARNEL_TEST_MAIN(TstImport)
#include "tst_import.moc"
