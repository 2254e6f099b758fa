#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

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
// Takes the values from the lines. Returns false when line 9 is neither blank nor a whole number; the
// account and reserved values are set by then, the language and the schedule are not.
bool applySettingsLines(const QStringList& lines, StoredSettings& values,
                        const QLocale& locale = QLocale::system());
// The eleven CR LF lines in the 8-bit code page, scrambled: exactly the bytes of the file.
QByteArray settingsFileBytes(const StoredSettings& values, const QLocale& locale = QLocale::system());

// Creates the data folder (with the folders above it) if missing and reads the file into `values`. Without a
// file only the schedule is touched (it stays as it is). Raises AppError when the file exists but cannot be
// read, when its language line is neither blank nor a whole number, and when no data folder is given
// (rather than looking in the working folder; saving does the same). The error's text says in `language`
// (the interface language) that the settings file could not be read and is left as it is, with the file's
// path and the system's reason on a second line; never what the file holds.
void loadSettingsFile(const QString& dataFolder, StoredSettings& values, int language,
                      const QLocale& locale = QLocale::system());

// The account values the user types, in the order of their lines in the file.
enum class SettingsField { Host, User, Password, Port };

// Characters of one account value that the file's 8-bit code page lacks: saved, each would come back as "?".
struct UnstorableCharacters {
    SettingsField field;
    QString characters; // each once, in the order they first appear
};

// The characters of the account values (host, mail address, password, port) that the settings file cannot
// hold, per field in that order; fields that fit are left out.
std::vector<UnstorableCharacters> unstorableCharacters(const StoredSettings& values);
// What to tell the user before saving, in `language`: one line per field that holds such characters
// ("The password contains characters the settings file cannot store: 密码"), or empty when all fit.
QString unstorableCharactersMessage(const StoredSettings& values, int language);

// Asks a helper with raised rights to remove a file the program cannot replace itself.
using RemoveFileElevatedFunction = std::function<void(const QString& path)>;

// Writes the file atomically, readable by its owner only (it holds the password). When the write fails,
// has the file removed through `removeFileElevated`, pauses `retryPauseMs` and writes once more; a second
// failure raises AppError.
void saveSettingsFile(const QString& dataFolder, const StoredSettings& values,
                      const RemoveFileElevatedFunction& removeFileElevated,
                      const QLocale& locale = QLocale::system(), int retryPauseMs = 400);
