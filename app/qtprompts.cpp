#include "app/qtprompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QString title() {
    return QApplication::applicationDisplayName();
}

QString startPath(const FileDialogRequest& request) {
    if (request.fileName.isEmpty()) return request.folder;
    return QDir(request.folder).filePath(request.fileName);
}
} // namespace

void QtPrompts::information(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), title(), text);
}

void QtPrompts::warning(const QString& text) {
    QMessageBox::warning(QApplication::activeWindow(), title(), text);
}

void QtPrompts::error(const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), title(), text);
}

bool QtPrompts::question(const QString& text) {
    return QMessageBox::question(QApplication::activeWindow(), title(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

QString QtPrompts::openFile(const FileDialogRequest& request) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), startPath(request),
                                        request.filter);
}

QString QtPrompts::saveFile(const FileDialogRequest& request) {
    // No overwrite question: saving replaces an existing file, as the save commands promise.
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), startPath(request),
                                        request.filter, nullptr, QFileDialog::DontConfirmOverwrite);
}
