#pragma once

#include <QStringView>

// Text order where runs of decimal digits compare by their numeric value and every other
// character by its UTF-16 value, over whole strings and with no locale: "1.9" < "1.10".
namespace NumericCompare {
// Negative, zero or positive as a goes before, with, or after b.
int compare(QStringView a, QStringView b);
inline bool less(QStringView a, QStringView b) { return compare(a, b) < 0; }
}  // namespace NumericCompare
