#pragma once
// The pieces the source-control panel and its branch popover build alike: a white label of some
// opacity on no background, a faint one-point rule, and a transparent scrolling column of rows.
#include <QFont>
#include <QMargins>

#include "UI/ShimmerText.h"

class QLabel;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace SourceControlParts {

QLabel* textLabel(const QString& text, qreal points, QFont::Weight weight, ShimmerText::Design design, qreal alpha,
                  QWidget* parent);
QWidget* divider(qreal alpha, QWidget* parent);

struct RowList {
    QScrollArea* scroll;
    QWidget* box;         // the scrolled widget
    QVBoxLayout* layout;  // the box's column, for the rows
};
// Frameless, never scrolling sideways, the glass showing through.
RowList rowList(const QMargins& margins, int spacing, QWidget* parent);

} // namespace SourceControlParts
