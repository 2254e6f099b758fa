#include "bench/bench.h"
#include "core/datetimenumber.h"
#include "recipients/recipientlistfile.h"
#include "recipients/recipientsort.h"
#include "recipients/recipienttablemodel.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

#include <stdexcept>

namespace {

constexpr int kRows = 100000;

// A list as a mailing leaves it: most rows carry a sent stamp, some a failure text or nothing.
QStringList generatedList(const QLocale& locale) {
    const QStringList names = {"Müller", "Schmidt",  "Schneider", "Fischer", "Weber", "Meyer",     "Wagner",
                               "Becker", "Schulz",   "Hoffmann",  "Koch",    "Bauer", "Richter",   "Klein",
                               "Wolf",   "Schröder", "Neumann",   "Schwarz", "Braun", "Zimmermann"};
    const QStringList prenames = {"Anna",  "Ben",   "Clara", "David", "Emma",
                                  "Felix", "Greta", "Hans",  "Ida",   "Jan"};
    QRandomGenerator random(20260101);
    const QDateTime start(QDate(2025, 1, 1), QTime(8, 0));
    QStringList lines;
    lines.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        const QString name = names.at(int(random.bounded(names.size())));
        const QString prename = prenames.at(int(random.bounded(prenames.size())));
        QString sent;
        const quint32 outcome = random.bounded(10);
        if (outcome < 8)
            sent = dateTimeToRegionalText(start.addSecs(qint64(random.bounded(30000000))), locale);
        else if (outcome == 8)
            sent = QStringLiteral("Failed: 550 mailbox unavailable");
        lines << QStringLiteral("%1;%2;%3.%4.%5@example.org;Newsletter %6;default;%7;/home/user/flyer.pdf;")
                     .arg(name, prename, prename.toLower(), name.toLower(), QString::number(i),
                          QString::number(i % 12 + 1), sent);
    }
    return lines;
}

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

const Bench recipients("recipients", [] {
    const QLocale locale(QLocale::German, QLocale::Germany);
    QTemporaryDir dir;
    check(dir.isValid(), "no temporary folder");
    const QString file = dir.filePath(QStringLiteral("sendlist.csv"));
    writeTextFile(file, generatedList(locale), TextEncoding::Ansi);

    RecipientTableModel model;
    RecipientListFile list;
    RecipientSort sort;
    sort.SetLocale(locale);
    QString status;
    reportFigure(QStringLiteral("recipient list LoadListFile, 100000 rows"),
                 timeSeconds([&] { status = list.LoadListFile(file, model); }), QStringLiteral("s"));
    check(status == QStringLiteral("Zeilen: 100000"), "the list did not load");

    reportFigure(QStringLiteral("recipient list SortByColumn Name, 100000 rows"),
                 timeSeconds([&] { sort.SortByColumn(model, 1); }), QStringLiteral("s"));
    check(sort.SnapshotRowCount() == kRows + 1, "the Name sort took no snapshot");

    reportFigure(QStringLiteral("recipient list SortByColumn sent, 100000 rows"),
                 timeSeconds([&] { sort.SortByColumn(model, RecipientTableModel::SendColumn); }),
                 QStringLiteral("s"));
    check(sort.SnapshotRowCount() == kRows + 1, "the sent-column sort took no snapshot");

    int count = 0;
    reportFigure(QStringLiteral("recipient list BuildListText + atomic write, 100000 rows"), timeSeconds([&] {
                     count = list.BuildListText(model);
                     list.WriteListText(file);
                 }),
                 QStringLiteral("s"));
    check(count == kRows, "rows were lost on saving");
});

} // namespace
