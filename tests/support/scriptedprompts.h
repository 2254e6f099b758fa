#pragma once

#include "core/prompts.h"

#include <QList>
#include <QStringList>

#include <functional>

// Answers the program's prompts from a script and records every one asked. A prompt nobody expected is
// answered with No / Cancel and reported by problems(), which each test checks at its end.
class ScriptedPrompts : public Prompts {
public:
    enum class Kind { Information, Warning, Error, Question, OpenFile, SaveFile };
    struct Asked {
        Kind kind;
        QString text;
        FileDialogRequest request;
    };
    using Check = std::function<void(const Asked&)>;

    void expectInformation(Check check = {}) { expect(Kind::Information, false, {}, check); }
    void expectWarning(Check check = {}) { expect(Kind::Warning, false, {}, check); }
    void expectError(Check check = {}) { expect(Kind::Error, false, {}, check); }
    void expectQuestion(bool yes, Check check = {}) { expect(Kind::Question, yes, {}, check); }
    void expectOpenFile(const QString& path, Check check = {}) { expect(Kind::OpenFile, false, path, check); }
    void expectSaveFile(const QString& path, Check check = {}) { expect(Kind::SaveFile, false, path, check); }

    // Unexpected prompts and expected ones never asked; empty when the script ran as written.
    QStringList problems() const;
    void reset();

    QList<Asked> asked;

    void information(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;

    static QString kindName(Kind kind);

private:
    struct Expected {
        Kind kind;
        bool yes;
        QString path;
        Check check;
    };
    void expect(Kind kind, bool yes, const QString& path, const Check& check);
    // The scripted answer, or nullptr for an unexpected prompt.
    const Expected* take(Kind kind, const QString& text, const FileDialogRequest& request);

    QList<Expected> m_script;
    Expected m_current{};
    QStringList m_unexpected;
};

// Fails the running test when the prompts did not go as scripted.
#define VERIFY_PROMPTS(prompts)                                                                              \
    do {                                                                                                     \
        const QStringList problems_ = (prompts).problems();                                                  \
        QVERIFY2(problems_.isEmpty(), qPrintable(problems_.join(QLatin1String("; "))));                      \
    } while (false)
