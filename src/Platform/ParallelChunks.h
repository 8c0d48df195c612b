#pragma once
// Runs numbered pieces of one job on the calling thread and on a pool sized to the machine, and
// returns when every piece is done. Pieces are handed out in order to whichever thread is free, so
// a thread slowed by other load simply takes fewer; with one core everything runs on the caller.
#include <functional>

namespace ParallelChunks {

// The threads a job may use, the calling thread included: at least 1.
int threadCount();

// Calls work(worker, chunk) once for every chunk in 0 ..< chunkCount, on at most workerCount
// threads at once; worker is 0 on the calling thread and below workerCount elsewhere, and no two
// calls with the same worker overlap, so per-worker state needs no lock. work must not throw.
void run(int chunkCount, int workerCount, const std::function<void(int worker, int chunk)>& work);

} // namespace ParallelChunks
