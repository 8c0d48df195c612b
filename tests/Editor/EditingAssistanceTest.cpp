// The typing help decided on text alone: pairs, type-over, wrapping, pair deletion, auto-indent,
// comment toggling and line lookup.
#include <gtest/gtest.h>

#include "Editor/EditingAssistance.h"

using EditingAssistance::Decision;
using Kind = EditingAssistance::Decision::Kind;

namespace {

// What the text becomes (and where the selection ends up) when the filter's decision is carried out.
struct Outcome {
    QString text;
    TextRange selection;
};

Outcome type(const QString& text, TextRange range, const QString& replacement,
             CodeLanguage language = CodeLanguage::swift, const QString& newline = QStringLiteral("\n")) {
    const Decision d = EditingAssistance::filter(text, range, replacement, language, newline);
    QString out = text;
    switch (d.kind) {
    case Kind::allow:
        out.replace(range.location, range.length, replacement);
        return {out, {range.location + replacement.size(), 0}};
    case Kind::moveCaret: return {out, {d.caret, 0}};
    case Kind::edit:
        out.replace(d.edit.range.location, d.edit.range.length, d.edit.text);
        return {out, d.edit.selection};
    }
    return {};
}

QString toggle(const QString& text, TextRange selection, CodeLanguage language) {
    const auto edit = EditingAssistance::toggleComment(text, selection, language);
    if (!edit) return text;
    QString out = text;
    return out.replace(edit->range.location, edit->range.length, edit->text);
}

} // namespace

TEST(EditingAssistance, OpenersPairAndClosersTypeOver) {
    EXPECT_EQ(type("x", {0, 0}, "(").text, "()x");      // brackets pair even before a letter
    EXPECT_EQ(type("x", {0, 0}, "\"").text, "\"x");     // quotes do not
    EXPECT_EQ(type("7", {0, 0}, "'").text, "'7");
    EXPECT_EQ(type(QString::fromUtf8("é"), {0, 0}, "`").text, QString::fromUtf8("`é"));
    EXPECT_EQ(type(" ", {0, 0}, "\"").text, "\"\" ");
    EXPECT_EQ(type("a", {1, 0}, "\"").text, "a\"\"");
    EXPECT_EQ(type("a)", {1, 0}, "]").text, "a])");      // a different closer is just typed
    Outcome o = type("(``)", {2, 0}, "`");               // the same closer is typed over
    EXPECT_EQ(o.text, "(``)");
    EXPECT_EQ(o.selection, (TextRange{3, 0}));
    EXPECT_EQ(type("aa", {1, 0}, "a").text, "aaa");     // a plain character never is
}

TEST(EditingAssistance, SelectionsAreWrappedOrReplaced) {
    Outcome o = type("abcd", {1, 3}, "[");
    EXPECT_EQ(o.text, "a[bcd]");
    EXPECT_EQ(o.selection, (TextRange{2, 3}));
    o = type("abcd", {1, 2}, ")");  // a closer over a selection replaces it
    EXPECT_EQ(o.text, "a)d");
    EXPECT_EQ(type("ab", {0, 2}, "xy").text, "xy");  // pasted text passes
}

TEST(EditingAssistance, DeletingAnOpenerBeforeItsCloserDeletesBoth) {
    EXPECT_EQ(type("()", {0, 1}, "").text, "");
    EXPECT_EQ(type("(a", {0, 1}, "").text, "a");
    EXPECT_EQ(type("x\"\"", {1, 1}, "").text, "x");
    EXPECT_EQ(type("ab", {1, 1}, "").text, "a");
    EXPECT_EQ(type("()", {0, 2}, "").text, "");  // a two-character selection is just deleted
}

TEST(EditingAssistance, ReturnIndents) {
    // Between braces on a line indented by two: three lines, caret on the middle one.
    Outcome o = type("  f {}", {5, 0}, "\n");
    EXPECT_EQ(o.text, "  f {\n      \n  }");
    EXPECT_EQ(o.selection, (TextRange{12, 0}));

    o = type("f()", {2, 0}, "\n");  // parentheses do not split
    EXPECT_EQ(o.text, "f(\n    )");
    EXPECT_EQ(o.selection, (TextRange{7, 0}));

    EXPECT_EQ(type("if x:", {5, 0}, "\n", CodeLanguage::python).text, "if x:\n    ");
    EXPECT_EQ(type("k:", {2, 0}, "\n", CodeLanguage::yaml).text, "k:\n    ");
    EXPECT_EQ(type("  a:", {4, 0}, "\n", CodeLanguage::swift).text, "  a:\n  ");
    EXPECT_EQ(type("\t  x", {0, 0}, "\n").text, "\n\t  \t  x");  // at the line start: full indentation
    EXPECT_EQ(type("a {  ", {5, 0}, "\n").text, "a {  \n    ");     // trailing blanks do not hide the brace
    EXPECT_EQ(type("ab", {0, 2}, "\n").text, "\n");                // a selection is replaced
}

TEST(EditingAssistance, ReturnUsesTheDocumentsLineEnding) {
    const Outcome o = type("a {}\r\nb", {3, 0}, "\n", CodeLanguage::swift, "\r\n");
    EXPECT_EQ(o.text, "a {\r\n    \r\n}\r\nb");
    EXPECT_EQ(o.selection, (TextRange{9, 0}));
    EXPECT_EQ(type("x\r\ny", {3, 0}, "\n", CodeLanguage::plain, "\r\n").text, "x\r\n\r\ny");
}

TEST(EditingAssistance, ToggleCommentAddsAndRemovesByMode) {
    EXPECT_EQ(toggle("a\n  b\nc", {0, 5}, CodeLanguage::swift), "// a\n  // b\nc");
    EXPECT_EQ(toggle("// a\n  // b\nc", {0, 11}, CodeLanguage::swift), "a\n  b\nc");
    EXPECT_EQ(toggle("#x\ny", {0, 4}, CodeLanguage::python), "# #x\n# y");  // mixed: both commented
    EXPECT_EQ(toggle("  \n\t", {0, 4}, CodeLanguage::swift), "  \n\t");     // blank only: unchanged
    EXPECT_EQ(toggle("{}", {0, 2}, CodeLanguage::json), "{}");             // no prefix
    EXPECT_FALSE(EditingAssistance::toggleComment("{}", {0, 2}, CodeLanguage::json).has_value());
    // A selection ending right after a line break stops at that line.
    EXPECT_EQ(toggle("a\nb\n", {0, 2}, CodeLanguage::go), "// a\nb\n");
    // Removal takes the first prefix and one space after it.
    EXPECT_EQ(toggle("  //x // y", {0, 0}, CodeLanguage::rust), "  x // y");
}

TEST(EditingAssistance, ToggleCommentKeepsEachLinesOwnEnding) {
    const QString text = "a\r\nb\rc\nd" + QString(QChar(0x2028)) + "e";
    const auto edit = EditingAssistance::toggleComment(text, {0, text.size()}, CodeLanguage::javascript);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text, "// a\r\n// b\r// c\n// d" + QString(QChar(0x2028)) + "// e");
    EXPECT_EQ(edit->selection, (TextRange{0, edit->text.size()}));
    // The last line's terminator stays outside the edit.
    const auto one = EditingAssistance::toggleComment("a\r\nb", {0, 0}, CodeLanguage::go);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->range, (TextRange{0, 1}));
}

TEST(EditingAssistance, LineStartsClampToTheText) {
    const QString three = "aa\nbb\ncc";
    EXPECT_EQ(EditingAssistance::lineStartOffset(three, 1), 0);
    EXPECT_EQ(EditingAssistance::lineStartOffset(three, 3), 6);
    EXPECT_EQ(EditingAssistance::lineStartOffset(three, 4), 6);    // past the end: the last line
    EXPECT_EQ(EditingAssistance::lineStartOffset(three, 0), 0);
    EXPECT_EQ(EditingAssistance::lineStartOffset("a\r\nb\rc", 3), 5);
    EXPECT_EQ(EditingAssistance::lineStartOffset("a\nb\n", 3), 4);  // the empty line after a final break
    EXPECT_EQ(EditingAssistance::lineStartOffset("a\nb\n", 99), 4);
}
