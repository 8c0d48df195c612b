#include "Views/Navigation/FuzzyNames.h"

#include <QTextBoundaryFinder>
#include <algorithm>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace {

constexpr quint32 kUnknown = 0xffffffff;  // a query character no name holds
constexpr quint32 kFirstLearnt = 0x80;    // below: the ASCII character itself

const icu::Normalizer2* nfd() {
    static const icu::Normalizer2* const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* n = icu::Normalizer2::getNFDInstance(status);
        return U_SUCCESS(status) ? n : nullptr;
    }();
    return instance;
}

// Canonically equivalent characters have the same decomposition.
QString decomposed(QStringView character) {
    const icu::UnicodeString in(false, reinterpret_cast<const char16_t*>(character.utf16()), int32_t(character.size()));
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString out = nfd() ? nfd()->normalize(in, status) : in;
    const icu::UnicodeString& result = U_SUCCESS(status) ? out : in;
    return QString(reinterpret_cast<const QChar*>(result.getBuffer()), result.length());
}

bool plainAscii(const QString& text) {
    // CR LF is one character: text with a carriage return takes the long way.
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80 && c != u'\r'; });
}

} // namespace

FuzzyNames::FuzzyNames(const QStringList& names) {
    starts_.reserve(size_t(names.size()) + 1);
    for (const QString& name : names) {
        const std::vector<Key> keys = keysOf(name, true);
        keys_.insert(keys_.end(), keys.begin(), keys.end());
        starts_.push_back(qsizetype(keys_.size()));
    }
}

std::vector<FuzzyNames::Key> FuzzyNames::keysOf(const QString& text, bool learn) {
    const QString lower = text.toLower();
    std::vector<Key> keys;
    keys.reserve(size_t(lower.size()));
    if (plainAscii(lower)) {
        for (const QChar c : lower) keys.push_back(c.unicode());
        return keys;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, lower);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        if (end <= start) continue;
        const QString character = decomposed(QStringView(lower).sliced(start, end - start));
        start = end;
        if (character.size() == 1 && character[0].unicode() < 0x80) {
            keys.push_back(character[0].unicode());
        } else if (const auto it = keyOfCharacter_.constFind(character); it != keyOfCharacter_.cend()) {
            keys.push_back(*it);
        } else if (learn) {
            const Key key = kFirstLearnt + Key(keyOfCharacter_.size());
            keyOfCharacter_.insert(character, key);
            keys.push_back(key);
        } else {
            keys.push_back(kUnknown);
        }
    }
    return keys;
}

bool FuzzyNames::matches(qsizetype name, const std::vector<Key>& query) const {
    if (query.empty()) return true;
    const Key* key = keys_.data() + starts_[size_t(name)];
    const Key* end = keys_.data() + starts_[size_t(name) + 1];
    size_t matched = 0;
    for (; key != end; ++key)
        if (*key == query[matched] && ++matched == query.size()) return true;
    return false;
}

QList<qsizetype> FuzzyNames::filter(const QString& query, qsizetype limit) {
    std::vector<Key> keys = keysOf(query, false);
    // A name without the old query's characters in order cannot hold them followed by more.
    const bool narrows = filtered_ && keys.size() >= lastQuery_.size() &&
                         std::equal(lastQuery_.begin(), lastQuery_.end(), keys.begin());
    std::vector<qsizetype> candidates;
    qsizetype unseen = 0;
    if (narrows) {
        candidates = std::move(possible_);
        unseen = unseen_;
    }
    QList<qsizetype> found;
    size_t next = 0;
    for (; next < candidates.size() && found.size() < limit; ++next)
        if (matches(candidates[next], keys)) found.append(candidates[next]);
    for (; unseen < size() && found.size() < limit; ++unseen)
        if (matches(unseen, keys)) found.append(unseen);

    // Still possible for a longer query: what matched, then what was not looked at.
    possible_.assign(found.cbegin(), found.cend());
    possible_.insert(possible_.end(), candidates.begin() + qsizetype(next), candidates.end());
    unseen_ = unseen;
    lastQuery_ = std::move(keys);
    filtered_ = true;
    return found;
}
