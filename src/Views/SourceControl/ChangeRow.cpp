#include "Views/SourceControl/ChangeRow.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

#include "AppState.h"
#include "Editor/CodeLanguage.h"
#include "Git/ProcessText.h"
#include "Platform/Prompter.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/ShimmerText.h"
#include "Views/SourceControl/IconButton.h"

namespace {
constexpr int kPadX = 8;
constexpr int kPadY = 3;
constexpr int kSpacing = 6;
constexpr int kBadgeWidth = 14;

QFont nameFont() { return ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::standard); }
QFont folderFont() { return ShimmerText::font(10, QFont::Normal, ShimmerText::Design::standard); }
QFont badgeFont() { return ShimmerText::font(10, QFont::Bold, ShimmerText::Design::rounded); }
} // namespace

ChangeRow::ChangeRow(AppState& app, const GitFileChange& change, bool staged, QWidget* parent)
    : QWidget(parent), app_(&app), change_(change), staged_(staged) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (staged) {
        addAction(QStringLiteral("minus"), QStringLiteral("Unstage"), [this] {
            if (app_) app_->git().unstage(change_, {&app_->git(), reporter()});
        });
    } else {
        addAction(QStringLiteral("arrow.uturn.backward"), QStringLiteral("Discard"), [this] { confirmDiscard(); });
        addAction(QStringLiteral("plus"), QStringLiteral("Stage"), [this] {
            if (app_) app_->git().stage(change_, {&app_->git(), reporter()});
        });
    }
    connect(&app, &AppState::activeDiffChanged, this, qOverload<>(&QWidget::update));
    setFixedHeight(sizeHint().height());
}

IconButton* ChangeRow::addAction(const QString& symbol, const QString& help, std::function<void()> run) {
    auto* button = new IconButton(IconButton::Kind::row, symbol, help, this);
    button->hide();
    connect(button, &QAbstractButton::clicked, this, std::move(run));
    actions_.append(button);
    return button;
}

IconButton* ChangeRow::actionButton(const QString& help) const {
    for (IconButton* b : actions_)
        if (b->toolTip() == help) return b;
    return nullptr;
}

// The result reaches the handler even when a refresh has rebuilt the lists without this row.
std::function<void(bool)> ChangeRow::reporter() const {
    return [handler = onResult_](bool ok) {
        if (handler) handler(ok);
    };
}

void ChangeRow::confirmDiscard() {
    if (!app_) return;
    // Nothing brings a discarded change back, so ask first.
    Alert alert;
    alert.title = QStringLiteral("Discard changes in “%1”?").arg(fileName());
    alert.message = change_.isUntracked() ? QStringLiteral("The untracked file will be deleted.")
                                          : QStringLiteral("Your changes to this file will be lost.");
    alert.buttons = {QStringLiteral("Discard"), QStringLiteral("Cancel")};
    alert.warning = true;
    if (Prompter::current().ask(alert) != 0 || !app_) return;
    app_->git().discard(change_, {&app_->git(), reporter()});
}

bool ChangeRow::isActive() const {
    return app_ && app_->activeDiff() && app_->activeDiff()->path == change_.path;
}

QString ChangeRow::fileName() const {
    QString path = ProcessText::visibleName(change_.path);
    while (path.endsWith(u'/')) path.chop(1);  // git lists an untracked folder with a trailing slash
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString ChangeRow::folder() const {
    QString path = ProcessText::visibleName(change_.path);
    while (path.endsWith(u'/')) path.chop(1);
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

QColor ChangeRow::badgeColor(const GitFileChange& change) {
    const QString badge = change.displayStatus();
    const bool untracked = change.staged == u'?' || change.unstaged == u'?';
    if (badge == QLatin1String("A") || (badge == QLatin1String("U") && untracked)) return Brand::palette()[3];
    if (badge == QLatin1String("M")) return Brand::palette()[4];
    if (badge == QLatin1String("D")) return Brand::palette()[2];
    return QColor::fromRgbF(1, 1, 1, 0.6f);
}

QSize ChangeRow::sizeHint() const {
    const int name = QFontMetrics(nameFont()).height();
    const int folderLine = folder().isEmpty() ? 0 : 1 + QFontMetrics(folderFont()).height();
    return {200, std::max(18, name + folderLine) + 2 * kPadY};
}

void ChangeRow::setHover(bool hover) {
    if (hover_ == hover) return;
    hover_ = hover;
    for (IconButton* b : actions_) b->setVisible(hover);
    update();
}

void ChangeRow::placeActions() {
    int x = width() - kPadX;
    for (auto it = actions_.rbegin(); it != actions_.rend(); ++it) {
        x -= (*it)->width();
        (*it)->move(x, (height() - (*it)->height()) / 2);
        x -= kSpacing;
    }
}

void ChangeRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeActions();
}

void ChangeRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setHover(true);
}

void ChangeRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHover(false);
}

void ChangeRow::mouseReleaseEvent(QMouseEvent* event) {
    // The action buttons take their own clicks, so this is a click on the row itself.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && app_)
        app_->setActiveDiff(change_);
    QWidget::mouseReleaseEvent(event);
}

void ChangeRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    if (isActive() || hover_) {
        QColor fill = isActive() ? Brand::accent() : QColor(Qt::white);
        fill.setAlphaF(isActive() ? 0.16f : 0.05f);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(r, 6, 6);
    }

    const CodeLanguage language = CodeLanguages::detect(fileName());
    const int iconSide = Icons::sizeForPointSize(11);
    const qreal dpr = devicePixelRatioF();
    const QImage icon = Icons::image(CodeLanguages::icon(language), iconSide, CodeLanguages::tint(language), dpr);
    qreal x = kPadX;
    p.drawImage(QPointF(x + (14 - iconSide) / 2.0, (height() - iconSide) / 2.0), icon);
    x += 14 + kSpacing;

    int right = width() - kPadX;
    if (hover_ && !actions_.isEmpty()) right = actions_.first()->x();
    else right -= kBadgeWidth;
    const int textWidth = std::max(0, right - 4 - int(x));

    const QFontMetrics nameMetrics(nameFont());
    const QString folderText = folder();
    const int folderHeight = folderText.isEmpty() ? 0 : 1 + QFontMetrics(folderFont()).height();
    int y = (height() - nameMetrics.height() - folderHeight) / 2;
    p.setFont(nameFont());
    p.setPen(QColor::fromRgbF(1, 1, 1, 0.85f));
    p.drawText(QRect(int(x), y, textWidth, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
               nameMetrics.elidedText(fileName(), Qt::ElideRight, textWidth));
    if (!folderText.isEmpty()) {
        y += nameMetrics.height() + 1;
        const QFontMetrics folderMetrics(folderFont());
        p.setFont(folderFont());
        p.setPen(QColor::fromRgbF(1, 1, 1, 0.35f));
        p.drawText(QRect(int(x), y, textWidth, folderMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   folderMetrics.elidedText(folderText, Qt::ElideMiddle, textWidth));
    }

    if (!hover_) {
        p.setFont(badgeFont());
        p.setPen(badgeColor(change_));
        p.drawText(QRect(width() - kPadX - kBadgeWidth, 0, kBadgeWidth, height()), Qt::AlignCenter,
                   change_.displayStatus());
    }
}
