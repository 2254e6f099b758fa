#include "bench/bench.h"
#include "import/csvimport.h"
#include "recipients/recipienttablemodel.h"

#include <QStringList>

#include <stdexcept>

namespace {

constexpr int kLines = 100000;

// An address book's export: comma-separated, every fourth name quoted because it holds a comma.
QStringList exportedLines() {
    QStringList lines;
    lines.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
        const QString name = i % 4 == 0 ? QStringLiteral("\"Müller, Dr.\"") : QStringLiteral("Schröder");
        lines << QStringLiteral("%1,Jürgen,j%2@example.org,Newsletter %3,default,,/home/user/flyer.pdf")
                     .arg(name, QString::number(i), QString::number(i % 12 + 1));
    }
    return lines;
}

const Bench csvImport("import", [] {
    const QStringList lines = exportedLines();
    RecipientTableModel model;
    ImportOutcome outcome = ImportOutcome::EmptyText;
    reportFigure(QStringLiteral("csv import 100000 lines"),
                 timeSeconds([&] { outcome = ImportLines(lines, QStringLiteral(","), model); }),
                 QStringLiteral("s"));
    if (outcome != ImportOutcome::Imported || model.RowCount() != kLines + 1 ||
        model.Cell(1, 1) != QStringLiteral("Müller, Dr.") || model.Cell(3, kLines) != "j99999@example.org" ||
        model.Cell(0, kLines) != QString::number(kLines))
        throw std::runtime_error("the lines were not imported");
});

} // namespace
