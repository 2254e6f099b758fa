#include "app/messagefield.h"

#include "core/interfacetexts.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextDocument>

MessageField::MessageField(QPlainTextEdit* field, Prompts& prompts, QString& currentFile)
    : m_field(field), m_prompts(prompts), m_currentFile(currentFile) {}

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

void MessageField::open(const QString& path) {
    m_currentFile = path;
    load(path);
}

void MessageField::openChosen(const QString& folder) {
    const QString path = m_prompts.openFile({folder, QString(), QStringLiteral("Alle (*)")});
    if (path.isEmpty()) return;
    m_currentFile = path;
    m_field->clear();
    load(path);
}

void MessageField::saveChosen() {
    if (m_field->toPlainText().isEmpty()) return;
    const QString path = chooseSavePath();
    if (path.isEmpty()) return;
    m_currentFile = path;
    m_file.save(path, lines());
}

QString MessageField::chooseSavePath() {
    if (!m_currentFile.isEmpty()) {
        const QFileInfo info(m_currentFile);
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

void MessageField::openDefault(const QString& path, int language, const QString& askCreate) {
    if (QFileInfo::exists(path)) {
        m_field->clear();
        load(path);
    } else {
        if (!m_prompts.question(askCreate)) return;
        m_field->clear();
        m_file.startNew();
        setLines(defaultMessageTemplate(language));
        m_file.save(path, lines());
    }
    m_currentFile = path;
}
