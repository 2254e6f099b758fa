#include "recipients/recipientlistfile.h"

#include "core/blank.h"
#include "core/recipientline.h"
#include "recipients/recipienttablemodel.h"

#include <QFileInfo>

QString RecipientListFile::LoadListFile(const QString& path, RecipientTableModel& table,
                                        const QString& linesPrefix) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return {};
    const TextFileContent content = readTextFile(path);
    m_encoding = content.encoding;
    m_listText.clear();
    const int lineCount = int(content.lines.size());
    std::vector<RecipientTableModel::Row> rows(static_cast<std::size_t>(lineCount));
    for (int k = 0; k < lineCount; ++k) {
        const QString& line = content.lines.at(k);
        // A blank line leaves its row empty.
        if (isBlank(line)) continue;
        RecipientRow fields = SplitRecipientLine(line);
        RecipientTableModel::Row& cells = rows[std::size_t(k)];
        for (int c = 1; c <= RecipientRow::FieldCount; ++c)
            cells[std::size_t(c)] = std::move(fields.field(c));
        cells.Extra = std::move(fields.Extra);
    }
    table.AssignRows(std::move(rows));
    table.NumberRows();
    return linesPrefix + QString::number(lineCount);
}

int RecipientListFile::BuildListText(const RecipientTableModel& table) {
    m_listText.clear();
    m_listText.reserve(table.RowCount() - 1);
    RecipientRow fields;
    for (int r = 1; r < table.RowCount(); ++r) {
        const RecipientTableModel::Row& cells = table.RowAt(r);
        for (int c = 1; c <= RecipientRow::FieldCount; ++c)
            fields.field(c) = cells[std::size_t(c)];
        // The fields after the seventh, which the editor does not show, go back unchanged.
        fields.Extra = cells.Extra;
        const QString line = JoinRecipientLine(fields);
        if (!isBlank(line)) m_listText.append(line);
    }
    return int(m_listText.size());
}

void RecipientListFile::WriteListText(const QString& path) const {
    writeTextFile(path, m_listText, m_encoding);
}
