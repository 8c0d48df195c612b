// Undo steps: typed characters join, and a step of separate parts undoes each part where it lies.
#include <gtest/gtest.h>

#include "Editor/EditHistory.h"
#include "Editor/RegularExpression.h"
#include "Platform/LateRelease.h"

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

// Cleared, the history gives nothing back either way, also what was undone before.
TEST(EditHistory, ClearedItGivesNothingToUndoOrRedo) {
    EditHistory history;
    history.record(EditHistory::Entry{0, {}, QStringLiteral("a"), {}, {}, true, {}});
    ASSERT_TRUE(history.takeUndo());
    history.clear();
    EXPECT_FALSE(history.takeRedo().has_value());
    EXPECT_FALSE(history.takeUndo().has_value());
}

// Typed characters join one step, all of them, until a word ends; a closed step, one undone and
// made again, or one that became parts takes no more.
TEST(EditHistory, TypingJoinsOneStepUntilAWordEndsOrTheStepCloses) {
    const auto typed = [](qsizetype at, const QString& s) {
        return EditHistory::Entry{at, {}, s, {at, 0}, {at + s.size(), 0}, true, {}};
    };
    const auto undoneInserts = [](EditHistory& history) {
        QStringList out;
        while (const std::optional<EditHistory::Entry> step = history.takeUndo())
            out.prepend(step->parts.isEmpty() ? step->inserted : QStringLiteral("parts"));
        return out;
    };
    EditHistory joined;
    joined.record(typed(0, "a"));
    joined.record(typed(1, "b"));
    joined.record(typed(2, " "));
    joined.record(typed(3, "c"));
    EXPECT_EQ(undoneInserts(joined), (QStringList{"ab ", "c"}));

    EditHistory closed;
    closed.record(typed(0, "a"));
    closed.closeStep();
    closed.record(typed(1, "b"));
    EXPECT_EQ(undoneInserts(closed), (QStringList{"a", "b"}));

    EditHistory remade;
    remade.record(typed(0, "a"));
    ASSERT_TRUE(remade.takeUndo());
    ASSERT_TRUE(remade.takeRedo());
    remade.record(typed(1, "b"));
    EXPECT_EQ(undoneInserts(remade), (QStringList{"a", "b"}));

    EditHistory parts;
    parts.record(typed(0, "a"));
    parts.replaceLast({{0, "", "a"}});
    parts.record(typed(0, "b"));  // where an empty typed step would end
    EXPECT_EQ(undoneInserts(parts), (QStringList{"parts", "b"}));
}

// A step swapped for its parts lets go of its long removed and new texts off this thread, and the
// step undoes as its parts.
TEST(EditHistory, AStepSwappedForItsPartsFreesItsLongTextsAside) {
    const qsizetype aside = LateRelease::unitsFreedAside();
    EditHistory history;
    QString removed(LateRelease::kFrom * 2, u'x'), inserted(LateRelease::kFrom * 2 + 10, u'y');
    const qsizetype room = removed.capacity() + inserted.capacity();
    history.record({0, std::move(removed), std::move(inserted), {}, {}, false, {}});
    const QList<EditHistory::Part> parts = {{3, "x", "yy"}, {9, "x", "y"}};
    history.replaceLast(parts);
    LateRelease::settle();
    EXPECT_EQ(LateRelease::unitsFreedAside() - aside, room);
    const std::optional<EditHistory::Entry> step = history.takeUndo();
    ASSERT_TRUE(step);
    EXPECT_TRUE(step->removed.isEmpty());
    EXPECT_TRUE(step->inserted.isEmpty());
    ASSERT_EQ(step->parts.size(), 2);
    EXPECT_EQ(step->parts[1].location, 9);
}
