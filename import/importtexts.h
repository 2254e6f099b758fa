#pragma once

#include <QString>

#include <array>

// The import window's texts in one interface language.
struct ImportTexts {
    QString groupCaption;
    QString semicolon;
    QString comma;
    // The toolbar hints: New, Load file, Save, Copy, Import data, Help, Quit.
    std::array<QString, 7> hints;
    QString msgNoSeparator;
    // %1 is the file's path.
    QString askReplace;
};
ImportTexts importTextsFor(int language);
