// The nine bundled highlight queries on realistic sample files: they compile, colour every role the
// language has, never colour a keyword as a function or type, colour chosen tokens as expected, and
// give the same spans after incremental edits as after a full parse. Also the fallback when a
// language's query file is missing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>
#include <set>

#include "Editor/HighlighterFactory.h"
#include "Editor/TreeSitterHighlighter.h"
#include "HighlightTestSupport.h"
#include "Platform/ResourceBundle.h"
#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/SyntaxTree.h"
#include "TestSupport.h"

namespace {

using Span = SyntaxHighlighter::Span;
using R = TokenRole;
using highlight_test::paint;
using highlight_test::replace;

// A token expected in a colour: the n-th occurrence (from 0) of needle, checked at offset within it.
struct Expectation {
    const char* needle;
    std::optional<TokenRole> role;
    int offset = 0;
    int occurrence = 0;
};

struct LanguageCase {
    CodeLanguage language;
    const TSLanguage* (*grammar)();
    const char* sample;
    std::set<TokenRole> roles;  // every role the language's query gives
    std::vector<Expectation> expectations;
};

const std::set<TokenRole> kAllRoles = {R::keyword, R::type,     R::string,    R::number,
                                       R::comment, R::function, R::attribute, R::punctuation};

std::ostream& operator<<(std::ostream& os, const LanguageCase& c) {
    return os << CodeLanguages::rawValue(c.language).toStdString();
}

QString readSample(const char* name) {
    QFile f(QStringLiteral(BRIMEL_SOURCE_DIR "/tests/Editor/samples/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(f.readAll());
}

std::unique_ptr<SyntaxHighlighter> treeSitter(CodeLanguage language) {
    std::unique_ptr<SyntaxHighlighter> h = HighlighterFactory::treeSitter(language);
    EXPECT_NE(dynamic_cast<TreeSitterHighlighter*>(h.get()), nullptr) << CodeLanguages::rawValue(language).toStdString();
    return h;
}

QList<Span> fullParse(CodeLanguage language, const QString& text, TextRange range) {
    return treeSitter(language)->ranges(text, range);
}

void forEachLeaf(const SyntaxTree::Node& node, const std::function<void(const SyntaxTree::Node&)>& f) {
    if (node.childCount() == 0) return f(node);
    for (uint32_t i = 0; i < node.childCount(); ++i) forEachLeaf(*node.child(i), f);
}

class HighlightQueries : public ::testing::TestWithParam<LanguageCase> {
protected:
    QString text = readSample(GetParam().sample);
    TextRange whole() const { return {0, text.size()}; }
};

TEST_P(HighlightQueries, EveryRoleOfTheLanguageAppearsAndChosenTokensTakeTheirColour) {
    const QList<Span> spans = fullParse(GetParam().language, text, whole());
    std::set<TokenRole> seen;
    for (const Span& s : spans) seen.insert(s.role);
    EXPECT_EQ(seen, GetParam().roles);

    const auto painted = paint(spans, text.size());
    for (const Expectation& e : GetParam().expectations) {
        qsizetype at = -1;
        for (int n = 0; n <= e.occurrence; ++n) at = text.indexOf(QString::fromUtf8(e.needle), at + 1);
        ASSERT_GE(at, 0) << e.needle;
        EXPECT_EQ(painted[size_t(at + e.offset)], e.role) << "'" << e.needle << "' at " << e.offset;
    }
}

TEST_P(HighlightQueries, KeywordsAreNeverColouredAsFunctionsOrTypes) {
    const QList<Span> spans = fullParse(GetParam().language, text, whole());
    const auto painted = paint(spans, text.size());
    const QStringList keywords = HighlighterFactory::regex(GetParam().language)->keywords();

    SyntaxTree::Parser parser;
    parser.setLanguage(GetParam().grammar());
    const auto tree = parser.parse(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
    ASSERT_TRUE(tree);
    int checked = 0;
    forEachLeaf(*tree->rootNode(), [&](const SyntaxTree::Node& leaf) {
        const SyntaxTree::Utf16Range r = leaf.range();
        if (!keywords.contains(text.mid(r.location, r.length))) return;
        ++checked;
        const std::optional<TokenRole> role = painted[size_t(r.location)];
        EXPECT_TRUE(role && role != R::function && role != R::type)
            << "'" << text.mid(r.location, r.length).toStdString() << "' at " << r.location;
    });
    if (!keywords.isEmpty()) EXPECT_GT(checked, 0);
}

// Each step edits the text as a user would and compares with a highlighter that parses afresh,
// over the whole text and over a visible window.
TEST_P(HighlightQueries, SpansAfterIncrementalEditsEqualThoseOfAFullParse) {
    const CodeLanguage language = GetParam().language;
    std::unique_ptr<SyntaxHighlighter> h = treeSitter(language);
    auto* ts = dynamic_cast<TreeSitterHighlighter*>(h.get());
    ASSERT_NE(ts, nullptr);
    h->ranges(text, whole());

    const auto check = [&](const TextEdit& edit, const char* what) {
        const qsizetype windowStart = text.indexOf(u'\n', text.size() / 3) + 1;
        const TextRange window{windowStart, qMin<qsizetype>(900, text.size() - windowStart)};
        EXPECT_EQ(h->ranges(text, edit, window), fullParse(language, text, window)) << what;
        EXPECT_TRUE(ts->lastParseWasIncremental()) << what;
        EXPECT_EQ(h->ranges(text, whole()), fullParse(language, text, whole())) << what;
    };

    check(replace(text, text.indexOf(u'\n'), 0, "x"), "a character at the end of the first line");
    const qsizetype middle = text.indexOf(u'\n', text.size() / 2) + 1;
    check(replace(text, middle, 0, "\""), "an opening quote");
    check(replace(text, middle, 1, ""), "the quote removed");
    const qsizetype lineEnd = text.indexOf(u'\n', middle);
    check(replace(text, middle, lineEnd - middle + 1, ""), "a whole line deleted");
    check(replace(text, text.size() * 2 / 3, 0, text.left(200)), "a paste");

    // Several edits noted one by one, then handed over together.
    h->noteEdit(replace(text, 0, 0, "\n\n"));
    h->noteEdit(replace(text, text.size() / 4, 3, "{"));
    check(replace(text, text.size(), 0, "\n"), "three edits in one call");
}

const LanguageCase kCases[] = {
    {CodeLanguage::swift, tree_sitter_swift, "sample.swift", kAllRoles,
     {{"@MainActor", R::attribute}, {"@MainActor", R::attribute, 3}, {"CounterStore:", R::type},
      {"increment(", R::function}, {"guard", R::keyword}, {"\"tmp\"", R::string}, {"0x10", R::number},
      {"// Adds", R::comment}, {"??", R::punctuation}, {"counts[name] =", std::nullopt},
      {"\\(step)", std::nullopt, 2}, {"nil", R::keyword}, {"throws", R::keyword}}},
    {CodeLanguage::javascript, tree_sitter_javascript, "sample.js", kAllRoles,
     {{"runJob(job, attempt", R::function}, {"MAX_RETRIES =", std::nullopt}, {"TaskQueue extends", R::type},
      {"/^\\s*#/g", R::string}, {"/^\\s*#/g", R::string, 7}, {"outer:", R::attribute}, {"pending = [", std::nullopt},
      {"${id}", std::nullopt, 2}, {"`${id}", R::string}, {"=>", R::punctuation}, {"null", R::keyword},
      {"true", R::number}, {"this.name", R::keyword}, {"\"default\"", R::string}}},
    {CodeLanguage::typescript, tree_sitter_typescript, "sample.ts", kAllRoles,
     {{"@logged", R::attribute}, {"Entry<T>", R::type}, {"Entry<T>", R::type, 6}, {"string;", R::type},
      {"interface", R::keyword}, {"readonly key", R::keyword}, {"now(): number", R::function},
      {"60_000", R::number}, {"\"./clock\"", R::string}, {"entry is Entry", std::nullopt},
      {"key: string", std::nullopt}, {"=== undefined", R::punctuation}, {"// Typed", R::comment}}},
    {CodeLanguage::python, tree_sitter_python, "sample.py", kAllRoles,
     {{"@dataclass", R::attribute}, {"@dataclass", R::attribute, 1}, {"@property", R::attribute, 3},
      {"class Item", R::type, 6}, {"is_low(self)", R::function}, {"is_low(self)", R::keyword, 7},
      {"{amount!r}", std::nullopt, 1}, {"f\"amount", R::string}, {"# Names", R::comment}, {"2 ** 3", R::punctuation, 2},
      {"None:", R::keyword}, {"ValueError(f", R::type}, {"len(self._items)", R::function}, {"LOW_WATER =", std::nullopt},
      {"0x1F", R::number}, {"import json", R::keyword}}},
    {CodeLanguage::json, tree_sitter_json, "sample.json", {R::keyword, R::string, R::number, R::comment, R::attribute},
     {{"\"name\"", R::attribute}, {"\"inventory-service\"", R::string}, {"\"Lyon\"", R::string},
      {"\"restock\"", R::string}, {"\"max\"", R::attribute}, {"-0.75", R::number}, {"null", R::keyword},
      {"true", R::number}, {"// Comments", R::comment}, {"\\\"per", R::string}, {"{", std::nullopt}}},
    {CodeLanguage::html, tree_sitter_html, "sample.html", {R::keyword, R::string, R::comment, R::attribute, R::punctuation},
     {{"<!DOCTYPE", R::keyword}, {"html lang", R::keyword}, {"lang=", R::attribute}, {"=\"en\"", R::punctuation},
      {"\"en\"", R::string}, {"orders>", R::string}, {"&amp;", R::string}, {"<!--", R::comment},
      {"Stock", std::nullopt}, {"margin: 0", std::nullopt}, {"<html", std::nullopt}}},
    {CodeLanguage::css, tree_sitter_css, "sample.css", kAllRoles,
     {{"@charset", R::keyword}, {"@media", R::keyword}, {"html, body", R::keyword}, {".card.active", R::type},
      {"#top", R::type}, {":hover", R::attribute, 1}, {"::after", R::attribute, 2}, {"margin: 0", R::attribute},
      {"rgba(", R::function}, {"0.92", R::number}, {"1px", R::number, 1}, {"\"Inter\"", R::string},
      {"!important", R::keyword}, {"solid", R::keyword}, {"var(--accent)", R::attribute, 4}, {"/* Palette", R::comment},
      {"* 2", R::punctuation}}},
    {CodeLanguage::rust, tree_sitter_rust, "sample.rs", kAllRoles,
     {{"#[derive", R::attribute}, {"Ring<T: Clone>", R::type}, {"usize", R::type}, {"fn new", R::keyword},
      {"new(capacity", R::function}, {"assert!", R::function}, {"assert!", R::function, 6}, {"'a>", R::attribute},
      {"'outer:", R::attribute}, {"\"ring\\tbuffer\"", R::string}, {"\\t", R::string}, {"'x'", R::string},
      {"1.5_f64", R::number}, {"/// How", R::comment}, {"/// How", R::comment, 2}, {"&mut self", R::keyword, 1},
      {"!false", R::punctuation}, {"DEFAULT_CAPACITY:", std::nullopt}, {"Some(v)", R::type}}},
    {CodeLanguage::go, tree_sitter_go, "sample.go", kAllRoles,
     {{"package ledger", R::keyword}, {"ledger", std::nullopt, 0, 1}, {"AccountID string", R::type},
      {"AccountID string", R::type, 10}, {"`json:\"id\"`", R::string}, {"Withdraw(", R::function}, {"Errorf(", R::function},
      {"make(", R::function}, {":=", R::punctuation}, {"'E'", R::string}, {"0.015", R::number}, {"nil", R::keyword},
      {"outer:", R::attribute}, {"/* Withdraw", R::comment}, {"ErrOverdraft =", std::nullopt}, {"func()", R::keyword}}},
};

INSTANTIATE_TEST_SUITE_P(Languages, HighlightQueries, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return CodeLanguages::rawValue(info.param.language).toStdString(); });

// A JSON key is painted over the string it also is: wherever it stands, escapes and all, and when
// the visible range ends right after it, before its colon.
TEST(JsonHighlight, KeysKeepTheirColourOverTheStringTheyAre) {
    const QString text = R"([ "a\"b", {"k\n": "v\t", "o": {"deep": [["x"], "y"]}}, "z" ])";
    const std::unique_ptr<SyntaxHighlighter> h = treeSitter(CodeLanguage::json);
    const std::vector<std::pair<QString, R>> cases = {{R"("a\"b")", R::string}, {R"("k\n")", R::attribute},
                                                      {R"("v\t")", R::string},  {R"("deep")", R::attribute},
                                                      {R"("x")", R::string},     {R"("y")", R::string},
                                                      {R"("z")", R::string}};
    for (const auto& [needle, role] : cases) {
        const qsizetype at = text.indexOf(needle);
        ASSERT_GE(at, 0);
        for (const TextRange range : {TextRange{0, text.size()}, TextRange{at, needle.size()}}) {
            const auto painted = paint(h->ranges(text, range), text.size());
            for (qsizetype i = at; i < at + needle.size(); ++i)
                EXPECT_EQ(painted[size_t(i)], role) << needle.toStdString() << " at " << i - at;
        }
    }
    EXPECT_EQ(paint(h->ranges("\"top\"", {0, 5}), 5), std::vector<std::optional<TokenRole>>(5, R::string));
}

TEST(HighlightQueryFallback, OnlyTheLanguageWithoutAQueryFileGetsTheRegexHighlighter) {
    testing_support::TempFolder temp;
    const QString bundle = temp.mkdir(QStringLiteral(BRIMEL_BUNDLE_NAME));
    const QDir source(ResourceBundle::path());
    for (const QString& name : source.entryList({"*.scm"}, QDir::Files))
        if (name != "go.scm") ASSERT_TRUE(QFile::copy(source.filePath(name), bundle + "/" + name));

    const QString previous = ResourceBundle::path();
    ResourceBundle::setOverridePath(bundle);
    const std::unique_ptr<SyntaxHighlighter> go = HighlighterFactory::make(CodeLanguage::go);
    const std::unique_ptr<SyntaxHighlighter> rust = HighlighterFactory::make(CodeLanguage::rust);
    const std::unique_ptr<SyntaxHighlighter> treeSitterGo = HighlighterFactory::treeSitter(CodeLanguage::go);
    ResourceBundle::setOverridePath(previous);

    EXPECT_EQ(treeSitterGo, nullptr);
    EXPECT_NE(dynamic_cast<RegexHighlighter*>(go.get()), nullptr);
    EXPECT_NE(dynamic_cast<TreeSitterHighlighter*>(rust.get()), nullptr);
    // The fallback colours by its word lists.
    const QString text = "func main() { return }";
    EXPECT_EQ(highlight_test::texts(go->ranges(text, {0, text.size()}), text, R::keyword),
              (QStringList{"func", "return"}));
}

} // namespace
