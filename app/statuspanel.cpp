#include "app/statuspanel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

void StatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &frame, &painter, this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(2, 0, -2, 0);
    QFont shown = font();
    int flags = Qt::AlignCenter;
    if (fontMetrics().horizontalAdvance(text()) > area.width()) {
        shown.setPointSizeF(font().pointSizeF() * 0.75);
        flags |= Qt::TextWordWrap;
    }
    setToolTip(flags & Qt::TextWordWrap ? text() : QString());
    painter.setFont(shown);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(area, flags, text());
}
