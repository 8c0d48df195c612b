#include "Platform/FileOrder.h"

#include <unicode/coll.h>
#include <unicode/tblcoll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <array>
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
} // namespace

int compare(const QString& a, const QString& b) {
    std::lock_guard lock(collatorMutex());
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = collator()->compare(reinterpret_cast<const char16_t*>(a.utf16()), a.size(),
                                                   reinterpret_cast<const char16_t*>(b.utf16()), b.size(), status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
    // Names equal but for case still need a stable order.
    return a < b ? -1 : (b < a ? 1 : 0);
}

QByteArray sortKey(QStringView name) {
    std::lock_guard lock(collatorMutex());
    const auto* text = reinterpret_cast<const char16_t*>(name.utf16());
    QByteArray key(qMax<qsizetype>(32, name.size() * 4), Qt::Uninitialized);
    int32_t length = collator()->getSortKey(text, int32_t(name.size()), reinterpret_cast<uint8_t*>(key.data()),
                                            int32_t(key.size()));
    if (length > key.size()) {
        key.resize(length);
        length = collator()->getSortKey(text, int32_t(name.size()), reinterpret_cast<uint8_t*>(key.data()), length);
    }
    key.resize(qMax(0, length));
    return key;
}

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
} // namespace

SortKeys::SortKeys(const QList<QStringView>& names) {
    ends_.reserve(size_t(names.size()) + 1);
    const AsciiPlaces& places = asciiPlaces();
    if (places.usable) {
        bytes_.reserve(size_t(names.size()) * 16);
        for (const QStringView name : names) {
            if (!appendAsciiKey(name, places, bytes_)) break;
            ends_.push_back(bytes_.size());
        }
        if (ends_.size() == size_t(names.size()) + 1) return;
    }
    bytes_.clear();
    ends_.assign(1, 0);
    for (const QStringView name : names) {
        const QByteArray key = sortKey(name);
        bytes_.append(key.constData(), size_t(key.size()));
        ends_.push_back(bytes_.size());
    }
}

} // namespace FileOrder
