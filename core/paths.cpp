#include "core/paths.h"

#include "core/interfacetexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool holdsHelpFile(const QString& folder) {
    for (const int language : {0, 1})
        if (QFileInfo(folder + helpFileName(language)).isFile()) return true;
    return false;
}

} // namespace

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

QString programFilesFolder(const QString& programFolder) {
    if (holdsHelpFile(programFolder)) return programFolder;
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral(TARNEL_FILES_FROM_PROGRAM)) + QLatin1Char('/');
    return holdsHelpFile(installed) ? installed : programFolder;
}

QString programFilesFolderPath() {
    return programFilesFolder(programFolderPath());
}
