#pragma once

#include <QString>

// "Blank" throughout the program: leading and trailing characters with codes 0 to 32 do not count.
QString trimBlank(const QString& text);
bool isBlank(const QString& text);
