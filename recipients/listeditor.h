#pragma once

#include "core/paths.h"

#include <QString>

#include <vector>

// What the recipient list editor decides without a window: its toolbar, the name of a new list, the column
// widths and how clipboard text becomes the text of one cell. Its texts are in formgridtexts.h.

// The name New gives a list; Save asks for another one before writing it.
inline const QString& untitledListFileName() {
    static const QString name = QStringLiteral("untitled.csv");
    return name;
}
// Save goes to Save as for a list whose file name is exactly "untitled.csv" (letter case counts).
bool isUntitledListFile(const QString& path);

// The toolbar, left to right. Separators have no icon (and no hint or key).
struct FormGridButton {
    const char* name;
    const char* icon;
    // The button's keyboard shortcut, as Qt writes it in English ("Ctrl+Shift+S").
    const char* keys;
};
const std::vector<FormGridButton>& formGridButtons();

// The width of each of the seven data columns for a table `tableWidth` pixels wide: what is left beside
// the row-number column and the scroll bar, shared evenly, but never less than `minimum`.
int dataColumnWidth(int tableWidth, int minimum);
constexpr int RowNumberColumnWidth = 30;

// Only the message file and attachment columns take a file path (Insert file path, View file).
inline bool isFilePathColumn(int column) {
    return column == 5 || column == 7;
}

// Clipboard text as one cell's text: line breaks at either end are dropped, every other line break
// (CR LF, LF or CR) and every tab becomes one blank, so a copied spreadsheet cell or a multi-line address
// keeps all its words on one line.
QString oneLineText(const QString& text);
