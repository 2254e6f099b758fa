#pragma once

#include <QString>

#include <memory>

class QTranslator;

// Qt's own texts (message-box buttons, file dialogs) in the interface language, from Qt's installed
// translations; Qt's built-in English where none is installed.
class QtTranslation {
public:
    QtTranslation();
    ~QtTranslation();
    // A locale name such as "de_DE"; empty for Qt's built-in English.
    void use(const QString& locale);

private:
    std::unique_ptr<QTranslator> m_translator;
};
