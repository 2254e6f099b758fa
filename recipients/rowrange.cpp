#include "recipients/rowrange.h"

RowRangeCheck checkRowRange(const QString& fromText, const QString& toText) {
    RowRangeCheck check;
    check.from = fromText.toInt(&check.fromValid, 10);
    check.to = toText.toInt(&check.toValid, 10);
    check.rangeValid = check.fromValid && check.toValid && check.from >= 1 && check.to >= check.from;
    return check;
}
