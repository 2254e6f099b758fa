#include "import/csvimport.h"

#include "core/blank.h"
#include "recipients/recipienttablemodel.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr QChar kQuote = u'"';

// A quoted field from just after its opening mark: the text up to the closing mark with doubled marks
// made single. `pos` is left after the closing mark, or at the end of the line when there is none.
QString unquote(QStringView line, qsizetype& pos) {
    QString value;
    const qsizetype n = line.size();
    while (pos < n) {
        const qsizetype mark = line.indexOf(kQuote, pos);
        if (mark < 0) break;
        value += line.mid(pos, mark - pos);
        if (mark + 1 < n && line.at(mark + 1) == kQuote) {
            value += kQuote;
            pos = mark + 2;
        } else {
            pos = mark + 1;
            return value;
        }
    }
    value += line.mid(pos);
    pos = n;
    return value;
}

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
    ImportFields fields;
    if (sep.isEmpty()) {
        fields[0] = line.toString();
        return fields;
    }
    const qsizetype n = line.size();
    qsizetype pos = 0;
    for (QString& field : fields) {
        if (pos < n && line.at(pos) == kQuote) {
            ++pos;
            field = unquote(line, pos);
        }
        const qsizetype next = line.indexOf(sep, pos);
        field += line.mid(pos, (next < 0 ? n : next) - pos);
        if (next < 0) break;
        pos = next + sep.size();
    }
    return fields;
}

ImportOutcome ImportLines(const QStringList& lines, const QString& sep, RecipientTableModel& model) {
    if (std::all_of(lines.cbegin(), lines.cend(), [](const QString& line) { return isBlank(line); }))
        return ImportOutcome::EmptyText;
    const QString separator = trimBlank(sep);
    if (separator.isEmpty()) return ImportOutcome::NoSeparator;

    std::vector<RecipientTableModel::Row> rows(std::size_t(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (isBlank(line)) continue;
        ImportFields fields = SplitFields(line, separator);
        std::move(fields.begin(), fields.end(), rows[std::size_t(i)].begin() + 1);
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
