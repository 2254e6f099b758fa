#include "recipients/gridviews.h"

#include "recipients/headingsort.h"
#include "recipients/recipienttablemodel.h"

#include <QMouseEvent>
#include <QPainter>

namespace formgrid {

RowNumberModel::RowNumberModel(RecipientTableModel* table, QObject* parent)
    : QIdentityProxyModel(parent), m_table(table) {
    setSourceModel(table);
    connect(table, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (topLeft.column() == 0)
                    emit headerDataChanged(Qt::Vertical, topLeft.row(), bottomRight.row());
            });
}

QVariant RowNumberModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) return QIdentityProxyModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return m_table->Cell(0, section + 1);
    return {};
}

HeadingView::HeadingView(const HeadingSort* sort, const QPixmap* ascending, const QPixmap* descending,
                         QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_sort(sort), m_ascending(ascending), m_descending(descending) {
    connect(sort, &HeadingSort::arrowsChanged, viewport(), [this] { viewport()->update(); });
}

void HeadingView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    // The style may leave the painter clipped to nothing; the arrow goes over the finished heading.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    switch (m_sort->HeadingArrow(logicalIndex)) {
    case HeadingSort::SortArrow::Ascending:
        painter->drawPixmap(rect.topLeft(), *m_ascending);
        break;
    case HeadingSort::SortArrow::Descending:
        painter->drawPixmap(rect.topLeft(), *m_descending);
        break;
    case HeadingSort::SortArrow::None:
        break;
    }
}

void HeadingView::mousePressEvent(QMouseEvent* event) {
    const int position = event->position().toPoint().x();
    if (!onResizeHandle(position) && pressed)
        pressed(logicalIndexAt(position), event->button() == Qt::LeftButton);
    QHeaderView::mousePressEvent(event);
}

bool HeadingView::onResizeHandle(int position) const {
    const int column = logicalIndexAt(position);
    if (column < 0) return false;
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int start = sectionViewportPosition(column);
    if (position > start + sectionSize(column) - grip) return true;
    if (position >= start + grip) return false;
    for (int visual = visualIndex(column) - 1; visual >= 0; --visual)
        if (!isSectionHidden(logicalIndex(visual))) return true;
    return false;
}

void GridView::commitEditor() {
    if (state() != EditingState) return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void GridView::setCurrentWithoutEditor(const QModelIndex& index) {
    if (!index.isValid()) return;
    // A cell editor the view opened by itself when rows went (it follows the current cell) holds the
    // cell's own text: closed without writing it back.
    if (QWidget* editor = indexWidget(currentIndex())) closeEditor(editor, QAbstractItemDelegate::NoHint);
    const EditTriggers triggers = editTriggers();
    setEditTriggers(triggers & ~CurrentChanged);
    setCurrentIndex(index);
    setEditTriggers(triggers);
    scrollTo(index);
    setFocus();
}

void GridView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (pressed)
        pressed(index.isValid() ? index.column() : -1, index.isValid() ? index.row() + 1 : -1,
                event->button() == Qt::LeftButton);
    QTableView::mousePressEvent(event);
}

void GridView::mouseReleaseEvent(QMouseEvent* event) {
    const bool onCell = indexAt(event->position().toPoint()).isValid();
    QTableView::mouseReleaseEvent(event);
    if (onCell && event->button() == Qt::LeftButton && clickedCell) clickedCell();
}

} // namespace formgrid
