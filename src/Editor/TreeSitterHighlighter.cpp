#include "Editor/TreeSitterHighlighter.h"

#include <QFile>
#include <algorithm>
#include <iterator>

#include "Platform/ParallelChunks.h"
#include "Platform/ResourceBundle.h"
#include "SyntaxTree/MatchPredicates.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Query.h"
#include "SyntaxTree/QueryCursor.h"
#include "SyntaxTree/Tree.h"

namespace {

// Ranges shorter than two chunks are queried on the calling thread: the visible lines always are.
constexpr qsizetype kMinimumChunk = 32 * 1024;
// More chunks than threads, so a thread slowed by other work hands its share to the others.
constexpr qsizetype kChunksPerThread = 4;

// The order spans are painted in: narrower captures last, so they win over enclosing ones. Position
// orders equal lengths (nodes of one tree never partly overlap, so this changes no colour); the
// captures of the very same node keep the order in which their matches came.
bool paintedBefore(const SyntaxHighlighter::Span& a, const SyntaxHighlighter::Span& b) {
    if (a.range.length != b.range.length) return a.range.length > b.range.length;
    return a.range.location < b.range.location;
}

// Where the text lies: utf16() would copy a text lent without a terminator (fromRawData).
std::u16string_view utf16View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()), size_t(text.size())};
}

// The end of the furthest capture of match, in units.
qsizetype furthestEnd(const TSQueryMatch& match) {
    uint32_t end = 0;
    for (uint16_t i = 0; i < match.capture_count; ++i) end = std::max(end, ts_node_end_byte(match.captures[i].node));
    return qsizetype((end + 1) / 2);
}

// Whether an edit can describe a change of a text of oldLength units; every offset and point must
// stay small enough to double into the runtime's 32-bit byte offsets.
bool fits(const TextEdit& e, qsizetype oldLength) {
    const qsizetype limit = SyntaxTree::Parser::maximumTextLength;
    const auto inLimit = [limit](qsizetype v) { return v >= 0 && v <= limit; };
    const auto pointInLimit = [&](const TextEdit::Point& p) { return inLimit(p.row) && inLimit(p.col); };
    return e.startChar >= 0 && e.startChar <= e.oldEndChar && e.oldEndChar <= oldLength && e.newEndChar >= e.startChar &&
           inLimit(e.newEndChar) && pointInLimit(e.startPoint) && pointInLimit(e.oldEndPoint) &&
           pointInLimit(e.newEndPoint);
}

// How deep the query's patterns nest, read from its source: brackets and parentheses outside
// strings and comments (a predicate or an alternation counts too, so this errs high).
int deepestNesting(std::string_view source) {
    int depth = 0, deepest = 0;
    for (size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == ';') {
            while (i < source.size() && source[i] != '\n') ++i;
        } else if (c == '"') {
            for (++i; i < source.size() && source[i] != '"'; ++i)
                if (source[i] == '\\') ++i;
        } else if (c == '(' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ')' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// Where a query of a range starts: as many levels above the smallest node holding the range as a
// pattern spans, so that every pattern reaching into the range starts at or below it, and the query
// neither walks down nor begins a pattern at every level of a deeply nested text. levels is how
// many levels lie between that node and the smallest one.
struct QueryStart {
    TSNode node;
    qsizetype levels;
};
QueryStart queryStart(TSNode root, uint32_t startByte, uint32_t endByte, int patternLevels) {
    TSTreeCursor cursor = ts_tree_cursor_new(root);
    while (ts_tree_cursor_goto_first_child_for_byte(&cursor, startByte) >= 0) {
        const TSNode child = ts_tree_cursor_current_node(&cursor);
        if (ts_node_start_byte(child) > startByte || ts_node_end_byte(child) < endByte) {
            ts_tree_cursor_goto_parent(&cursor);
            break;
        }
    }
    qsizetype levels = 0;
    while (levels < patternLevels && ts_tree_cursor_goto_parent(&cursor)) ++levels;
    const QueryStart start{ts_tree_cursor_current_node(&cursor), levels};
    ts_tree_cursor_delete(&cursor);
    return start;
}

} // namespace

TreeSitterHighlighter::TreeSitterHighlighter(SyntaxTree::Language language, std::shared_ptr<SyntaxTree::Query> query,
                                             int patternLevels)
    : language_(language), query_(std::move(query)), patternLevels_(patternLevels) {
    // Roles by capture id, so a pass never looks at capture names.
    for (uint32_t id = 0; id < query_->captureCount(); ++id) {
        const std::optional<std::string> name = query_->captureName(id);
        captureRoles_.push_back(name ? role(*name) : std::nullopt);
    }
}

TreeSitterHighlighter::~TreeSitterHighlighter() = default;

std::unique_ptr<TreeSitterHighlighter> TreeSitterHighlighter::create(const TSLanguage* language,
                                                                     const QString& queryResource) {
    ResourceBundle::path();  // without the bundle the program cannot run at all
    const std::optional<QString> file = ResourceBundle::resource(queryResource, QStringLiteral("scm"));
    if (!file) return nullptr;
    QFile f(*file);
    if (!f.open(QIODevice::ReadOnly)) return nullptr;
    const QByteArray source = f.readAll();
    if (f.error() != QFileDevice::NoError) return nullptr;
    return fromQuerySource(language, std::string_view(source.constData(), size_t(source.size())));
}

std::unique_ptr<TreeSitterHighlighter> TreeSitterHighlighter::fromQuerySource(const TSLanguage* language,
                                                                              std::string_view querySource) {
    std::shared_ptr<SyntaxTree::Query> query;
    try {
        query = SyntaxTree::Query::create(language, querySource);
    } catch (...) {
        // Query, predicate and pattern errors all mean the same here: no highlighter.
        return nullptr;
    }
    std::unique_ptr<TreeSitterHighlighter> highlighter(new TreeSitterHighlighter(language, std::move(query), deepestNesting(querySource)));
    try {
        highlighter->parser_.setLanguage(highlighter->language_);
    } catch (...) {
        return nullptr;
    }
    return highlighter;
}

void TreeSitterHighlighter::noteEdit(const TextEdit& edit) { pendingEdits_.push_back(edit); }

std::optional<TokenRole> TreeSitterHighlighter::role(std::string_view name) {
    if (name == "string.special.key") return TokenRole::attribute;
    std::string_view first;
    while (!name.empty()) {
        const size_t dot = name.find('.');
        first = name.substr(0, dot);
        if (!first.empty()) break;
        name = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    }
    const auto is = [first](std::initializer_list<std::string_view> names) {
        return std::find(names.begin(), names.end(), first) != names.end();
    };
    if (is({"keyword", "tag", "constant", "charset", "import", "media", "keyframes", "namespace", "supports"}))
        return TokenRole::keyword;
    if (is({"function", "constructor"})) return TokenRole::function;
    if (is({"type"})) return TokenRole::type;
    if (is({"string", "character"})) return TokenRole::string;
    if (is({"number", "boolean"})) return TokenRole::number;
    if (is({"comment"})) return TokenRole::comment;
    if (is({"attribute", "label"})) return TokenRole::attribute;
    if (is({"operator"})) return TokenRole::punctuation;
    return std::nullopt;
}

SyntaxTree::InputEdit TreeSitterHighlighter::inputEdit(const TextEdit& e) {
    using SyntaxTree::Point;
    return SyntaxTree::InputEdit::checked(
        int64_t(e.startChar) * 2, int64_t(e.oldEndChar) * 2, int64_t(e.newEndChar) * 2,
        Point::checked(e.startPoint.row, int64_t(e.startPoint.col) * 2),
        Point::checked(e.oldEndPoint.row, int64_t(e.oldEndPoint.col) * 2),
        Point::checked(e.newEndPoint.row, int64_t(e.newEndPoint.col) * 2));
}

void TreeSitterHighlighter::parseFromScratch(std::u16string_view view) {
    lastParseIncremental_ = false;
    currentTree_ = parser_.parse(view);
}

bool TreeSitterHighlighter::updateTree(const QString& text, const std::optional<TextEdit>& edit) {
    std::vector<TextEdit> edits;
    edits.swap(pendingEdits_);
    if (edit) edits.push_back(*edit);
    const std::u16string_view view = utf16View(text);

    // The edits must chain from the text the tree holds to exactly this text; anything else (an edit
    // the caller never reported, a text from elsewhere) would colour garbage, so start over.
    bool incremental = currentTree_ != nullptr;
    qsizetype length = treeText_.size();
    for (const TextEdit& e : edits) {
        if (!incremental) break;
        incremental = fits(e, length);
        length += (e.newEndChar - e.startChar) - (e.oldEndChar - e.startChar);
    }
    incremental = incremental && length == text.size();

    if (incremental && edits.empty()) {
        // Nothing reported as changed: a scroll reuses the tree, unless the text is not the tree's.
        if (text.constData() != treeText_.constData() && text != treeText_) incremental = false;
    }

    if (!incremental) {
        parseFromScratch(view);
    } else if (!edits.empty()) {
        for (const TextEdit& e : edits) currentTree_->edit(inputEdit(e));
        currentTree_ = parser_.reparse(*currentTree_, view);
        lastParseIncremental_ = true;
    } else {
        lastParseIncremental_ = true;
    }
    treeText_ = currentTree_ ? text : QString();
    return currentTree_ != nullptr;
}

QList<SyntaxHighlighter::Span> TreeSitterHighlighter::ranges(const QString& text, const std::optional<TextEdit>& edit,
                                                             TextRange range) {
    if (!updateTree(text, edit)) return {};
    return spans(*currentTree_, text, range);
}

QList<SyntaxHighlighter::Span> TreeSitterHighlighter::spans(const SyntaxTree::MutableTree& tree, const QString& text,
                                                            TextRange range) const {
    // A large range is queried in chunks side by side; the visible lines stay on the calling thread.
    const int threads = ParallelChunks::threadCount();
    const qsizetype from = std::clamp<qsizetype>(range.location, 0, text.size());
    const qsizetype to = std::clamp<qsizetype>(range.end(), from, text.size());
    const qsizetype chunkCount =
        threads < 2 ? 1 : std::min<qsizetype>((to - from) / kMinimumChunk, qsizetype(threads) * kChunksPerThread);
    std::vector<qsizetype> cuts;
    for (qsizetype chunk = 1; chunk < chunkCount; ++chunk) cuts.push_back(from + (to - from) * chunk / chunkCount);
    return spans(tree, text, range, cuts, threads);
}

QList<SyntaxHighlighter::Span> TreeSitterHighlighter::spans(const SyntaxTree::MutableTree& tree, const QString& text,
                                                            TextRange range, const std::vector<qsizetype>& cuts,
                                                            int workers) const {
    QList<Span> spans;
    if (!tree.rootNode()) return spans;

    const qsizetype length = text.size();
    const qsizetype from = std::clamp<qsizetype>(range.location, 0, length);
    const qsizetype to = std::clamp<qsizetype>(range.end(), from, length);
    if (to == from) return spans;

    // Every chunk's cursor still finishes the matches it starts, so a capture is kept only by the
    // chunk where it starts (the first and last chunks also keep those starting before and past the
    // range): together the chunks give exactly the captures of one cursor over the whole range.
    std::vector<qsizetype> bounds{from};
    for (const qsizetype cut : cuts)
        if (cut > bounds.back() && cut < to) bounds.push_back(cut);
    bounds.push_back(to);
    const int chunkCount = int(bounds.size()) - 1;
    const auto owned = [&](int chunk) {
        const qsizetype start = chunk == 0 ? 0 : bounds[size_t(chunk)];
        const qsizetype end = chunk + 1 == chunkCount ? length : bounds[size_t(chunk) + 1];
        return TextRange{start, end - start};
    };
    const auto piece = [&](int chunk) {
        return TextRange{bounds[size_t(chunk)], bounds[size_t(chunk) + 1] - bounds[size_t(chunk)]};
    };
    const std::u16string_view units = utf16View(text);
    std::vector<std::vector<Span>> found(static_cast<size_t>(chunkCount));

    const int workerCount = std::clamp(workers, 1, chunkCount);
    if (workerCount == 1) {
        SyntaxTree::MatchPredicates predicates(query_);
        for (int chunk = 0; chunk < chunkCount; ++chunk)
            collect(tree.tree(), units, {from, to - from}, piece(chunk), owned(chunk), predicates, found[size_t(chunk)], true);
    } else {
        // Only one thread may ask for more of the text: it is asked for whole before they start.
        readUpTo(length);
        // A runtime tree serves one thread at a time: each worker queries its own copy.
        std::vector<std::shared_ptr<const SyntaxTree::Tree>> trees{tree.tree()};
        for (int w = 1; w < workerCount; ++w) trees.push_back(tree.copy());
        std::vector<std::optional<SyntaxTree::MatchPredicates>> predicates(static_cast<size_t>(workerCount));
        ParallelChunks::run(chunkCount, workerCount, [&](int worker, int chunk) {
            std::optional<SyntaxTree::MatchPredicates>& own = predicates[size_t(worker)];
            if (!own) own.emplace(query_);
            collect(trees[size_t(worker)], units, {from, to - from}, piece(chunk), owned(chunk), *own, found[size_t(chunk)], false);
        });
    }

    // Each chunk came back sorted: merge them pairwise, earlier chunks first among equals (the
    // captures of one node always share a chunk, so that only keeps the sort stable).
    while (found.size() > 2) {
        std::vector<std::vector<Span>> merged;
        for (size_t i = 0; i + 1 < found.size(); i += 2) {
            std::vector<Span>& out = merged.emplace_back();
            out.reserve(found[i].size() + found[i + 1].size());
            std::merge(found[i].begin(), found[i].end(), found[i + 1].begin(), found[i + 1].end(),
                       std::back_inserter(out), paintedBefore);
        }
        if (found.size() % 2) merged.push_back(std::move(found.back()));
        found = std::move(merged);
    }
    spans.reserve(qsizetype(found.front().size() + (found.size() > 1 ? found.back().size() : 0)));
    if (found.size() == 1)
        std::copy(found.front().begin(), found.front().end(), std::back_inserter(spans));
    else
        std::merge(found[0].begin(), found[0].end(), found[1].begin(), found[1].end(), std::back_inserter(spans),
                   paintedBefore);
    return spans;
}

void TreeSitterHighlighter::collect(const std::shared_ptr<const SyntaxTree::Tree>& tree, std::u16string_view text,
                                    TextRange whole, TextRange range, TextRange owned, SyntaxTree::MatchPredicates& predicates,
                                    std::vector<Span>& out, bool asks) const {
    const std::optional<SyntaxTree::Node> root = tree->rootNode();
    if (!root) return;
    // Every chunk starts where one query of the whole range would, so that together they give its captures.
    const QueryStart start = queryStart(root->internalNode(), uint32_t(whole.location * 2), uint32_t(whole.end() * 2), patternLevels_);
    if (asks) levelsWalked_ = start.levels;
    const std::shared_ptr<SyntaxTree::QueryCursor> cursor = query_->execute(SyntaxTree::Node(start.node, tree), tree, 0);
    cursor->setRange(SyntaxTree::Utf16Range{range.location, range.length});
    const qsizetype length = qsizetype(text.size());

    TSQueryMatch match;
    while (cursor->nextRawMatch(match)) {
        // A capture fires only where its pattern's text predicates hold.
        if (predicates.any(match.pattern_index)) {
            // The predicates read the captured text, which may reach past the range.
            if (asks) readUpTo(furthestEnd(match));
            if (!predicates.allowed(match, text)) continue;
        }
        for (uint16_t i = 0; i < match.capture_count; ++i) {
            const TSQueryCapture& capture = match.captures[i];
            if (capture.index >= captureRoles_.size() || !captureRoles_[capture.index]) continue;
            if (ts_node_is_null(capture.node)) continue;
            const SyntaxTree::Utf16Range r =
                SyntaxTree::utf16Range(SyntaxTree::ByteRange{ts_node_start_byte(capture.node), ts_node_end_byte(capture.node)});
            if (r.location < 0 || r.length < 1 || r.end() > length) continue;
            if (!owned.containsLocation(qsizetype(r.location))) continue;
            out.push_back(Span{TextRange{qsizetype(r.location), qsizetype(r.length)}, *captureRoles_[capture.index]});
        }
    }
    std::stable_sort(out.begin(), out.end(), paintedBefore);
}
