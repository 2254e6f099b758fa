#include "recipients/formgridtexts.h"

#include "core/interfacetexts.h"
#include "recipients/listeditor.h"

namespace {

FormGridTexts germanTexts() {
    return {QStringLiteral("Empfänger"),
            {QString(), QStringLiteral("     Name"), QStringLiteral("     Vorname"),
             QStringLiteral("     Email"), QStringLiteral("     Thema"), QStringLiteral("     Textdatei"),
             QStringLiteral("     Gesendet"), QStringLiteral("     Anhang")},
            QStringLiteral("Bitte geben Sie mindestens eine Empfänger-Mail an, um Daten zu speichern."),
            QStringLiteral("Zeilenlimit erreicht. Keine neue Zeile möglich!"),
            QStringLiteral("Liste löschen?"),
            QStringLiteral("Zeilen: "),
            QStringLiteral("Änderungen speichern?"),
            QStringLiteral("Die Datei %1 gibt es schon. Soll sie ersetzt werden?"),
            QStringLiteral("Zeilen %1 bis %2 gibt es nicht. Nichts gelöscht."),
            {{QStringLiteral("ToolButton1"), QStringLiteral("Neu")},
             {QStringLiteral("ToolButton3"), QStringLiteral("Empfängerliste laden")},
             {QStringLiteral("ToolButton9"), QStringLiteral("Liste speichern")},
             {QStringLiteral("ToolButton5"), QStringLiteral("Zeile einfügen")},
             {QStringLiteral("ToolButton10"), QStringLiteral("Zeile entfernen")},
             {QStringLiteral("ToolButton4"), QStringLiteral("Liste speichern unter...")},
             {QStringLiteral("ToolButton7"), QStringLiteral("Kopieren")},
             {QStringLiteral("ToolButton8"), QStringLiteral("Einfügen")},
             {QStringLiteral("ToolButton11"), QStringLiteral("Gesamte Liste löschen")},
             {QStringLiteral("ToolButton12"), QStringLiteral("Datei einfügen")},
             {QStringLiteral("ToolButton16"), QStringLiteral("Aktuellen Spalteninhalt duplizieren")},
             {QStringLiteral("ToolButton2"), QStringLiteral("Datei anzeigen")},
             {QStringLiteral("ToolButton17"), QStringLiteral(".csv importieren")},
             {QStringLiteral("ToolButton14"), QStringLiteral("Hilfe")},
             {QStringLiteral("ToolButton15"), QStringLiteral("Schliessen")}}};
}

FormGridTexts englishTexts() {
    return {QStringLiteral("Recipients"),
            {QString(), QStringLiteral("     Name"), QStringLiteral("     Prename"),
             QStringLiteral("     Email"), QStringLiteral("     Subject"),
             QStringLiteral("     Message file"), QStringLiteral("     Send"),
             QStringLiteral("     Attachment")},
            QStringLiteral("Enter at least a recipient mail address to save data."),
            QStringLiteral("Reached row limit. No more rows available!"),
            QStringLiteral("Delete list?"),
            QStringLiteral("Lines: "),
            QStringLiteral("Save changes?"),
            QStringLiteral("The file %1 already exists. Do you want to replace it?"),
            QStringLiteral("There are no rows %1 to %2. Nothing deleted."),
            {{QStringLiteral("ToolButton1"), QStringLiteral("New")},
             {QStringLiteral("ToolButton3"), QStringLiteral("Load recipients list")},
             {QStringLiteral("ToolButton9"), QStringLiteral("Save list")},
             {QStringLiteral("ToolButton5"), QStringLiteral("Insert row")},
             {QStringLiteral("ToolButton10"), QStringLiteral("Remove row")},
             {QStringLiteral("ToolButton4"), QStringLiteral("Save list as...")},
             {QStringLiteral("ToolButton7"), QStringLiteral("Copy")},
             {QStringLiteral("ToolButton8"), QStringLiteral("Paste")},
             {QStringLiteral("ToolButton11"), QStringLiteral("Clear list")},
             {QStringLiteral("ToolButton12"), QStringLiteral("Insert file path")},
             {QStringLiteral("ToolButton16"), QStringLiteral("Duplicate content of current column")},
             {QStringLiteral("ToolButton2"), QStringLiteral("View file")},
             {QStringLiteral("ToolButton17"), QStringLiteral("Import .csv")},
             {QStringLiteral("ToolButton14"), QStringLiteral("Help")},
             {QStringLiteral("ToolButton15"), QStringLiteral("Quit")}}};
}

} // namespace

QString shortcutText(const QString& keys, int language) {
    if (!isGerman(language)) return keys;
    QStringList parts = keys.split(QLatin1Char('+'));
    // "Ctrl++" splits into "Ctrl", "" and "": the key itself is the "+".
    if (keys.endsWith(QLatin1String("++"))) {
        parts.removeLast();
        parts.last() = QStringLiteral("+");
    }
    static const QHash<QString, QString> germanNames = {{QStringLiteral("Ctrl"), QStringLiteral("Strg")},
                                                        {QStringLiteral("Shift"), QStringLiteral("Umschalt")},
                                                        {QStringLiteral("Del"), QStringLiteral("Entf")}};
    for (QString& part : parts)
        part = germanNames.value(part, part);
    return parts.join(QLatin1Char('+'));
}

FormGridTexts formGridTexts(int language) {
    FormGridTexts texts = isGerman(language) ? germanTexts() : englishTexts();
    for (const FormGridButton& button : formGridButtons())
        if (button.keys) {
            QString& hint = texts.hints[QLatin1String(button.name)];
            hint += QStringLiteral(" (%1)").arg(shortcutText(QLatin1String(button.keys), language));
        }
    return texts;
}
