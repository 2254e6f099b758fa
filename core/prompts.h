#pragma once

#include <QString>

#include <functional>

// What a file dialog is opened with. `filter` is in Qt's form ("Alle (*)"); an empty one shows all files.
struct FileDialogRequest {
    QString folder;
    QString fileName;
    QString filter;
};

// Every modal question, message box and file dialog of the program goes through this, so the windows
// can be driven by tests. Message boxes have an OK button, questions Yes and No.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void information(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
    // true for Yes.
    virtual bool question(const QString& text) = 0;
    // The chosen file's full path; empty when the dialog was cancelled.
    virtual QString openFile(const FileDialogRequest& request) = 0;
    virtual QString saveFile(const FileDialogRequest& request) = 0;
};

// Runs an operation; an error it does not handle itself is shown in an error box with the error's text (the
// default error report), and the program goes on. Returns false after an error.
bool runReportingErrors(Prompts& prompts, const std::function<void()>& operation);
