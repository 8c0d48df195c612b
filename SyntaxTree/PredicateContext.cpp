#include "SyntaxTree/PredicateContext.h"

#include <map>
#include <memory>

namespace SyntaxTree {

PredicateContext::PredicateContext(TextProvider textProvider, GroupMembershipProvider groupMembershipProvider)
    : textProvider_(std::move(textProvider)), groupMembershipProvider_(std::move(groupMembershipProvider)) {}

PredicateContext::PredicateContext(std::u16string string)
    : PredicateContext(predicateTextSnapshotProvider(std::move(string))) {}

const PredicateContext& PredicateContext::none() {
    static const PredicateContext context([](Utf16Range, PointRange) { return std::optional<std::u16string>(); });
    return context;
}

std::optional<std::u16string> PredicateContext::text(Utf16Range range, PointRange points) const {
    if (!textProvider_) return std::nullopt;
    return textProvider_(range, points);
}

bool PredicateContext::isMember(const std::string& group, Utf16Range range, PointRange points) const {
    return groupMembershipProvider_ && groupMembershipProvider_(group, range, points);
}

PredicateContext PredicateContext::cachingContext() const {
    using Key = std::pair<int64_t, int64_t>;
    auto cache = std::make_shared<std::map<Key, std::u16string>>();
    TextProvider underlying = textProvider_;
    TextProvider cached = [cache, underlying](Utf16Range range, PointRange points) -> std::optional<std::u16string> {
        const Key key{range.location, range.length};
        if (auto hit = cache->find(key); hit != cache->end()) return hit->second;
        std::optional<std::u16string> text = underlying ? underlying(range, points) : std::nullopt;
        if (text) cache->emplace(key, *text);
        return text;
    };
    return PredicateContext(std::move(cached), groupMembershipProvider_);
}

} // namespace SyntaxTree
