#include "recipients/formloeschentexts.h"

#include "core/interfacetexts.h"

FormLoeschenTexts formLoeschenTexts(int language) {
    if (isGerman(language))
        return {QStringLiteral("Zeilen löschen"),
                QStringLiteral("Aktuelle Zeile löschen"),
                QStringLiteral("Von Zeilennr.:"),
                QStringLiteral("Bis Zeilennr.:"),
                QStringLiteral("Abbrechen"),
                QStringLiteral("Ungültige Zeilennummer VON!"),
                QStringLiteral("Ungültige Zeilennummer BIS!"),
                QStringLiteral("Zeilennummern müssen größer 0 und BIS darf nicht kleiner als VON sein!")};
    return {
        QStringLiteral("Delete rows"),
        QStringLiteral("Delete current row"),
        QStringLiteral("From row:"),
        QStringLiteral("To row:"),
        QStringLiteral("Cancel"),
        QStringLiteral("Invalid row number FROM!"),
        QStringLiteral("Invalid row number TO!"),
        QStringLiteral("Row numbers have to be greater than 0 and FROM has to be equal or less than TO!")};
}
