#include "recipients/listeditor.h"

#include <QFileInfo>

#include <algorithm>

bool isUntitledListFile(const QString& path) {
    return QFileInfo(path).fileName() == untitledListFileName();
}

const std::vector<FormGridButton>& formGridButtons() {
    // The usual keys where there are such (new, open, save, save as, copy, paste, help, quit), the
    // spreadsheet's for inserting and deleting rows and filling down; none that a cell editor takes for
    // itself, so typing in a cell stays as it was.
    static const std::vector<FormGridButton> buttons = {
        {"ToolButton1", "new", "Ctrl+N"},
        {"ToolButton3", "load", "Ctrl+O"},
        {"ToolButton9", "save", "Ctrl+S"},
        {"ToolButton5", "insertrow", "Ctrl++"},
        {"ToolButton10", "removerow", "Ctrl+-"},
        {"ToolButton4", "saveas", "Ctrl+Shift+S"},
        {"ToolButton6", nullptr, nullptr},
        {"ToolButton7", "copy", "Ctrl+C"},
        {"ToolButton8", "paste", "Ctrl+V"},
        {"ToolButton11", "clearlist", "Ctrl+Shift+Del"},
        {"ToolButton12", "insertpath", "Ctrl+I"},
        {"ToolButton16", "duplicate", "Ctrl+D"},
        {"ToolButton2", "viewfile", "F3"},
        {"ToolButton18", nullptr, nullptr},
        {"ToolButton17", "importcsv", "Ctrl+Shift+I"},
        {"ToolButton14", "help", "F1"},
        {"ToolButton13", nullptr, nullptr},
        {"ToolButton15", "quit", "Ctrl+Q"},
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
