#include "Platform/FileOrder.h"

#include <QtEndian>

#include <unicode/coll.h>
#include <unicode/tblcoll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
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
void appendCollatorKey(QStringView name, std::vector<uint8_t>& key) {
    std::lock_guard lock(collatorMutex());
    asked.fetch_add(1, std::memory_order_relaxed);
    const auto* text = reinterpret_cast<const char16_t*>(name.utf16());
    const size_t start = key.size();
    key.resize(start + size_t(std::max<qsizetype>(32, name.size() * 4)));
    int32_t length = collator()->getSortKey(text, int32_t(name.size()), key.data() + start, int32_t(key.size() - start));
    if (length > int32_t(key.size() - start)) {
        key.resize(start + size_t(length));
        length = collator()->getSortKey(text, int32_t(name.size()), key.data() + start, length);
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

// Writes the cheap key of name to out, which has room for three bytes a character; its length, or -1
// when the name is not printable ASCII.
qsizetype writeAsciiKey(QStringView name, const AsciiPlaces& places, uint8_t* out) {
    uint8_t* const begin = out;
    const char16_t* c = name.utf16();
    const char16_t* const end = c + name.size();
    while (c != end) {
        if (*c < 0x20 || *c >= 0x7f) return -1;
        if (!isDigit(*c)) {
            *out++ = places.place[*c++];
            continue;
        }
        // A number: its length without leading zeros, then its digits, so that values compare.
        const char16_t* last = c;
        while (last != end && isDigit(*last)) ++last;
        while (c + 1 < last && *c == u'0') ++c;
        if (last - c > kLongestNumber) return -1;
        *out++ = places.place[u'0'];
        *out++ = uint8_t(last - c);
        while (c != last) *out++ = uint8_t(*c++);
    }
    return out - begin;
}

// Every key of the names being sorted, one after another. Keys never hold a zero byte (the collator's
// end with one), so a key that runs out compares as if padded with zeros.
struct Keys {
    std::vector<uint8_t> bytes;
    struct Keyed {
        uint64_t chunk;  // eight bytes of the key from the depth being sorted, read ahead as one number
        uint32_t start, length;
        qsizetype index;
    };
    std::vector<Keyed> keyed;

    uint64_t chunkAt(const Keyed& k, uint32_t depth) const {
        if (depth >= k.length) return 0;
        const uint8_t* p = bytes.data() + k.start + depth;
        const uint32_t left = k.length - depth;
        uint64_t chunk = 0;
        if (left >= 8) {
            std::memcpy(&chunk, p, 8);
            return qFromBigEndian(chunk);
        }
        for (uint32_t i = 0; i < 8; ++i) chunk = chunk << 8 | (i < left ? p[i] : 0);
        return chunk;
    }
};
using Keyed = Keys::Keyed;

// Sorts keys that agree on their first depth bytes eight bytes at a time: a comparison is one of
// two numbers, and only keys that still agree read further.
void sortFrom(const Keys& keys, Keyed* first, Keyed* last, uint32_t depth, const QList<QStringView>& names) {
    for (Keyed* k = first; k != last; ++k) k->chunk = keys.chunkAt(*k, depth);
    std::sort(first, last, [](const Keyed& a, const Keyed& b) { return a.chunk < b.chunk; });
    for (Keyed* run = first; run != last;) {
        Keyed* runEnd = run + 1;
        while (runEnd != last && runEnd->chunk == run->chunk) ++runEnd;
        if (runEnd - run > 1) {
            // Keys that end here are equal, and come before those that go on.
            Keyed* going = std::partition(run, runEnd, [&](const Keyed& k) { return k.length <= depth + 8; });
            std::sort(run, going, [&](const Keyed& a, const Keyed& b) {
                if (names[a.index] != names[b.index]) return names[a.index] < names[b.index];
                return a.index < b.index;
            });
            if (runEnd - going > 1) sortFrom(keys, going, runEnd, depth + 8, names);
        }
        run = runEnd;
    }
}

void appendSorted(Keys& keys, const QList<QStringView>& names, std::vector<qsizetype>& order) {
    sortFrom(keys, keys.keyed.data(), keys.keyed.data() + keys.keyed.size(), 0, names);
    order.reserve(order.size() + keys.keyed.size());
    for (const Keyed& k : keys.keyed) order.push_back(k.index);
}

std::vector<qsizetype> collatorOrder(const QList<QStringView>& names, const std::vector<qsizetype>& which) {
    Keys keys;
    keys.keyed.reserve(which.size());
    for (const qsizetype i : which) {
        const size_t start = keys.bytes.size();
        appendCollatorKey(names[i], keys.bytes);
        keys.keyed.push_back({0, uint32_t(start), uint32_t(keys.bytes.size() - start), i});
    }
    std::vector<qsizetype> order;
    appendSorted(keys, names, order);
    return order;
}
} // namespace

std::vector<qsizetype> sortedOrder(const QList<QStringView>& names) {
    std::vector<qsizetype> all(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) all[size_t(i)] = i;
    const AsciiPlaces& places = asciiPlaces();
    if (!places.usable) return collatorOrder(names, all);

    // Plain names take the cheap keys; the others are left to the collator.
    Keys plain;
    std::vector<qsizetype> others;
    plain.keyed.reserve(size_t(names.size()));
    plain.bytes.reserve(size_t(names.size()) * 24);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const size_t start = plain.bytes.size();
        plain.bytes.resize(start + size_t(names[i].size()) * 3);
        const qsizetype length = writeAsciiKey(names[i], places, plain.bytes.data() + start);
        plain.bytes.resize(start + size_t(std::max<qsizetype>(0, length)));
        if (length >= 0) plain.keyed.push_back({0, uint32_t(start), uint32_t(length), i});
        else others.push_back(i);
    }
    // Each other name is placed among the plain ones by a binary search, one collation per step: when
    // that costs more than a key for every name, every name gets the collator's key.
    const size_t steps = size_t(std::bit_width(plain.keyed.size())) + 1;
    if (others.size() * steps >= size_t(names.size())) return collatorOrder(names, all);
    std::vector<qsizetype> order;
    appendSorted(plain, names, order);
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
