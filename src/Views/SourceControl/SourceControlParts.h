#pragma once
// The pieces the source-control panel and its branch popover build alike: a white label of some
// opacity on no background, a faint one-point rule, the setting up of a list of drawn rows and the
// keyboard ring of such a row.
#include <QFont>
#include <QRectF>

#include "UI/ShimmerText.h"

class QAbstractItemDelegate;
class QAbstractItemModel;
class QLabel;
class QListView;
class QPainter;
class QWidget;

namespace SourceControlParts {

QLabel* textLabel(const QString& text, qreal points, QFont::Weight weight, ShimmerText::Design design, qreal alpha,
                  QWidget* parent);
QWidget* divider(qreal alpha, QWidget* parent);
// A frameless list over the glass, scrolling by pixel and never sideways, selecting nothing,
// tracking the pointer for hover, and reached from the keyboard by Tab only (a click leaves no
// keyboard mark behind).
// The keyboard's place in a list row: an accent outline just inside the shape.
void paintRing(QPainter& p, const QRectF& rect, qreal radius);
void setUpRowList(QListView& list, QAbstractItemModel& model, QAbstractItemDelegate* delegate);

} // namespace SourceControlParts
