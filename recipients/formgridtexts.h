#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Every text of the recipient list editor, in the interface language.
struct FormGridTexts {
    QString caption;
    QStringList headings;   // the eight column headings; column 0 (row numbers) has none
    QString noAddress;      // save with no recipient address (information)
    QString rowLimit;       // the table cannot grow (warning)
    QString clearListAsk;   // clear list (question)
    QString linesPrefix;    // panel 0 after an edit, before the number of used rows
    QString saveChangesAsk; // unsaved changes (question)
    QString replaceFileAsk; // save as onto an existing file (question); %1 is its path
    QString noSuchRows;     // a range to delete beyond the table (information); %1 to %2 are the rows
    // The toolbar buttons' hints, by the button's object name, each followed by its key in brackets.
    QHash<QString, QString> hints;
};
FormGridTexts formGridTexts(int language);

// A keyboard shortcut as Qt writes it in English ("Ctrl+Shift+Del"), with the key names of the interface
// language ("Strg+Umschalt+Entf").
QString shortcutText(const QString& keys, int language);
