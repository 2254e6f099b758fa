#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

// The values the settings file carries between runs. Loading fills them in place, so a load that fails
// half-way leaves what it had already read; saving takes the account values as they stand in the fields.
struct StoredSettings {
    QString SmtpHost;
    QString SmtpUser;
    QString SmtpPassword;
    QString SmtpPort;
    // Lines 6 to 8: not used by the program, carried unchanged from the file read at start into every
    // file written later. Empty when no file was read.
    QStringList Reserved;
    int Language = 0;
    double ScheduledDate = 0; // date-time numbers, 0 = none
    double ScheduledTime = 0;
};

// The settings file in the data folder.
QString settingsFilePath(const QString& dataFolder);

// True when a loaded text is taken to be scrambled rather than typed by hand: after dropping line breaks,
// tabs, blanks and a fixed marker, fewer than half of its characters are printable ASCII.
bool LooksEnciphered(const QString& text);

// The interface language when the file leaves it blank: German for a German (Germany) system, else English.
int systemDefaultLanguage(const QLocale& locale = QLocale::system());

// The plain lines of a settings file's bytes, scrambled or typed by hand.
QStringList settingsLinesFromFileBytes(const QByteArray& bytes);
// Takes the values from the lines. Raises AppError when line 9 is neither blank nor a whole number; the
// account and reserved values are set by then, the schedule is not.
void applySettingsLines(const QStringList& lines, StoredSettings& values,
                        const QLocale& locale = QLocale::system());
// The eleven CR LF lines in the 8-bit code page, scrambled: exactly the bytes of the file.
QByteArray settingsFileBytes(const StoredSettings& values, const QLocale& locale = QLocale::system());

// Creates the data folder (with the folders above it) if missing and reads the file into `values`. Without a
// file only the schedule is touched (it stays as it is). Raises AppError when the file exists but cannot be
// read, and when no data folder is given (rather than looking in the working folder; saving does the same).
void loadSettingsFile(const QString& dataFolder, StoredSettings& values,
                      const QLocale& locale = QLocale::system());

// Asks a helper with raised rights to remove a file the program cannot replace itself.
using RemoveFileElevatedFunction = std::function<void(const QString& path)>;

// Writes the file atomically, readable by its owner only (it holds the password). When the write fails,
// has the file removed through `removeFileElevated`, pauses `retryPauseMs` and writes once more; a second
// failure raises AppError.
void saveSettingsFile(const QString& dataFolder, const StoredSettings& values,
                      const RemoveFileElevatedFunction& removeFileElevated,
                      const QLocale& locale = QLocale::system(), int retryPauseMs = 400);
