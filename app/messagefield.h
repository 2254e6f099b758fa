#pragma once

#include "core/messagefile.h"
#include "core/prompts.h"

#include <QString>
#include <QStringList>

class QPlainTextEdit;

// The main window's message field and the file its text came from: loading and saving keep the file's
// layout (so a file opened and saved unchanged keeps every byte), the save dialog keeps its folder and
// name between uses, and a missing default message is made anew when the user agrees.
class MessageField {
public:
    // `currentFile` is the shared state's message file: the one the text was last opened from or saved to.
    MessageField(QPlainTextEdit* field, Prompts& prompts, QString& currentFile);

    // The field's text as file lines, and lines into the field: exact inverses, with every character kept
    // (no-break spaces and line separators included).
    QStringList lines() const { return linesOf(m_field); }
    static QStringList linesOf(const QPlainTextEdit* field);
    void setLines(const QStringList& lines);

    // Makes `path` the current file and loads it; raises AppError when it cannot be read (the field keeps
    // its text). openChosen asks for the file in `folder` first and empties the field before it loads.
    void open(const QString& path);
    void openChosen(const QString& folder);
    // Asks where to save a text that is not empty (starting at the current file) and saves it there in the
    // layout of the file last loaded; raises AppError when it cannot.
    void saveChosen();
    // Loads the default message, or, when it is missing and `askCreate` is answered Yes, makes it from the
    // template of the language; either way it becomes the current file.
    void openDefault(const QString& path, int language, const QString& askCreate);

    const TextFormat& format() const { return m_file.format(); }
    FileDialogRequest SaveDialog;

private:
    QPlainTextEdit* m_field;
    Prompts& m_prompts;
    QString& m_currentFile;
    MessageFile m_file;

    void load(const QString& path);
    QString chooseSavePath();
};
