#pragma once

// What the kill test's driver writes, known to the test as well: two whole contents for each file, so a
// file found after a kill can be told to be one or the other.

#include "core/textfile.h"
#include "settings/settingsfile.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace killcontent {

inline QLocale locale() {
    return QLocale(QLocale::German, QLocale::Germany);
}

// Two settings of different lengths; a long password makes each write take a while.
inline StoredSettings settings(int variant) {
    StoredSettings values;
    values.SmtpHost = variant ? QStringLiteral("mail.example.org") : QStringLiteral("smtp.example.test");
    values.SmtpUser = QStringLiteral("user%1@example.org").arg(variant);
    values.SmtpPassword = QString(variant ? 3000 : 2000, variant ? QChar(u'ß') : QChar(u'x'));
    values.SmtpPort = variant ? QStringLiteral("587") : QStringLiteral("25");
    values.Language = variant;
    values.ScheduledDate = variant ? 46365 : 0;
    values.ScheduledTime = variant ? 0.5 : 0;
    return values;
}

// A message file as the main window saves it: UTF-16 with its mark and LF line ends, kept as read.
inline TextFormat messageFormat() {
    TextFormat format;
    format.encoding = TextEncoding::Utf16LE;
    format.lineBreak = LineBreak::Lf;
    return format;
}

inline QStringList message(int variant) {
    QStringList lines;
    const int count = variant ? 3000 : 2000;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("Zeile %1 von Text %2: Grüße an $Prename $Name").arg(i).arg(variant);
    return lines;
}

// The sent stamp of round `round` of the mailing run (its clock stands still), in the driver's locale.
inline QDateTime stamp(int round) {
    return QDateTime(QDate(2026, 12, 9), QTime(8, 0)).addSecs(61 * round);
}

} // namespace killcontent
