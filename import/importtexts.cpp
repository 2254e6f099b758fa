#include "import/importtexts.h"

#include "core/interfacetexts.h"

ImportTexts importTextsFor(int language) {
    if (isGerman(language))
        return {QStringLiteral("Trennzeichen"),
                QStringLiteral("Semikolon ;"),
                QStringLiteral("Komma ,"),
                {QStringLiteral("Neu"), QStringLiteral("Datei laden"), QStringLiteral("Speichern"),
                 QStringLiteral("Kopieren"), QStringLiteral("Daten importieren"), QStringLiteral("Hilfe"),
                 QStringLiteral("Beenden")},
                QStringLiteral("Bitte Trennzeichen angeben!"),
                QStringLiteral("Die Datei \"%1\" existiert bereits. Ersetzen?")};
    return {QStringLiteral("Separator"),
            QStringLiteral("Semicolon ;"),
            QStringLiteral("Comma ,"),
            {QStringLiteral("New"), QStringLiteral("Load file"), QStringLiteral("Save"),
             QStringLiteral("Copy"), QStringLiteral("Import data"), QStringLiteral("Help"),
             QStringLiteral("Quit")},
            QStringLiteral("Specify a separator pls!"),
            QStringLiteral("The file \"%1\" already exists. Replace it?")};
}
