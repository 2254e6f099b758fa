#include "app/appwindows.h"
#include "app/formnewmail.h"
#include "bench/bench.h"
#include "core/textfile.h"
#include "recipients/formgrid.h"
#include "recipients/headingsort.h"
#include "recipients/recipienttablemodel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <stdexcept>

// The recipient list editor as a user meets it: opened from the main window's button with a list of
// 100,000 recipients, then sorted by a click on the Name heading. Each figure runs until the window
// has painted what the user asked for.
namespace {

constexpr int kRows = 100000;

// Nothing here should ask the user anything; a question would stop the clock, so it ends the benchmark.
class NoPrompts : public Prompts {
public:
    QString asked;
    void information(const QString& text) override { note(text); }
    void warning(const QString& text) override { note(text); }
    void error(const QString& text) override { note(text); }
    bool question(const QString& text) override {
        note(text);
        return false;
    }
    QString openFile(const FileDialogRequest& request) override {
        note(QStringLiteral("open-file dialog in ") + request.folder);
        return {};
    }
    QString saveFile(const FileDialogRequest& request) override {
        note(QStringLiteral("save-file dialog in ") + request.folder);
        return {};
    }

private:
    void note(const QString& text) {
        if (asked.isEmpty()) asked = text;
    }
};

void require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

QStringList recipients() {
    const QStringList family = {"Lehmann", "Krause", "Maier",  "Köhler", "Herrmann", "König", "Walter",
                                "Mayer",   "Huber",  "Kaiser", "Fuchs",  "Peters",   "Lang",  "Scholz"};
    QStringList lines;
    lines.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        // A spread of names that is not already in order.
        const QString name =
            family.at(int((qint64(i) * 7919) % family.size())) + QString::number((qint64(i) * 104729) % 9973);
        lines << name + QStringLiteral(";Kim;kim%1@example.org;Offer;default;;;").arg(i);
    }
    return lines;
}

const Bench editor("editor", [] {
    QTemporaryDir home;
    require(home.isValid(), "no temporary folder");
    // The main window finds its data folder here, and in it the default list.
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    require(QDir(home.path()).mkpath(QStringLiteral("prdata")), "no data folder");
    writeTextFile(home.filePath(QStringLiteral("prdata/sendlist.csv")), recipients(), TextEncoding::Ansi);

    NoPrompts prompts;
    AppWindows windows(prompts);
    TFormNewMail* main = windows.FormNewMail.get();
    main->show();
    require(QTest::qWaitForWindowExposed(main), "the main window did not show");
    TFormGrid* grid = windows.FormGrid;
    auto* listButton = main->findChild<QToolButton*>(QStringLiteral("ToolButton1"));
    require(listButton, "no recipient list button");

    QElapsedTimer clock;
    double openSeconds = -1;
    double sortSeconds = -1;
    int rows = 0;
    QString firstName;
    QTimer::singleShot(0, grid, [&] {
        // The window is up with its list; it counts once it has painted.
        grid->repaint();
        openSeconds = clock.nsecsElapsed() / 1e9;
        rows = grid->Model()->RowCount() - 1;

        QHeaderView* headings = grid->StringGrid1->horizontalHeader();
        const QPoint name(headings->sectionViewportPosition(1) + headings->sectionSize(1) / 2,
                          headings->height() / 2);
        clock.restart();
        QTest::mouseClick(headings->viewport(), Qt::LeftButton, {}, name);
        grid->repaint();
        sortSeconds = clock.nsecsElapsed() / 1e9;
        firstName = grid->Model()->Cell(1, 1);
        grid->reject();
    });
    clock.start();
    listButton->click();

    if (!prompts.asked.isEmpty())
        throw std::runtime_error("unexpected prompt: " + prompts.asked.toStdString());
    require(rows == kRows, "the editor did not load the list");
    require(grid->Heading()->SortedAscending && firstName.startsWith(QStringLiteral("Fuchs")),
            "the heading click did not sort");
    reportFigure(QStringLiteral("editor open 100000 rows"), openSeconds, QStringLiteral("s"));
    reportFigure(QStringLiteral("editor sort 100000 rows"), sortSeconds, QStringLiteral("s"));
});

} // namespace
