#include "Workspace/TextFingerprint.h"

#include <QHash>
#include <QtConcurrent/QtConcurrentRun>
#include <vector>

#include "Platform/ParallelChunks.h"

namespace {
// Below this a text is hashed at once: a thread would cost more than the hash.
constexpr qsizetype kHashedAtOnce = 64 * 1024;
// From this size a text is hashed a stretch on each of several threads: a save holds the text (which
// an edit meanwhile would have to copy) until it is hashed.
constexpr qsizetype kHashedInStretches = 8 * 1024 * 1024;
constexpr qsizetype kStretch = 1024 * 1024;
thread_local qsizetype t_unitsHashed = 0;
} // namespace

TextFingerprint::Print TextFingerprint::of(QStringView text) {
    t_unitsHashed += text.size();
    if (text.size() < kHashedInStretches) return {text.size(), qHash(text)};
    // Stretches of a fixed length, so that the print does not depend on how many threads hashed them.
    const qsizetype count = (text.size() + kStretch - 1) / kStretch;
    std::vector<size_t> hashes(static_cast<size_t>(count));
    ParallelChunks::run(int(count), ParallelChunks::threadCount(), [&](int, int i) {
        hashes[size_t(i)] = qHash(text.sliced(i * kStretch, qMin(kStretch, text.size() - i * kStretch)));
    });
    size_t hash = 0;
    for (const size_t stretch : hashes) hash = QtPrivate::QHashCombine{}(hash, stretch);
    return {text.size(), hash};
}

qsizetype TextFingerprint::unitsHashedHere() { return t_unitsHashed; }

void TextFingerprint::set(Print print) {
    clear();
    done_ = print;
}

void TextFingerprint::start(const QString& text) {
    clear();
    if (text.size() < kHashedAtOnce) {
        done_ = of(text);
        return;
    }
    // The worker lets go of its share of the text before the print is reported, so that whoever
    // takes the print finds the buffer no longer shared by it.
    running_ = QtConcurrent::run([shared = text]() mutable {
        const Print print = of(shared);
        shared = QString();
        return print;
    });
}

TextFingerprint::Print TextFingerprint::take(QStringView text) {
    hashedByTake_ = 0;
    if (!done_ && running_.isValid()) done_ = running_.result();
    if (!done_) {
        done_ = of(text);
        hashedByTake_ = text.size();
    }
    running_ = {};
    return *done_;
}

void TextFingerprint::clear() {
    running_ = {};
    done_.reset();
}
