#pragma once
// The order a file viewer lists names in: numbers compare by value (a2 < a10), case is ignored.
// Built on ICU directly because Qt's collator ignores numeric mode under the C locale.
#include <QString>

namespace FileOrder {
int compare(const QString& a, const QString& b);
inline bool lessThan(const QString& a, const QString& b) { return compare(a, b) < 0; }
}
