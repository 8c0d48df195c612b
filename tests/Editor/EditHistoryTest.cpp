// Undo steps: typed characters join, and a step of separate parts undoes each part where it lies.
#include <gtest/gtest.h>

#include "Editor/EditHistory.h"
#include "Editor/RegularExpression.h"

namespace {
QString applied(const QString& text, const QList<EditHistory::Part>& parts) {
    QList<RegularExpression::Replacement> replacements;
    for (const EditHistory::Part& part : parts) replacements.append({{part.location, part.removed.size()}, part.inserted});
    return RegularExpression::spliced(text, replacements);
}
} // namespace

TEST(EditHistory, PartsUndoWhereTheyLieAfterTheStep) {
    const QString before = "a-bb-c-dd";
    const QList<EditHistory::Part> parts = {{0, "a", "xyz"}, {2, "bb", ""}, {7, "dd", "e"}};
    const QString after = applied(before, parts);
    EXPECT_EQ(after, "xyz--c-e");
    const QList<EditHistory::Part> back = EditHistory::inverted(parts);
    EXPECT_EQ(back[0].location, 0);
    EXPECT_EQ(back[1].location, 4);
    EXPECT_EQ(back[2].location, 7);
    EXPECT_EQ(applied(after, back), before);
    EXPECT_EQ(applied(before, EditHistory::inverted(back)), after);
}

TEST(EditHistory, ALastStepBecomesPartsWithItsSelections) {
    EditHistory history;
    history.record({0, "", "a", {0, 0}, {1, 0}, true, {}});
    history.record({1, "", "b", {1, 0}, {2, 0}, true, {}});  // joins the typing
    history.replaceLast({{0, "ab", "c"}});
    history.record({1, "", "d", {1, 0}, {2, 0}, true, {}});  // parts never absorb typing
    history.takeUndo();
    const std::optional<EditHistory::Entry> step = history.takeUndo();
    ASSERT_TRUE(step);
    EXPECT_EQ(step->selectionBefore, (TextRange{0, 0}));
    EXPECT_EQ(step->selectionAfter, (TextRange{2, 0}));
    ASSERT_EQ(step->parts.size(), 1);
    EXPECT_EQ(step->parts[0].removed, "ab");
    EXPECT_TRUE(step->inserted.isEmpty());
    EXPECT_FALSE(history.canUndo());
}

// The saved text is found again by counting steps: undone or redone to it, never past a change made
// after going back, and a typed step ending at it is not grown past it.
TEST(EditHistory, TheSavedTextIsReachedByItsStepsOnly) {
    const auto typed = [](qsizetype at, const char* text) {
        return EditHistory::Entry{at, {}, QString::fromLatin1(text), {}, {}, true, {}};
    };
    EditHistory history;
    EXPECT_FALSE(history.isAtSaved()) << "nothing is known saved until told";
    history.markSaved();
    EXPECT_TRUE(history.isAtSaved());
    history.record(typed(0, "a"));
    EXPECT_FALSE(history.isAtSaved());
    history.markSaved();  // saved after "a": typing on is a step of its own
    history.record(typed(1, "b"));
    ASSERT_TRUE(history.takeUndo());
    EXPECT_TRUE(history.isAtSaved());
    EXPECT_EQ(history.takeUndo()->inserted, "a") << "\"b\" did not join the step before the save";
    EXPECT_FALSE(history.isAtSaved());
    ASSERT_TRUE(history.takeRedo());
    EXPECT_TRUE(history.isAtSaved());
    // Back at it, typing on starts a step of its own rather than growing the one before.
    history.record(typed(1, "c"));
    ASSERT_TRUE(history.takeUndo());
    EXPECT_TRUE(history.isAtSaved());
    // A change made after undoing past the saved text leaves no way back to it.
    ASSERT_TRUE(history.takeUndo());
    history.record(typed(0, "z"));
    EXPECT_FALSE(history.isAtSaved());
    ASSERT_TRUE(history.takeUndo());
    EXPECT_FALSE(history.isAtSaved());
    history.markSaved();
    history.clear();
    EXPECT_FALSE(history.isAtSaved());
    EXPECT_FALSE(history.takeRedo().has_value());
    EXPECT_FALSE(history.takeUndo().has_value());
}
