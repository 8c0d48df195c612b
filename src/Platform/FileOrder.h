#pragma once
// The order a file viewer lists names in: numbers compare by value (a2 < a10), case is ignored.
// Built on ICU directly because Qt's collator ignores numeric mode under the C locale.
#include <QList>
#include <QString>
#include <QStringView>
#include <utility>
#include <vector>

namespace FileOrder {
int compare(const QString& a, const QString& b);
inline bool lessThan(const QString& a, const QString& b) { return compare(a, b) < 0; }
// How many times the collator has been asked, for a key or about a pair, in this process: the work a
// sort costs beyond its own comparisons.
qsizetype collations();
// The positions of names in compare() order, equal names in the order they came.
std::vector<qsizetype> sortedOrder(const QList<QStringView>& names);

// Puts items in compare() order of the names that name(item) gives, stable.
template <class T, class Name>
void sort(QList<T>& items, Name name) {
    QList<QStringView> names;
    names.reserve(items.size());
    for (const T& item : items) names.append(name(item));
    QList<T> sorted;
    sorted.reserve(items.size());
    for (const qsizetype i : sortedOrder(names)) sorted.append(std::move(items[i]));
    items = std::move(sorted);
}

} // namespace FileOrder
