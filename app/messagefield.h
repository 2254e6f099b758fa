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
    MessageField(QPlainTextEdit* field, Prompts& prompts);

    // The field's text as file lines, and lines into the field: exact inverses, with every character kept
    // (no-break spaces and line separators included).
    QStringList lines() const { return linesOf(m_field); }
    static QStringList linesOf(const QPlainTextEdit* field);
    void setLines(const QStringList& lines);

    // Loads a file into the field; raises AppError when it cannot be read (the field keeps its text).
    void load(const QString& path);
    // Asks where to save the text, starting at `currentFile` when there is one; empty when cancelled.
    QString chooseSavePath(const QString& currentFile);
    // Saves the text in the layout of the file last loaded; raises AppError when it cannot.
    void save(const QString& path);
    // Loads the default message, or, when it is missing and `askCreate` is answered Yes, makes it from the
    // template of the language. False when nothing was loaded.
    bool openDefault(const QString& path, int language, const QString& askCreate);

    const TextFormat& format() const { return m_file.format(); }
    FileDialogRequest SaveDialog;

private:
    QPlainTextEdit* m_field;
    Prompts& m_prompts;
    MessageFile m_file;
};
