#include "import/csvimport.h"

#include "core/blank.h"
#include "recipients/recipienttablemodel.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr QChar kQuote = u'"';

// Reads one record, field by field, through as many lines as its quoted fields span.
class RecordReader {
public:
    // `lines` is null for a single line, which then is the whole text.
    RecordReader(const QStringList* lines, qsizetype first, QStringView line)
        : m_lines(lines), m_index(first), m_line(line) {}

    ImportFields read(QStringView sep) {
        ImportFields fields;
        QString beyond; // a field after the seventh: read only to find where the record ends
        for (std::size_t k = 0;; ++k) {
            QString& field = k < fields.size() ? fields[k] : beyond;
            if (m_pos < m_line.size() && m_line.at(m_pos) == kQuote) {
                ++m_pos;
                field = readQuoted();
            }
            const qsizetype next = m_line.indexOf(sep, m_pos);
            if (k < fields.size()) field += m_line.mid(m_pos, (next < 0 ? m_line.size() : next) - m_pos);
            if (next < 0) break;
            m_pos = next + sep.size();
        }
        return fields;
    }

    // The line after the record's last one.
    qsizetype nextLine() const { return m_index + 1; }

private:
    // A quoted field from just after its opening mark: the text up to the closing mark with doubled marks
    // made single, running on through the following lines while the mark is not closed, each line break
    // becoming one blank (a cell holds no line break). Without a closing mark it runs to the end of the text.
    QString readQuoted() {
        QString value;
        for (;;) {
            const qsizetype mark = m_line.indexOf(kQuote, m_pos);
            if (mark < 0) {
                value += m_line.mid(m_pos);
                m_pos = m_line.size();
                if (!nextLineOfRecord()) return value;
                value += u' ';
                continue;
            }
            value += m_line.mid(m_pos, mark - m_pos);
            if (mark + 1 < m_line.size() && m_line.at(mark + 1) == kQuote) {
                value += kQuote;
                m_pos = mark + 2;
            } else {
                m_pos = mark + 1;
                return value;
            }
        }
    }

    bool nextLineOfRecord() {
        if (!m_lines || m_index + 1 >= m_lines->size()) return false;
        m_line = m_lines->at(++m_index);
        m_pos = 0;
        return true;
    }

    const QStringList* m_lines;
    qsizetype m_index;
    QStringView m_line;
    qsizetype m_pos = 0;
};

} // namespace

QString DetectSeparator(const QStringList& lines) {
    const auto first = lines.cbegin();
    const auto last = first + std::min<qsizetype>(lines.size(), 4);
    if (std::any_of(first, last, [](const QString& line) { return line.contains(u';'); }))
        return QStringLiteral(";");
    if (std::any_of(first, last, [](const QString& line) { return line.contains(u','); }))
        return QStringLiteral(",");
    return {};
}

ImportFields SplitFields(QStringView line, QStringView sep) {
    if (sep.isEmpty()) {
        ImportFields fields;
        fields[0] = line.toString();
        return fields;
    }
    return RecordReader(nullptr, 0, line).read(sep);
}

ImportFields SplitRecord(const QStringList& lines, qsizetype& next, QStringView sep) {
    if (sep.isEmpty()) return SplitFields(lines.at(next++), sep);
    RecordReader reader(&lines, next, lines.at(next));
    ImportFields fields = reader.read(sep);
    next = reader.nextLine();
    return fields;
}

ImportOutcome ImportLines(const QStringList& lines, const QString& sep, RecipientTableModel& model) {
    if (std::all_of(lines.cbegin(), lines.cend(), [](const QString& line) { return isBlank(line); }))
        return ImportOutcome::EmptyText;
    const QString separator = trimBlank(sep);
    if (separator.isEmpty()) return ImportOutcome::NoSeparator;

    // One row per record: a record of several lines moves the rows below it up.
    std::vector<RecipientTableModel::Row> rows;
    rows.reserve(std::size_t(lines.size()));
    for (qsizetype next = 0; next < lines.size();) {
        RecipientTableModel::Row& row = rows.emplace_back();
        if (isBlank(lines.at(next))) {
            ++next;
            continue;
        }
        ImportFields fields = SplitRecord(lines, next, separator);
        std::move(fields.begin(), fields.end(), row.begin() + 1);
    }
    model.AssignRows(std::move(rows));
    model.NumberRows();
    return ImportOutcome::Imported;
}

ImportWindowLayout importWindowLayout(int outerWidth, int outerHeight) {
    // Halves round to the even neighbour (the default rounding mode).
    const int half = int(std::nearbyint(outerWidth / 2.0));
    return {outerHeight - 170, outerHeight - 120, half - 125};
}
