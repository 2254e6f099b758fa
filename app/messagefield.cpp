#include "app/messagefield.h"

#include "core/interfacetexts.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextDocument>

MessageField::MessageField(QPlainTextEdit* field, Prompts& prompts) : m_field(field), m_prompts(prompts) {}

QStringList MessageField::linesOf(const QPlainTextEdit* field) {
    // The plain-text view turns no-break spaces into blanks and line separators into breaks; the raw text
    // keeps them, with a paragraph separator between lines.
    QString text = field->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return splitEditorText(text);
}

void MessageField::setLines(const QStringList& lines) {
    m_field->setPlainText(joinEditorLines(lines));
}

void MessageField::load(const QString& path) {
    setLines(m_file.load(path));
}

QString MessageField::chooseSavePath(const QString& currentFile) {
    if (!currentFile.isEmpty()) {
        const QFileInfo info(currentFile);
        SaveDialog.folder = info.path();
        SaveDialog.fileName = info.fileName();
    }
    const QString path = m_prompts.saveFile(SaveDialog);
    if (path.isEmpty()) return path;
    const QFileInfo chosen(path);
    SaveDialog.folder = chosen.path();
    SaveDialog.fileName = chosen.fileName();
    return path;
}

void MessageField::save(const QString& path) {
    m_file.save(path, lines());
}

bool MessageField::openDefault(const QString& path, int language, const QString& askCreate) {
    if (QFileInfo::exists(path)) {
        m_field->clear();
        load(path);
        return true;
    }
    if (!m_prompts.question(askCreate)) return false;
    m_field->clear();
    m_file.startNew();
    setLines(defaultMessageTemplate(language));
    m_file.save(path, lines());
    return true;
}
