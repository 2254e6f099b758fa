#include "core/blank.h"

namespace {
bool isTrimmed(QChar c) {
    return c.unicode() <= 32;
}
} // namespace

QString trimBlank(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isTrimmed(text.at(first)))
        ++first;
    while (last > first && isTrimmed(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

bool isBlank(const QString& text) {
    for (QChar c : text)
        if (!isTrimmed(c)) return false;
    return true;
}
