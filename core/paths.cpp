#include "core/paths.h"

#include <QCoreApplication>
#include <QStandardPaths>

QString dataFolderPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/prdata/");
}

QString defaultMessageFileName() {
    return QStringLiteral("defaultmail.txt");
}

QString defaultListFileName() {
    return QStringLiteral("sendlist.csv");
}

QString settingsFileName() {
    return QStringLiteral("postrun.ini");
}

QString programFolderPath() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}
