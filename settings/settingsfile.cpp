#include "settings/settingsfile.h"

#include "core/apperror.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "core/textfile.h"
#include "settings/cipher.h"
#include "settings/settingstexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {

constexpr int kLineCount = 11;
constexpr int kReservedCount = 3;
constexpr qsizetype kMaxLineLength = 4096;

// A fixed text left out of the count, in any letter case.
const QString kMarker = QStringLiteral("prd");

// Half of n rounded to the nearest integer, a half going to the even neighbour.
qsizetype halfRoundedToEven(qsizetype n) {
    const qsizetype half = n / 2;
    if (n % 2 == 0) return half;
    return half % 2 == 0 ? half : half + 1;
}

// What this program writes deciphers to exactly eleven lines, each ended by CR LF. A hand-typed file
// practically never deciphers to that, so this catches a scrambled file whose values are mostly
// characters the scrambling turns into printable ASCII (a long password of umlauts, for instance),
// which the printable-character count alone would take for a plain file.
bool hasWrittenLayout(const QByteArray& plain) {
    return plain.endsWith("\r\n") && plain.count('\r') == kLineCount && plain.count('\n') == kLineCount &&
           plain.count("\r\n") == kLineCount;
}

// A value of a one-line field; a line break pasted into it would shift every later line of the file.
QString oneLine(QString value) {
    value.remove(QLatin1Char('\r'));
    value.remove(QLatin1Char('\n'));
    return value;
}

QString dateTimeLine(double number, const QLocale& locale) {
    return dateTimeToRegionalText(numberToDateTime(number), locale);
}

void readDateTimeLine(const QString& line, double& value, const QLocale& locale) {
    if (isBlank(line)) return;
    const auto dateTime = regionalTextToDateTime(line, locale);
    value = dateTime ? dateTimeToNumber(*dateTime) : 0;
}

// Characters of a value that the 8-bit code page lacks, each once; a character beyond 16 bits stays whole.
QString charactersOutsideCodePage(const QString& value) {
    QString found;
    for (qsizetype i = 0; i < value.size();) {
        const bool pair =
            value.at(i).isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate();
        const QString character = value.mid(i, pair ? 2 : 1);
        i += character.size();
        if (!fitsAnsi(character) && !found.contains(character)) found += character;
    }
    return found;
}

// A load that failed: said in the interface language, with the path and the system's reason but never the
// file's content, which may be anything.
AppError loadFailed(int language, const QString& path, const QString& reason = QString()) {
    QString text = settingsTextsFor(language).loadFailed;
    if (!path.isEmpty()) text += QLatin1Char('\n') + QDir::toNativeSeparators(path);
    if (!reason.isEmpty()) text += QStringLiteral(": ") + reason;
    return AppError(text);
}

QByteArray readSettingsFileBytes(const QString& path, int language) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw loadFailed(language, path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw loadFailed(language, path, file.errorString());
    return bytes;
}

// Owner-only from the first byte on, because the content is merely scrambled.
void writePrivateFile(const QString& path, const QByteArray& bytes) {
    writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

QString settingsFilePath(const QString& dataFolder) {
    return dataFolder + settingsFileName();
}

bool LooksEnciphered(const QString& text) {
    QString counted = text;
    counted.remove(QStringLiteral("\r\n"));
    counted.remove(QLatin1Char('\t'));
    counted.remove(kMarker, Qt::CaseInsensitive);
    counted.remove(QLatin1Char(' '));
    const qsizetype total = counted.size();
    const qsizetype printable = std::count_if(counted.cbegin(), counted.cend(), [](QChar c) {
        return c.unicode() >= 33 && c.unicode() <= 126; // printable ASCII other than the blank
    });
    return printable == 0 || printable < halfRoundedToEven(total);
}

int systemDefaultLanguage(const QLocale& locale) {
    return locale.language() == QLocale::German && locale.territory() == QLocale::Germany ? 0 : 1;
}

QStringList settingsLinesFromFileBytes(const QByteArray& bytes) {
    // The format is 8-bit whatever the bytes look like; only a byte-order mark says otherwise.
    TextEncoding encoding = TextEncoding::Ansi;
    QString asRead = decodeText(bytes, &encoding);
    if (encoding == TextEncoding::Utf8NoBom) asRead = ansiToUnicode(bytes);
    const QByteArray deciphered = DecodeString(kSettingsKey, bytes);
    const bool enciphered = LooksEnciphered(asRead) || hasWrittenLayout(deciphered);
    QStringList lines = splitLines(enciphered ? ansiToUnicode(deciphered) : asRead);
    for (QString& line : lines)
        if (line.size() > kMaxLineLength) line.truncate(kMaxLineLength);
    return lines;
}

bool applySettingsLines(const QStringList& lines, StoredSettings& values, const QLocale& locale) {
    const auto line = [&lines](int number) {
        return number <= lines.size() ? lines.at(number - 1) : QString();
    };
    values.SmtpHost = line(1);
    values.SmtpUser = line(2);
    values.SmtpPassword = line(3);
    values.SmtpPort = isBlank(line(4)) ? QStringLiteral("25") : line(4);
    // Line 5 repeats the mail address and is not read.
    values.Reserved = QStringList{line(6), line(7), line(8)};
    const QString language = line(9);
    if (isBlank(language)) {
        values.Language = systemDefaultLanguage(locale);
    } else {
        bool ok = false;
        const int number = trimBlank(language).toInt(&ok, 10);
        if (!ok) return false;
        values.Language = number;
    }
    readDateTimeLine(line(10), values.ScheduledDate, locale);
    readDateTimeLine(line(11), values.ScheduledTime, locale);
    return true;
}

QByteArray settingsFileBytes(const StoredSettings& values, const QLocale& locale) {
    QStringList lines;
    lines << oneLine(values.SmtpHost) << oneLine(values.SmtpUser) << oneLine(values.SmtpPassword)
          << oneLine(values.SmtpPort) << oneLine(values.SmtpUser);
    for (int i = 0; i < kReservedCount; ++i)
        lines << (i < values.Reserved.size() ? oneLine(values.Reserved.at(i)) : QString());
    lines << QString::number(values.Language) << dateTimeLine(values.ScheduledDate, locale)
          << dateTimeLine(values.ScheduledTime, locale);
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1String("\r\n");
    return EncodeString(kSettingsKey, unicodeToAnsi(text));
}

void loadSettingsFile(const QString& dataFolder, StoredSettings& values, int language,
                      const QLocale& locale) {
    // Without a data folder the file would be looked for in whatever the working folder happens to be.
    if (dataFolder.isEmpty()) throw loadFailed(language, QString());
    // The whole path: on a fresh account even the user's data folder may not exist yet. A failure shows
    // up when the file is written.
    QDir().mkpath(dataFolder);
    const QString path = settingsFilePath(dataFolder);
    // First start: nothing stored, the schedule stays as it is. Anything but a regular file (a folder, a
    // pipe that would block the start) counts as no file.
    if (!QFileInfo(path).isFile()) return;
    if (!applySettingsLines(settingsLinesFromFileBytes(readSettingsFileBytes(path, language)), values,
                            locale))
        throw loadFailed(language, path);
}

std::vector<UnstorableCharacters> unstorableCharacters(const StoredSettings& values) {
    const std::pair<SettingsField, const QString*> fields[] = {
        {SettingsField::Host, &values.SmtpHost},
        {SettingsField::User, &values.SmtpUser},
        {SettingsField::Password, &values.SmtpPassword},
        {SettingsField::Port, &values.SmtpPort}};
    std::vector<UnstorableCharacters> found;
    for (const auto& [field, value] : fields) {
        QString characters = charactersOutsideCodePage(*value);
        if (!characters.isEmpty()) found.push_back({field, std::move(characters)});
    }
    return found;
}

QString unstorableCharactersMessage(const StoredSettings& values, int language) {
    const SettingsTexts texts = settingsTextsFor(language);
    QStringList lines;
    for (const UnstorableCharacters& found : unstorableCharacters(values))
        lines << texts.unstorable.at(std::size_t(found.field)).arg(found.characters);
    return lines.join(QLatin1Char('\n'));
}

void saveSettingsFile(const QString& dataFolder, const StoredSettings& values,
                      const RemoveFileElevatedFunction& removeFileElevated, const QLocale& locale,
                      int retryPauseMs) {
    if (dataFolder.isEmpty()) throw AppError(QStringLiteral("Cannot save the settings: no data folder."));
    const QString path = settingsFilePath(dataFolder);
    const QByteArray bytes = settingsFileBytes(values, locale);
    try {
        writePrivateFile(path, bytes);
        return;
    } catch (const AppError&) {
        // One more attempt once a helper with raised rights has had the chance to remove the file.
    }
    if (removeFileElevated) removeFileElevated(path);
    QThread::msleep(static_cast<unsigned long>(retryPauseMs));
    writePrivateFile(path, bytes);
}
