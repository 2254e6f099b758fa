#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The running program's version as major.minor.release.build, "Not available" when the build has none.
QString FileVersionText();
// `version` in four decimal parts (missing trailing parts count as 0); "Not available" unless it is one
// to four whole numbers from 0 to 65535 joined by ".".
QString fileVersionText(const QString& version);

// The installer program in the folder of the program's own files (which ends with "/").
QString installerPath(const QString& filesFolder);

// The six fields of the installer's parameter line: product word, version text, program file name,
// "0", the path and the action of a file removal (both empty for an ordinary update).
QStringList installerFields(const QString& versionText, const QString& programFileName,
                            const QString& updatePath, const QString& updateAction);
// The fields joined by single blanks, without leading and trailing blanks and control characters.
QString installerParameterLine(const QStringList& fields);

// A program to start and its arguments. `elevated` when the start goes through pkexec.
struct ProgramStart {
    QString program;
    QStringList arguments;
    bool elevated = false;
};

// pkexec's path, empty when the system has none.
QString findPkexec();
// The installer's start: through pkexec when there is one (the system asks the user for consent),
// otherwise the installer itself. Each field is one argument, so a path holding blanks stays whole;
// empty fields at the end are left out, as the stripped parameter line leaves them out.
ProgramStart installerStart(const QString& installer, const QStringList& fields, const QString& pkexecPath);

// Starts a program without waiting for it. False when it cannot be started at all. For an elevated start
// `refused` runs later, from the event loop, when the consent was refused or not given; it may run after
// the caller is gone, so it must guard what it touches.
using ProgramStarter = std::function<bool(const ProgramStart& start, const std::function<void()>& refused)>;
bool startProgram(const ProgramStart& start, const std::function<void()>& refused);

struct UpdateRequest {
    QString filesFolder; // the program's own files, see programFilesFolder(); ends with "/"
    QString programFileName;
    QString versionText;
    QString updatePath;
    QString updateAction;
    QString pkexecPath; // empty: start the installer directly
};

// The request for the running program: its files folder, file name and version, and pkexec when there is
// one; `updatePath` and `updateAction` name a file removal (both empty for an ordinary update).
UpdateRequest updateRequestForThisProgram(const QString& updatePath, const QString& updateAction);

enum class UpdateOutcome { NoInstaller, Started, Failed };

// Starts the installer for an update or a file removal. A missing installer starts nothing.
UpdateOutcome runOnlineUpdate(const UpdateRequest& request, const ProgramStarter& starter,
                              const std::function<void()>& refused);
