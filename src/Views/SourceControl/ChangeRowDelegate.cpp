#include "Views/SourceControl/ChangeRowDelegate.h"

#include <QPainter>

#include "Editor/CodeLanguage.h"
#include "Git/ProcessText.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"
#include "Views/SourceControl/ChangeListModel.h"
#include "Views/SourceControl/SourceControlParts.h"

qint64 ChangeRowDelegate::paintedRows = 0;
qint64 ChangeRowDelegate::sizedRows = 0;

namespace {
constexpr int kPadX = 8;
constexpr int kPadY = 3;
constexpr int kSpacing = 6;
constexpr int kBadgeWidth = 14;
constexpr int kActionSide = 18;

const QFont& nameFont() {
    static const QFont font = ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::standard);
    return font;
}
const QFont& folderFont() {
    static const QFont font = ShimmerText::font(10, QFont::Normal, ShimmerText::Design::standard);
    return font;
}
const QFont& badgeFont() {
    static const QFont font = ShimmerText::font(10, QFont::Bold, ShimmerText::Design::rounded);
    return font;
}

// git lists an untracked folder with a trailing slash.
QString shownPath(const GitFileChange& change) {
    QString path = ProcessText::visibleName(change.path);
    while (path.endsWith(u'/')) path.chop(1);
    return path;
}

QString actionSymbol(const QString& help) {
    if (help == QLatin1String("Unstage")) return QStringLiteral("minus");
    if (help == QLatin1String("Discard")) return QStringLiteral("arrow.uturn.backward");
    return QStringLiteral("plus");
}
} // namespace

QString ChangeRowDelegate::fileName(const GitFileChange& change) {
    const QString path = shownPath(change);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString ChangeRowDelegate::folder(const GitFileChange& change) {
    const QString path = shownPath(change);
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

QColor ChangeRowDelegate::badgeColor(const GitFileChange& change) {
    const QString badge = change.displayStatus();
    const bool untracked = change.staged == u'?' || change.unstaged == u'?';
    if (badge == QLatin1String("A") || (badge == QLatin1String("U") && untracked)) return Brand::palette()[3];
    if (badge == QLatin1String("M")) return Brand::palette()[4];
    if (badge == QLatin1String("D")) return Brand::palette()[2];
    return QColor::fromRgbF(1, 1, 1, 0.6f);
}

QStringList ChangeRowDelegate::actions(bool staged) {
    return staged ? QStringList{QStringLiteral("Unstage")} : QStringList{QStringLiteral("Discard"), QStringLiteral("Stage")};
}

QList<QRect> ChangeRowDelegate::actionRects(const QRect& rect, bool staged) {
    const QRect b = box(rect);
    const int n = int(actions(staged).size());
    QList<QRect> out;
    int x = b.right() + 1 - kPadX - n * kActionSide - (n - 1) * kSpacing;
    for (int i = 0; i < n; ++i, x += kActionSide + kSpacing)
        out << QRect(x, b.center().y() - kActionSide / 2 + 1, kActionSide, kActionSide);
    return out;
}

QSize ChangeRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    ++sizedRows;
    const auto* model = static_cast<const ChangeListModel*>(index.model());
    const GitFileChange* change = model->change(index.row());
    if (!change) return {0, kHeaderHeight + kGap};
    // Only whether there is a folder line matters, and that is a look for a slash.
    static const int nameHeight = QFontMetrics(nameFont()).height();
    static const int folderHeight = 1 + QFontMetrics(folderFont()).height();
    QStringView path(change->path);
    while (path.endsWith(u'/')) path.chop(1);
    const int lines = nameHeight + (path.contains(u'/') ? folderHeight : 0);
    return {0, std::max(18, lines) + 2 * kPadY + kGap};
}

void ChangeRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = static_cast<const ChangeListModel*>(index.model());
    const GitFileChange* change = model->change(index.row());
    if (!change) return;  // a header: its widget draws it
    ++paintedRows;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const QRect r = box(option.rect);
    const bool keyboard = state_.keyboardRow == index.row();
    const bool hover = (option.state & QStyle::State_MouseOver) || keyboard;
    const bool active = state_.hasActive && state_.activePath == change->path;
    if (active || hover) {
        QColor fill = active ? Brand::accent() : QColor(Qt::white);
        fill.setAlphaF(active ? 0.16f : 0.05f);
        p->setPen(Qt::NoPen);
        p->setBrush(fill);
        p->drawRoundedRect(QRectF(r), 6, 6);
    }
    if (keyboard && state_.keyboardAction < 0) SourceControlParts::paintRing(*p, QRectF(r), 6);

    const QString name = fileName(*change);
    const CodeLanguage language = CodeLanguages::detect(name);
    const int iconSide = Icons::sizeForPointSize(11);
    const qreal dpr = p->device()->devicePixelRatioF();
    const QImage icon = Icons::image(CodeLanguages::icon(language), iconSide, CodeLanguages::tint(language), dpr);
    int x = r.left() + kPadX;
    p->drawImage(QPointF(x + (14 - iconSide) / 2.0, r.top() + (r.height() - iconSide) / 2.0), icon);
    x += 14 + kSpacing;

    const bool staged = model->isStagedRow(index.row());
    const QList<QRect> actionBoxes = actionRects(option.rect, staged);
    const int right = hover ? actionBoxes.first().left() : r.right() + 1 - kPadX - kBadgeWidth;
    const int textWidth = std::max(0, right - 4 - x);

    const QFontMetrics nameMetrics(nameFont());
    const QString folderText = folder(*change);
    const QFontMetrics folderMetrics(folderFont());
    const int folderHeight = folderText.isEmpty() ? 0 : 1 + folderMetrics.height();
    int y = r.top() + (r.height() - nameMetrics.height() - folderHeight) / 2;
    p->setFont(nameFont());
    p->setPen(QColor::fromRgbF(1, 1, 1, 0.85f));
    // A long name loses its middle: its end (a number, the extension) is what tells it from its
    // neighbours.
    p->drawText(QRect(x, y, textWidth, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                nameMetrics.elidedText(name, Qt::ElideMiddle, textWidth));
    if (!folderText.isEmpty()) {
        y += nameMetrics.height() + 1;
        p->setFont(folderFont());
        p->setPen(QColor::fromRgbF(1, 1, 1, 0.35f));
        p->drawText(QRect(x, y, textWidth, folderMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                    folderMetrics.elidedText(folderText, Qt::ElideMiddle, textWidth));
    }

    if (hover) {
        const QStringList helps = actions(staged);
        const int side = Icons::sizeForPointSize(11);
        for (int i = 0; i < helps.size(); ++i) {
            const QRect a = actionBoxes.at(i);
            const QImage symbol = Icons::image(actionSymbol(helps.at(i)), side, QColor::fromRgbF(1, 1, 1, 0.7f), dpr);
            p->drawImage(QPointF(a.left() + (a.width() - side) / 2.0, a.top() + (a.height() - side) / 2.0), symbol);
            if (keyboard && state_.keyboardAction == i) SourceControlParts::paintRing(*p, QRectF(a), 4);
        }
    } else {
        p->setFont(badgeFont());
        p->setPen(badgeColor(*change));
        p->drawText(QRect(r.right() + 1 - kPadX - kBadgeWidth, r.top(), kBadgeWidth, r.height()), Qt::AlignCenter,
                    change->displayStatus());
    }
    p->restore();
}
