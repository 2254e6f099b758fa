#pragma once

#include "core/prompts.h"
#include "recipients/formgridtexts.h"
#include "recipients/listeditor.h"
#include "recipients/recipientlistfile.h"

#include <QDialog>
#include <QPixmap>
#include <QUrl>

#include <functional>

class HeadingSort;
class QLabel;
class QStatusBar;
class QTableView;
class QToolBar;
class QToolButton;
class RecipientTableModel;
class TFormLoeschen;

namespace formgrid {
class GridView;
class RowNumberModel;
} // namespace formgrid

// Recipient list editor: the list file as a table under a toolbar, with the line count and the file's
// path in the status bar. The main window hands it DataPath, FItems and Language before each showing
// and takes FItems back when it closes.
class TFormGrid : public QDialog {
    Q_OBJECT
public:
    explicit TFormGrid(Prompts& prompts, QWidget* parent = nullptr);
    ~TFormGrid() override;

    // The data folder (ends with "/"): start folder of the file dialogs, folder of the default list.
    QString DataPath;
    // The list file.
    QString FItems;
    int Language = 0;

    // The row-range dialog behind Remove rows; set once at start.
    TFormLoeschen* FormLoeschen = nullptr;
    // Shows the CSV import window over the editor's table, in the editor's language, and returns when it
    // has closed; set once at start by whoever owns that window.
    std::function<void(RecipientTableModel& table, int language)> ShowImportWindow;
    // Opens a file with the desktop's handler (View file); tests replace it to see what was opened.
    std::function<bool(const QUrl&)> OpenUrl;
    // Opens a topic of the program's help; the main window sets it, since it knows the help file.
    std::function<void(int topic)> ShowHelpTopic;

    // Set by every change of the table's content (in-place edits and the commands that change rows or
    // cells; sorting does not), cleared by each showing, New, a load and a successful save.
    bool ListModified = false;

    // The table and what it shows. The model counts rows as the grid does: row 0 is the heading row.
    RecipientTableModel* Model() const { return m_model; }
    // The heading row as the sort control: the arrows, the marks and the sort with its snapshot.
    HeadingSort* Heading() const { return m_heading; }
    QTableView* StringGrid1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr; // line count
    QLabel* StatusPanel1 = nullptr; // list file

    // The current cell, counted as the model counts (columns 1 to 7, rows from 1).
    int CurrentColumn() const;
    int CurrentRow() const;
    void SetCurrentCell(int column, int row);

    // Operations, one per user event.
    void FormShow();
    void ApplyLanguage();
    // Asks about unsaved changes; false keeps the window open (only when saving failed).
    bool FormCloseQuery();
    void FormResize();
    void ToolButton1Click();  // New
    void ToolButton3Click();  // Load
    void ToolButton9Click();  // Save
    void ToolButton4Click();  // Save as
    void ToolButton5Click();  // Insert row
    void ToolButton10Click(); // Remove rows
    void ToolButton7Click();  // Copy
    void ToolButton8Click();  // Paste
    void ToolButton11Click(); // Clear list
    void ToolButton12Click(); // Insert file path
    void ToolButton16Click(); // Duplicate into column
    void ToolButton2Click();  // View file
    void ToolButton17Click(); // Import CSV
    void ToolButton14Click(); // Help
    void ToolButton15Click(); // Quit
    void StringGrid1Click();
    void StringGrid1SetEditText();
    // A mouse press on the table; row 0 is the heading row, -1 outside the cells.
    void StringGrid1MouseDown(int column, int row, bool leftButton);

    // Runs an operation; an error it does not handle is shown in an error box and the window goes on.
    bool runGuarded(const std::function<void()>& operation);

    // The close box, the Quit button and Esc all end here.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class SaveOutcome { Saved, NothingToSave, Cancelled, Failed };
    SaveOutcome saveList();
    SaveOutcome saveListAs();
    bool writeList(const QString& path);
    // Before New and Load: asks to save unsaved changes. False when they should not be thrown away.
    bool askToSaveChanges();
    void buildToolBar();
    void buildTable();
    void setModified();
    void showLineCount();
    void fitRowNumberColumn();
    void paintCorner(QWidget* corner);
    // Commands work on the model; an open cell editor hands its text over first.
    void runCommand(void (TFormGrid::*command)());

    Prompts& m_prompts;
    RecipientTableModel* m_model = nullptr;
    HeadingSort* m_heading = nullptr;
    RecipientListFile m_listFile;
    formgrid::RowNumberModel* m_rowNumbers = nullptr;
    formgrid::GridView* m_view = nullptr; // StringGrid1
    FormGridTexts m_texts;
    FileDialogRequest m_openDialog1;
    FileDialogRequest m_saveDialog1;
    QPixmap m_image1; // the ascending arrow
    QPixmap m_image2; // the descending arrow
    bool m_placed = false;
    // Counts every change the model reports, whoever made it; tells whether the import wrote rows.
    quint64 m_tableChanges = 0;
};
