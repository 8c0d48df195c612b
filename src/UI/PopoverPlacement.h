#pragma once
// Where a popover goes beside its anchor: below it when it fits on the screen, otherwise above
// it, growing upwards from there, and always inside the screen's available area. Gui-only.
#include <QRect>
#include <QSize>

namespace PopoverPlacement {

constexpr int kGap = 4;  // between the anchor and the popover

// The popover's rectangle (global coordinates) for one of size beside anchor (global) on screen.
QRect place(QSize size, const QRect& anchor, const QRect& screen);

} // namespace PopoverPlacement
