#include "Platform/FileOrder.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

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

QByteArray sortKey(const QString& name) {
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

} // namespace FileOrder
