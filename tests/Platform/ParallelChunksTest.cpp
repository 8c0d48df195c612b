// Pieces of a job handed to the caller and the pool: each exactly once, and one worker's pieces
// never run at the same time (the highlighter keeps a tree copy per worker on that promise).
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "Platform/ParallelChunks.h"

TEST(ParallelChunks, EveryChunkRunsOnceAndAWorkerNeverRunsTwoAtOnce) {
    for (const int workers : {1, 2, 3, 16}) {
        for (const int chunks : {0, 1, 5, 200}) {
            std::vector<std::atomic<int>> runs(size_t(chunks) + 1);
            std::vector<std::atomic<int>> busy(static_cast<size_t>(workers));
            std::atomic<bool> overlapped{false}, badWorker{false};
            ParallelChunks::run(chunks, workers, [&](int worker, int chunk) {
                if (worker < 0 || worker >= workers) {
                    badWorker = true;
                    return;
                }
                if (busy[size_t(worker)].fetch_add(1) != 0) overlapped = true;
                runs[size_t(chunk)].fetch_add(1);
                volatile int spin = 0;
                for (int i = 0; i < 2000; ++i) spin = spin + i;
                busy[size_t(worker)].fetch_sub(1);
            });
            for (int c = 0; c < chunks; ++c) EXPECT_EQ(runs[size_t(c)].load(), 1) << workers << " " << chunks << " " << c;
            EXPECT_FALSE(overlapped) << workers << " workers, " << chunks << " chunks";
            EXPECT_FALSE(badWorker);
        }
    }
    EXPECT_GE(ParallelChunks::threadCount(), 1);
}
