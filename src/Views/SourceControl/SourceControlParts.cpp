#include "Views/SourceControl/SourceControlParts.h"

#include <QLabel>
#include <QListView>
#include <QPainter>

#include "UI/Brand.h"

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

void setUpRowList(QListView& list, QAbstractItemModel& model, QAbstractItemDelegate* delegate) {
    list.setModel(&model);
    list.setItemDelegate(delegate);
    list.setFrameShape(QFrame::NoFrame);
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list.setSelectionMode(QAbstractItemView::NoSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.setFocusPolicy(Qt::TabFocus);
    list.setMouseTracking(true);
    list.viewport()->setAttribute(Qt::WA_Hover);
    list.viewport()->setAutoFillBackground(false);
    list.setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
}

void paintRing(QPainter& p, const QRectF& rect, qreal radius) {
    p.setPen(QPen(Brand::accent(), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius, radius);
}

} // namespace SourceControlParts
