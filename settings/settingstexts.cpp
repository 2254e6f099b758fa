#include "settings/settingstexts.h"

#include "core/interfacetexts.h"

SettingsTexts settingsTextsFor(int language) {
    if (isGerman(language))
        return {
            QStringLiteral("Die Einstellungsdatei konnte nicht gelesen werden und bleibt, wie sie ist."),
            {QStringLiteral("Der SMTP-Host enthält Zeichen, die in der Einstellungsdatei nicht gespeichert "
                            "werden können: %1"),
             QStringLiteral("Die Mailadresse enthält Zeichen, die in der Einstellungsdatei nicht "
                            "gespeichert werden können: %1"),
             QStringLiteral("Das Passwort enthält Zeichen, die in der Einstellungsdatei nicht gespeichert "
                            "werden können: %1"),
             QStringLiteral("Der Port enthält Zeichen, die in der Einstellungsdatei nicht gespeichert "
                            "werden können: %1")}};
    return {QStringLiteral("The settings file could not be read and is left as it is."),
            {QStringLiteral("The SMTP host contains characters the settings file cannot store: %1"),
             QStringLiteral("The mail address contains characters the settings file cannot store: %1"),
             QStringLiteral("The password contains characters the settings file cannot store: %1"),
             QStringLiteral("The port contains characters the settings file cannot store: %1")}};
}
