#include "Editor/EditHistory.h"

#include "Platform/LateRelease.h"

namespace {
bool isWordBreak(const QString& s) { return !s.isEmpty() && (s.back().isSpace() || s.back().isPunct()); }
}

void EditHistory::record(Entry entry) {
    redo_.clear();
    if (!undo_.isEmpty()) {
        Entry& last = undo_.last();
        const bool continues = last.typing && entry.typing && last.removed.isEmpty() && entry.removed.isEmpty() &&
                               entry.location == last.location + last.inserted.size() && !isWordBreak(last.inserted);
        if (continues) {
            last.inserted += entry.inserted;
            last.selectionAfter = entry.selectionAfter;
            return;
        }
    }
    undo_.append(std::move(entry));
}

std::optional<EditHistory::Entry> EditHistory::takeUndo() {
    if (undo_.isEmpty()) return std::nullopt;
    Entry entry = undo_.takeLast();
    entry.typing = false;
    redo_.append(entry);
    return entry;
}

std::optional<EditHistory::Entry> EditHistory::takeRedo() {
    if (redo_.isEmpty()) return std::nullopt;
    Entry entry = redo_.takeLast();
    undo_.append(entry);
    return entry;
}

void EditHistory::closeStep() {
    if (!undo_.isEmpty()) undo_.last().typing = false;
}

void EditHistory::clear() {
    undo_.clear();
    redo_.clear();
}

QList<EditHistory::Part> EditHistory::inverted(const QList<Part>& parts) {
    QList<Part> out;
    out.reserve(parts.size());
    qsizetype shift = 0;
    for (const Part& part : parts) {
        out.append({part.location + shift, part.inserted, part.removed});
        shift += part.inserted.size() - part.removed.size();
    }
    return out;
}

void EditHistory::replaceLast(QList<Part> parts) {
    if (undo_.isEmpty()) return;
    Entry& last = undo_.last();
    // A long line's whole text, removed and put in, is freed off this thread.
    LateRelease::drop(last.removed);
    LateRelease::drop(last.inserted);
    last.typing = false;
    last.parts = std::move(parts);
}
