#pragma once

#include <QString>

// Every text of the row-range deletion dialog, in the interface language.
struct FormLoeschenTexts {
    QString caption;
    QString checkBox;
    QString fromLabel;
    QString toLabel;
    QString cancel;
    QString invalidFrom;  // FROM is no whole number (error)
    QString invalidTo;    // TO is no whole number (error)
    QString invalidRange; // FROM below 1 or TO below FROM (error)
};
FormLoeschenTexts formLoeschenTexts(int language);
