#pragma once

#include <QString>

// The plain-text rendering of an HTML message, for the text/plain alternative beside it: headings,
// paragraphs, list items and line breaks as lines (a blank line between paragraphs), list items with
// "-" or their number, links as "text (URL)", images left out. Qt's rich-text reader parses the HTML; it
// needs a QGuiApplication (or QApplication) to exist, and raises AppError without one.
QString plainTextOfHtml(const QString& html);
