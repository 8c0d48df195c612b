#include "Editor/FindState.h"

FindState::FindState(QObject* parent) : QObject(parent) {}

template <class T>
void FindState::assign(T& field, const T& value) {
    field = value;
    emit changed();
}

void FindState::setQuery(const QString& value) { assign(query_, value); }
void FindState::setReplacement(const QString& value) { assign(replacement_, value); }
void FindState::setCaseSensitive(bool value) { assign(caseSensitive_, value); }
void FindState::setWholeWord(bool value) { assign(wholeWord_, value); }
void FindState::setUseRegex(bool value) { assign(useRegex_, value); }
void FindState::setShowReplace(bool value) { assign(showReplace_, value); }
void FindState::setMatchCount(int value) { assign(matchCount_, value); }
void FindState::setCurrent(int value) { assign(current_, value); }
void FindState::setInvalidRegex(bool value) { assign(invalidRegex_, value); }
void FindState::setSearchStopped(bool value) { assign(searchStopped_, value); }
void FindState::setCounting(bool value) { assign(counting_, value); }

std::optional<RegularExpression> FindState::makeRegex() const {
    if (query_.isEmpty()) return std::nullopt;
    ++regexesMade_;
    QString pattern = useRegex_ ? query_ : RegularExpression::escapedPattern(query_);
    // Deliberately not grouped: a top-level alternation gets a boundary only at its outer ends.
    if (wholeWord_) pattern = QStringLiteral("\\b") + pattern + QStringLiteral("\\b");
    std::optional<RegularExpression> compiled = RegularExpression::compile(pattern, !caseSensitive_);
    if (compiled) compiled->setTimeLimit(kDefaultTimeLimit);
    return compiled;
}

bool FindState::invalidReplacement() const {
    if (!useRegex_) return false;  // taken literally
    const std::optional<RegularExpression> regex = makeRegex();
    return regex && !regex->isValidTemplate(replacement_);
}

QString FindState::signature() const {
    const auto flag = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    return query_ + u'|' + flag(caseSensitive_) + u'|' + flag(wholeWord_) + u'|' + flag(useRegex_);
}
