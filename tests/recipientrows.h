#pragma once

// Filling and reading the recipient table in the tests of the table, its list file, its sort and the
// heading row: a row is written as its seven fields joined by "|".

#include "core/datetimenumber.h"
#include "recipients/recipienttablemodel.h"

#include <QFile>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

namespace recipientrows {

inline const QLocale kGerman(QLocale::German, QLocale::Germany);

inline void fill(RecipientTableModel& model, const QStringList& rows) {
    if (rows.size() + 1 > model.RowCount()) model.SetRowCount(int(rows.size()) + 1);
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList fields = rows.at(r).split(QLatin1Char('|'));
        for (int c = 1; c <= 7; ++c)
            model.SetCell(c, r + 1, c - 1 < fields.size() ? fields.at(c - 1) : QString());
    }
    model.NumberRows();
}

inline QString rowText(const RecipientTableModel& model, int row) {
    QStringList fields;
    for (int c = 1; c <= 7; ++c)
        fields << model.Cell(c, row);
    while (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast();
    return fields.join(QLatin1Char('|'));
}

inline QStringList rowTexts(const RecipientTableModel& model, int first, int last) {
    QStringList texts;
    for (int r = first; r <= last; ++r)
        texts << rowText(model, r);
    return texts;
}

// Column 0 of rows 1 to `last`: the row numbers the rows had before a sort.
inline QStringList numbers(const RecipientTableModel& model, int last) {
    QStringList list;
    for (int r = 1; r <= last; ++r)
        list << model.Cell(0, r);
    return list;
}

inline QStringList rowNumbers(int from, int to) {
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

inline QString stamp(int year, int month, int day, int hour, int minute, int second) {
    return dateTimeToRegionalText(QDateTime(QDate(year, month, day), QTime(hour, minute, second)), kGerman);
}

} // namespace recipientrows
