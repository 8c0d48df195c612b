#include "Editor/TreeSitterHighlighter.h"

#include <QFile>
#include <algorithm>

#include "Platform/ResourceBundle.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/PredicateContext.h"
#include "SyntaxTree/Query.h"
#include "SyntaxTree/QueryCursor.h"

namespace {

std::u16string_view utf16View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
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

} // namespace

TreeSitterHighlighter::TreeSitterHighlighter(SyntaxTree::Language language, std::shared_ptr<SyntaxTree::Query> query)
    : language_(language), query_(std::move(query)) {
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
    std::unique_ptr<TreeSitterHighlighter> highlighter(new TreeSitterHighlighter(language, std::move(query)));
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
    QList<Span> spans;
    const std::optional<SyntaxTree::Node> root = tree.rootNode();
    if (!root) return spans;

    const qsizetype length = text.size();
    const qsizetype from = std::clamp<qsizetype>(range.location, 0, length);
    const qsizetype to = std::clamp<qsizetype>(range.end(), from, length);
    if (to == from) return spans;

    const std::shared_ptr<SyntaxTree::QueryCursor> cursor = query_->execute(*root, tree);
    cursor->setRange(SyntaxTree::Utf16Range{from, to - from});
    const SyntaxTree::PredicateContext context =
        SyntaxTree::PredicateContext(SyntaxTree::borrowedTextProvider(utf16View(text))).cachingContext();

    while (std::optional<SyntaxTree::QueryMatch> match = cursor->next()) {
        // A capture fires only where its pattern's text predicates hold.
        if (!match->predicates().empty() && !match->allowed(context)) continue;
        for (const SyntaxTree::QueryCapture& capture : match->captures) {
            const std::optional<TokenRole> captureRole =
                capture.index < captureRoles_.size() ? captureRoles_[capture.index] : std::nullopt;
            if (!captureRole) continue;
            const SyntaxTree::Utf16Range r = capture.node.range();
            if (r.location < 0 || r.length < 1 || r.end() > length) continue;
            spans.append(Span{TextRange{qsizetype(r.location), qsizetype(r.length)}, *captureRole});
        }
    }
    // The caller paints in list order: narrower captures last, so they win over enclosing ones.
    std::stable_sort(spans.begin(), spans.end(),
                     [](const Span& a, const Span& b) { return a.range.length > b.range.length; });
    return spans;
}
