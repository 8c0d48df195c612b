#pragma once
// The order a file viewer lists names in: numbers compare by value (a2 < a10), case is ignored.
// Built on ICU directly because Qt's collator ignores numeric mode under the C locale.
#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <vector>

namespace FileOrder {
int compare(const QString& a, const QString& b);
inline bool lessThan(const QString& a, const QString& b) { return compare(a, b) < 0; }
// Bytes that compare (as unsigned bytes) the way compare() does but for the final tie between names
// equal under its rules: sorting many names by their keys costs one collation per name, not one per
// comparison.
QByteArray sortKey(const QString& name);
// Puts items in compare() order of the names that name(item) gives, stable.
template <class T, class Name>
void sort(QList<T>& items, Name name) {
    struct Keyed {
        QByteArray key;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) keyed.push_back({sortKey(name(items[i])), i});
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        const int byKey = a.key.compare(b.key);
        if (byKey != 0) return byKey < 0;
        return name(items[a.index]) < name(items[b.index]);
    });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (const Keyed& k : keyed) sorted.append(std::move(items[k.index]));
    items = std::move(sorted);
}

} // namespace FileOrder
