#pragma once
// How the file list compares two cell texts when a column is sorted: each
// column has a kind that says what its texts mean.
#include <QString>

namespace tembrel::app {

enum class ComparisonKind {
    Text = 0,
    Number = 1,               // the leading floating-point number
    Size = 2,                 // a number with an optional K, M, G or T (powers of 1024)
    Date = 3,                 // three integers a-b-c, compared in that order
    MinutesSeconds = 4,       // m:s
    HoursMinutesSeconds = 5,  // h:m:s
};

// Negative, zero or positive as a sorts before, with or after b. A text that
// lacks a separator its kind needs compares equal to anything.
int CompareCellTexts(ComparisonKind kind, const QString& a, const QString& b);

}  // namespace tembrel::app
