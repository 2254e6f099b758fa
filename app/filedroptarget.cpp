#include "app/filedroptarget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

FileDropTarget::FileDropTarget(QWidget* target, std::function<void(const QString&)> open)
    : QObject(target), m_open(std::move(open)) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter) {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (!enter->mimeData()->hasUrls()) return false;
        enter->acceptProposedAction();
        return true;
    }
    if (event->type() != QEvent::Drop) return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QList<QUrl> urls = drop->mimeData()->urls();
    drop->acceptProposedAction();
    if (!urls.isEmpty() && urls.first().isLocalFile()) m_open(urls.first().toLocalFile());
    return true;
}
