#pragma once
// The animations' time, set by hand: a frame shows exactly the moment a test means, however late a
// loaded machine runs it. Either a time the test steps itself, or the time of the shared clock's
// frames, each Timeline::kFrameIntervalMs after the one before.
#include "UI/Timeline.h"

struct SteppedClock {
    enum class Follows { test, frames };
    double time = 1000;

    explicit SteppedClock(Follows follows = Follows::test) {
        Timeline::setClock([this, follows] {
            if (follows == Follows::test) return time;
            return time + double(Timeline::clockFrame()) * Timeline::kFrameIntervalMs / 1000.0;
        });
    }
    ~SteppedClock() { Timeline::setClock({}); }
    SteppedClock(const SteppedClock&) = delete;
    SteppedClock& operator=(const SteppedClock&) = delete;
};
