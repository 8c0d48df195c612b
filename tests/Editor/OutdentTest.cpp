#include <gtest/gtest.h>

#include "Editor/Outdent.h"

namespace {

// Applies the outdent to the text; returns the new text and selection, or the text unchanged.
std::pair<QString, TextRange> apply(QString text, TextRange selection) {
    const auto change = Outdent::of(text, selection);
    if (!change) return {text, selection};
    text.replace(change->range.location, change->range.length, change->replacement);
    return {text, change->selection};
}

TEST(Outdent, TakesOneLevelFromEachTouchedLineAndKeepsTheSelectionOnItsCharacters) {
    // The caret's line: a tab, or up to four spaces; the caret stays before the same character.
    EXPECT_EQ(apply("\tone", {2, 0}), std::pair(QString("one"), TextRange{1, 0}));
    EXPECT_EQ(apply("      six", {8, 0}), std::pair(QString("  six"), TextRange{4, 0}));
    EXPECT_EQ(apply("  two", {1, 0}), std::pair(QString("two"), TextRange{0, 0})) << "never past the line's start";
    EXPECT_EQ(apply("\t\tdeep", {0, 0}), std::pair(QString("\tdeep"), TextRange{0, 0})) << "one level only";
    // Every line the selection touches, whatever its terminators; unindented lines are left alone.
    EXPECT_EQ(apply("\ta\r\nb\r    c\n", {1, 8}), std::pair(QString("a\r\nb\rc\n"), TextRange{0, 5}));
    // A selection ending at a line's start leaves that line alone.
    EXPECT_EQ(apply("\ta\n\tb\n", {0, 3}), std::pair(QString("a\n\tb\n"), TextRange{0, 2}));
    // On the last line without a terminator, and a line of spaces only.
    EXPECT_EQ(apply("x\n    ", {6, 0}), std::pair(QString("x\n"), TextRange{2, 0}));
}

TEST(Outdent, NothingToTakeIsNoChange) {
    EXPECT_FALSE(Outdent::of(u"plain\nlines", {0, 11}));
    EXPECT_FALSE(Outdent::of(u"", {0, 0}));
    EXPECT_FALSE(Outdent::of(u"a\n\tb", {0, 2})) << "the selection stops at the indented line's start";
}

} // namespace
