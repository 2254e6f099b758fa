#pragma once

#include "core/prompts.h"

// The real prompts: Qt's message boxes and file dialogs, owned by the window that is active.
class QtPrompts : public Prompts {
public:
    void information(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;
};
