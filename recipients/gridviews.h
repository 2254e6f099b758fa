#pragma once

#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QTableView>

#include <functional>

class HeadingSort;
class QPixmap;
class RecipientTableModel;

// The views that make up the editor's table StringGrid1.
namespace formgrid {

// The view's model: the table itself, with the row numbers of column 0 shown as the vertical header, so
// they stay in place when the table scrolls sideways and the rows can be resized there.
class RowNumberModel : public QIdentityProxyModel {
public:
    RowNumberModel(RecipientTableModel* table, QObject* parent);

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    RecipientTableModel* m_table;
};

// The heading row: draws the sort arrow at the left end of the sorted column's heading and reports
// presses, except those that start resizing a column.
class HeadingView : public QHeaderView {
public:
    HeadingView(const HeadingSort* sort, const QPixmap* ascending, const QPixmap* descending,
                QWidget* parent);

    std::function<void(int column, bool leftButton)> pressed;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Where a press resizes a column rather than pressing its heading.
    bool onResizeHandle(int position) const;

    const HeadingSort* m_sort;
    const QPixmap* m_ascending;
    const QPixmap* m_descending;
};

// The visible table. Reports mouse presses on the cells and lets the window take an open cell editor's
// text before a command works on the table.
class GridView : public QTableView {
public:
    using QTableView::QTableView;

    std::function<void(int column, int row, bool leftButton)> pressed;
    // A left click on a cell; also when it opened the cell editor, which keeps QAbstractItemView::clicked
    // quiet.
    std::function<void()> clickedCell;

    void commitEditor();
    // Makes `index` current and shows it, with no cell editor open.
    void setCurrentWithoutEditor(const QModelIndex& index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace formgrid
