#include "core/paths.h"
#include "import/formimport.h"
#include "recipients/recipienttablemodel.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <Qsci/qsciscintilla.h>

#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

template <typename T> T* control(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(QLatin1String(name));
    if (!widget) qFatal("no control %s", name);
    return widget;
}

QByteArray encoded(QStringConverter::Encoding encoding, const QString& text) {
    QStringEncoder encoder(encoding);
    return encoder(text);
}

const QString kPeople = QStringLiteral("Müller;Jürgen;j@example.org\r\nWeiß;Änne;a@example.org\r\n");

} // namespace

class TstImportWindow : public QObject {
    Q_OBJECT

    ScriptedPrompts prompts;
    QTemporaryDir dir;
    RecipientTableModel model;
    TFormImport* form = nullptr;
    QList<QUrl> opened;

    QsciScintilla* editor() { return control<QsciScintilla>(*form, "SynMemo1"); }
    QRadioButton* radio(int i) {
        return control<QRadioButton>(*form, i == 1 ? "RadioButton1" : "RadioButton2");
    }
    QString statusText() { return control<QLabel>(*form, "StatusPanel2")->text(); }
    void click(const char* button) { control<QToolButton>(*form, button)->click(); }

    void open(int language) {
        form->Language = language;
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        if (!writeBytes(path, bytes)) qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    void load(const QString& path) {
        prompts.expectOpenFile(path);
        click("ToolButton19");
    }
    QStringList row(int r) {
        QStringList cells;
        for (int c = 1; c <= 3; ++c)
            cells << model.Cell(c, r);
        return cells;
    }

private Q_SLOTS:
    void initTestCase() {
        for (const char* help : {"tarneld.html", "tarnel.html"})
            QVERIFY(writeBytes(programFolderPath() + QLatin1String(help), "<html></html>"));
    }
    void init() {
        prompts.reset();
        opened.clear();
        model.ClearTable();
        form = new TFormImport(prompts);
        form->TargetModel = &model;
        form->OpenUrl = [this](const QUrl& url) { return opened.append(url), true; };
    }
    void cleanup() {
        VERIFY_PROMPTS(prompts);
        delete form;
    }

    void texts_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("texts"); // group box, radio buttons, seven hints, the message
        QTest::newRow("German") << 0
                                << QStringList{"Trennzeichen",
                                               "Semikolon ;",
                                               "Komma ,",
                                               "Neu",
                                               "Datei laden",
                                               "Speichern",
                                               "Kopieren",
                                               "Daten importieren",
                                               "Hilfe",
                                               "Beenden",
                                               "Bitte Trennzeichen angeben!"};
        QTest::newRow("English") << 2
                                 << QStringList{"Separator",
                                                "Semicolon ;",
                                                "Comma ,",
                                                "New",
                                                "Load file",
                                                "Save",
                                                "Copy",
                                                "Import data",
                                                "Help",
                                                "Quit",
                                                "Specify a separator pls!"};
    }
    void texts() {
        QFETCH(int, language);
        QFETCH(QStringList, texts);
        open(language == 0 ? 1 : 0);
        form->reject();
        open(language);
        QStringList shown{control<QGroupBox>(*form, "GroupBox1")->title(), radio(1)->text(),
                          radio(2)->text()};
        for (const char* b : {"ToolButton14", "ToolButton19", "ToolButton12", "ToolButton6", "ToolButton11",
                              "ToolButton16", "ToolButton18"})
            shown << control<QToolButton>(*form, b)->toolTip();
        prompts.expectInformation([&](const ScriptedPrompts::Asked& asked) { shown << asked.text; });
        form->Sep.clear();
        editor()->setText(QStringLiteral("a;b"));
        click("ToolButton11");
        QCOMPARE(shown, texts);
        QCOMPARE(form->windowTitle(), QStringLiteral("Import"));
        QCOMPARE(model.Cell(1, 1), QString()); // asked, table untouched
    }

    // Load a file, import it, save it again: names arrive intact and the save keeps the file's encoding.
    void loadImportSave_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + kPeople.toUtf8();
        QTest::newRow("utf-8 without mark") << kPeople.toUtf8();
        QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE") + encoded(QStringConverter::Utf16LE, kPeople);
        QTest::newRow("utf-16 be") << QByteArray("\xFE\xFF") + encoded(QStringConverter::Utf16BE, kPeople);
        QTest::newRow("windows-1252") << kPeople.toLatin1();
    }
    void loadImportSave() {
        QFETCH(QByteArray, bytes);
        open(1);
        const QString path = file(QStringLiteral("people.csv"), bytes);
        load(path);
        QCOMPARE(form->ImportFile, path);
        QCOMPARE(statusText(), path);
        QCOMPARE(form->Sep, QStringLiteral(";"));
        QVERIFY(radio(1)->isChecked());
        click("ToolButton11");
        QEXPECT_FAIL("utf-8 without mark",
                     "read as Windows-1252 until the text files know UTF-8 without mark", Continue);
        QCOMPARE(QStringList() << row(1) << row(2),
                 (QStringList{"Müller", "Jürgen", "j@example.org", "Weiß", "Änne", "a@example.org"}));

        const QString copy = dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".csv");
        prompts.expectSaveFile(copy, [&](const ScriptedPrompts::Asked& asked) {
            QCOMPARE(asked.request.folder, dir.path()); // starts at the loaded file
            QCOMPARE(asked.request.fileName, QStringLiteral("people.csv"));
        });
        click("ToolButton12");
        QCOMPARE(readBytes(copy), bytes);
        QCOMPARE(form->ImportFile, copy);
    }

    // A file as an address book exports it: a header line, quoted names holding the separator.
    void exportedFileThroughTheWindow() {
        open(0);
        model.SetCell(4, 3, QStringLiteral("old subject"));
        load(file(QStringLiteral("contacts.csv"), "\xEF\xBB\xBF"
                                                  "Last Name,First Name,E-mail Address\r\n"
                                                  "\"M\xC3\xBCller, Hans\",Hans,hans@example.com\r\n"
                                                  "\r\n"
                                                  "\"O'Brien \"\"Bob\"\"\",Robert,bob@example.org\r\n"));
        QCOMPARE(form->Sep, QStringLiteral(","));
        QVERIFY(radio(2)->isChecked() && !radio(1)->isChecked());
        QCOMPARE(editor()->text(1), QStringLiteral("\"Müller, Hans\",Hans,hans@example.com\n"));
        click("ToolButton11");
        QCOMPARE(row(1), (QStringList{"Last Name", "First Name", "E-mail Address"}));
        QCOMPARE(row(2), (QStringList{"Müller, Hans", "Hans", "hans@example.com"}));
        QCOMPARE(row(3) << model.Cell(4, 3) << model.Cell(0, 3), (QStringList{"", "", "", "", "3"}));
        QCOMPARE(row(4), (QStringList{"O'Brien \"Bob\"", "Robert", "bob@example.org"}));
        QCOMPARE(model.RowCount(), RecipientTableModel::ClearedRowCount);
        QCOMPARE(model.Cell(0, 18), QStringLiteral("18"));
        QVERIFY(form->isVisible()); // the window stays open
    }

    void detection_data() {
        QTest::addColumn<QByteArray>("second"); // loaded after a file with semicolons
        QTest::addColumn<QString>("sep");
        QTest::addColumn<bool>("asks");
        QTest::addColumn<QStringList>("firstRow"); // after the import
        QTest::newRow("; and , in the first four lines")
            << QByteArray("a,b\r\nc,d\r\ne;f\r\n") << ";" << false << QStringList{"a,b", "", ""};
        QTest::newRow("commas") << QByteArray("a,b\r\n") << "," << false << QStringList{"a", "b", ""};
        QTest::newRow("first separator on line 5")
            << QByteArray("a\r\nb\r\nc\r\nd\r\ne;f\r\n") << "" << true << QStringList{"", "", ""};
    }
    void detection() {
        QFETCH(QByteArray, second);
        QFETCH(QString, sep);
        QFETCH(bool, asks);
        QFETCH(QStringList, firstRow);
        open(1);
        load(file(QStringLiteral("first.csv"), "x;y\r\n"));
        load(file(QStringLiteral("second.csv"), second));
        QCOMPARE(form->Sep, sep);
        // Nothing found leaves the buttons as they were.
        QCOMPARE(radio(1)->isChecked(), sep != QLatin1String(","));
        QCOMPARE(radio(2)->isChecked(), sep == QLatin1String(","));
        if (asks) prompts.expectInformation();
        click("ToolButton11");
        QCOMPARE(row(1), firstRow);
        if (!asks) return;
        // A click on the button that shows a check sets the separator.
        radio(1)->click();
        click("ToolButton11");
        QCOMPARE(row(5), (QStringList{"e", "f", ""}));
    }

    void newAndReopen() {
        open(1);
        const QString path = file(QStringLiteral("a.csv"), "a;b\r\n");
        load(path);
        radio(2)->click();
        QCOMPARE(form->Sep, QStringLiteral(","));
        click("ToolButton14"); // new: empties editor, status and file; the separator stays
        QCOMPARE(editor()->text(), QString());
        QCOMPARE(statusText(), QString());
        QCOMPARE(form->ImportFile, QString());
        QVERIFY(radio(2)->isChecked());

        load(path);
        radio(2)->click();
        click("ToolButton18");
        QVERIFY(!form->isVisible());
        open(1);
        QVERIFY(!radio(1)->isChecked() && !radio(2)->isChecked());
        QCOMPARE(form->Sep, QStringLiteral(","));
        QCOMPARE(editor()->text(), QString());
        QCOMPARE(form->ImportFile, QString());
        QCOMPARE(statusText(), path); // the status bar keeps its text
        editor()->setText(QStringLiteral("p,q;r\n"));
        click("ToolButton11"); // pasted text imports with the separator of the last showing
        QCOMPARE(row(1), (QStringList{"p", "q;r", ""}));
    }

    void save_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("replace");
        QTest::newRow("new file") << false << false;
        QTest::newRow("existing file, replaced") << true << true;
        QTest::newRow("existing file, kept") << true << false;
    }
    void save() {
        QFETCH(bool, exists);
        QFETCH(bool, replace);
        open(0);
        const QString path = dir.filePath(QStringLiteral("saved.csv"));
        QFile::remove(path);
        if (exists) file(QStringLiteral("saved.csv"), "old\r\n");
        editor()->setText(QStringLiteral("Müller;x\n€uro"));
        prompts.expectSaveFile(path);
        if (exists)
            prompts.expectQuestion(replace, [&](const ScriptedPrompts::Asked& asked) {
                QVERIFY(asked.text.contains(QStringLiteral("existiert bereits")));
            });
        click("ToolButton12");
        const bool written = !exists || replace;
        // Nothing loaded: Windows-1252 without mark.
        QCOMPARE(readBytes(path), written ? QByteArray("M\xFCller;x\r\n\x80uro\r\n") : QByteArray("old\r\n"));
        QCOMPARE(form->ImportFile, written ? path : QString());
    }

    void loadError() {
        open(1);
        editor()->setText(QStringLiteral("kept"));
        prompts.expectOpenFile(dir.filePath(QStringLiteral("missing.csv")));
        prompts.expectError();
        click("ToolButton19");
        QCOMPARE(editor()->text(), QStringLiteral("kept"));
        QCOMPARE(form->ImportFile, dir.filePath(QStringLiteral("missing.csv")));
    }

    void copy_data() {
        QTest::addColumn<int>("toLine");
        QTest::addColumn<int>("toIndex");
        QTest::addColumn<QString>("copied");
        QTest::newRow("selection") << 1 << 1 << "def\nx";
        QTest::newRow("nothing selected") << 0 << 4 << "";
    }
    void copy() {
        QFETCH(int, toLine);
        QFETCH(int, toIndex);
        QFETCH(QString, copied);
        open(1);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        editor()->setText(QStringLiteral("abc;def\nxyz"));
        editor()->setSelection(0, 4, toLine, toIndex);
        click("ToolButton6");
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }

    void help_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("f1");
        QTest::addColumn<QString>("helpFile");
        QTest::newRow("F1, German") << 0 << true << "tarneld.html";
        QTest::newRow("button, English") << 1 << false << "tarnel.html";
    }
    void help() {
        QFETCH(int, language);
        QFETCH(bool, f1);
        QFETCH(QString, helpFile);
        open(language);
        if (f1)
            QTest::keyClick(editor(), Qt::Key_F1);
        else
            click("ToolButton16");
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().fileName(), helpFile);
        QCOMPARE(opened.first().fragment(), QStringLiteral("topic120"));
    }

    void resize_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<int>("memoHeight");
        QTest::addColumn<QPoint>("group");
        QTest::newRow("design size") << QSize(734, 532) << 400 << QPoint(250, 450);
        QTest::newRow("taller, width half to even") << QSize(737, 632) << 500 << QPoint(251, 550);
    }
    void resize() {
        QFETCH(QSize, client);
        QFETCH(int, memoHeight);
        QFETCH(QPoint, group);
        open(1);
        form->resize(client);
        QTRY_COMPARE(form->size(), client);
        QCOMPARE(editor()->height(), memoHeight);
        QCOMPARE(control<QGroupBox>(*form, "GroupBox1")->pos(), group);
    }
};

TARNEL_TEST_MAIN(TstImportWindow)
#include "tst_import_window.moc"
