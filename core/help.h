#pragma once

#include <QString>
#include <QUrl>

// The help file of a language in the program's folder (which ends with "/").
QString helpFilePath(const QString& programFolder, int language);
// The anchor a help topic number is found at in the help files.
QString helpTopicAnchor(int topic);
// What to open for a help request: the help file at `anchor`, or at its top (the table of contents)
// when the anchor is empty. An empty address when the file is missing.
QUrl helpUrl(const QString& helpFile, const QString& anchor = QString());
