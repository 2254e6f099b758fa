#include "recipients/formgrid.h"

#include "core/apperror.h"
#include "core/blank.h"
#include "recipients/formloeschen.h"
#include "recipients/gridviews.h"
#include "recipients/headingsort.h"
#include "recipients/recipienttablemodel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>
#include <map>

// Q_INIT_RESOURCE must stand outside any namespace.
static void registerFormGridIcons() {
    Q_INIT_RESOURCE(formgridicons);
}

namespace {

constexpr int kClientWidth = 780;
constexpr int kClientHeight = 528;
constexpr int kToolBarHeight = 29;
constexpr int kToolBarIndent = 100;
constexpr int kStatusBarHeight = 25;
constexpr int kRowHeight = 24;
constexpr int kHelpTopic = 100;
const QColor kFixedCellColour(233, 236, 232);

const QString kOpenFilter = QStringLiteral("CSV (*.csv);;All (*)");
const QString kSaveFilter = QStringLiteral("CSV (*.csv);;Alle (*)");
const QString kAnyFileFilter = QStringLiteral("All (*)");

QIcon icon(const char* name) {
    return QIcon(QStringLiteral(":/recipients/%1.png").arg(QLatin1String(name)));
}

} // namespace

using formgrid::GridView;
using formgrid::HeadingView;
using formgrid::RowNumberModel;

TFormGrid::TFormGrid(Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_model(new RecipientTableModel(this)),
      m_heading(new HeadingSort(*m_model, this)), m_texts(formGridTexts(Language)) {
    registerFormGridIcons();
    setObjectName(QStringLiteral("FormGrid"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setFont(QFont(QStringLiteral("Arial"), 8));
    resize(kClientWidth, kClientHeight);
    m_image1 = QPixmap(QStringLiteral(":/recipients/arrowdown.png"));
    m_image2 = QPixmap(QStringLiteral(":/recipients/arrowup.png"));

    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(ToolBar1);
    buildTable();
    layout->addWidget(StringGrid1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusPanel0 = new QLabel(m_texts.linesPrefix.trimmed(), StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setMinimumWidth(80);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(400);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    layout->addWidget(StatusBar1);

    for (auto change : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, change, this, [this] {
            ++m_tableChanges;
            fitRowNumberColumn();
        });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { ++m_tableChanges; });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { ++m_tableChanges; });
    connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] { ++m_tableChanges; });
    connect(m_model, &RecipientTableModel::cellEdited, this, [this] { StringGrid1SetEditText(); });
    ApplyLanguage();
}

TFormGrid::~TFormGrid() = default;

void TFormGrid::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setStyleSheet(QStringLiteral(
        "QToolBar { border: 0; spacing: 0; padding: 0; background-color: #B6BFD0;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E9ECE8, stop:1 #C0C0C0); }"
        " QToolBar::separator { width: 8px; }"
        " QToolButton { padding: 1px; margin: 0; }"));
    auto* indent = new QWidget(ToolBar1);
    indent->setFixedSize(kToolBarIndent, kToolBarHeight);
    ToolBar1->addWidget(indent);

    using Command = void (TFormGrid::*)();
    const std::map<QByteArray, Command> commands = {
        {"ToolButton1", &TFormGrid::ToolButton1Click},   {"ToolButton3", &TFormGrid::ToolButton3Click},
        {"ToolButton9", &TFormGrid::ToolButton9Click},   {"ToolButton5", &TFormGrid::ToolButton5Click},
        {"ToolButton10", &TFormGrid::ToolButton10Click}, {"ToolButton4", &TFormGrid::ToolButton4Click},
        {"ToolButton7", &TFormGrid::ToolButton7Click},   {"ToolButton8", &TFormGrid::ToolButton8Click},
        {"ToolButton11", &TFormGrid::ToolButton11Click}, {"ToolButton12", &TFormGrid::ToolButton12Click},
        {"ToolButton16", &TFormGrid::ToolButton16Click}, {"ToolButton2", &TFormGrid::ToolButton2Click},
        {"ToolButton17", &TFormGrid::ToolButton17Click}, {"ToolButton14", &TFormGrid::ToolButton14Click},
        {"ToolButton15", &TFormGrid::ToolButton15Click},
    };
    for (const FormGridButton& b : formGridButtons()) {
        if (!b.icon) {
            ToolBar1->addSeparator()->setObjectName(QLatin1String(b.name));
            continue;
        }
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QLatin1String(b.name));
        button->setIcon(icon(b.icon));
        button->setAutoRaise(true);
        button->setFixedSize(kToolBarHeight + 1, kToolBarHeight);
        ToolBar1->addWidget(button);
        const Command command = commands.at(b.name);
        connect(button, &QToolButton::clicked, this, [this, command] { runCommand(command); });
        // The window sees the key before its controls do, except a key a cell editor takes for itself
        // (copy and paste there work on the editor's text). A shortcut takes no place in the tab order.
        auto* shortcut = new QShortcut(QKeySequence(QLatin1String(b.keys), QKeySequence::PortableText), this);
        shortcut->setObjectName(QLatin1String(b.name) + QLatin1String("Key"));
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, command] { runCommand(command); });
    }
}

void TFormGrid::buildTable() {
    m_rowNumbers = new RowNumberModel(m_model, this);
    m_view = new GridView(this);
    StringGrid1 = m_view;
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setFont(QFont(QStringLiteral("Arial"), 8));
    auto* headings = new HeadingView(m_heading, &m_image1, &m_image2, StringGrid1);
    headings->setObjectName(QStringLiteral("StringGrid1Headings"));
    StringGrid1->setHorizontalHeader(headings);
    StringGrid1->setModel(m_rowNumbers);
    // Column 0 of the table is shown as the vertical header.
    StringGrid1->setColumnHidden(0, true);

    QPalette cells = StringGrid1->palette();
    cells.setColor(QPalette::Base, Qt::white);
    StringGrid1->setPalette(cells);
    StringGrid1->setShowGrid(true);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    // The cell editor follows the current cell; Tab moves on to the next one.
    StringGrid1->setEditTriggers(QAbstractItemView::AllEditTriggers);
    StringGrid1->setTabKeyNavigation(true);
    StringGrid1->setWordWrap(false);
    StringGrid1->setCornerButtonEnabled(true);

    const QString fixedCells =
        QStringLiteral(
            "QHeaderView::section { background-color: %1; color: black; border: 0;"
            " border-right: 1px solid #A0A0A0; border-bottom: 1px solid #A0A0A0; padding: 0 4px 0 0; }")
            .arg(kFixedCellColour.name());
    headings->setStyleSheet(fixedCells);
    headings->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    headings->setSectionResizeMode(QHeaderView::Interactive);
    headings->setSectionsClickable(false);
    headings->setHighlightSections(false);
    headings->setFixedHeight(kRowHeight);
    headings->setMinimumSectionSize(8);
    headings->pressed = [this](int column, bool left) {
        m_view->commitEditor();
        runGuarded([&] { StringGrid1MouseDown(column, 0, left); });
    };

    QHeaderView* rows = StringGrid1->verticalHeader();
    rows->setObjectName(QStringLiteral("StringGrid1RowNumbers"));
    rows->setStyleSheet(fixedCells);
    rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rows->setSectionResizeMode(QHeaderView::Interactive);
    rows->setMinimumSectionSize(4);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionsClickable(false);
    rows->setHighlightSections(false);
    rows->viewport()->installEventFilter(this);
    fitRowNumberColumn();

    m_view->pressed = [this](int column, int row, bool left) { StringGrid1MouseDown(column, row, left); };
    m_view->clickedCell = [this] { StringGrid1Click(); };
    StringGrid1->installEventFilter(this);
    // The corner above the row numbers is the heading of column 0: it sorts by row number.
    if (auto* corner = StringGrid1->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        corner->setObjectName(QStringLiteral("StringGrid1Corner"));
        corner->installEventFilter(this);
        // The arrow there follows the sort state as the headings' arrows do.
        connect(m_heading, &HeadingSort::arrowsChanged, corner, [corner] { corner->update(); });
    }
}

bool TFormGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StringGrid1) {
        if (event->type() == QEvent::Resize) FormResize();
        return QDialog::eventFilter(watched, event);
    }
    if (watched == StringGrid1->verticalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int row = StringGrid1->verticalHeader()->logicalIndexAt(mouse->position().toPoint());
            StringGrid1MouseDown(0, row < 0 ? -1 : row + 1, mouse->button() == Qt::LeftButton);
        }
        return QDialog::eventFilter(watched, event);
    }
    auto* corner = qobject_cast<QAbstractButton*>(watched);
    if (corner && corner->parent() == StringGrid1) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            m_view->commitEditor();
            const bool left = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            runGuarded([&] { StringGrid1MouseDown(0, 0, left); });
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            // Not the view's select-all.
            return true;
        case QEvent::Paint:
            paintCorner(corner);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormGrid::paintCorner(QWidget* corner) {
    QPainter painter(corner);
    const QRect r = corner->rect();
    painter.fillRect(r, kFixedCellColour);
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    switch (m_heading->HeadingArrow(0)) {
    case HeadingSort::SortArrow::Ascending:
        painter.drawPixmap(0, 0, m_image1);
        break;
    case HeadingSort::SortArrow::Descending:
        painter.drawPixmap(0, 0, m_image2);
        break;
    case HeadingSort::SortArrow::None:
        break;
    }
}

bool TFormGrid::runGuarded(const std::function<void()>& operation) {
    return runReportingErrors(m_prompts, operation);
}

void TFormGrid::runCommand(void (TFormGrid::*command)()) {
    m_view->commitEditor();
    runGuarded([this, command] { (this->*command)(); });
}

// ---- Current cell ---------------------------------------------------------------------------------------

int TFormGrid::CurrentColumn() const {
    const QModelIndex current = StringGrid1->currentIndex();
    return current.isValid() && current.column() >= 1 ? current.column() : 1;
}

int TFormGrid::CurrentRow() const {
    const QModelIndex current = StringGrid1->currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void TFormGrid::SetCurrentCell(int column, int row) {
    const QModelIndex index = m_rowNumbers->index(row - 1, column);
    if (!index.isValid()) return;
    StringGrid1->setCurrentIndex(index);
    StringGrid1->scrollTo(index);
}

// ---- Showing, closing, resizing -------------------------------------------------------------------------

void TFormGrid::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        if (!m_placed) {
            // Centred on the screen.
            if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
            m_placed = true;
        }
        runGuarded([this] { FormShow(); });
    }
    QDialog::showEvent(event);
}

void TFormGrid::FormShow() {
    ListModified = false;
    m_view->commitEditor();
    m_model->ClearTable();
    // Numbered from the start, also when no list is loaded (the file dialog below cancelled).
    m_model->NumberRows();
    m_heading->ResetSortState();
    if (isBlank(FItems)) FItems = DataPath + defaultListFileName();
    fitRowNumberColumn();
    if (!QFileInfo(FItems).isFile()) {
        if (m_openDialog1.folder.isEmpty()) m_openDialog1.folder = DataPath;
        m_openDialog1.fileName = defaultListFileName();
        if (m_openDialog1.filter.isEmpty()) m_openDialog1.filter = kOpenFilter;
        const QString path = m_prompts.openFile(m_openDialog1);
        if (!path.isEmpty()) {
            FItems = path;
            m_openDialog1.folder = QFileInfo(path).absolutePath();
        }
    }
    ApplyLanguage();
    StatusPanel0->setText(m_texts.linesPrefix.trimmed());
    StatusPanel1->setText(FItems);
    SetCurrentCell(1, 1);
    const QString lines = m_listFile.LoadListFile(FItems, *m_model, m_texts.linesPrefix);
    if (!lines.isEmpty()) StatusPanel0->setText(lines);
    SetCurrentCell(1, 1);
}

void TFormGrid::ApplyLanguage() {
    m_texts = formGridTexts(Language);
    setWindowTitle(m_texts.caption);
    for (const FormGridButton& b : formGridButtons()) {
        if (!b.icon) continue;
        if (auto* button = ToolBar1->findChild<QToolButton*>(QLatin1String(b.name)))
            button->setToolTip(m_texts.hints.value(QLatin1String(b.name)));
    }
    m_model->SetHeadings(Language);
}

void TFormGrid::reject() {
    if (isVisible() && !FormCloseQuery()) return;
    QDialog::reject();
}

bool TFormGrid::FormCloseQuery() {
    m_view->commitEditor();
    if (!ListModified || !m_prompts.question(m_texts.saveChangesAsk)) return true;
    // Only a save that failed keeps the window open, so the changes are not lost with it.
    return saveList() != SaveOutcome::Failed;
}

void TFormGrid::FormResize() {
    QHeaderView* columns = StringGrid1->horizontalHeader();
    const int width = dataColumnWidth(StringGrid1->width(), columns->minimumSectionSize());
    columns->setDefaultSectionSize(width);
    for (int c = 1; c < RecipientTableModel::ColumnCount; ++c)
        columns->resizeSection(c, width);
    fitRowNumberColumn();
}

void TFormGrid::fitRowNumberColumn() {
    // 30 pixels, or as wide as the highest row number needs, so that no number is shown cut.
    QHeaderView* rows = StringGrid1->verticalHeader();
    const int needed = rows->fontMetrics().horizontalAdvance(QString::number(m_model->RowCount() - 1)) + 8;
    rows->setFixedWidth(std::max(RowNumberColumnWidth, needed));
}

// ---- File commands --------------------------------------------------------------------------------------

bool TFormGrid::askToSaveChanges() {
    if (!ListModified || !m_prompts.question(m_texts.saveChangesAsk)) return true;
    const SaveOutcome outcome = saveList();
    return outcome == SaveOutcome::Saved || outcome == SaveOutcome::NothingToSave;
}

void TFormGrid::ToolButton1Click() {
    if (!askToSaveChanges()) return;
    m_heading->ResetSortState();
    m_model->ClearTable();
    m_model->NumberRows();
    FItems = DataPath + untitledListFileName();
    StatusPanel1->setText(FItems);
    ListModified = false;
}

void TFormGrid::ToolButton3Click() {
    if (!askToSaveChanges()) return;
    m_openDialog1 = {DataPath, defaultListFileName(), kOpenFilter};
    const QString path = m_prompts.openFile(m_openDialog1);
    if (!path.isEmpty()) {
        m_openDialog1.folder = QFileInfo(path).absolutePath();
        m_heading->ResetSortState();
        m_model->ClearTable();
        FItems = path;
        ListModified = false;
        StatusPanel1->setText(FItems);
        const QString lines = m_listFile.LoadListFile(FItems, *m_model, m_texts.linesPrefix);
        if (!lines.isEmpty()) StatusPanel0->setText(lines);
    }
    SetCurrentCell(CurrentColumn(), 1);
}

void TFormGrid::ToolButton9Click() {
    saveList();
}

void TFormGrid::ToolButton4Click() {
    saveListAs();
}

TFormGrid::SaveOutcome TFormGrid::saveList() {
    if (isUntitledListFile(FItems)) return saveListAs();
    if (m_listFile.BuildListText(*m_model) == 0) {
        m_prompts.information(m_texts.noAddress);
        return SaveOutcome::NothingToSave;
    }
    return writeList(FItems) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

TFormGrid::SaveOutcome TFormGrid::saveListAs() {
    if (m_listFile.BuildListText(*m_model) == 0) {
        m_prompts.information(m_texts.noAddress);
        return SaveOutcome::NothingToSave;
    }
    m_saveDialog1 = {DataPath, QFileInfo(FItems).fileName(), kSaveFilter};
    QString path;
    for (;;) {
        path = m_prompts.saveFile(m_saveDialog1);
        if (path.isEmpty()) return SaveOutcome::Cancelled;
        if (!QFileInfo::exists(path) ||
            m_prompts.question(m_texts.replaceFileAsk.arg(QDir::toNativeSeparators(path))))
            break;
        // No: back to the dialog, where the user left it.
        m_saveDialog1.folder = QFileInfo(path).absolutePath();
        m_saveDialog1.fileName = QFileInfo(path).fileName();
    }
    if (!writeList(path)) return SaveOutcome::Failed;
    FItems = path;
    StatusPanel1->setText(FItems);
    return SaveOutcome::Saved;
}

bool TFormGrid::writeList(const QString& path) {
    try {
        m_listFile.WriteListText(path);
    } catch (const AppError& e) {
        // The change mark stays set: the list is not saved.
        m_prompts.error(e.text());
        return false;
    }
    ListModified = false;
    return true;
}

// ---- Row and cell commands ------------------------------------------------------------------------------

void TFormGrid::setModified() {
    ListModified = true;
}

void TFormGrid::showLineCount() {
    StatusPanel0->setText(m_texts.linesPrefix + QString::number(m_model->CountUsedRows()));
}

void TFormGrid::ToolButton5Click() {
    // The view measures its rows in pixels as an int; beyond that, or without memory, the table cannot grow.
    const QHeaderView* rows = StringGrid1->verticalHeader();
    const qint64 length = qint64(rows->length()) + rows->defaultSectionSize();
    if (length > std::numeric_limits<int>::max() || !m_model->AppendRow()) {
        m_prompts.warning(m_texts.rowLimit);
        return;
    }
    m_model->NumberRows();
    SetCurrentCell(CurrentColumn(), m_model->RowCount() - 1);
    setModified();
}

void TFormGrid::ToolButton10Click() {
    if (!FormLoeschen) return;
    FormLoeschen->Language = Language;
    FormLoeschen->exec();
    m_heading->ResetSortState();
    const int from = FormLoeschen->VonZeile;
    const int to = FormLoeschen->BisZeile;
    const RecipientTableModel::RowRemoval removal = m_model->RemoveRowRange(from, to, CurrentRow());
    // The key or click that confirmed the dialog asked for no edit: the current cell is shown without
    // a cell editor, so the next key does not overwrite it.
    m_view->setCurrentWithoutEditor(m_rowNumbers->index(removal.currentRow - 1, CurrentColumn()));
    if (from > 0 && removal.deleted == 0) m_prompts.information(m_texts.noSuchRows.arg(from).arg(to));
    if (removal.deleted > 0) setModified();
}

void TFormGrid::ToolButton7Click() {
    QGuiApplication::clipboard()->setText(m_model->Cell(CurrentColumn(), CurrentRow()));
}

void TFormGrid::ToolButton8Click() {
    const int column = CurrentColumn();
    const int row = CurrentRow();
    m_model->SetCell(column, row, oneLineText(QGuiApplication::clipboard()->text()));
    setModified();
}

void TFormGrid::ToolButton11Click() {
    if (!m_prompts.question(m_texts.clearListAsk)) return;
    m_heading->ResetSortState();
    m_model->ClearTable();
    m_model->NumberRows();
    setModified();
}

void TFormGrid::ToolButton12Click() {
    const int column = CurrentColumn();
    const int row = CurrentRow();
    if (!isFilePathColumn(column)) return;
    // The filter stays until the next Load sets it back.
    m_openDialog1.filter = kAnyFileFilter;
    m_openDialog1.fileName.clear();
    if (m_openDialog1.folder.isEmpty()) m_openDialog1.folder = DataPath;
    const QString path = m_prompts.openFile(m_openDialog1);
    if (path.isEmpty()) return;
    m_openDialog1.folder = QFileInfo(path).absolutePath();
    m_model->SetCell(column, row, path);
    setModified();
}

void TFormGrid::ToolButton16Click() {
    if (m_model->DuplicateIntoColumn(CurrentColumn(), CurrentRow()) > 0) setModified();
}

void TFormGrid::ToolButton2Click() {
    if (!isFilePathColumn(CurrentColumn())) return;
    const QFileInfo file(trimBlank(m_model->Cell(CurrentColumn(), CurrentRow())));
    // A missing file, or none named, is passed over silently.
    if (file.filePath().isEmpty() || !file.isFile()) return;
    if (OpenUrl) OpenUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

void TFormGrid::ToolButton17Click() {
    if (!ShowImportWindow) return;
    const quint64 before = m_tableChanges;
    ShowImportWindow(*m_model, Language);
    // The import writes into the table itself; whatever it wrote is unsaved.
    if (m_tableChanges != before) setModified();
}

void TFormGrid::ToolButton14Click() {
    if (ShowHelpTopic) ShowHelpTopic(kHelpTopic);
}

void TFormGrid::ToolButton15Click() {
    close();
}

// ---- Table events ---------------------------------------------------------------------------------------

void TFormGrid::StringGrid1Click() {
    // After the view has finished with the click, which scrolls to the clicked cell.
    QTimer::singleShot(0, this, [this] {
        StringGrid1->horizontalScrollBar()->setValue(StringGrid1->horizontalScrollBar()->minimum());
    });
}

void TFormGrid::StringGrid1SetEditText() {
    setModified();
    showLineCount();
}

void TFormGrid::StringGrid1MouseDown(int column, int row, bool leftButton) {
    m_heading->Press(column, row, leftButton);
}
