#include "SyntaxTree/Query.h"

#include "SyntaxTree/FileBytes.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Precondition.h"
#include "SyntaxTree/PredicateParser.h"
#include "SyntaxTree/QueryCursor.h"
#include "SyntaxTree/QueryError.h"
#include "SyntaxTree/Tree.h"

namespace SyntaxTree {

namespace {

QueryError::Kind errorKind(TSQueryError type) {
    switch (type) {
    case TSQueryErrorNone: return QueryError::none;
    case TSQueryErrorSyntax: return QueryError::syntax;
    case TSQueryErrorNodeType: return QueryError::nodeType;
    case TSQueryErrorField: return QueryError::field;
    case TSQueryErrorCapture: return QueryError::capture;
    case TSQueryErrorStructure: return QueryError::structure;
    default: return QueryError::unknown;
    }
}

std::vector<std::string> splitKeepingEmpty(std::string_view name) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t dot = name.find('.', start);
        if (dot == std::string_view::npos) {
            parts.emplace_back(name.substr(start));
            return parts;
        }
        parts.emplace_back(name.substr(start, dot - start));
        start = dot + 1;
    }
}

} // namespace

std::shared_ptr<Query> Query::create(const Language& language, std::string_view data) {
    if (data.data() == nullptr) throw QueryError{QueryError::none, 0};
    uint32_t errorOffset = 0;
    TSQueryError errorType = TSQueryErrorNone;
    TSQuery* raw = ts_query_new(language.tsLanguage(), data.data(),
                                checkedUInt32(int64_t(data.size()), "query source too long"), &errorOffset, &errorType);
    if (!raw) throw QueryError{errorKind(errorType), errorOffset};
    // From here the Query owns the runtime query: a predicate error below frees it on the way out.
    auto query = std::make_shared<Query>(Token{}, raw);
    query->predicateList_ = PredicateParser().predicates(raw);
    const uint32_t captures = ts_query_capture_count(raw);
    query->nameComponents_.resize(captures);
    for (uint32_t id = 0; id < captures; ++id)
        if (std::optional<std::string> name = query->captureName(id)) query->nameComponents_[id] = splitKeepingEmpty(*name);
    return query;
}

std::shared_ptr<Query> Query::create(const Language& language, const std::filesystem::path& path) {
    const std::string bytes = readFileBytes(path);
    return create(language, std::string_view(bytes.data(), bytes.size()));
}

Query::Queries Query::queries(const Language& language, const std::filesystem::path& directory) {
    Queries result;
    for (const QueryDefinition& definition :
         {QueryDefinition::makeInjections(), QueryDefinition::makeHighlights(), QueryDefinition::makeLocals()}) {
        const std::filesystem::path file = (directory / definition.filename()).lexically_normal();
        if (!isReadablePath(file)) continue;
        result.emplace(definition, create(language, file));
    }
    return result;
}

Query::Query(Token, TSQuery* query) : query_(query) {}

Query::~Query() { ts_query_delete(query_); }

uint32_t Query::patternCount() const { return ts_query_pattern_count(query_); }
uint32_t Query::captureCount() const { return ts_query_capture_count(query_); }
uint32_t Query::stringCount() const { return ts_query_string_count(query_); }

std::optional<std::string> Query::captureName(int64_t id) const {
    // The runtime indexes its table unchecked: an unknown id has no name.
    if (checkedUInt32(id, "capture id out of range") >= captureCount()) return std::nullopt;
    uint32_t length = 0;
    const char* name = ts_query_capture_name_for_id(query_, uint32_t(id), &length);
    if (!name) return std::nullopt;
    return std::string(name, length);
}

std::optional<std::string> Query::stringName(int64_t id) const {
    if (checkedUInt32(id, "string id out of range") >= stringCount()) return std::nullopt;
    uint32_t length = 0;
    const char* value = ts_query_string_value_for_id(query_, uint32_t(id), &length);
    if (!value) return std::nullopt;
    return std::string(value, length);
}

const std::vector<Predicate>& Query::predicates(int64_t patternIndex) const {
    precondition(patternIndex >= 0 && patternIndex < int64_t(predicateList_.size()), "pattern index out of range");
    return predicateList_[size_t(patternIndex)];
}

std::shared_ptr<const std::vector<Predicate>> Query::sharedPredicates(int64_t patternIndex) const {
    return std::shared_ptr<const std::vector<Predicate>>(shared_from_this(), &predicates(patternIndex));
}

bool Query::hasPredicates() const {
    for (const std::vector<Predicate>& list : predicateList_)
        if (!list.empty()) return true;
    return false;
}

const std::vector<std::string>* Query::nameComponents(uint32_t captureId) const {
    if (captureId >= nameComponents_.size() || !nameComponents_[captureId]) return nullptr;
    return &*nameComponents_[captureId];
}

std::shared_ptr<QueryCursor> Query::execute(const Node& node, const MutableTree& tree) const {
    return execute(node, tree.tree(), 0);
}

std::shared_ptr<QueryCursor> Query::execute(const Node& node, const std::shared_ptr<const Tree>& tree, int depth) const {
    auto cursor = QueryCursor::create(tree, depth);
    cursor->execute(shared_from_this(), node);
    return cursor;
}

std::shared_ptr<QueryCursor> Query::execute(const std::shared_ptr<const Tree>& tree, int depth) const {
    auto cursor = QueryCursor::create(tree, depth);
    if (std::optional<Node> root = tree->rootNode()) cursor->execute(shared_from_this(), *root);
    return cursor;
}

std::shared_ptr<QueryCursor> Query::execute(const MutableTree& tree) const { return execute(tree.tree(), 0); }

} // namespace SyntaxTree
