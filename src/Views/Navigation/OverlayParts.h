#pragma once
// The pieces the navigation overlays assemble alike: the key catcher behind the scaffold filling
// the overlay, the faint divider under the field and the centred message line.
class KeyCatcher;
class PaletteScaffold;
class QLabel;
class QString;
class QWidget;

namespace OverlayParts {

// Lays keys and scaffold over the whole of host, the scaffold in front.
void stack(QWidget* host, KeyCatcher* keys, PaletteScaffold* scaffold);
QWidget* divider(QWidget* parent);
// A message in the card, 12.5 points, faint white, centred, with that much space above and below.
QLabel* message(const QString& text, int verticalPadding, QWidget* parent);

} // namespace OverlayParts
