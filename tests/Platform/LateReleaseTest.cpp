// Long buffers let go of off the calling thread: only those nothing else holds, each once, and the
// text of a holder left is untouched.
#include <gtest/gtest.h>

#include "Platform/LateRelease.h"

TEST(LateRelease, ALongBufferHeldByNothingElseIsFreedAsideAndOthersAreLeftAsTheyAre) {
    const qsizetype aside = LateRelease::unitsFreedAside();
    QString alone(LateRelease::kFrom * 4, u'a');
    const qsizetype room = alone.capacity();
    LateRelease::drop(alone);
    EXPECT_TRUE(alone.isEmpty());

    // Held elsewhere too: only counted down, the other holder reads it as it was.
    QString shared(LateRelease::kFrom * 2, u'b');
    const QString holder = shared;
    LateRelease::drop(shared);
    EXPECT_TRUE(shared.isEmpty());

    QString shortOne(LateRelease::kFrom / 2, u'c');
    LateRelease::drop(shortOne);
    EXPECT_TRUE(shortOne.isEmpty());
    QString none;
    LateRelease::drop(none);

    LateRelease::settle();
    EXPECT_EQ(LateRelease::unitsFreedAside() - aside, room);
    EXPECT_EQ(holder.size(), LateRelease::kFrom * 2);
    EXPECT_EQ(holder.count(u'b'), holder.size());
}
