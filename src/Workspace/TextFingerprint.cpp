#include "Workspace/TextFingerprint.h"

#include <QHash>
#include <QtConcurrent/QtConcurrentRun>

namespace {
// Below this a text is hashed at once: a thread would cost more than the hash.
constexpr qsizetype kHashedAtOnce = 64 * 1024;
thread_local qsizetype t_unitsHashed = 0;
} // namespace

TextFingerprint::Print TextFingerprint::of(QStringView text) {
    t_unitsHashed += text.size();
    return {text.size(), qHash(text)};
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
