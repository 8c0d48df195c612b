#pragma once
// The editor's undo and redo: every change of the exact text, as the text it removed and the text
// it inserted, with the selection on either side. Consecutive typed characters form one step.
#include <QList>
#include <QString>
#include <optional>

#include "Editor/TextRange.h"

class EditHistory {
public:
    struct Entry {
        qsizetype location = 0;
        QString removed;
        QString inserted;
        TextRange selectionBefore;
        TextRange selectionAfter;
        bool typing = false;  // may absorb the next typed insertion right after it
    };

    // A new change: clears the redo steps; a typed insertion continuing the last typed one joins it.
    void record(Entry entry);
    // The next step to undo (moved to the redo steps), or none.
    std::optional<Entry> takeUndo();
    // The next step to redo (moved back to the undo steps), or none.
    std::optional<Entry> takeRedo();
    // The next change starts a step of its own.
    void closeStep();
    void clear();

    bool canUndo() const { return !undo_.isEmpty(); }
    bool canRedo() const { return !redo_.isEmpty(); }

private:
    QList<Entry> undo_;
    QList<Entry> redo_;
};
