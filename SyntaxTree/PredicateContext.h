#pragma once
// The context in which a match's predicates are tested: the captured texts and, for #is-not?,
// group membership (false unless the host supplies it).
#include <string>

#include "SyntaxTree/TextProvider.h"

namespace SyntaxTree {

class PredicateContext {
public:
    explicit PredicateContext(TextProvider textProvider, GroupMembershipProvider groupMembershipProvider = {});
    // Texts from a copy of the string; group membership always false.
    explicit PredicateContext(std::u16string string);
    // No text and no group membership.
    static const PredicateContext& none();

    const TextProvider& textProvider() const { return textProvider_; }
    const GroupMembershipProvider& groupMembershipProvider() const { return groupMembershipProvider_; }

    std::optional<std::u16string> text(Utf16Range range, PointRange points) const;
    bool isMember(const std::string& group, Utf16Range range, PointRange points) const;

    // A context that remembers every text it was given, by UTF-16 range (the point range is not part
    // of the key); copies share the cache. Absent texts are asked for again.
    PredicateContext cachingContext() const;

private:
    TextProvider textProvider_;
    GroupMembershipProvider groupMembershipProvider_;
};

} // namespace SyntaxTree
