#pragma once
// Where controls stand in their window's Tab order. Qt puts a widget made or re-parented later at
// the end of that order, whatever the layout shows; these put them back where they are seen.
class QWidget;

namespace FocusChain {

bool takesTab(const QWidget* widget);
// Puts the controls inside `inside` that Tab stops at right after `after`, in the order the window
// has them now. Returns the last of them (after itself when there are none).
QWidget* placeAfter(QWidget* after, QWidget* inside);

} // namespace FocusChain
