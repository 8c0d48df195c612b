#include "Platform/ParallelChunks.h"

#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Its own pool: a long task queued elsewhere (a project scan) must not hold these pieces back.
QThreadPool& pool() {
    static QThreadPool* instance = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(qMax(1, ParallelChunks::threadCount() - 1));  // the caller works too
        return p;
    }();
    return *instance;
}

} // namespace

namespace ParallelChunks {

int threadCount() { return qMax(1, QThread::idealThreadCount()); }

void run(int chunkCount, int workerCount, const std::function<void(int worker, int chunk)>& work) {
    if (chunkCount <= 0) return;
    workerCount = qBound(1, workerCount, qMin(chunkCount, threadCount()));
    std::atomic<int> next{0};
    const auto drain = [&](int worker) {
        for (int chunk; (chunk = next.fetch_add(1, std::memory_order_relaxed)) < chunkCount;) work(worker, chunk);
    };
    if (workerCount <= 1) {
        drain(0);
        return;
    }

    std::mutex mutex;
    std::condition_variable finished;
    int outstanding = 0;  // tasks handed to the pool that have not finished
    std::vector<std::unique_ptr<QRunnable>> tasks;
    for (int worker = 1; worker < workerCount; ++worker) {
        tasks.emplace_back(QRunnable::create([&, worker] {
            drain(worker);
            const std::lock_guard lock(mutex);
            if (--outstanding == 0) finished.notify_all();
        }));
        tasks.back()->setAutoDelete(false);  // owned here, so a task taken back below stays valid
        {
            const std::lock_guard lock(mutex);
            ++outstanding;
        }
        pool().start(tasks.back().get());
    }
    drain(0);
    // Every piece is taken: a task the pool has not started yet has nothing left to do.
    for (const std::unique_ptr<QRunnable>& task : tasks) {
        if (pool().tryTake(task.get())) {
            const std::lock_guard lock(mutex);
            --outstanding;
        }
    }
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return outstanding == 0; });
}

} // namespace ParallelChunks
