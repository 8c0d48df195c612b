#pragma once
// The order a file viewer lists names in: numbers compare by value (a2 < a10), case is ignored.
// Built on ICU directly because Qt's collator ignores numeric mode under the C locale.
#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace FileOrder {
int compare(const QString& a, const QString& b);
inline bool lessThan(const QString& a, const QString& b) { return compare(a, b) < 0; }
// Bytes that compare (as unsigned bytes) the way compare() does but for the final tie between names
// equal under its rules: sorting many names by their keys costs one collation per name, not one per
// comparison.
QByteArray sortKey(QStringView name);
// The keys of names, one after another, to compare among themselves only: sortKey's, or, when every
// name is plain ASCII and the order has no rules of its own for ASCII, cheaper ones from a table.
class SortKeys {
public:
    explicit SortKeys(const QList<QStringView>& names);
    std::string_view operator[](qsizetype i) const {
        return std::string_view(bytes_).substr(ends_[size_t(i)], ends_[size_t(i) + 1] - ends_[size_t(i)]);
    }

private:
    std::string bytes_;
    std::vector<size_t> ends_{0};
};
// Puts items in compare() order of the names that name(item) gives, stable.
template <class T, class Name>
void sort(QList<T>& items, Name name) {
    QList<QStringView> names;
    names.reserve(items.size());
    for (const T& item : items) names.append(name(item));
    const SortKeys keys(names);
    struct Keyed {
        std::string_view key;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) keyed.push_back({keys[i], i});
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        const int byKey = a.key.compare(b.key);
        if (byKey != 0) return byKey < 0;
        return names[a.index] < names[b.index];
    });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (const Keyed& k : keyed) sorted.append(std::move(items[k.index]));
    items = std::move(sorted);
}

} // namespace FileOrder
