#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Makes a widget take files dropped onto it from the desktop: the first local file of a drop goes to
// `open`; a drop without one (a web address, say) is taken and ignored.
class FileDropTarget : public QObject {
public:
    FileDropTarget(QWidget* target, std::function<void(const QString& path)> open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QString&)> m_open;
};
