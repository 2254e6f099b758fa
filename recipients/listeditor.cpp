#include "recipients/listeditor.h"

#include "core/interfacetexts.h"

#include <QFileInfo>

#include <algorithm>

bool isUntitledListFile(const QString& path) {
    return QFileInfo(path).fileName() == untitledListFileName();
}

FormGridTexts formGridTexts(int language) {
    if (isGerman(language))
        return {QStringLiteral("Empfänger"),
                QStringLiteral("Bitte geben Sie mindestens eine Empfänger-Mail an, um Daten zu speichern."),
                QStringLiteral("Zeilenlimit erreicht. Keine neue Zeile möglich!"),
                QStringLiteral("Liste löschen?"),
                QStringLiteral("Zeilen: "),
                QStringLiteral("Änderungen speichern?"),
                QStringLiteral("Die Datei %1 gibt es schon. Soll sie ersetzt werden?")};
    return {QStringLiteral("Recipients"),
            QStringLiteral("Enter at least a recipient mail address to save data."),
            QStringLiteral("Reached row limit. No more rows available!"),
            QStringLiteral("Delete list?"),
            QStringLiteral("Lines: "),
            QStringLiteral("Save changes?"),
            QStringLiteral("The file %1 already exists. Do you want to replace it?")};
}

const std::vector<FormGridButton>& formGridButtons() {
    static const std::vector<FormGridButton> buttons = {
        {"ToolButton1", "new", "Neu", "New"},
        {"ToolButton3", "load", "Empfängerliste laden", "Load recipients list"},
        {"ToolButton9", "save", "Liste speichern", "Save list"},
        {"ToolButton5", "insertrow", "Zeile einfügen", "Insert row"},
        {"ToolButton10", "removerow", "Zeile entfernen", "Remove row"},
        {"ToolButton4", "saveas", "Liste speichern unter...", "Save list as..."},
        {"ToolButton6", nullptr, nullptr, nullptr},
        {"ToolButton7", "copy", "Kopieren", "Copy"},
        {"ToolButton8", "paste", "Einfügen", "Paste"},
        {"ToolButton11", "clearlist", "Gesamte Liste löschen", "Clear list"},
        {"ToolButton12", "insertpath", "Datei einfügen", "Insert file path"},
        {"ToolButton16", "duplicate", "Aktuellen Spalteninhalt duplizieren",
         "Duplicate content of current column"},
        {"ToolButton2", "viewfile", "Datei anzeigen", "View file"},
        {"ToolButton18", nullptr, nullptr, nullptr},
        {"ToolButton17", "importcsv", ".csv importieren", "Import .csv"},
        {"ToolButton14", "help", "Hilfe", "Help"},
        {"ToolButton13", nullptr, nullptr, nullptr},
        {"ToolButton15", "quit", "Schliessen", "Quit"},
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
