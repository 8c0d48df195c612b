#include "Views/Navigation/SearchFileHeader.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

#include "Editor/CodeLanguage.h"
#include "Git/ProcessText.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"

namespace {
constexpr qreal kHorizontalPadding = 8;
constexpr qreal kVerticalPadding = 4;
constexpr qreal kSpacing = 7;

QFont pathFont() { return ShimmerText::font(12, QFont::DemiBold, ShimmerText::Design::standard); }
} // namespace

SearchFileHeader::SearchFileHeader(const QString& path, const QString& shownPath, QWidget* parent)
    : QWidget(parent), path_(path), shownPath_(ProcessText::visibleName(shownPath)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SearchFileHeader::sizeHint() const {
    const qreal line = std::max<qreal>(QFontMetricsF(pathFont()).height(), Icons::sizeForPointSize(11));
    return {200, int(std::ceil(line + 2 * kVerticalPadding))};
}

void SearchFileHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    const CodeLanguage language = CodeLanguages::detect(QFileInfo(path_).fileName());
    const int side = Icons::sizeForPointSize(11);
    p.drawImage(QPointF(kHorizontalPadding, (r.height() - side) / 2),
                Icons::image(CodeLanguages::icon(language), side, CodeLanguages::tint(language), devicePixelRatioF()));
    const qreal x = kHorizontalPadding + side + kSpacing;
    const qreal width = std::max<qreal>(0, r.width() - kHorizontalPadding - x);
    const QFont font = pathFont();
    p.setFont(font);
    p.setPen(QColor::fromRgbF(1, 1, 1, 0.85f));
    p.drawText(QRectF(x, 0, width, r.height()), Qt::AlignVCenter | Qt::AlignLeft,
               QFontMetricsF(font).elidedText(shownPath_, Qt::ElideMiddle, width));
}
