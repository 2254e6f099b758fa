#include "tests/support/scriptedprompts.h"

#include <QtDebug>

QString ScriptedPrompts::kindName(Kind kind) {
    switch (kind) {
    case Kind::Information:
        return QStringLiteral("information");
    case Kind::Warning:
        return QStringLiteral("warning");
    case Kind::Error:
        return QStringLiteral("error");
    case Kind::Question:
        return QStringLiteral("question");
    case Kind::OpenFile:
        return QStringLiteral("open-file dialog");
    case Kind::SaveFile:
        return QStringLiteral("save-file dialog");
    }
    return {};
}

void ScriptedPrompts::expect(Kind kind, bool yes, const QString& path, const Check& check) {
    m_script.append({kind, yes, path, check});
}

QStringList ScriptedPrompts::problems() const {
    QStringList list = m_unexpected;
    for (const Expected& e : m_script)
        list << QStringLiteral("expected %1 was never shown").arg(kindName(e.kind));
    return list;
}

void ScriptedPrompts::reset() {
    asked.clear();
    m_script.clear();
    m_unexpected.clear();
}

const ScriptedPrompts::Expected* ScriptedPrompts::take(Kind kind, const QString& text,
                                                       const FileDialogRequest& request) {
    asked.append({kind, text, request});
    if (m_script.isEmpty() || m_script.first().kind != kind) {
        const QString problem = QStringLiteral("unexpected %1: \"%2\"").arg(kindName(kind), text);
        qWarning().noquote() << problem;
        m_unexpected << problem;
        return nullptr;
    }
    m_current = m_script.takeFirst();
    if (m_current.check) m_current.check(asked.last());
    return &m_current;
}

void ScriptedPrompts::information(const QString& text) {
    take(Kind::Information, text, {});
}

void ScriptedPrompts::warning(const QString& text) {
    take(Kind::Warning, text, {});
}

void ScriptedPrompts::error(const QString& text) {
    take(Kind::Error, text, {});
}

bool ScriptedPrompts::question(const QString& text) {
    const Expected* e = take(Kind::Question, text, {});
    return e && e->yes;
}

QString ScriptedPrompts::openFile(const FileDialogRequest& request) {
    const Expected* e = take(Kind::OpenFile, QString(), request);
    return e ? e->path : QString();
}

QString ScriptedPrompts::saveFile(const FileDialogRequest& request) {
    const Expected* e = take(Kind::SaveFile, QString(), request);
    return e ? e->path : QString();
}
