#pragma once

#include "core/textfile.h"

#include <QString>
#include <QStringList>

// The message text as the main window edits it, and the layout (encoding, line breaks) of the file it came
// from, so a file opened and saved unchanged keeps every byte. New text gets the layout of a new file.
class MessageFile {
public:
    // Reads the file; its layout becomes the one the next save writes in. Raises AppError when it cannot.
    QStringList load(const QString& path);
    // Writes the lines atomically in the kept layout; raises AppError when it cannot.
    void save(const QString& path, const QStringList& lines);
    // What follows is new text: the next save writes it as a new file.
    void startNew() { m_format = TextFormat(); }
    const TextFormat& format() const { return m_format; }

private:
    TextFormat m_format;
};
