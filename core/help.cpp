#include "core/help.h"

#include "core/interfacetexts.h"

#include <QFileInfo>

QString helpFilePath(const QString& programFolder, int language) {
    return programFolder + helpFileName(language);
}

QString helpTopicAnchor(int topic) {
    return QStringLiteral("topic%1").arg(topic);
}

QUrl helpUrl(const QString& helpFile, const QString& anchor) {
    const QFileInfo file(helpFile);
    if (helpFile.isEmpty() || !file.isFile()) return {};
    QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    if (!anchor.isEmpty()) url.setFragment(anchor);
    return url;
}
