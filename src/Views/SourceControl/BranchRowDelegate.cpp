#include "Views/SourceControl/BranchRowDelegate.h"

#include <QPainter>

#include "Git/ProcessText.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"
#include "Views/SourceControl/BranchListModel.h"
#include "Views/SourceControl/SourceControlParts.h"

namespace {
constexpr int kPadX = 8;
constexpr int kPadY = 5;
constexpr int kGap = 8;

QFont nameFont(bool current) {
    return ShimmerText::font(12.5, current ? QFont::DemiBold : QFont::Normal, ShimmerText::Design::monospaced);
}
const QFont& upstreamFont() {
    static const QFont font = ShimmerText::font(9.5, QFont::Normal, ShimmerText::Design::monospaced);
    return font;
}
QRect box(const QRect& rect) { return rect.adjusted(0, 0, 0, -BranchRowDelegate::kSpacing); }
} // namespace

QRect BranchRowDelegate::menuRect(const QRect& rect) {
    const QRect r = box(rect);
    return QRect(r.right() + 1 - kPadX - kMenuWidth, r.top(), kMenuWidth, r.height());
}

QSize BranchRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    static const int nameHeight = QFontMetrics(nameFont(false)).height();
    static const int upstreamHeight = 1 + QFontMetrics(upstreamFont()).height();
    const auto* model = static_cast<const BranchListModel*>(index.model());
    const bool upstream = model->branch(index.row()).upstream.has_value();
    return {0, std::max(Icons::sizeForPointSize(11), nameHeight + (upstream ? upstreamHeight : 0)) + 2 * kPadY + kSpacing};
}

void BranchRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = static_cast<const BranchListModel*>(index.model());
    const GitBranchInfo& branch = model->branch(index.row());
    const bool current = model->isCurrent(index.row());
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const QRect r = box(option.rect);
    if (current) {
        QColor fill = Brand::accent();
        fill.setAlphaF(0.12f);
        p->setPen(Qt::NoPen);
        p->setBrush(fill);
        p->drawRoundedRect(QRectF(r), 5, 5);
    }
    if (keyboardRow_ == index.row()) SourceControlParts::paintRing(*p, QRectF(r), 5);

    const qreal dpr = p->device()->devicePixelRatioF();
    const int side = Icons::sizeForPointSize(11);
    QBrush ink = current ? QBrush(Brand::gradient(QRectF(0, 0, side * dpr, side * dpr)))
                         : QBrush(QColor::fromRgbF(1, 1, 1, 0.3f));
    const QImage mark = Icons::image(current ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"), side, ink, dpr);
    int x = r.left() + kPadX;
    p->drawImage(QPointF(x, r.top() + (r.height() - side) / 2.0), mark);
    x += side + kGap;

    const int right = current ? r.right() + 1 - kPadX : menuRect(option.rect).left() - kGap;
    const int width = std::max(0, right - x);
    const QFontMetrics nameMetrics(nameFont(current));
    const int upstreamHeight = branch.upstream ? 1 + QFontMetrics(upstreamFont()).height() : 0;
    int y = r.top() + (r.height() - nameMetrics.height() - upstreamHeight) / 2;
    p->setFont(nameFont(current));
    p->setPen(QColor::fromRgbF(1, 1, 1, current ? 1.0f : 0.85f));
    // Branches often share a long prefix: a long name loses its middle, keeping the end that
    // tells it apart, as the branch chip does.
    p->drawText(QRect(x, y, width, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                nameMetrics.elidedText(ProcessText::visibleName(branch.name), Qt::ElideMiddle, width));
    if (branch.upstream) {
        y += nameMetrics.height() + 1;
        const QFontMetrics upstreamMetrics(upstreamFont());
        p->setFont(upstreamFont());
        p->setPen(QColor::fromRgbF(1, 1, 1, 0.4f));
        p->drawText(QRect(x, y, width, upstreamMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                    upstreamMetrics.elidedText(*branch.upstream, Qt::ElideMiddle, width));
    }
    if (!current) {
        const QRect menu = menuRect(option.rect);
        const QImage dots = Icons::image(QStringLiteral("ellipsis"), side, QColor::fromRgbF(1, 1, 1, 0.45f), dpr);
        p->drawImage(QPointF(menu.left() + (menu.width() - side) / 2.0, menu.top() + (menu.height() - side) / 2.0), dots);
    }
    p->restore();
}
