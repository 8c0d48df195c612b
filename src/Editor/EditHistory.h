#pragma once
// The editor's undo and redo: every change of the exact text, as the text it removed and the text
// it inserted, with the selection on either side. Consecutive typed characters form one step.
#include <QList>
#include <QString>
#include <optional>

#include "Editor/TextRange.h"

class EditHistory {
public:
    // One of several separate changes made as one step; location is in the text before the step.
    struct Part {
        qsizetype location = 0;
        QString removed;
        QString inserted;
    };
    struct Entry {
        qsizetype location = 0;
        QString removed;
        QString inserted;
        TextRange selectionBefore;
        TextRange selectionAfter;
        bool typing = false;  // may absorb the next typed insertion right after it
        // A step of separate changes (ascending, apart) instead of one: location, removed and
        // inserted above are then unused.
        QList<Part> parts;
    };

    // The parts that undo a step of parts: each where it lies after the step, taken back.
    static QList<Part> inverted(const QList<Part>& parts);

    // A new change: clears the redo steps; a typed insertion continuing the last typed one joins it.
    void record(Entry entry);
    // The next step to undo (moved to the redo steps), or none.
    std::optional<Entry> takeUndo();
    // The next step to redo (moved back to the undo steps), or none.
    std::optional<Entry> takeRedo();
    // The last step recorded becomes these parts, its selections kept.
    void replaceLast(QList<Part> parts);
    // The next change starts a step of its own.
    void closeStep();
    void clear();

    bool canUndo() const { return !undo_.isEmpty(); }
    bool canRedo() const { return !redo_.isEmpty(); }

private:
    QList<Entry> undo_;
    QList<Entry> redo_;
};
