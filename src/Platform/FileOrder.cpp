#include "Platform/FileOrder.h"

#include <unicode/coll.h>
#include <unicode/tblcoll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <memory>
#include <mutex>

namespace FileOrder {

namespace {
icu::Collator* collator() {
    static std::unique_ptr<icu::Collator> c;
    static std::once_flag once;
    std::call_once(once, [] {
        UErrorCode status = U_ZERO_ERROR;
        // The root locale when the environment names none ICU knows (C, POSIX, C.UTF-8).
        icu::Locale locale = icu::Locale::getDefault();
        const std::string name = locale.getName();
        if (name.empty() || name == "c" || name == "C" || name.find("POSIX") != std::string::npos)
            locale = icu::Locale::getRoot();
        c.reset(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status) || !c) {
            status = U_ZERO_ERROR;
            c.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        c->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        c->setStrength(icu::Collator::SECONDARY);  // ignore case, keep accents
    });
    return c.get();
}

// ICU collators are not safe to share across threads.
std::mutex& collatorMutex() {
    static std::mutex mutex;
    return mutex;
}

std::atomic<qsizetype> asked{0};
} // namespace

qsizetype collations() { return asked.load(std::memory_order_relaxed); }

namespace {
int compareViews(QStringView a, QStringView b) {
    std::lock_guard lock(collatorMutex());
    asked.fetch_add(1, std::memory_order_relaxed);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = collator()->compare(reinterpret_cast<const char16_t*>(a.utf16()), int32_t(a.size()),
                                                   reinterpret_cast<const char16_t*>(b.utf16()), int32_t(b.size()),
                                                   status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
    // Names equal but for case still need a stable order.
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Appends the collator's key for name: bytes that compare (as unsigned bytes) the way compare() does
// but for the final tie between names equal under its rules.
void appendCollatorKey(QStringView name, std::string& key) {
    std::lock_guard lock(collatorMutex());
    asked.fetch_add(1, std::memory_order_relaxed);
    const auto* text = reinterpret_cast<const char16_t*>(name.utf16());
    const size_t start = key.size();
    key.resize(start + size_t(std::max<qsizetype>(32, name.size() * 4)));
    auto* out = reinterpret_cast<uint8_t*>(key.data() + start);
    int32_t length = collator()->getSortKey(text, int32_t(name.size()), out, int32_t(key.size() - start));
    if (length > int32_t(key.size() - start)) {
        key.resize(start + size_t(length));
        out = reinterpret_cast<uint8_t*>(key.data() + start);
        length = collator()->getSortKey(text, int32_t(name.size()), out, length);
    }
    key.resize(start + size_t(std::max(0, length)));
}
} // namespace

int compare(const QString& a, const QString& b) { return compareViews(a, b); }

namespace {
// Where each printable ASCII character falls in the order, characters equal under it sharing a
// place. Good for whole names only while the order has no rules of its own (no tailoring): then
// each such character weighs alone, and a name weighs as its characters in turn, runs of digits
// by their value.
struct AsciiPlaces {
    bool usable = false;
    std::array<unsigned char, 128> place{};
};

const AsciiPlaces& asciiPlaces() {
    static const AsciiPlaces places = [] {
        AsciiPlaces out;
        std::lock_guard lock(collatorMutex());
        const auto* rules = dynamic_cast<const icu::RuleBasedCollator*>(collator());
        if (!rules || !rules->getRules().isEmpty()) return out;
        std::vector<char16_t> chars;
        for (char16_t c = 0x20; c < 0x7f; ++c) chars.push_back(c);
        const auto order = [](char16_t a, char16_t b) {
            UErrorCode status = U_ZERO_ERROR;
            return collator()->compare(&a, 1, &b, 1, status);
        };
        std::stable_sort(chars.begin(), chars.end(), [&](char16_t a, char16_t b) { return order(a, b) == UCOL_LESS; });
        unsigned char place = 1;
        for (size_t i = 0; i < chars.size(); ++i) {
            if (i > 0 && order(chars[i - 1], chars[i]) != UCOL_EQUAL) ++place;
            out.place[chars[i]] = place;
        }
        out.usable = true;
        return out;
    }();
    return places;
}

constexpr qsizetype kLongestNumber = 254;  // longer runs of digits are split by the collator

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Appends the cheap key; false when the name is not printable ASCII.
bool appendAsciiKey(QStringView name, const AsciiPlaces& places, std::string& key) {
    for (qsizetype i = 0; i < name.size();) {
        const char16_t c = name[i].unicode();
        if (c < 0x20 || c >= 0x7f) return false;
        if (!isDigit(c)) {
            key.push_back(char(places.place[c]));
            ++i;
            continue;
        }
        // A number: its length without leading zeros, then its digits, so that values compare.
        qsizetype end = i;
        while (end < name.size() && isDigit(name[end].unicode())) ++end;
        qsizetype first = i;
        while (first + 1 < end && name[first] == u'0') ++first;
        if (end - first > kLongestNumber) return false;
        key.push_back(char(places.place[u'0']));
        key.push_back(char(end - first));
        for (qsizetype d = first; d < end; ++d) key.push_back(char(name[d].unicode()));
        i = end;
    }
    return true;
}

// A name's key within the keys of the names being sorted, with its first bytes read ahead as one
// number: most comparisons end there, without following the key into memory.
struct Keyed {
    uint64_t head;
    uint32_t start, length;
    qsizetype index;
};

class KeyedNames {
public:
    void add(qsizetype index, std::string_view key) {
        uint64_t head = 0;
        for (size_t i = 0; i < 8; ++i) head = head << 8 | (i < key.size() ? uint8_t(key[i]) : 0);
        keyed_.push_back({head, uint32_t(key.data() - bytes.data()), uint32_t(key.size()), index});
    }
    // Sorted by key, then as compare() breaks ties, then by position; the positions in that order.
    void sortInto(const QList<QStringView>& names, std::vector<qsizetype>& order) {
        const auto keyOf = [this](const Keyed& k) { return std::string_view(bytes).substr(k.start, k.length); };
        std::sort(keyed_.begin(), keyed_.end(), [&](const Keyed& a, const Keyed& b) {
            if (a.head != b.head) return a.head < b.head;
            if (const int byKey = keyOf(a).compare(keyOf(b)); byKey != 0) return byKey < 0;
            if (names[a.index] != names[b.index]) return names[a.index] < names[b.index];
            return a.index < b.index;
        });
        order.reserve(order.size() + keyed_.size());
        for (const Keyed& k : keyed_) order.push_back(k.index);
    }
    std::string bytes;  // every key, one after another; add() is given views into it once it stops growing

private:
    std::vector<Keyed> keyed_;
};

std::vector<qsizetype> collatorOrder(const QList<QStringView>& names, const std::vector<qsizetype>& which) {
    KeyedNames keyed;
    std::vector<size_t> ends{0};
    for (const qsizetype i : which) {
        appendCollatorKey(names[i], keyed.bytes);
        ends.push_back(keyed.bytes.size());
    }
    for (size_t n = 0; n < which.size(); ++n)
        keyed.add(which[n], std::string_view(keyed.bytes).substr(ends[n], ends[n + 1] - ends[n]));
    std::vector<qsizetype> order;
    keyed.sortInto(names, order);
    return order;
}
} // namespace

std::vector<qsizetype> sortedOrder(const QList<QStringView>& names) {
    std::vector<qsizetype> all(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) all[size_t(i)] = i;
    const AsciiPlaces& places = asciiPlaces();
    if (!places.usable) return collatorOrder(names, all);

    // Plain names take the cheap keys; the others are left to the collator.
    KeyedNames plain;
    std::vector<size_t> ends{0};
    std::vector<qsizetype> plainIndex, others;
    plain.bytes.reserve(size_t(names.size()) * 16);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const size_t start = plain.bytes.size();
        if (appendAsciiKey(names[i], places, plain.bytes)) {
            plainIndex.push_back(i);
            ends.push_back(plain.bytes.size());
        } else {
            plain.bytes.resize(start);
            others.push_back(i);
        }
    }
    // Each other name is placed among the plain ones by a binary search, one collation per step: when
    // that costs more than a key for every name, every name gets the collator's key.
    const size_t steps = size_t(std::bit_width(plainIndex.size())) + 1;
    if (others.size() * steps >= size_t(names.size())) return collatorOrder(names, all);
    for (size_t n = 0; n < plainIndex.size(); ++n)
        plain.add(plainIndex[n], std::string_view(plain.bytes).substr(ends[n], ends[n + 1] - ends[n]));
    std::vector<qsizetype> order;
    plain.sortInto(names, order);
    if (others.empty()) return order;

    std::vector<qsizetype> merged;
    merged.reserve(size_t(names.size()));
    auto from = order.cbegin();
    for (const qsizetype other : collatorOrder(names, others)) {
        const auto at = std::lower_bound(from, order.cend(), other, [&](qsizetype p, qsizetype o) {
            return compareViews(names[p], names[o]) < 0;
        });
        merged.insert(merged.end(), from, at);
        merged.push_back(other);
        from = at;
    }
    merged.insert(merged.end(), from, order.cend());
    return merged;
}

} // namespace FileOrder
