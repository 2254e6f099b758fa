#include "recipients/formgrid.h"
#include "recipients/formgridtexts.h"
#include "recipients/formloeschen.h"
#include "recipients/headingsort.h"
#include "recipients/recipienttablemodel.h"
#include "tests/recipientrows.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace recipientrows;

namespace {

// A list of `count` recipients "Name<k>;Pre<k>;p<k>@example.org;...", k from 1.
QByteArray listBytes(int count) {
    QByteArray bytes;
    for (int k = 1; k <= count; ++k)
        bytes += QStringLiteral("Name%1;Pre%1;p%1@example.org;Subject;default;;;\r\n").arg(k).toUtf8();
    return bytes;
}

} // namespace

class TstFormGrid : public QObject {
    Q_OBJECT

    ScriptedPrompts prompts;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QWidget> owner;
    TFormGrid* grid = nullptr;
    QList<QUrl> opened;
    QList<int> helpTopics;
    // What the editor's Import button opened the import window with.
    std::function<void(RecipientTableModel& table, int language)> importShown;

    QString dataPath() const { return dir->path() + QLatin1Char('/'); }
    RecipientTableModel* model() const { return grid->Model(); }

    void clickButton(const char* name) {
        auto* button = grid->findChild<QToolButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        button->click();
    }

    // Shows the window as the main window does, with a list file of `lines` recipients when that is > 0.
    void open(int language = 1, int lines = 0, const QString& fileName = QStringLiteral("list.csv")) {
        if (lines > 0) QVERIFY(writeBytes(dataPath() + fileName, listBytes(lines)));
        grid->DataPath = dataPath();
        grid->FItems = dataPath() + fileName;
        grid->Language = language;
        // Sorting compares as a user's locale does, without regard to letter case.
        grid->Heading()->Sort().SetLocale(kGerman);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid));
    }

    // Types into a cell through the in-place editor and leaves it with Tab.
    void typeInto(int column, int row, const QString& text) {
        grid->SetCurrentCell(column, row);
        const QModelIndex index = grid->StringGrid1->currentIndex();
        // The editor opens with the current cell, or on a key.
        if (!grid->StringGrid1->indexWidget(index)) grid->StringGrid1->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(grid->StringGrid1->indexWidget(index));
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Tab);
    }

    // Runs `during` once the modal window `dialog` is up.
    static void whenShown(QDialog* dialog, std::function<void()> during) {
        QTimer::singleShot(0, dialog, [dialog, during] {
            QVERIFY(dialog->isVisible());
            during();
        });
    }

    // Answers the row-range dialog with OK (a click, or Enter in the TO field), or Cancel when `from` < 0.
    void removeRows(int from, int to, bool enter = false) {
        whenShown(grid->FormLoeschen, [this, from, to, enter] {
            auto* toField = grid->FormLoeschen->findChild<QLineEdit*>("EditBis");
            if (from > 0) {
                QTest::keyClicks(grid->FormLoeschen->findChild<QLineEdit*>("EditVon"), QString::number(from));
                toField->setText(QString::number(to));
            }
            if (enter && from >= 0)
                QTest::keyClick(toField, Qt::Key_Return);
            else
                grid->FormLoeschen->findChild<QPushButton*>(from < 0 ? "BitBtn2" : "BitBtn1")->click();
        });
        clickButton("ToolButton10");
    }

    // The cell editor open on the current cell, if any.
    QLineEdit* cellEditor() const {
        return qobject_cast<QLineEdit*>(grid->StringGrid1->indexWidget(grid->StringGrid1->currentIndex()));
    }

    QRect headingRect(int column) const {
        QHeaderView* h = grid->StringGrid1->horizontalHeader();
        return QRect(h->sectionViewportPosition(column), 0, h->sectionSize(column), h->height());
    }

    void clickHeading(int column, Qt::MouseButton button = Qt::LeftButton) {
        if (column == 0) {
            auto* corner = grid->StringGrid1->findChild<QAbstractButton*>("StringGrid1Corner");
            QVERIFY(corner);
            QTest::mouseClick(corner, button, {}, corner->rect().center());
            return;
        }
        QTest::mouseClick(grid->StringGrid1->horizontalHeader()->viewport(), button, {},
                          headingRect(column).center());
    }

    // Whether the heading of column `c` shows a sort arrow (drawn in blue at its left end) as painted now.
    bool arrowPainted(int c) const {
        QWidget* heading = c == 0 ? grid->StringGrid1->findChild<QAbstractButton*>("StringGrid1Corner")
                                  : grid->StringGrid1->horizontalHeader()->viewport();
        const QImage image = heading->grab().toImage();
        const QPoint origin = c == 0 ? QPoint(0, 0) : headingRect(c).topLeft();
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QColor pixel = image.pixelColor(origin + QPoint(x, y));
                if (pixel.blue() > pixel.red() + 60) return true;
            }
        return false;
    }

    QStringList column(int c) const {
        QStringList texts;
        for (int r = 1; r < model()->RowCount(); ++r)
            texts << model()->Cell(c, r);
        return texts;
    }

    QString panel(int n) const { return (n == 0 ? grid->StatusPanel0 : grid->StatusPanel1)->text(); }

private Q_SLOTS:
    void init() {
        prompts.reset();
        opened.clear();
        helpTopics.clear();
        dir = std::make_unique<QTemporaryDir>();
        owner = std::make_unique<QWidget>();
        grid = new TFormGrid(prompts, owner.get());
        grid->FormLoeschen = new TFormLoeschen(prompts, owner.get());
        grid->ShowImportWindow = [this](RecipientTableModel& table, int language) {
            if (importShown) importShown(table, language);
        };
        grid->OpenUrl = [this](const QUrl& url) {
            opened << url;
            return true;
        };
        grid->ShowHelpTopic = [this](int topic) { helpTopics << topic; };
    }

    void cleanup() {
        if (grid->isVisible()) grid->reject();
        VERIFY_PROMPTS(prompts);
        owner.reset();
        grid = nullptr;
    }

    // ---- showing, texts, status bar ----

    void showWithMissingList() {
        prompts.expectOpenFile(QString(), [this](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.request.fileName, QStringLiteral("sendlist.csv"));
            QCOMPARE(a.request.folder, dataPath());
            QCOMPARE(a.request.filter, QStringLiteral("CSV (*.csv);;All (*)"));
        });
        grid->DataPath = dataPath();
        grid->Language = 1;
        grid->FItems = QStringLiteral("  ");
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid));
        const QString file = dataPath() + QStringLiteral("sendlist.csv");
        QCOMPARE(grid->FItems, file);
        QCOMPARE(panel(1), file);
        QCOMPARE(model()->RowCount(), 19);
        QCOMPARE(grid->StringGrid1->model()->rowCount(), 18);
        // Numbered although nothing was loaded, and still after typing into a row.
        QCOMPARE(column(0), rowNumbers(1, 18));
        QVERIFY(!grid->ListModified);

        // Nothing with an address: the information box, and no file.
        typeInto(1, 1, QStringLiteral("Name only"));
        QCOMPARE(column(0), rowNumbers(1, 18));
        QCOMPARE(grid->StringGrid1->verticalHeader()->model()->headerData(0, Qt::Vertical).toString(),
                 QStringLiteral("1"));
        prompts.expectInformation([](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Enter at least a recipient mail address to save data."));
        });
        clickButton("ToolButton9");
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(grid->ListModified);

        typeInto(3, 1, QStringLiteral("a@example.org"));
        clickButton("ToolButton9");
        QCOMPARE(readBytes(file), QByteArray("Name only;;a@example.org;;;;;\r\n"));
        QVERIFY(!grid->ListModified);
    }

    void texts_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("texts"); // caption, hints of New and Quit, heading of column 2
        QTest::newRow("German") << 0
                                << QStringList{"Empfänger", "Neu (Strg+N)", "Schliessen (Strg+Q)",
                                               "     Vorname"};
        QTest::newRow("English") << 1
                                 << QStringList{"Recipients", "New (Ctrl+N)", "Quit (Ctrl+Q)",
                                                "     Prename"};
    }
    void texts() {
        QFETCH(int, language);
        QFETCH(QStringList, texts);
        // The language is taken on each showing.
        open(1 - language, 1);
        grid->reject();
        open(language, 1);
        auto hint = [this](const char* name) { return grid->findChild<QToolButton*>(name)->toolTip(); };
        QCOMPARE((QStringList{grid->windowTitle(), hint("ToolButton1"), hint("ToolButton15"),
                              grid->StringGrid1->model()->headerData(2, Qt::Horizontal).toString()}),
                 texts);
        for (QToolButton* b : grid->ToolBar1->findChildren<QToolButton*>(QRegularExpression("^ToolButton")))
            QVERIFY2(!b->icon().isNull() && !b->toolTip().isEmpty(), qPrintable(b->objectName()));
    }

    void shortcutTexts_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("german");
        QTest::newRow("Ctrl") << "Ctrl+S"
                              << "Strg+S";
        QTest::newRow("Ctrl and Shift") << "Ctrl+Shift+S"
                                        << "Strg+Umschalt+S";
        QTest::newRow("Del") << "Ctrl+Shift+Del"
                             << "Strg+Umschalt+Entf";
        QTest::newRow("the plus key") << "Ctrl++"
                                      << "Strg++";
        QTest::newRow("the minus key") << "Ctrl+-"
                                       << "Strg+-";
        QTest::newRow("a function key") << "F3"
                                        << "F3";
    }
    void shortcutTexts() {
        QFETCH(QString, keys);
        QFETCH(QString, german);
        QCOMPARE(shortcutText(keys, 0), german);
        QCOMPARE(shortcutText(keys, 1), keys);
    }

    // Every toolbar command has its own key, named at the end of its hint in both languages.
    void everyButtonHasAKey_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("German") << 0;
        QTest::newRow("English") << 1;
    }
    void everyButtonHasAKey() {
        QFETCH(int, language);
        open(language, 1);
        QSet<QString> keys;
        for (const FormGridButton& b : formGridButtons()) {
            if (!b.icon) continue;
            auto* shortcut = grid->findChild<QShortcut*>(QLatin1String(b.name) + "Key");
            QVERIFY2(shortcut, b.name);
            const QString key = shortcut->key().toString(QKeySequence::PortableText);
            QVERIFY2(!key.isEmpty(), b.name);
            keys.insert(key);
            const QString hint = grid->findChild<QToolButton*>(QLatin1String(b.name))->toolTip();
            QVERIFY2(hint.endsWith(" (" + shortcutText(key, language) + ")"), qPrintable(hint));
        }
        QCOMPARE(keys.size(), 15);
    }

    // The window's tab order is the toolbar, left to right, then the table: the keys add no stop.
    void tabOrder() {
        open(1, 2);
        QStringList chain;
        QWidget* w = grid;
        while ((w = w->nextInFocusChain()) != grid)
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && !w->objectName().isEmpty())
                chain << w->objectName();
        QCOMPARE(chain, (QStringList{"ToolButton1", "ToolButton3", "ToolButton9", "ToolButton5",
                                     "ToolButton10", "ToolButton4", "ToolButton7", "ToolButton8",
                                     "ToolButton11", "ToolButton12", "ToolButton16", "ToolButton2",
                                     "ToolButton17", "ToolButton14", "ToolButton15", "StringGrid1"}));
    }

    // Each toolbar command by its key, pressed where the user types: in the open cell editor (copy and
    // paste, which the cell editor keeps for its own text, with the table itself in focus).
    void commandKeys_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("keys");
        const QStringList commands{"new",       "load",      "save",   "insert row", "remove rows",
                                   "save as",   "copy",      "paste",  "clear list", "insert file path",
                                   "duplicate", "view file", "import", "help",       "quit"};
        const QStringList keys{"Ctrl+N",       "Ctrl+O", "Ctrl+S",         "Ctrl++", "Ctrl+-", "Ctrl+Shift+S",
                               "Ctrl+C",       "Ctrl+V", "Ctrl+Shift+Del", "Ctrl+I", "Ctrl+D", "F3",
                               "Ctrl+Shift+I", "F1",     "Ctrl+Q"};
        for (int i = 0; i < commands.size(); ++i)
            QTest::newRow(qPrintable(commands.at(i))) << commands.at(i) << keys.at(i);
    }
    void commandKeys() {
        QFETCH(QString, command);
        QFETCH(QString, keys);
        const QString file = dataPath() + "letter.txt";
        QVERIFY(writeBytes(file, "Dear $Name"));
        open(1, 3);
        grid->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(grid));
        model()->SetCell(5, 2, file);
        model()->SetCell(4, 1, QStringLiteral("Saved"));
        QGuiApplication::clipboard()->setText(QStringLiteral("from the clipboard"));
        grid->SetCurrentCell(5, 2);
        QWidget* target = cellEditor();
        QVERIFY(target);
        if (command == "copy" || command == "paste") {
            QTest::keyClick(target, Qt::Key_Escape); // closes the cell editor, the table keeps the focus
            QVERIFY(!cellEditor());
            target = grid->StringGrid1;
        }
        bool shown = false;
        if (command == "load") prompts.expectOpenFile(QString());
        if (command == "save as") prompts.expectSaveFile(QString());
        if (command == "insert file path") prompts.expectOpenFile(QString());
        if (command == "clear list")
            prompts.expectQuestion(false,
                                   [](const ScriptedPrompts::Asked& a) { QCOMPARE(a.text, "Delete list?"); });
        if (command == "remove rows")
            whenShown(grid->FormLoeschen, [&] {
                shown = true;
                grid->FormLoeschen->reject();
            });
        importShown = [&](RecipientTableModel&, int) { shown = true; };

        QTest::keySequence(target, QKeySequence(keys));

        importShown = nullptr;
        if (command == "new") QCOMPARE(grid->FItems, dataPath() + "untitled.csv");
        if (command == "save") QVERIFY(readBytes(dataPath() + "list.csv").contains("Saved"));
        if (command == "insert row") QCOMPARE(model()->RowCount(), 20);
        if (command == "remove rows" || command == "import") QVERIFY(shown);
        if (command == "copy") QCOMPARE(QGuiApplication::clipboard()->text(), file);
        if (command == "paste") QCOMPARE(model()->Cell(5, 2), QStringLiteral("from the clipboard"));
        if (command == "duplicate") QCOMPARE(column(5).mid(0, 4), (QStringList{file, file, file, ""}));
        if (command == "view file") QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(file)});
        if (command == "help") QCOMPARE(helpTopics, QList<int>{100});
        QCOMPARE(grid->isVisible(), command != "quit");
        if (grid->isVisible() && grid->ListModified) prompts.expectQuestion(false);
    }

    // In an open cell editor, copy and paste work on the editor's text, as in any text field.
    void copyAndPasteWhileTyping() {
        open(1, 2);
        grid->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(grid));
        grid->SetCurrentCell(2, 2);
        QLineEdit* editor = cellEditor();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("Pre2"));
        editor->setSelection(0, 3);
        QTest::keySequence(editor, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Pre"));
        editor->end(false);
        QTest::keySequence(editor, QKeySequence::Paste);
        QCOMPARE(editor->text(), QStringLiteral("Pre2Pre"));
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(model()->Cell(2, 2), QStringLiteral("Pre2Pre"));
        prompts.expectQuestion(false);
    }

    void lineCountPanel_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("afterLoad");
        QTest::addColumn<QString>("afterEdit");
        QTest::newRow("German") << 0 << "Zeilen: 5"
                                << "Zeilen: 4";
        QTest::newRow("English") << 1 << "Lines: 5"
                                 << "Lines: 4";
    }
    void lineCountPanel() {
        QFETCH(int, language);
        QFETCH(QString, afterLoad);
        QFETCH(QString, afterEdit);
        // Blank lines count in the file's line count, not among the used rows.
        QVERIFY(writeBytes(dataPath() + "list.csv", listBytes(2) + "\r\n  \r\n" + listBytes(1)));
        open(language);
        QCOMPARE(panel(0), afterLoad);
        typeInto(2, 10, QStringLiteral("x"));
        QCOMPARE(panel(0), afterEdit);
        prompts.expectQuestion(false);
    }

    void columnWidthsFollowTheWindow() {
        open(1, 2);
        QCOMPARE(grid->StringGrid1->verticalHeader()->width(), 30);
        grid->resize(grid->width() - grid->StringGrid1->width() + 755, grid->height());
        QTRY_COMPARE(grid->StringGrid1->width(), 755);
        for (int c = 1; c <= 7; ++c)
            QCOMPARE(grid->StringGrid1->horizontalHeader()->sectionSize(c), 100);
        QCOMPARE(grid->StringGrid1->verticalHeader()->width(), 30);
        // Row numbers that do not fit in 30 pixels widen their column.
        grid->reject();
        open(1, 10000);
        QHeaderView* rows = grid->StringGrid1->verticalHeader();
        QVERIFY(rows->width() > rows->fontMetrics().horizontalAdvance(QStringLiteral("10000")));
    }

    void helpFromButtonAndF1() {
        open(1, 1);
        grid->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(grid));
        clickButton("ToolButton14");
        QTest::keyClick(grid->StringGrid1, Qt::Key_F1);
        QCOMPARE(helpTopics, (QList<int>{100, 100}));
    }

    // ---- saving ----

    void saveOfAnUntitledList_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("asks");
        QTest::newRow("New goes to Save as") << "" << true;
        QTest::newRow("untitled.csv goes to Save as") << "untitled.csv" << true;
        QTest::newRow("Untitled.csv is saved directly") << "Untitled.csv" << false;
    }
    void saveOfAnUntitledList() {
        QFETCH(QString, fileName);
        QFETCH(bool, asks);
        open(1, 2, fileName.isEmpty() ? QStringLiteral("list.csv") : fileName);
        if (fileName.isEmpty()) {
            clickButton("ToolButton1");
            QCOMPARE(panel(1), dataPath() + "untitled.csv");
            QCOMPARE(model()->Cell(0, 18), QStringLiteral("18"));
            typeInto(1, 1, QStringLiteral("Name1"));
            typeInto(3, 1, QStringLiteral("p1@example.org"));
            fileName = QStringLiteral("untitled.csv");
        }
        typeInto(4, 1, QStringLiteral("Hello"));
        const QString chosen = dataPath() + QStringLiteral("chosen.csv");
        if (asks)
            prompts.expectSaveFile(chosen, [&](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.request.folder, dataPath());
                QCOMPARE(a.request.fileName, fileName);
                QCOMPARE(a.request.filter, QStringLiteral("CSV (*.csv);;Alle (*)"));
            });
        clickButton("ToolButton9");
        const QString written = asks ? chosen : dataPath() + fileName;
        QVERIFY(readBytes(written).contains("p1@example.org;Hello;"));
        QCOMPARE(grid->FItems, written);
        QCOMPARE(panel(1), written);
        QVERIFY(!grid->ListModified);
    }

    void saveAsAsksBeforeReplacing() {
        open(1, 2);
        const QString existing = dataPath() + QStringLiteral("existing.csv");
        const QString fresh = dataPath() + QStringLiteral("fresh.csv");
        QVERIFY(writeBytes(existing, "keep me"));
        prompts.expectSaveFile(existing);
        prompts.expectQuestion(false,
                               [&](const ScriptedPrompts::Asked& a) { QVERIFY(a.text.contains(existing)); });
        // No goes back to the dialog, where the user left it.
        prompts.expectSaveFile(fresh, [&](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.request.fileName, QStringLiteral("existing.csv"));
        });
        clickButton("ToolButton4");
        QCOMPARE(readBytes(existing), QByteArray("keep me"));
        QCOMPARE(readBytes(fresh), listBytes(2));
        QCOMPARE(grid->FItems, fresh);
    }

    // ---- the change mark and its questions ----

    void changeMark_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("marked");
        for (const char* marks : {"edit", "insert row", "remove rows", "paste", "clear list",
                                  "insert file path", "duplicate", "import"})
            QTest::newRow(marks) << marks << true;
        for (const char* leaves :
             {"remove rows cancelled", "copy", "clear list, No", "import nothing", "sort"})
            QTest::newRow(leaves) << leaves << false;
    }
    void changeMark() {
        QFETCH(QString, command);
        QFETCH(bool, marked);
        open(1, 3);
        grid->SetCurrentCell(5, 2);
        if (command == "edit") {
            // Typed but not yet left: closing takes the text first.
            auto* editor =
                qobject_cast<QLineEdit*>(grid->StringGrid1->indexWidget(grid->StringGrid1->currentIndex()));
            QVERIFY(editor);
            editor->setText(QStringLiteral("letter.txt"));
        }
        if (command == "insert row") {
            clickButton("ToolButton5");
            QCOMPARE(model()->Cell(0, 19), QStringLiteral("19"));
            QCOMPARE(grid->CurrentRow(), 19);
        }
        if (command.startsWith("remove rows")) removeRows(marked ? 1 : -1, 1);
        if (command == "paste") {
            QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
            clickButton("ToolButton8");
        }
        if (command == "copy") clickButton("ToolButton7");
        if (command.startsWith("clear list")) {
            prompts.expectQuestion(marked, [](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("Delete list?"));
            });
            clickButton("ToolButton11");
        }
        if (command == "insert file path") {
            prompts.expectOpenFile(QStringLiteral("/some/letter.txt"));
            clickButton("ToolButton12");
        }
        if (command == "duplicate") clickButton("ToolButton16");
        if (command.startsWith("import")) {
            bool shown = false;
            importShown = [&](RecipientTableModel& table, int language) {
                shown = true;
                QCOMPARE(language, 1);
                QCOMPARE(&table, model());
                if (marked) model()->SetCell(1, 4, QStringLiteral("Imported"));
            };
            clickButton("ToolButton17");
            importShown = nullptr;
            QVERIFY(shown);
        }
        if (command == "sort") {
            clickHeading(1);
            clickHeading(1);
        }
        QCOMPARE(grid->ListModified, marked && command != "edit");
        if (marked)
            prompts.expectQuestion(false, [](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.text, QStringLiteral("Save changes?"));
            });
        clickButton("ToolButton15");
        QVERIFY(!grid->isVisible());
        QCOMPARE(readBytes(dataPath() + "list.csv"), listBytes(3));
    }

    void newAndLoadAskFirst_data() {
        QTest::addColumn<bool>("load");
        QTest::addColumn<bool>("yes");
        QTest::newRow("New, No") << false << false;
        QTest::newRow("New, Yes") << false << true;
        QTest::newRow("Load, No") << true << false;
        QTest::newRow("Load, Yes") << true << true;
    }
    void newAndLoadAskFirst() {
        QFETCH(bool, load);
        QFETCH(bool, yes);
        open(0, 2);
        typeInto(2, 1, QStringLiteral("Changed"));
        prompts.expectQuestion(yes, [](const ScriptedPrompts::Asked& a) {
            QCOMPARE(a.text, QStringLiteral("Änderungen speichern?"));
        });
        const QString other = dataPath() + "other.csv";
        QVERIFY(writeBytes(other, listBytes(5)));
        if (load)
            prompts.expectOpenFile(other, [this](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.request.folder, dataPath());
                QCOMPARE(a.request.fileName, QStringLiteral("sendlist.csv"));
            });
        clickButton(load ? "ToolButton3" : "ToolButton1");
        QCOMPARE(readBytes(dataPath() + "list.csv").contains("Changed"), yes);
        QCOMPARE(grid->FItems, load ? other : dataPath() + "untitled.csv");
        QCOMPARE(model()->Cell(1, 5), load ? QStringLiteral("Name5") : QString());
        QVERIFY(!grid->ListModified);
    }

    // Yes to "Save changes?" on an untitled list, then Cancel in the Save-as dialog: New and Load stop,
    // and the table keeps the edit.
    void cancelledSaveAsKeepsTheEdit_data() {
        QTest::addColumn<bool>("load");
        QTest::newRow("New") << false;
        QTest::newRow("Load") << true;
    }
    void cancelledSaveAsKeepsTheEdit() {
        QFETCH(bool, load);
        open(1, 2);
        clickButton("ToolButton1");
        typeInto(1, 1, QStringLiteral("Kept"));
        typeInto(3, 1, QStringLiteral("kept@example.org"));
        prompts.expectQuestion(true);
        prompts.expectSaveFile(QString());
        clickButton(load ? "ToolButton3" : "ToolButton1");
        QCOMPARE(rowText(*model(), 1), QStringLiteral("Kept||kept@example.org"));
        QCOMPARE(grid->FItems, dataPath() + "untitled.csv");
        QVERIFY(grid->ListModified);
        prompts.expectQuestion(false);
    }

    void failedSaveKeepsTheChanges() {
        open(1, 2);
        typeInto(2, 1, QStringLiteral("Changed"));
        grid->FItems = dataPath() + "no such folder/list.csv";
        prompts.expectQuestion(true);
        prompts.expectError();
        clickButton("ToolButton1");
        QCOMPARE(model()->Cell(2, 1), QStringLiteral("Changed"));
        QVERIFY(grid->ListModified);
        // Closing keeps the window open too, until the user says No.
        prompts.expectQuestion(true);
        prompts.expectError();
        clickButton("ToolButton15");
        QVERIFY(grid->isVisible());
        prompts.expectQuestion(false);
        clickButton("ToolButton15");
        QVERIFY(!grid->isVisible());
    }

    void closeYesOnANewListOffersSaveAs() {
        open(1, 2);
        clickButton("ToolButton1");
        typeInto(3, 1, QStringLiteral("n@example.org"));
        prompts.expectQuestion(true);
        prompts.expectSaveFile(QString());
        grid->close();
        QVERIFY(!grid->isVisible());
        QVERIFY(!QFileInfo::exists(dataPath() + "untitled.csv"));
    }

    // ---- row commands ----

    void removeRows_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("names"); // the first names left, at most four
        QTest::addColumn<int>("rowCount");
        QTest::newRow("5 to 100 of 18") << 5 << 100 << QStringList{"Name1", "Name2", "Name3", "Name4"} << 5;
        QTest::newRow("1 to 18 of 18") << 1 << 18 << QStringList{""} << 2;
        QTest::newRow("current row") << 0 << 0 << QStringList{"Name1", "Name3", "Name4", "Name5"} << 18;
        QTest::newRow("5 to 999999 of 18")
            << 5 << 999999 << QStringList{"Name1", "Name2", "Name3", "Name4"} << 5;
        QTest::newRow("18 to 30 of 18: the last row")
            << 18 << 30 << QStringList{"Name1", "Name2", "Name3", "Name4"} << 18;
    }
    void removeRows() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, names);
        QFETCH(int, rowCount);
        open(1, 18);
        grid->SetCurrentCell(1, 2);
        removeRows(from, to);
        QCOMPARE(model()->RowCount(), rowCount);
        QCOMPARE(column(1).mid(0, 4), names);
        QCOMPARE(model()->Cell(0, rowCount - 1), QString::number(rowCount - 1));
        prompts.expectQuestion(false);
    }

    // A range that starts beyond the last row deletes nothing, and the editor says so.
    void rangeBeyondTheTable_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("message");
        QTest::newRow("German") << 0 << 25 << "Zeilen 25 bis 30 gibt es nicht. Nichts gelöscht.";
        QTest::newRow("English") << 1 << 25 << "There are no rows 25 to 30. Nothing deleted.";
        QTest::newRow("one row past the last") << 1 << 19 << "There are no rows 19 to 30. Nothing deleted.";
    }
    void rangeBeyondTheTable() {
        QFETCH(int, language);
        QFETCH(int, from);
        QFETCH(QString, message);
        open(language, 2);
        QCOMPARE(model()->RowCount(), 19);
        prompts.expectInformation([&](const ScriptedPrompts::Asked& a) { QCOMPARE(a.text, message); });
        removeRows(from, 30);
        QCOMPARE(model()->RowCount(), 19);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"Name1", "Name2", ""}));
        QCOMPARE(model()->Cell(0, 18), QStringLiteral("18"));
        QVERIFY(!grid->ListModified);
    }

    // Whether OK is clicked or Enter pressed, the table shows the new current row without a cell editor,
    // so the next key does not overwrite a cell.
    void noCellEditorAfterRemovingRows_data() {
        QTest::addColumn<bool>("enter");
        QTest::newRow("OK clicked") << false;
        QTest::newRow("Enter") << true;
    }
    void noCellEditorAfterRemovingRows() {
        QFETCH(bool, enter);
        open(1, 5);
        grid->SetCurrentCell(2, 3); // among the rows removed
        QVERIFY(cellEditor());
        removeRows(2, 3, enter);
        QCOMPARE(column(1).mid(0, 4), (QStringList{"Name1", "Name4", "Name5", ""}));
        QCOMPARE(grid->CurrentRow(), 2);
        QCOMPARE(grid->CurrentColumn(), 2);
        QVERIFY(!cellEditor());
        prompts.expectQuestion(false);
    }

    // The sort state is reset whatever the dialog's answer.
    void removeRowsResetsTheSortState_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("cancelled") << -1 << 0;
        QTest::newRow("current row") << 0 << 0;
        QTest::newRow("a range") << 2 << 3;
    }
    void removeRowsResetsTheSortState() {
        QFETCH(int, from);
        QFETCH(int, to);
        open(1, 3);
        clickHeading(1); // keeps the order, takes a snapshot
        HeadingSort* heading = grid->Heading();
        QVERIFY(heading->SortedAscending && heading->AscendingMark[1]);
        QCOMPARE(heading->Sort().SnapshotRowCount(), 4);
        removeRows(from, to);
        QVERIFY(!heading->SortedAscending);
        QVERIFY(!heading->AscendingMark[1]);
        QCOMPARE(heading->Sort().SnapshotRowCount(), 1);
        if (grid->ListModified) prompts.expectQuestion(false);
    }

    void duplicate_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("subjects");
        QTest::newRow("blank cell does nothing") << "  " << QStringList{"  ", "", "", "", "", "", "Seven"};
        QTest::newRow("text goes to rows 1 to 3")
            << " Hi " << QStringList{"Hi", "Hi", "Hi", "", "", "", "Seven"};
    }
    void duplicate() {
        QFETCH(QString, current);
        QFETCH(QStringList, subjects);
        // Used rows 1, 2 and 7.
        QVERIFY(writeBytes(dataPath() + "list.csv",
                           "A;;a@x;;;;;\r\nB;;b@x;;;;;\r\n\r\n\r\n\r\n\r\nG;;g@x;Seven;;;;\r\n"));
        open(1);
        model()->SetCell(4, 1, current);
        grid->SetCurrentCell(4, 1);
        clickButton("ToolButton16");
        QCOMPARE(column(4).mid(0, 7), subjects);
        QCOMPARE(grid->ListModified, subjects.first() == QStringLiteral("Hi"));
        if (grid->ListModified) prompts.expectQuestion(false);
    }

    void filePathColumns_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("takesPath");
        QTest::newRow("Email") << 3 << false;
        QTest::newRow("Message file") << 5 << true;
        QTest::newRow("Send") << 6 << false;
        QTest::newRow("Attachment") << 7 << true;
    }
    void filePathColumns() {
        QFETCH(int, column);
        QFETCH(bool, takesPath);
        open(1, 2);
        const QString file = dataPath() + "letter.txt";
        QVERIFY(writeBytes(file, "Dear $Name"));
        grid->SetCurrentCell(column, 2);
        if (takesPath)
            prompts.expectOpenFile(file, [](const ScriptedPrompts::Asked& a) {
                QCOMPARE(a.request.filter, QStringLiteral("All (*)"));
            });
        clickButton("ToolButton12");
        QCOMPARE(model()->Cell(column, 2) == file, takesPath);

        // View file opens a named file that exists in those columns alone, and nothing else.
        model()->SetCell(column, 2, file);
        clickButton("ToolButton2");
        model()->SetCell(column, 2, dataPath() + "missing.txt");
        clickButton("ToolButton2");
        QCOMPARE(opened, takesPath ? QList<QUrl>{QUrl::fromLocalFile(file)} : QList<QUrl>{});
        if (takesPath) prompts.expectQuestion(false);
    }

    void copyAndPasteOneCell_data() {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("cell");
        QTest::newRow("spreadsheet cell") << "Cell\r\n"
                                          << "Cell";
        QTest::newRow("lines and tabs") << "\nMain St. 1\r\n12345\tTown\r"
                                        << "Main St. 1 12345 Town";
        QTest::newRow("empty") << ""
                               << "";
    }
    void copyAndPasteOneCell() {
        QFETCH(QString, clipboard);
        QFETCH(QString, cell);
        open(1, 2);
        grid->SetCurrentCell(3, 2);
        clickButton("ToolButton7");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("p2@example.org"));
        QGuiApplication::clipboard()->setText(clipboard);
        grid->SetCurrentCell(2, 1);
        clickButton("ToolButton8");
        QCOMPARE(model()->Cell(2, 1), cell);
        prompts.expectQuestion(false);
    }

    // ---- the heading row as the sort control, without the window ----

    // Left clicks on a heading alternate between sorting ascending and showing the descending order.
    void headingSortClicks_data() {
        QTest::addColumn<QStringList>("presses"); // "L" or "R", then column and row
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<int>("arrow");
        QTest::addColumn<QString>("first");
        using Arrow = HeadingSort::SortArrow;
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
    void headingSortClicks() {
        QFETCH(QStringList, presses);
        QFETCH(int, sortColumn);
        QFETCH(QString, marks);
        QFETCH(int, arrow);
        QFETCH(QString, first);
        RecipientTableModel model;
        HeadingSort heading(model);
        heading.Sort().SetLocale(kGerman);
        fill(model, {"Bert|b", "Carl|a", "Anna|c"});
        for (const QString& press : presses) {
            const QStringList at = press.mid(1).split(QLatin1Char(','));
            heading.MouseDown(at.at(0).toInt(), at.at(1).toInt(), press.startsWith(QLatin1Char('L')));
        }
        QCOMPARE(heading.SortColumn, sortColumn);
        QString set;
        for (int c = 1; c < 8; ++c)
            if (heading.AscendingMark[c]) set += QString::number(c);
        QCOMPARE(set, marks);
        const int shown = sortColumn < 0 ? 1 : sortColumn;
        QCOMPARE(int(heading.HeadingArrow(shown)), arrow);
        for (int c = 0; c < 8; ++c)
            if (c != sortColumn) QCOMPARE(int(heading.HeadingArrow(c)), int(HeadingSort::SortArrow::None));
        QCOMPARE(model.Cell(1, 1), first);
    }

    void headingSortState() {
        RecipientTableModel model;
        HeadingSort heading(model);
        heading.Sort().SetLocale(kGerman);
        QSignalSpy repaints(&heading, &HeadingSort::arrowsChanged);
        // Showing the descending order without a snapshot changes no row but the arrow's direction.
        fill(model, {"a", "b"});
        heading.ShowDescending();
        QVERIFY(heading.ShowingDescending);
        QCOMPARE(rowTexts(model, 1, 2), (QStringList{"a", "b"}));

        heading.SortByColumn(1);
        QVERIFY(heading.SortedAscending);
        QVERIFY(!heading.ShowingDescending);
        heading.AscendingMark[1] = true;
        heading.SortColumn = 1;
        QCOMPARE(heading.Sort().SnapshotRowCount(), 3);

        // A sort that finds no named row resets the state; the arrow's column stays.
        for (int r = 1; r <= 2; ++r)
            model.SetCell(1, r, QString());
        heading.SortByColumn(3);
        QVERIFY(!heading.SortedAscending);
        QVERIFY(!heading.ShowingDescending);
        QVERIFY(!heading.AscendingMark[1]);
        QCOMPARE(heading.Sort().SnapshotRowCount(), 1);
        QCOMPARE(heading.SortColumn, 1);
        QVERIFY(repaints.size() >= 3);
    }

    // ---- the heading row ----

    void headingClicks() {
        QVERIFY(writeBytes(dataPath() + "list.csv", "b;;1@x;;;;;\r\nC;;2@x;;;;;\r\na;;3@x;;;;;\r\n"));
        open(1);
        using Arrow = HeadingSort::SortArrow;
        clickHeading(1);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"a", "b", "C"}));
        QVERIFY(arrowPainted(1));
        QVERIFY(!arrowPainted(2));
        clickHeading(1);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"C", "b", "a"}));
        QCOMPARE(grid->Heading()->HeadingArrow(1), Arrow::Descending);
        // A press into a data cell takes the arrow away but not what the next heading click does.
        QTest::mouseClick(grid->StringGrid1->viewport(), Qt::LeftButton, {},
                          grid->StringGrid1->visualRect(grid->StringGrid1->model()->index(0, 2)).center());
        QVERIFY(!arrowPainted(1));
        clickHeading(1);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"a", "b", "C"}));
        // A right click does nothing.
        clickHeading(2, Qt::RightButton);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"a", "b", "C"}));
        QCOMPARE(grid->Heading()->HeadingArrow(2), Arrow::None);
        // The corner is the row numbers' heading: sorts by them (the numbers travel with their rows).
        clickHeading(0);
        QCOMPARE(column(0).mid(0, 3), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(1).mid(0, 3), (QStringList{"b", "C", "a"}));
        QVERIFY(arrowPainted(0));
        QVERIFY(!grid->ListModified);
    }

    // The corner sorts by row number as numbers (9 before 10), so it brings back the order of the file.
    void rowNumberCornerRestoresTheOrder() {
        QVERIFY(writeBytes(dataPath() + "list.csv", listBytes(12)));
        open(1);
        clickHeading(1);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"Name1", "Name10", "Name11"}));
        clickHeading(0);
        QCOMPARE(column(0).mid(0, 12), rowNumbers(1, 12));
        clickButton("ToolButton9");
        QCOMPARE(readBytes(dataPath() + "list.csv"), listBytes(12));
    }

    // Fields after the seventh are not shown but stay with their row through editing, sorting and
    // removing rows, and are saved after the seventh.
    void fieldsAfterTheSeventhSurvive() {
        QVERIFY(writeBytes(dataPath() + "list.csv", "b;;b@x;;;;;K2;Beta Ltd;\r\nc;;c@x;;;;;K3\r\n"
                                                    "a;;a@x;;;;;K1;;Alpha;\r\n"));
        open(1);
        QCOMPARE(grid->StringGrid1->model()->columnCount(), 8);
        QVERIFY(grid->StringGrid1->isColumnHidden(0)); // seven columns on view
        typeInto(4, 2, QStringLiteral("Offer"));
        clickHeading(1);
        clickHeading(1); // c, b, a
        removeRows(2, 2);
        clickButton("ToolButton9");
        QCOMPARE(readBytes(dataPath() + "list.csv"),
                 QByteArray("c;;c@x;Offer;;;;K3\r\na;;a@x;;;;;K1;;Alpha;\r\n"));
    }

    void descendingOrderKeepsLaterEdits() {
        QVERIFY(writeBytes(dataPath() + "list.csv", "b;;1@x;;;;;\r\nc;;2@x;;;;;\r\na;;3@x;;;;;\r\n"));
        open(1);
        clickHeading(1);
        typeInto(3, 1, QStringLiteral("new@x"));
        clickHeading(1);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"c", "b", "a"}));
        QCOMPARE(column(3).mid(0, 3), (QStringList{"2@x", "1@x", "new@x"}));
        // After a sort by row number, the still-marked Name heading shows Name's descending order.
        clickHeading(1);
        clickHeading(0);
        clickHeading(1);
        QCOMPARE(column(1).mid(0, 3), (QStringList{"c", "b", "a"}));
        prompts.expectQuestion(false);
    }

    void clickScrollsBackToTheFirstColumn() {
        open(1, 2);
        for (int c = 1; c <= 7; ++c)
            grid->StringGrid1->horizontalHeader()->resizeSection(c, 300);
        QScrollBar* bar = grid->StringGrid1->horizontalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        QTest::mouseClick(grid->StringGrid1->viewport(), Qt::LeftButton, {},
                          QPoint(grid->StringGrid1->viewport()->width() - 20, 10));
        QTRY_COMPARE(bar->value(), 0);
    }
};

TARNEL_TEST_MAIN(TstFormGrid)
#include "tst_formgrid.moc"
