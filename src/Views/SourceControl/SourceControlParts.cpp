#include "Views/SourceControl/SourceControlParts.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

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

RowList rowList(const QMargins& margins, int spacing, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    auto* box = new QWidget;
    box->setStyleSheet(QStringLiteral("background: transparent;"));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(margins);
    layout->setSpacing(spacing);
    scroll->setWidget(box);
    scroll->viewport()->setAutoFillBackground(false);
    return {scroll, box, layout};
}

} // namespace SourceControlParts
