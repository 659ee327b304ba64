#pragma once

#include <QStringView>

// Orders texts as people count: a run of digits compares by its value, of any length, without
// converting it ("2" before "10", "007" equal to "7").
//
// Thread: any.
class NaturalOrder
{
public:
    NaturalOrder() = delete;

    // Two runs of digits by value. Negative, 0 or positive.
    static int compareDigitRuns(QStringView a, QStringView b);
    // Names: digit runs by value, the rest without regard to case. Negative, 0 or positive.
    static int compareNames(QStringView a, QStringView b);
};
