#include "core/recipientline.h"
#include "tests/support/testenvironment.h"

class TstRecipientLine : public QObject {
    Q_OBJECT

    static QStringList fields(const RecipientRow& row) {
        QStringList list;
        for (int i = 1; i <= RecipientRow::FieldCount; ++i)
            list << row.field(i);
        return list;
    }

private Q_SLOTS:
    void split_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("empty") << "" << QStringList(7, QString());
        QTest::newRow("no semicolon: all of it is the name")
            << " Meier, Hans " << QStringList{" Meier, Hans ", "", "", "", "", "", ""};
        QTest::newRow("two fields") << "a;b" << QStringList{"a", "b", "", "", "", "", ""};
        QTest::newRow("stored form") << "Meier;Hans;h@x.de;Hallo;default;;c:\\a.pdf;"
                                     << QStringList{"Meier",   "Hans", "h@x.de",   "Hallo",
                                                    "default", "",     "c:\\a.pdf"};
        QTest::newRow("no final semicolon")
            << "1;2;3;4;5;6;7" << QStringList{"1", "2", "3", "4", "5", "6", "7"};
        QTest::newRow("nine fields: the rest is dropped")
            << "1;2;3;4;5;6;7;8;9;" << QStringList{"1", "2", "3", "4", "5", "6", "7"};
        QTest::newRow("nothing trimmed")
            << " a ; b ;\tc\t" << QStringList{" a ", " b ", "\tc\t", "", "", "", ""};
        QTest::newRow("only semicolons") << ";;;;;;;;;;" << QStringList(7, QString());
        QTest::newRow("semicolon typed into a cell shifts the fields")
            << "a;b;c;d;e;x;y;z;" << QStringList{"a", "b", "c", "d", "e", "x", "y"};
        QTest::newRow("six semicolons, last field open")
            << "1;2;3;4;5;6;7 and more" << QStringList{"1", "2", "3", "4", "5", "6", "7 and more"};
    }
    void split() {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QCOMPARE(this->fields(SplitRecipientLine(line)), fields);
    }

    // What follows the seventh field's ";" is kept for writing back, not shown as a field.
    void splitKeepsFieldsAfterTheSeventh_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("extra");
        QTest::newRow("seven fields") << "1;2;3;4;5;6;7;"
                                      << "";
        QTest::newRow("seventh field open") << "1;2;3;4;5;6;7 and more"
                                            << "";
        QTest::newRow("nine fields") << "1;2;3;4;5;6;7;8;9;"
                                     << "8;9;";
        QTest::newRow("blanks and empty fields as they stand") << "1;2;3;4;5;6;7; K-17 ;;Firma "
                                                               << " K-17 ;;Firma ";
    }
    void splitKeepsFieldsAfterTheSeventh() {
        QFETCH(QString, line);
        QFETCH(QString, extra);
        QCOMPARE(SplitRecipientLine(line).Extra, extra);
    }

    void join_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("joined");
        QTest::newRow("short line is padded to seven fields") << "a;b;c"
                                                              << "a;b;c;;;;;";
        QTest::newRow("no address: not stored") << "a;b"
                                                << "";
        QTest::newRow("blank address: not stored") << "a;b; \t ;d;e;f;g;"
                                                   << "";
        QTest::newRow("fields trimmed") << " a ;\tb; c@d ; s ;\x01m\x01; 1.2.2026 ; x ;"
                                        << "a;b;c@d;s;m;1.2.2026;x;";
        QTest::newRow("fields after the seventh kept as they stand") << " 1;2;3;4;5;6;7; 8 ;x;y;9"
                                                                     << "1;2;3;4;5;6;7; 8 ;x;y;9";
        QTest::newRow("inner blanks kept") << "van der Berg;Anna Lena;a@b;;;;;"
                                           << "van der Berg;Anna Lena;a@b;;;;;";
    }
    void join() {
        QFETCH(QString, line);
        QFETCH(QString, joined);
        const QString result = JoinRecipientLine(SplitRecipientLine(line));
        QCOMPARE(result, joined);
        // Seven fields, each ended by ";", before what followed the seventh.
        if (!joined.isEmpty())
            QCOMPARE(result.count(QLatin1Char(';')) - SplitRecipientLine(line).Extra.count(QLatin1Char(';')),
                     7);
    }

    // A cell can hold what the line format cannot (a ";" from a CSV import with commas, a typed one): the
    // stored line still has its seven fields, the address in the third.
    void joinKeepsTheFieldsApart() {
        RecipientRow row;
        row.Name = QStringLiteral(" Müller; Hans ");
        row.Email = QStringLiteral("hans@example.org");
        row.Subject = QStringLiteral("Zeile 1\r\nZeile 2\nZeile 3");
        row.Attachment = QStringLiteral("a;b.pdf");
        const QString line = JoinRecipientLine(row);
        QCOMPARE(line, QStringLiteral("Müller, Hans;;hans@example.org;Zeile 1  Zeile 2 Zeile 3;;;a,b.pdf;"));
        QCOMPARE(SplitRecipientLine(line).Email, row.Email);
    }

    // Lines are never cut: a 5,000-character line comes back whole.
    void longLinesAreKept() {
        const QString subject(5000, QLatin1Char('s'));
        const QString line = QStringLiteral("n;p;e@x;") + subject + QStringLiteral(";;;;");
        const RecipientRow row = SplitRecipientLine(line);
        QCOMPARE(row.Subject, subject);
        QCOMPARE(JoinRecipientLine(row), line);
    }

    void fieldsByNumberAndClear() {
        RecipientRow row = SplitRecipientLine(QStringLiteral("1;2;3;4;5;6;7;"));
        QCOMPARE(row.Name, QStringLiteral("1"));
        QCOMPARE(row.Prename, QStringLiteral("2"));
        QCOMPARE(row.Email, QStringLiteral("3"));
        QCOMPARE(row.Subject, QStringLiteral("4"));
        QCOMPARE(row.MessageFilePath, QStringLiteral("5"));
        QCOMPARE(row.Send, QStringLiteral("6"));
        QCOMPARE(row.Attachment, QStringLiteral("7"));
        ClearRecipientFields(row);
        QVERIFY(row == RecipientRow());
    }
};

TARNEL_TEST_MAIN(TstRecipientLine)
#include "tst_recipientline.moc"
