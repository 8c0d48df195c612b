// The offset index edited anywhere holds what a plain sorted list edited the same way holds, and
// moves entries only where an edit has moved the ones it passes.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <algorithm>

#include "Editor/SplitOffsets.h"

namespace {

// An index of count offsets, one every two units.
SplitOffsets everyOther(qsizetype count) {
    std::vector<qsizetype> offsets(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) offsets[size_t(i)] = 2 * i;
    SplitOffsets index;
    index.reset(offsets);
    return index;
}

} // namespace

TEST(SplitOffsets, EditsAnywhereKeepWhatAPlainListKeeps) {
    QRandomGenerator random(3636);
    std::vector<qsizetype> model;
    for (qsizetype at = 0; at < 5000; at += 1 + random.bounded(9)) model.push_back(at);
    SplitOffsets index;
    index.reset(model);
    qsizetype size = 5000;
    for (int i = 0; i < 2000; ++i) {
        SCOPED_TRACE(i);
        const qsizetype from = random.bounded(int(size + 1));
        if (random.bounded(10) == 0) {
            index.dropFrom(from);
            model.erase(std::lower_bound(model.begin(), model.end(), from), model.end());
        } else {
            const qsizetype to = qMin(size, from + random.bounded(30));
            const qsizetype inserted = random.bounded(40);
            std::vector<qsizetype> added;
            for (qsizetype at = from; at < from + inserted; at += 1 + random.bounded(5)) added.push_back(at);
            index.replace(from, to, inserted, added);
            std::vector<qsizetype> next(model.begin(), std::lower_bound(model.begin(), model.end(), from));
            next.insert(next.end(), added.begin(), added.end());
            for (auto it = std::lower_bound(model.begin(), model.end(), to); it != model.end(); ++it)
                next.push_back(*it + inserted - (to - from));
            model = std::move(next);
            size += inserted - (to - from);
        }
        if (random.bounded(20) == 0) {
            // Appended past all of them, as a text shown a step at a time is grouped.
            std::vector<qsizetype> more;
            for (qsizetype at = size; at < size + 50; at += 1 + random.bounded(7)) more.push_back(at);
            index.append(more);
            model.insert(model.end(), more.begin(), more.end());
            size += 50;
        }
        ASSERT_EQ(index.size(), qsizetype(model.size()));
        ASSERT_EQ(index.all(), model);
        const qsizetype probe = random.bounded(int(size + 2));
        ASSERT_EQ(index.countBefore(probe), std::lower_bound(model.begin(), model.end(), probe) - model.begin());
    }
}

TEST(SplitOffsets, AFirstEditAnywhereMovesOnlyWhatItReplaces) {
    for (const qsizetype count : {1'000, 1'000'000}) {
        SCOPED_TRACE(count);
        SplitOffsets index = everyOther(count);
        index.replace(count, count + 3, 1, {});  // in the middle: two of them go
        EXPECT_EQ(index.moved(), 2);
        EXPECT_EQ(index[count / 2], count + 4 + 1 - 3);  // the next, moved back by the two units less
        // Typing on there moves none.
        for (qsizetype at = count + 1; at < count + 20; ++at) index.replace(at, at, 1, {});
        EXPECT_EQ(index.moved(), 2);
    }
}

TEST(SplitOffsets, EditsPastTheLastOneLeaveLaterEditsAsCheap) {
    for (const qsizetype count : {1'000, 1'000'000}) {
        SCOPED_TRACE(count);
        SplitOffsets index = everyOther(count);
        // Text taken away and typed at the end, past all of them, moves none...
        index.replace(2 * count + 10, 2 * count + 20, 3, {});
        index.replace(2 * count + 13, 2 * count + 13, 1, {});
        EXPECT_EQ(index.moved(), 0);
        // ... nor makes an edit in the middle after it move more than it replaces.
        index.replace(count, count + 3, 1, {});
        EXPECT_EQ(index.moved(), 2);
        EXPECT_EQ(index[count / 2], count + 4 + 1 - 3);
        EXPECT_EQ(index[count - 3], 2 * (count - 1) + 1 - 3);
        // A line broken there writes its own entry and moves none.
        index.replace(count + 1, count + 1, 2, {count + 1});
        EXPECT_EQ(index.moved(), 3);
        EXPECT_EQ(index[count / 2], count + 1);
        EXPECT_EQ(index[count / 2 + 1], count + 4 + 1 - 3 + 2);
    }
}

TEST(SplitOffsets, ResetAfterEditsHoldsOnlyTheNewOnes) {
    SplitOffsets index;
    index.reset({2, 4, 6, 8, 10});
    index.replace(3, 7, 0, {});  // 4 and 6 go; the hole holds their places
    ASSERT_EQ(index.all(), (std::vector<qsizetype>{2, 4, 6}));
    index.reset({1, 5});
    EXPECT_EQ(index.size(), 2);
    EXPECT_EQ(index.all(), (std::vector<qsizetype>{1, 5}));
    EXPECT_EQ(index.countBefore(5), 1);
    index.replace(0, 0, 2, {0});
    EXPECT_EQ(index.all(), (std::vector<qsizetype>{0, 3, 7}));
}

TEST(SplitOffsets, DroppingTheLastOnesCountsThoseTakenAway) {
    SplitOffsets index = everyOther(1000);
    index.dropFrom(1000);
    EXPECT_EQ(index.size(), 500);
    EXPECT_EQ(index.moved(), 500);
    index.dropFrom(5000);  // none lie there
    EXPECT_EQ(index.moved(), 500);
}
