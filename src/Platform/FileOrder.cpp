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
} // namespace

int compare(const QString& a, const QString& b) {
    static std::mutex mutex;  // ICU collators are not safe to share across threads
    std::lock_guard lock(mutex);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = collator()->compare(reinterpret_cast<const char16_t*>(a.utf16()), a.size(),
                                                   reinterpret_cast<const char16_t*>(b.utf16()), b.size(), status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
    // Names equal but for case still need a stable order.
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace FileOrder
