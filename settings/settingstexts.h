#pragma once

#include <QString>

#include <array>

// The texts the settings store gives the user, in one interface language.
struct SettingsTexts {
    // The settings file exists but could not be read; nothing was written over it.
    QString loadFailed;
    // A value holds characters the settings file's 8-bit code page lacks ("%1" stands for them), one text
    // per account field in the order of SettingsField: host, mail address, password, port.
    std::array<QString, 4> unstorable;
};

SettingsTexts settingsTextsFor(int language);
