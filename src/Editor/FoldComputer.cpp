#include "Editor/FoldComputer.h"

#include "Editor/FoldTracker.h"

namespace FoldComputer {

QList<FoldRegion> regions(QStringView text) {
    FoldTracker tracker;
    tracker.reset(text);
    return tracker.regions();
}

} // namespace FoldComputer
