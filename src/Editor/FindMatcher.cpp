#include "Editor/FindMatcher.h"

#include <algorithm>
#include <iterator>

namespace FindMatcher {

Result matches(const RegularExpression& expression, const QString& text) {
    Result result;
    const RegularExpression::Outcome outcome = expression.forEachMatch(text, 0, [&](TextRange r) {
        if (r.length > 0) result.matches.append(r);
    });
    if (outcome != RegularExpression::Outcome::completed) {
        result.matches.clear();
        result.stopped = true;
    }
    return result;
}

void EditSpan::add(TextRange replaced, qsizetype lengthBefore) {
    const qsizetype tail = lengthBefore - replaced.end();
    if (isEmpty()) {
        start_ = replaced.location;
        tail_ = tail;
        lengthBefore_ = lengthBefore;
        return;
    }
    start_ = qMin(start_, replaced.location);
    tail_ = qMin(tail_, tail);
}

qsizetype literalReach(qsizetype queryLength) {
    return 6 * queryLength + 4;
}

Result matchesAfterEdit(const RegularExpression& expression, qsizetype reach, const QList<TextRange>& before,
                        const QString& text, const EditSpan& edit) {
    const TextRange replaced = edit.replaced();
    const qsizetype inserted = edit.insertedLength(text.size());
    const qsizetype delta = inserted - replaced.length;
    const auto startingBefore = [&](qsizetype at) {
        return std::lower_bound(before.begin(), before.end(), at,
                                [](const TextRange& m, qsizetype x) { return m.location < x; });
    };

    // The search resumes where the whole search of the old text passed by (never inside one of its
    // matches) so far before the edit that no attempt from there on read the old text's change.
    qsizetype at = qMax<qsizetype>(0, replaced.location - reach);
    auto kept = startingBefore(at);
    if (kept != before.begin() && std::prev(kept)->end() > at) at = std::prev(kept)->end();
    Result result;
    result.matches.reserve(before.size() + 16);
    std::copy(before.begin(), kept, std::back_inserter(result.matches));

    // Then over the new text until, past the edit by more than one attempt reads, the search stands
    // where the old one stood: from there on both find the same matches.
    const qsizetype settled = replaced.location + inserted + reach;
    qsizetype limit = qMax(settled, at);
    for (;;) {
        const qsizetype end = qMin(text.size(), limit + reach);
        // An attempt that starts before `limit` reads no further than `end`: its result stands.
        const qsizetype accepted = end == text.size() ? end : limit;
        qsizetype next = accepted;
        const RegularExpression::Outcome outcome =
            expression.forEachMatchIn(text, {at, end - at}, 0, [&](TextRange r) {
                if (r.location >= accepted || r.length == 0) return;
                result.matches.append(r);
                next = qMax(next, r.end());
            });
        if (outcome != RegularExpression::Outcome::completed) return {{}, outcome == RegularExpression::Outcome::timedOut};
        at = next;
        if (at >= text.size()) return result;
        // Inside an old match the old search never stood.
        const auto old = startingBefore(at - delta);
        if (old == before.begin() || std::prev(old)->end() <= at - delta) {
            for (auto it = old; it != before.end(); ++it) result.matches.append({it->location + delta, it->length});
            return result;
        }
        limit = at + 4 * reach;
    }
}

std::optional<QString> expandTemplate(const RegularExpression& expression, const QString& text, TextRange match,
                                      const QString& replacementTemplate) {
    return expression.expandAt(text, match, replacementTemplate);
}

} // namespace FindMatcher
