// The CSV import: separator detection, field splitting and the import's row logic, on any text as the
// import window holds it, then the table written out as list lines the way the editor saves it. Fields
// without quotation marks are the line's first seven parts; quoted fields come back exactly; a record that
// spans lines splits as its lines joined by blanks; each record fills one row, in order; and every saved
// line reads back as the row it came from.
#include "core/blank.h"
#include "core/recipientline.h"
#include "core/textfile.h"
#include "fuzz/fuzzcheck.h"
#include "import/csvimport.h"
#include "recipients/recipientlistfile.h"
#include "recipients/recipientsort.h"
#include "recipients/recipienttablemodel.h"

#include <vector>

namespace {

constexpr qsizetype kMaxCheckedLines = 64;

ImportFields quotedRoundTrip(const ImportFields& fields, const QString& sep) {
    QStringList quoted;
    for (const QString& field : fields)
        quoted << QLatin1Char('"') + QString(field).replace(QLatin1String("\""), QLatin1String("\"\"")) +
                      QLatin1Char('"');
    return SplitFields(quoted.join(sep), sep);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    // The separator field of the window: detected, or whatever the user typed there.
    const QString typed = QString::fromUtf8(in.field());
    const QStringList lines = splitEditorText(decodeText(in.rest()));

    const QString detected = DetectSeparator(lines);
    FUZZ_CHECK(detected.isEmpty() || detected == QLatin1String(";") || detected == QLatin1String(","),
               detected);
    const QString sep = (mode & 1) ? typed : detected;
    const QString used = trimBlank(sep);

    for (qsizetype i = 0; i < std::min(lines.size(), kMaxCheckedLines); ++i) {
        const QString& line = lines.at(i);
        const ImportFields fields = SplitFields(line, used);
        if (used.isEmpty()) {
            FUZZ_CHECK(fields[0] == line, line);
            continue;
        }
        if (!line.contains(u'"')) {
            const QStringList parts = line.split(used);
            for (std::size_t f = 0; f < fields.size(); ++f)
                FUZZ_CHECK(fields[f] == (qsizetype(f) < parts.size() ? parts.at(qsizetype(f)) : QString()),
                           line << used << f);
        }
        if (!used.contains(u'"')) FUZZ_CHECK(quotedRoundTrip(fields, used) == fields, line << used);
    }

    // Records: a record runs on past a line only inside a quoted field, where each break is one blank.
    std::vector<ImportFields> records;
    for (qsizetype next = 0; next < lines.size() && qsizetype(records.size()) < kMaxCheckedLines;) {
        const qsizetype first = next;
        if (isBlank(lines.at(first))) {
            records.emplace_back();
            ++next;
            continue;
        }
        records.push_back(SplitRecord(lines, next, used));
        FUZZ_CHECK(next > first && next <= lines.size(), first << next);
        if (used.isEmpty() || used.contains(u'"')) continue;
        const QString joined = lines.mid(first, next - first).join(u' ');
        FUZZ_CHECK(records.back() == SplitFields(joined, used), first << next << joined << used);
        if (next - first > 1) FUZZ_CHECK(lines.at(first).contains(u'"'), lines.at(first));
    }

    RecipientTableModel model;
    const ImportOutcome outcome = ImportLines(lines, sep, model);
    if (outcome != ImportOutcome::Imported) return 0;
    FUZZ_CHECK(model.RowCount() - 1 >= qsizetype(records.size()), records.size() << model.RowCount());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const int row = int(i) + 1;
        FUZZ_CHECK(model.Cell(0, row) == QString::number(row), row << model.Cell(0, row));
        for (int c = 1; c <= RecipientRow::FieldCount; ++c)
            FUZZ_CHECK(model.Cell(c, row) == records[i][std::size_t(c - 1)], row << c);
    }

    // Saved as the editor saves it: one line per row with an address, and each reads back as that row.
    RecipientListFile list;
    list.BuildListText(model);
    qsizetype next = 0;
    for (int row = 1; row < model.RowCount(); ++row) {
        RecipientRow cells;
        for (int c = 1; c <= RecipientRow::FieldCount; ++c)
            cells.field(c) = model.Cell(c, row);
        const QString line = JoinRecipientLine(cells);
        if (line.isEmpty()) continue;
        FUZZ_CHECK(next < list.ListText().size() && list.ListText().at(next) == line, row);
        ++next;
        // Seven fields, the address where it was: what the cell held, trimmed, with a ";" (which the
        // line format cannot hold) turned into ",".
        FUZZ_CHECK(line.count(u';') == RecipientRow::FieldCount, "row" << row << line);
        const RecipientRow back = SplitRecipientLine(line);
        for (int c = 1; c <= RecipientRow::FieldCount; ++c)
            FUZZ_CHECK(back.field(c) == trimBlank(cells.field(c)).replace(u';', u','),
                       "row" << row << "field" << c << line);
    }
    FUZZ_CHECK(next == list.ListText().size(), next << list.ListText().size());

    // Sorting by a name and by the sent column (dates) keeps every row.
    const int rows = model.RowCount();
    RecipientSort sort;
    sort.SortByColumn(model, 1 + (mode >> 1) % 7);
    sort.SortByColumn(model, RecipientTableModel::SendColumn);
    FUZZ_CHECK(model.RowCount() == rows, rows << model.RowCount());
    return 0;
}
