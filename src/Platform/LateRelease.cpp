#include "Platform/LateRelease.h"

#include <QThreadPool>
#include <atomic>
#include <utility>

namespace {

std::atomic<qsizetype> aside{0};

// One thread: buffers go in the order they were let go of, and never compete with the work of the
// threads that edit and search.
QThreadPool& pool() {
    static QThreadPool* instance = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return *instance;
}

} // namespace

namespace LateRelease {

void drop(QString& s) {
    const qsizetype room = s.capacity();
    if (room < kFrom || s.data_ptr().needsDetach()) {
        s = QString();
        return;
    }
    // Held by nothing else: no other thread can take it up again, so the task is its last holder.
    pool().start([buffer = std::exchange(s, QString()), room]() mutable {
        buffer = QString();
        aside.fetch_add(room, std::memory_order_relaxed);
    });
}

qsizetype unitsFreedAside() { return aside.load(std::memory_order_relaxed); }

void settle() { pool().waitForDone(); }

} // namespace LateRelease
