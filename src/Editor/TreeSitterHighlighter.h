#pragma once
// The highlighter of the languages with a grammar: keeps the syntax tree between calls so an edit
// costs an incremental reparse, and runs the language's highlight query over the requested range only.
#include <tree_sitter/api.h>

#include <QString>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "Editor/SyntaxHighlighter.h"
#include "SyntaxTree/InputEdit.h"
#include "SyntaxTree/Language.h"
#include "SyntaxTree/Parser.h"

namespace SyntaxTree {
class MatchPredicates;
class MutableTree;
class Query;
class Tree;
}

class TreeSitterHighlighter : public SyntaxHighlighter {
public:
    // Null when the query resource "<queryResource>.scm" is missing from the resource bundle or
    // unreadable, the query does not compile, or the parser refuses the grammar. A missing bundle
    // itself is fatal.
    static std::unique_ptr<TreeSitterHighlighter> create(const TSLanguage* language, const QString& queryResource);
    // The same with the query source at hand; null when it does not compile or the grammar is refused.
    static std::unique_ptr<TreeSitterHighlighter> fromQuerySource(const TSLanguage* language,
                                                                  std::string_view querySource);

    ~TreeSitterHighlighter() override;

    // Queued and applied to the tree in the order noted, before the edit passed to the next ranges().
    void noteEdit(const TextEdit& edit) override;

    using SyntaxHighlighter::ranges;
    // Parses incrementally when every noted edit (and edit, when given) fits the text the tree was
    // built from and leads to a text of text's length; parses afresh otherwise. Without any edit the
    // current tree is reused as long as text is the text it was built from.
    QList<Span> ranges(const QString& text, const std::optional<TextEdit>& edit, TextRange range) override;

    // The spans of range in a tree parsed from exactly text (which the text predicates read), longest
    // first, equal lengths by position. A large range is queried in chunks on several threads. The
    // query starts a few levels above the range, as many as its patterns span, not at the root: a
    // capture wholly outside the range whose pattern begins higher up is left out.
    QList<Span> spans(const SyntaxTree::MutableTree& tree, const QString& text, TextRange range) const;
    // The same with the range cut at the given offsets (ascending; those outside the range are
    // ignored) and the pieces queried on up to workers threads. Neither changes the result.
    QList<Span> spans(const SyntaxTree::MutableTree& tree, const QString& text, TextRange range,
                      const std::vector<qsizetype>& cuts, int workers) const;
    const SyntaxTree::Language& language() const { return language_; }

    // The role of a capture name: "string.special.key" as a whole, otherwise its first non-empty
    // dot-separated component; none for names that are not coloured.
    static std::optional<TokenRole> role(std::string_view captureName);
    // UTF-16 offsets and columns doubled into the bytes of UTF-16 little-endian text. The edit must
    // lie within a text of fewer than 2^31 units (precondition).
    static SyntaxTree::InputEdit inputEdit(const TextEdit& edit);

    // Whether the last call reused or edited the previous tree instead of parsing from scratch.
    bool lastParseWasIncremental() const { return lastParseIncremental_; }
    // Levels of the tree the query of the last range on the calling thread went down through, from
    // the node it started at, before reaching the smallest node holding the range.
    qsizetype lastLevelsWalked() const { return levelsWalked_; }

private:
    TreeSitterHighlighter(SyntaxTree::Language language, std::shared_ptr<SyntaxTree::Query> query, int patternLevels);

    // Brings currentTree_ up to date with text; false when no tree could be built.
    bool updateTree(const QString& text, const std::optional<TextEdit>& edit);
    void parseFromScratch(std::u16string_view view);
    // Fills out with the spans of the captures that start in owned, from one cursor over range (a
    // piece of whole), in the order they are painted; asks, when the text is read only up to what the
    // predicates ask for.
    void collect(const std::shared_ptr<const SyntaxTree::Tree>& tree, std::u16string_view text, TextRange whole,
                 TextRange range, TextRange owned, SyntaxTree::MatchPredicates& predicates, std::vector<Span>& out, bool asks) const;

    SyntaxTree::Language language_;
    std::shared_ptr<SyntaxTree::Query> query_;
    SyntaxTree::Parser parser_;
    std::shared_ptr<SyntaxTree::MutableTree> currentTree_;
    QString treeText_;  // the text currentTree_ was parsed from (shared, not copied)
    std::vector<std::optional<TokenRole>> captureRoles_;
    std::vector<TextEdit> pendingEdits_;
    bool lastParseIncremental_ = false;
    // How many levels of the tree a pattern of the query spans, at most (erring high).
    int patternLevels_ = 0;
    mutable qsizetype levelsWalked_ = 0;
};
