#pragma once

#include "core/prompts.h"
#include "core/textfile.h"

#include <QDialog>
#include <QUrl>

#include <functional>

class QFrame;
class QGroupBox;
class QLabel;
class QRadioButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class QsciScintilla;
class RecipientTableModel;

// CSV import window: foreign delimited text, loaded or pasted into a line-numbered editor, is imported
// into the recipient list editor's table.
class TFormImport : public QDialog {
    Q_OBJECT
public:
    explicit TFormImport(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;
    // The recipient list editor's table, which the import fills; set before the window is shown.
    RecipientTableModel* TargetModel = nullptr;
    // ";" or ",", or empty when none is chosen. Kept from one showing to the next.
    QString Sep;
    // The file last loaded or saved here; empty at each showing.
    QString ImportFile;
    // Opens the help file with the desktop's handler; tests replace it to see what was opened.
    std::function<bool(const QUrl&)> OpenUrl;

    void FormShow();
    void ApplyLanguage();
    void FormResize();
    void ToolButton14Click(); // new
    void ToolButton19Click(); // load file
    void ToolButton12Click(); // save
    void ToolButton6Click();  // copy
    void ToolButton11Click(); // import data
    void ToolButton16Click(); // help
    void ToolButton18Click(); // quit
    void RadioButton1Click();
    void RadioButton2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolBar();
    void buildControls();
    void bind(QToolButton* button, void (TFormImport::*operation)());
    void runGuarded(const std::function<void()>& operation);
    void setEditorLines(const QStringList& lines);
    QStringList editorLines() const;
    void checkSeparatorButton();
    void fitLineNumbers();

    Prompts& m_prompts;
    // How the next save lays out its bytes: as the file last loaded (or written), so that an unchanged
    // text is written back byte for byte.
    TextFormat m_format;
    QString m_msgNoSeparator;
    QString m_askReplace;

    QToolBar* m_toolBar1 = nullptr;
    QsciScintilla* m_synMemo1 = nullptr;
    QFrame* m_jvGradient1 = nullptr;
    QGroupBox* m_groupBox1 = nullptr;
    QRadioButton* m_radioButton1 = nullptr;
    QRadioButton* m_radioButton2 = nullptr;
    QStatusBar* m_statusBar1 = nullptr;
    QLabel* m_statusPanel1 = nullptr;
    QLabel* m_statusPanel2 = nullptr;
};
