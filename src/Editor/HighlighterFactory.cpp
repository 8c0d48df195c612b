#include "Editor/HighlighterFactory.h"

#include "Editor/TreeSitterHighlighter.h"
#include "SyntaxTree/Grammars.h"

namespace HighlighterFactory {

namespace {

QStringList words(const char* spaceSeparated) { return QString::fromLatin1(spaceSeparated).split(u' '); }

const QStringList& swiftKeywords() {
    static const QStringList list = words(
        "func let var if else guard return for while in switch case default struct class enum protocol extension "
        "import public private internal fileprivate static final init deinit self super nil true false throws try "
        "catch throw do defer async await actor some any where as is weak unowned lazy mutating override "
        "convenience required");
    return list;
}
const QStringList& swiftTypes() {
    static const QStringList list = words(
        "Int Double Float String Bool Array Dictionary Set Optional Void Character Data URL Date UUID View Color CGFloat");
    return list;
}
const QStringList& scriptKeywords() {
    static const QStringList list = words(
        "function const let var if else return for while do switch case default break continue class extends new "
        "this super import export from as async await try catch finally throw typeof instanceof null undefined true "
        "false interface type enum public private readonly void yield");
    return list;
}
const QStringList& scriptTypes() {
    static const QStringList list =
        words("string number boolean any unknown never object Promise Array Record Map Set");
    return list;
}
const QStringList& pythonKeywords() {
    static const QStringList list = words(
        "def class if elif else for while in return import from as try except finally raise with lambda yield global "
        "nonlocal pass break continue and or not is None True False async await self");
    return list;
}
const QStringList& shellKeywords() {
    static const QStringList list = words(
        "if then else elif fi for while do done case esac function return export local echo cd true false");
    return list;
}
const QStringList& rustKeywords() {
    static const QStringList list = words(
        "fn let mut const if else match for while loop return struct enum trait impl use pub mod self super crate "
        "where async await move ref as dyn unsafe true false");
    return list;
}
const QStringList& rustTypes() {
    static const QStringList list =
        words("i32 i64 u32 u64 usize isize f32 f64 bool char str String Vec Option Result Box");
    return list;
}
const QStringList& goKeywords() {
    static const QStringList list = words(
        "func var const if else for range return switch case default package import type struct interface map chan "
        "go defer select break continue nil true false");
    return list;
}
const QStringList& goTypes() {
    static const QStringList list =
        words("int int32 int64 uint float32 float64 string bool byte rune error");
    return list;
}

} // namespace

std::unique_ptr<SyntaxHighlighter> treeSitter(CodeLanguage language) {
    const TSLanguage* grammar = nullptr;
    switch (language) {
    case CodeLanguage::swift: grammar = tree_sitter_swift(); break;
    case CodeLanguage::javascript: grammar = tree_sitter_javascript(); break;
    case CodeLanguage::typescript: grammar = tree_sitter_typescript(); break;
    case CodeLanguage::python: grammar = tree_sitter_python(); break;
    case CodeLanguage::json: grammar = tree_sitter_json(); break;
    case CodeLanguage::html: grammar = tree_sitter_html(); break;
    case CodeLanguage::css: grammar = tree_sitter_css(); break;
    case CodeLanguage::rust: grammar = tree_sitter_rust(); break;
    case CodeLanguage::go: grammar = tree_sitter_go(); break;
    case CodeLanguage::markdown:
    case CodeLanguage::shell:
    case CodeLanguage::yaml:
    case CodeLanguage::plain:
        return nullptr;
    }
    // The query resource is named by the language's raw value.
    return TreeSitterHighlighter::create(grammar, CodeLanguages::rawValue(language));
}

std::unique_ptr<RegexHighlighter> regex(CodeLanguage language, RegexHighlighter::Delimiting delimiting) {
    const QString slashes = QStringLiteral("//");
    switch (language) {
    case CodeLanguage::swift:
        return std::make_unique<RegexHighlighter>(swiftKeywords(), swiftTypes(), slashes, true, false, delimiting);
    case CodeLanguage::javascript:
    case CodeLanguage::typescript:
        return std::make_unique<RegexHighlighter>(scriptKeywords(), scriptTypes(), slashes, true, false, delimiting);
    case CodeLanguage::python:
        return std::make_unique<RegexHighlighter>(pythonKeywords(), QStringList{}, std::nullopt, false, true, delimiting);
    case CodeLanguage::json:
        return std::make_unique<RegexHighlighter>(words("true false null"), QStringList{}, std::nullopt, false, false, delimiting);
    case CodeLanguage::css:
        return std::make_unique<RegexHighlighter>(QStringList{}, QStringList{}, std::nullopt, true, false, delimiting);
    case CodeLanguage::shell:
    case CodeLanguage::yaml:
        return std::make_unique<RegexHighlighter>(shellKeywords(), QStringList{}, std::nullopt, false, true, delimiting);
    case CodeLanguage::rust:
        return std::make_unique<RegexHighlighter>(rustKeywords(), rustTypes(), slashes, true, false, delimiting);
    case CodeLanguage::go:
        return std::make_unique<RegexHighlighter>(goKeywords(), goTypes(), slashes, true, false, delimiting);
    case CodeLanguage::markdown:
    case CodeLanguage::html:
    case CodeLanguage::plain:
        break;
    }
    return std::make_unique<RegexHighlighter>(QStringList{}, QStringList{}, std::nullopt, false, false, delimiting);
}

std::unique_ptr<SyntaxHighlighter> make(CodeLanguage language) {
    if (std::unique_ptr<SyntaxHighlighter> highlighter = treeSitter(language)) return highlighter;
    return regex(language);
}

} // namespace HighlighterFactory
