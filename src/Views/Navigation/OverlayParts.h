#pragma once
// The pieces the navigation overlays assemble alike: the card holding the field above a faint
// divider and whatever follows, laid over the overlay with the key catcher behind it, and the
// centred message line.
#include <QList>
#include <functional>

class KeyCatcher;
class PaletteField;
class PaletteScaffold;
class QLabel;
class QString;
class QWidget;

namespace OverlayParts {

// Stacks field, divider and then below (top to bottom) in the card of a scaffold filling host,
// in front of keys, which also catch the field's keys. A click on the backdrop calls dismiss.
PaletteScaffold* card(QWidget* host, KeyCatcher* keys, PaletteField* field, const QList<QWidget*>& below,
                      std::function<void()> dismiss);
// A message in the card, 12.5 points, faint white, centred, with that much space above and below.
QLabel* message(const QString& text, int verticalPadding, QWidget* parent = nullptr);
// Once the overlay over overlayHost's window has gone, puts the keyboard back in the editor the
// window shows, if any: the overlay took it from there, or the user chose a file to work in.
void returnFocusToEditor(QWidget* overlayHost);
// The overlay is being put away unused (Escape, a click beside it): the window gives the keyboard
// back to whatever had it when the overlay opened, not to the editor.
void markDismissed(QWidget* overlayHost);
bool wasDismissed(const QWidget* overlayHost);

} // namespace OverlayParts
