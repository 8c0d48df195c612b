#include "Views/SourceControl/SourceControlParts.h"

#include <QLabel>

namespace SourceControlParts {

QLabel* textLabel(const QString& text, qreal points, QFont::Weight weight, ShimmerText::Design design, qreal alpha,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(ShimmerText::font(points, weight, design));
    label->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, %1); background: transparent; }")
                             .arg(int(alpha * 255)));
    return label;
}

QWidget* divider(qreal alpha, QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, %1);").arg(int(alpha * 255)));
    return line;
}

} // namespace SourceControlParts
