#pragma once

#include <QString>

// The row range typed into the deletion dialog, checked the way its OK button checks it.
struct RowRangeCheck {
    bool fromValid = false;  // the FROM text is a whole number
    bool toValid = false;    // the TO text is a whole number
    bool rangeValid = false; // both are, FROM is at least 1 and TO is not below FROM
    int from = 0;
    int to = 0;
};

RowRangeCheck checkRowRange(const QString& fromText, const QString& toText);
