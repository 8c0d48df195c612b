#include "UI/PopoverPlacement.h"

#include <algorithm>

namespace PopoverPlacement {

QRect place(QSize size, const QRect& anchor, const QRect& screen) {
    const int below = anchor.bottom() + 1 + kGap;
    const int roomAbove = anchor.top() - kGap - screen.top();
    const int roomBelow = screen.bottom() + 1 - below;
    int y = below;
    if (size.height() > roomBelow) {
        // Above, its bottom edge held just over the anchor, so growing moves the top up; only a
        // popover taller than the room above reaches down to the screen's top and no further.
        y = roomAbove >= size.height() || roomAbove >= roomBelow ? anchor.top() - kGap - size.height() : below;
    }
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    const int x = std::clamp(anchor.left(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    return QRect(QPoint(x, y), size);
}

} // namespace PopoverPlacement
