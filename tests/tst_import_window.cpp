#include "core/paths.h"
#include "import/formimport.h"
#include "recipients/recipienttablemodel.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <Qsci/qsciscintilla.h>

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QToolButton>

namespace {
// A quoted name holding the separator, a blank line, umlauts, a record of two lines.
const QString kPeople =
    QStringLiteral("\"Müller; Jürgen\";j@example.org\r\n\r\nWeiß;\"Änne\r\nMarie\";a@example.org\r\n"
                   "Roth;Eva;e@example.org\r\n");
} // namespace

class TstImportWindow : public QObject {
    Q_OBJECT

    ScriptedPrompts prompts;
    QTemporaryDir dir;
    RecipientTableModel model;
    TFormImport* form = nullptr;
    QList<QUrl> opened;

    template <typename T = QToolButton> T* get(const char* name) {
        T* widget = form->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    void open(int language) {
        form->Language = language;
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }
    QString file(const QString& name, const QByteArray& bytes) {
        if (!writeBytes(dir.filePath(name), bytes)) qFatal("cannot write %s", qPrintable(name));
        return dir.filePath(name);
    }
    void load(const QString& path) {
        prompts.expectOpenFile(path);
        get("ToolButton19")->click();
    }
    QStringList row(int r) {
        return {model.Cell(0, r), model.Cell(1, r), model.Cell(2, r), model.Cell(3, r)};
    }

private Q_SLOTS:
    void init() {
        prompts.reset();
        model.ClearTable();
        form = new TFormImport(prompts);
        form->TargetModel = &model;
        form->OpenUrl = [this](const QUrl& url) { return opened.append(url), true; };
    }
    void cleanup() {
        VERIFY_PROMPTS(prompts);
        delete form;
    }

    // Through the real window: load a file, import it, save it again in the encoding it was read in.
    void loadImportSave_data() {
        QTest::addColumn<QByteArray>("bytes");
        const auto utf16 = [](QStringConverter::Encoding e) -> QByteArray {
            return QStringEncoder(e)(kPeople);
        };
        QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + kPeople.toUtf8();
        QTest::newRow("utf-8 without mark") << kPeople.toUtf8();
        QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE") + utf16(QStringConverter::Utf16LE);
        QTest::newRow("utf-16 be") << QByteArray("\xFE\xFF") + utf16(QStringConverter::Utf16BE);
        QTest::newRow("windows-1252") << kPeople.toLatin1();
        // Files from other programs keep their line ends: LF, and no break after the last line.
        QString lf = kPeople;
        lf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).chop(1);
        QTest::newRow("lf, no final break") << lf.toUtf8();
        QTest::newRow("crlf, no final break") << kPeople.chopped(2).toLatin1();
    }
    void loadImportSave() {
        QFETCH(QByteArray, bytes);
        open(1);
        const QString path = file(QStringLiteral("people.csv"), bytes);
        load(path);
        QCOMPARE(get<QLabel>("StatusPanel2")->text(), path);
        QCOMPARE(form->Sep, QStringLiteral(";"));
        QVERIFY(get<QRadioButton>("RadioButton1")->isChecked());
        get("ToolButton11")->click();
        QCOMPARE(row(2), (QStringList{"2", "", "", ""}));
        QCOMPARE(row(1) + row(3), (QStringList{"1", "Müller; Jürgen", "j@example.org", "", "3", "Weiß",
                                               "Änne Marie", "a@example.org"}));
        QCOMPARE(row(4), (QStringList{"4", "Roth", "Eva", "e@example.org"})); // moved up by the record
        QCOMPARE(model.Cell(1, 5), QString());

        const QString copy = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        prompts.expectSaveFile(copy, [&](const ScriptedPrompts::Asked& asked) {
            QCOMPARE(asked.request.folder + '/' + asked.request.fileName, path); // starts at the loaded file
        });
        get("ToolButton12")->click();
        QCOMPARE(readBytes(copy), bytes);
        QCOMPARE(form->ImportFile, copy);
    }

    void separatorAndReopen() {
        open(0);
        load(file(QStringLiteral("semicolon.csv"), "x;y\r\n"));
        load(file(QStringLiteral("line5.csv"), "a,b\r\nb\r\nc\r\nd\r\ne;f\r\n"));
        QCOMPARE(form->Sep, QStringLiteral(",")); // a comma in the first four lines
        load(file(QStringLiteral("late.csv"), "a\r\nb\r\nc\r\nd\r\ne;f\r\n"));
        QCOMPARE(form->Sep, QString());
        QVERIFY(get<QRadioButton>("RadioButton2")->isChecked()); // nothing found: the buttons stay
        prompts.expectInformation([](const ScriptedPrompts::Asked& asked) {
            QCOMPARE(asked.text, QStringLiteral("Bitte Trennzeichen angeben!"));
        });
        get("ToolButton11")->click();
        QCOMPARE(row(5), (QStringList{"", "", "", ""}));
        get<QRadioButton>("RadioButton1")->click();
        get("ToolButton18")->click();
        QVERIFY(!form->isVisible());

        open(1);
        QVERIFY(!get<QRadioButton>("RadioButton1")->isChecked() &&
                !get<QRadioButton>("RadioButton2")->isChecked());
        QCOMPARE(get<QGroupBox>("GroupBox1")->title(), QStringLiteral("Separator"));
        QCOMPARE(form->ImportFile, QString());
        QCOMPARE(get<QsciScintilla>("SynMemo1")->text(), QString());
        get<QsciScintilla>("SynMemo1")->setText(QStringLiteral("p,q;r\n\ns"));
        get("ToolButton11")->click(); // pasted text imports with the separator chosen before
        QCOMPARE(row(1) + row(2) + row(3),
                 (QStringList{"1", "p,q", "r", "", "2", "", "", "", "3", "s", "", ""}));
    }

    // Save asks before it replaces a file; a new file is written without a question (loadImportSave).
    void save_data() {
        QTest::addColumn<bool>("replace");
        QTest::newRow("replaced") << true;
        QTest::newRow("kept") << false;
    }
    void save() {
        QFETCH(bool, replace);
        open(0);
        const QString path = file(QString::fromLatin1(QTest::currentDataTag()), "old\r\n");
        get<QsciScintilla>("SynMemo1")->setText(QStringLiteral("Müller;x\n€uro"));
        prompts.expectSaveFile(path);
        prompts.expectQuestion(replace);
        get("ToolButton12")->click();
        // Nothing loaded: a new file, UTF-8 without mark.
        QCOMPARE(readBytes(path),
                 replace ? QByteArray("M\xC3\xBCller;x\r\n\xE2\x82\xACuro\r\n") : QByteArray("old\r\n"));
    }

    void helpOnF1() {
        QVERIFY(writeBytes(programFolderPath() + QStringLiteral("tarneld.html"), "<html></html>"));
        open(0);
        QTest::keyClick(get<QsciScintilla>("SynMemo1"), Qt::Key_F1);
        QCOMPARE(opened.value(0).fileName() + '#' + opened.value(0).fragment(),
                 QStringLiteral("tarneld.html#topic120"));
    }

    void resize() {
        open(1);
        form->resize(737, 632); // outer width 753: half of it rounds to the even 376
        QTRY_COMPARE(get<QsciScintilla>("SynMemo1")->height(), 500);
        QCOMPARE(get<QGroupBox>("GroupBox1")->pos(), QPoint(251, 550));
    }
};

TARNEL_TEST_MAIN(TstImportWindow)
#include "tst_import_window.moc"
