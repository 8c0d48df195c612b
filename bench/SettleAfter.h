#pragma once
// Waiting until everything an operation started on the UI thread is done, and the longest single
// turn of the event loop meanwhile: how long a key typed then would have waited.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>

#include "Editor/FindState.h"
#include "Views/Editor/CodeEditorCoordinator.h"

// One turn of the event loop, in milliseconds.
inline double turn() {
    QElapsedTimer clock;
    clock.start();
    QApplication::processEvents();
    return clock.nsecsElapsed() / 1e6;
}

struct Settled {
    double ms = 0;
    double worstTurnMs = 0;
};

// Turns until the display holds the whole text and the last change, a far caret has arrived, the colours follow the
// text and (given `find`) the matches are counted; with `scans`, also until the fold scan and the
// grouping of empty lines an edit left for later turns are done. `ms` is the time since `clock` started.
inline Settled settleAfter(CodeEditorCoordinator& coordinator, const QElapsedTimer& clock, double firstTurnMs,
                           const FindState* find = nullptr, bool scans = false) {
    const auto pending = [&] {
        return !coordinator.isFullyShown() || coordinator.isDisplayBehind() || coordinator.hasPendingSelection() ||
               !coordinator.coloursSettled() ||
               (find && find->counting()) ||
               (scans && (!coordinator.foldTracker().complete() || !coordinator.emptyRunsGrouped()));
    };
    Settled out{0, firstTurnMs};
    do out.worstTurnMs = std::max(out.worstTurnMs, turn());
    while (pending());
    for (int i = 0; i < 3; ++i) out.worstTurnMs = std::max(out.worstTurnMs, turn());
    out.ms = clock.nsecsElapsed() / 1e6;
    return out;
}
