#pragma once
// The pieces the source-control panel and its branch popover build alike: a white label of some
// opacity on no background and a faint one-point rule.
#include <QFont>

#include "UI/ShimmerText.h"

class QLabel;
class QWidget;

namespace SourceControlParts {

QLabel* textLabel(const QString& text, qreal points, QFont::Weight weight, ShimmerText::Design design, qreal alpha,
                  QWidget* parent);
QWidget* divider(qreal alpha, QWidget* parent);

} // namespace SourceControlParts
