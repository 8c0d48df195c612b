// What is left to group after edits: the edits that may make empty lines and the runs just before
// them, moved along by every other edit, taken a step at a time from the start.
#include <gtest/gtest.h>

#include "Editor/LineJoins.h"
#include "Editor/UngroupedRange.h"

namespace {

// The empty lines just before an edit that it may lengthen: a group of them, two units each at most.
constexpr qsizetype kReach = 2 * LineJoins::kGroup;

// All that is left, as one step.
TextRange left(const UngroupedRange& range) { return range.next(qsizetype(1) << 40); }

}  // namespace

TEST(UngroupedRange, EditsThatMakeNoEmptyLinesLeaveNothingToGroup) {
    UngroupedRange range;
    EXPECT_TRUE(range.isEmpty());
    range.edit(1000, 0, 5, false, 5000);
    range.edit(20, 3, 0, false, 4997);
    EXPECT_TRUE(range.isEmpty());
}

TEST(UngroupedRange, CoversAnEditAndTheEmptyLinesJustBeforeIt) {
    UngroupedRange typed;
    typed.edit(1000, 0, 10, true, 5000);
    EXPECT_EQ(left(typed), (TextRange{1000 - kReach, kReach + 10}));

    UngroupedRange removed;
    removed.edit(1000, 50, 0, true, 4950);
    EXPECT_EQ(left(removed), (TextRange{1000 - kReach, kReach}));

    // Near the start of the text, from the start.
    UngroupedRange early;
    early.edit(10, 0, 5, true, 100);
    EXPECT_EQ(left(early), (TextRange{0, 15}));

    // A second edit before or after widens it to cover both.
    typed.edit(3000, 0, 20, true, 5020);
    EXPECT_EQ(left(typed), (TextRange{1000 - kReach, 3020 - (1000 - kReach)}));
    typed.edit(300, 0, 10, true, 5030);
    EXPECT_EQ(left(typed), (TextRange{300 - kReach, 3030 - (300 - kReach)}));
}

TEST(UngroupedRange, OtherEditsMoveItWithTheText) {
    UngroupedRange range;
    range.edit(1000 + kReach, 0, 1000 - kReach, true, 5000);
    ASSERT_EQ(left(range), (TextRange{1000, 1000}));

    range.edit(100, 0, 50, false, 5050);
    EXPECT_EQ(left(range), (TextRange{1050, 1000})) << "text added before it";
    range.edit(1500, 10, 0, false, 5040);
    EXPECT_EQ(left(range), (TextRange{1050, 990})) << "text taken away inside it";
    range.edit(3000, 0, 10, false, 5050);
    EXPECT_EQ(left(range), (TextRange{1050, 990})) << "text added after it";
    // Typing just past its end (at the caret after a paste, say) does not make it longer.
    range.edit(2040, 0, 1, false, 5051);
    range.edit(2041, 0, 1, false, 5052);
    EXPECT_EQ(left(range), (TextRange{1050, 990})) << "text added at its end";

    range.edit(1000, 100, 0, false, 4952);
    EXPECT_EQ(left(range), (TextRange{1000, 940})) << "its start taken away";
    range.edit(1900, 100, 0, false, 4852);
    EXPECT_EQ(left(range), (TextRange{1000, 900})) << "its end taken away";
    range.edit(900, 1200, 0, false, 3652);
    EXPECT_TRUE(range.isEmpty()) << "all of it taken away";
}

TEST(UngroupedRange, IsTakenAStepAtATimeFromItsStart) {
    UngroupedRange range;
    range.edit(1000 + kReach, 0, 1000 - kReach, true, 5000);
    EXPECT_EQ(range.next(300), (TextRange{1000, 300}));
    range.doneTo(1300);
    range.doneTo(1200);  // an earlier stop changes nothing
    EXPECT_EQ(range.next(300), (TextRange{1300, 300}));
    range.doneTo(1900);
    EXPECT_EQ(range.next(300), (TextRange{1900, 100}));
    range.doneTo(2000);
    EXPECT_TRUE(range.isEmpty());
}
