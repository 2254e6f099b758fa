#include "recipients/listeditor.h"

#include <QFileInfo>

#include <algorithm>

bool isUntitledListFile(const QString& path) {
    return QFileInfo(path).fileName() == untitledListFileName();
}

const std::vector<FormGridButton>& formGridButtons() {
    static const std::vector<FormGridButton> buttons = {
        {"ToolButton1", "new"},        {"ToolButton3", "load"},        {"ToolButton9", "save"},
        {"ToolButton5", "insertrow"},  {"ToolButton10", "removerow"},  {"ToolButton4", "saveas"},
        {"ToolButton6", nullptr},      {"ToolButton7", "copy"},        {"ToolButton8", "paste"},
        {"ToolButton11", "clearlist"}, {"ToolButton12", "insertpath"}, {"ToolButton16", "duplicate"},
        {"ToolButton2", "viewfile"},   {"ToolButton18", nullptr},      {"ToolButton17", "importcsv"},
        {"ToolButton14", "help"},      {"ToolButton13", nullptr},      {"ToolButton15", "quit"},
    };
    return buttons;
}

int dataColumnWidth(int tableWidth, int minimum) {
    return std::max((tableWidth - 55) / 7, minimum);
}

QString oneLineText(const QString& text) {
    static const auto isBreak = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isBreak(text.at(first)))
        ++first;
    while (end > first && isBreak(text.at(end - 1)))
        --end;
    QString line;
    line.reserve(end - first);
    for (qsizetype i = first; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < end && text.at(i + 1) == QLatin1Char('\n')) continue;
        line += (isBreak(c) || c == QLatin1Char('\t')) ? QLatin1Char(' ') : c;
    }
    return line;
}
