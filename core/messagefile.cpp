#include "core/messagefile.h"

QStringList MessageFile::load(const QString& path) {
    TextFileContent content = readTextFile(path);
    m_format = content;
    return std::move(content.lines);
}

void MessageFile::save(const QString& path, const QStringList& lines) {
    // Text the kept 8-bit layout cannot hold switches to UTF-8; the next save keeps that.
    m_format = writeTextFile(path, lines, m_format);
}
