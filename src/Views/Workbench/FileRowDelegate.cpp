#include "Views/Workbench/FileRowDelegate.h"

#include <QPainter>

#include "Editor/CodeLanguage.h"
#include "Git/ProcessText.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"
#include "Views/Workbench/FileRow.h"
#include "Views/Workbench/FileTreeModel.h"

void FileRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF row = QRectF(option.rect).adjusted(0, 0, 0, -1);
    const bool isDirectory = index.data(FileTreeModel::IsDirectoryRole).toBool();
    QColor fill(Qt::transparent);
    if (index.data(FileTreeModel::IsActiveRole).toBool()) {
        fill = Brand::accent();
        fill.setAlphaF(0.18f);
    } else if (option.state & QStyle::State_MouseOver) {
        fill = QColor::fromRgbF(1, 1, 1, 0.05f);
    }
    if (fill.alpha() > 0) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(fill);
        painter->drawRoundedRect(row, 6, 6);
    }
    if (option.state & QStyle::State_HasFocus) {
        // The row the arrows and Return act on while the list has the keyboard.
        QColor ring = Brand::accent();
        ring.setAlphaF(0.8f);
        painter->setPen(QPen(ring, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(row.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }

    const QString rawName = index.data(Qt::DisplayRole).toString();
    const QString name = ProcessText::visibleName(rawName);
    qreal x = row.left() + FileRow::leadingPadding(index.data(FileTreeModel::DepthRole).toInt());
    const qreal dpr = painter->device()->devicePixelRatioF();
    const auto drawIcon = [&](const QString& symbol, qreal points, const QColor& colour, qreal frame) {
        const int side = Icons::sizeForPointSize(points);
        const QPixmap icon = Icons::pixmap(symbol, side, colour, dpr);
        painter->drawPixmap(QPointF(x + (frame - side) / 2, row.center().y() - side / 2.0), icon);
        x += frame + 6;
    };
    if (isDirectory) {
        const bool expanded = index.data(FileTreeModel::IsExpandedRole).toBool();
        drawIcon(expanded ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"), 9,
                 QColor::fromRgbF(1, 1, 1, 0.4f), 10);
    } else {
        const CodeLanguage language = CodeLanguages::detect(rawName);
        drawIcon(CodeLanguages::icon(language), 11, CodeLanguages::tint(language), 14);
    }
    const QFont font = ShimmerText::font(12.5, QFont::Normal,
                                         isDirectory ? ShimmerText::Design::rounded : ShimmerText::Design::standard);
    painter->setFont(font);
    painter->setPen(QColor::fromRgbF(1, 1, 1, isDirectory ? 0.85f : 0.7f));
    const QRectF textRect(x, row.top(), row.right() - 6 - x, row.height());
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      QFontMetricsF(font).elidedText(name, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize FileRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const { return {0, kRowHeight}; }
