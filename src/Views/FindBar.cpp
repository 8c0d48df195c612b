#include "Views/FindBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QVBoxLayout>
#include <cmath>

#include "Editor/FindEngine.h"
#include "Editor/FindState.h"
#include "UI/Brand.h"
#include "UI/LiquidGlassBackground.h"
#include "UI/PressableButton.h"
#include "UI/ShadowEffect.h"
#include "UI/ShimmerText.h"
#include "UI/Spring.h"
#include "UI/SymbolLabel.h"

namespace {

using Design = ShimmerText::Design;

QColor white(qreal alpha) { return QColor::fromRgbF(1, 1, 1, float(alpha)); }
QColor red(qreal alpha) { return QColor::fromRgbF(1.0f, 0.27f, 0.23f, float(alpha)); }

PressableButton* symbolButton(const QString& symbol, qreal points, QFont::Weight weight, const QColor& colour,
                              const QString& help, QWidget* parent) {
    auto* button = new PressableButton(symbol, QString(), parent);
    button->label().font = ShimmerText::font(points, weight, Design::standard);
    button->label().symbolBrush = colour;
    button->setToolTip(help);
    // Reached by Tab, not taken by a click: the pointer leaves the keyboard in the field.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QLabel* symbolImage(const QString& symbol, QWidget* parent) {
    // 12 points, semibold, white at 50%.
    SymbolLabel mark;
    mark.symbol = symbol;
    mark.font = ShimmerText::font(12, QFont::DemiBold, Design::standard);
    mark.symbolBrush = white(0.5);
    const QSize size = mark.size().toSize();
    const qreal dpr = parent->devicePixelRatioF();
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        mark.paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setFixedSize(size);
    return label;
}

QLineEdit* plainField(const QString& placeholder, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setFrame(false);
    field->setPlaceholderText(placeholder);
    field->setFont(ShimmerText::font(13, QFont::Normal, Design::monospaced));
    QPalette colours = field->palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, Qt::white);
    colours.setColor(QPalette::PlaceholderText, white(0.35));
    field->setPalette(colours);
    field->setTextMargins(0, 0, 0, 0);
    return field;
}

// Calls into the registered engine; with none, the control does nothing.
void withEngine(const QPointer<FindState>& find, void (FindEngine::*operation)()) {
    if (!find) return;
    if (FindEngine* engine = find->engine()) (engine->*operation)();
}

} // namespace

FindBar::FindBar(FindState* find, std::function<void()> onClose, QWidget* parent)
    : QWidget(parent), find_(find), onClose_(std::move(onClose)), surface_(new QWidget(this)),
      replaceRow_(new QWidget(surface_)), widthSpring_(Animation::brimel::snappy(), this) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(shadowMargins());
    outer->addWidget(surface_);

    auto* stack = new QHBoxLayout(surface_);
    stack->setContentsMargins(10, 10, 10, 10);
    stack->setSpacing(8);
    stack->setAlignment(Qt::AlignTop);

    replaceToggle_ = symbolButton(QStringLiteral("chevron.right"), 11, QFont::Bold, white(0.5),
                                  QStringLiteral("Toggle Replace"), surface_);
    replaceToggle_->setObjectName(QStringLiteral("replaceToggle"));
    replaceToggle_->setFixedSize(16, 28);
    connect(replaceToggle_, &QAbstractButton::clicked, this, [this] {
        if (find_) find_->setShowReplace(!find_->showReplace());
    });
    stack->addWidget(replaceToggle_, 0, Qt::AlignTop);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(6);
    rows->setContentsMargins(0, 0, 0, 0);
    stack->addLayout(rows, 1);

    // Find row.
    auto* findRow = new QHBoxLayout;
    findRow->setSpacing(8);
    findRow->addWidget(symbolImage(QStringLiteral("magnifyingglass"), surface_), 0, Qt::AlignVCenter);
    query_ = plainField(QStringLiteral("Find"), surface_);
    query_->setObjectName(QStringLiteral("query"));
    findRow->addWidget(query_, 1, Qt::AlignVCenter);
    matchLabel_ = new QLabel(surface_);
    matchLabel_->setObjectName(QStringLiteral("matchLabel"));
    matchLabel_->setFont(ShimmerText::font(11, QFont::Medium, Design::rounded));
    matchLabel_->setMinimumWidth(56);
    matchLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    findRow->addWidget(matchLabel_, 0, Qt::AlignVCenter);
    findRow->addWidget(optionToggle(QStringLiteral("textformat"), QStringLiteral("Match Case"),
                                    &FindState::setCaseSensitive, &FindState::caseSensitive));
    findRow->addWidget(optionToggle(QStringLiteral("textformat.abc.dottedunderline"), QStringLiteral("Whole Word"),
                                    &FindState::setWholeWord, &FindState::wholeWord));
    findRow->addWidget(optionToggle(QStringLiteral("asterisk"), QStringLiteral("Regular Expression"),
                                    &FindState::setUseRegex, &FindState::useRegex));
    PressableButton* previous = symbolButton(QStringLiteral("chevron.up"), 11, QFont::Bold, white(0.6),
                                             QStringLiteral("Previous (⇧↵)"), surface_);
    previous->setObjectName(QStringLiteral("previous"));
    previous->setFixedSize(22, 22);
    connect(previous, &QAbstractButton::clicked, this, [this] { withEngine(find_, &FindEngine::findPrevious); });
    findRow->addWidget(previous);
    PressableButton* next = symbolButton(QStringLiteral("chevron.down"), 11, QFont::Bold, white(0.6),
                                         QStringLiteral("Next (↵)"), surface_);
    next->setObjectName(QStringLiteral("next"));
    next->setFixedSize(22, 22);
    connect(next, &QAbstractButton::clicked, this, [this] { withEngine(find_, &FindEngine::findNext); });
    findRow->addWidget(next);
    PressableButton* close = symbolButton(QStringLiteral("xmark"), 11, QFont::Bold, white(0.55), QString(), surface_);
    close->setObjectName(QStringLiteral("close"));
    close->setFixedSize(close->sizeHint());
    const auto runClose = [this] {
        if (std::function<void()> onClose = onClose_) onClose();
    };
    connect(close, &QAbstractButton::clicked, this, runClose);
    // Escape is the close button's key, from anywhere in the window. A shortcut of its own rather
    // than the button's: that one would only click after a visible press delay.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, runClose);
    findRow->addWidget(close, 0, Qt::AlignVCenter);
    rows->addLayout(findRow);

    // Replace row.
    auto* replaceLayout = new QHBoxLayout(replaceRow_);
    replaceLayout->setContentsMargins(0, 0, 0, 0);
    replaceLayout->setSpacing(8);
    replaceLayout->addWidget(symbolImage(QStringLiteral("arrow.2.squarepath"), replaceRow_), 0, Qt::AlignVCenter);
    replacement_ = plainField(QStringLiteral("Replace"), replaceRow_);
    replacement_->setObjectName(QStringLiteral("replacement"));
    replaceLayout->addWidget(replacement_, 1, Qt::AlignVCenter);
    PressableButton* replace = symbolButton(QStringLiteral("arrow.turn.down.right"), 11, QFont::Bold, white(0.6),
                                            QStringLiteral("Replace"), replaceRow_);
    replace->setObjectName(QStringLiteral("replace"));
    replace->setFixedSize(22, 22);
    connect(replace, &QAbstractButton::clicked, this, [this] { withEngine(find_, &FindEngine::replaceCurrent); });
    replaceLayout->addWidget(replace);
    auto* all = new PressableButton(QString(), QStringLiteral("All"), replaceRow_);
    all->setObjectName(QStringLiteral("replaceAll"));
    all->setToolTip(QStringLiteral("Replace All"));
    all->setFocusPolicy(Qt::TabFocus);
    all->label().font = ShimmerText::font(11, QFont::DemiBold, Design::rounded);
    all->label().textBrush = white(0.7);
    all->setPadding(QMarginsF(8, 4, 8, 4));
    all->setBackground(white(0.08), 6);
    all->setFixedSize(all->sizeHint());
    connect(all, &QAbstractButton::clicked, this, [this] { withEngine(find_, &FindEngine::replaceAll); });
    replaceLayout->addWidget(all, 0, Qt::AlignVCenter);
    rows->addWidget(replaceRow_);

    // The fields write the state at every keystroke; Return is their submit action.
    connect(query_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (find_) find_->setQuery(text);
    });
    connect(replacement_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (find_) find_->setReplacement(text);
    });
    connect(query_, &QLineEdit::returnPressed, this, [this] { withEngine(find_, &FindEngine::findNext); });
    connect(replacement_, &QLineEdit::returnPressed, this, [this] { withEngine(find_, &FindEngine::replaceCurrent); });

    // The bar paints the panel's shadow itself: drawn through an effect, the panel would be copied
    // from the effect's last picture and never see the text behind it change.
    surface_->installEventFilter(this);

    connect(&widthSpring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { applyWidth(v.toReal()); });
    if (find_) {
        connect(find_, &FindState::changed, this, &FindBar::refresh);
        targetWidth_ = qreal(barWidth(find_->showReplace()));
    } else {
        targetWidth_ = qreal(barWidth(false));
    }
    widthSpring_.jumpTo(targetWidth_);
    if (parent) parent->installEventFilter(this);
    refresh();
}

PressableButton* FindBar::optionToggle(const QString& symbol, const QString& help, void (FindState::*set)(bool),
                                       bool (FindState::*get)() const) {
    PressableButton* button = symbolButton(symbol, 11, QFont::DemiBold, white(0.45), help, surface_);
    button->setObjectName(help);
    button->setFixedSize(22, 22);
    connect(button, &QAbstractButton::clicked, this, [this, set, get] {
        if (find_) ((*find_).*set)(!((*find_).*get)());
    });
    toggles_.append({button, get, std::nullopt});
    return button;
}

QString FindBar::matchLabel(const FindState& find) {
    if (find.query().isEmpty()) return QString();
    if (find.invalidRegex()) return QStringLiteral("bad regex");
    if (find.showReplace() && find.invalidReplacement()) return QStringLiteral("bad replacement");
    if (find.counting()) return QString();  // never a count of another query or text
    if (find.searchStopped()) return QStringLiteral("search stopped");
    if (find.matchCount() != 0) return QStringLiteral("%1 of %2").arg(find.current()).arg(find.matchCount());
    return QStringLiteral("no results");
}

std::optional<FindBar::Field> FindBar::focus() const {
    if (query_->hasFocus()) return Field::query;
    if (replacement_->hasFocus()) return Field::replacement;
    return std::nullopt;
}

void FindBar::setFocus(Field field) {
    (field == Field::query ? query_ : replacement_)->setFocus(Qt::OtherFocusReason);
}

void FindBar::refresh() {
    if (!find_) return;
    const FindState& find = *find_;
    {
        const QSignalBlocker blockQuery(query_);
        const QSignalBlocker blockReplacement(replacement_);
        if (query_->text() != find.query()) query_->setText(find.query());
        if (replacement_->text() != find.replacement()) replacement_->setText(find.replacement());
    }
    // The state announces every write, several for one query while the editor counts its matches:
    // only what shows differently is touched, so each control repaints (and the glass behind it is
    // read again) when its own look changes, not at every announcement.
    const QString symbol = find.showReplace() ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right");
    if (replaceToggle_->label().symbol != symbol) {
        replaceToggle_->label().symbol = symbol;
        replaceToggle_->update();
    }
    for (Toggle& toggle : toggles_) {
        const bool on = (find.*toggle.get)();
        if (toggle.shownOn == on) continue;
        toggle.shownOn = on;
        // Symbol labels spread a gradient over the symbol's square.
        toggle.button->label().symbolBrush = on ? QBrush(Brand::gradient(QRectF(0, 0, 1, 1))) : QBrush(white(0.45));
        QColor fill = Brand::accent();
        fill.setAlphaF(0.16f);
        toggle.button->setBackground(on ? QBrush(fill) : QBrush(Qt::NoBrush), 6);
    }

    // The label already tells a replacement naming a missing group: checking it compiles the pattern.
    const QString label = matchLabel(find);
    if (matchLabel_->text() != label) matchLabel_->setText(label);
    const bool fault = find.invalidRegex() || find.searchStopped() || label == u"bad replacement";
    if (shownFault_ != fault) {
        shownFault_ = fault;
        QPalette colours = matchLabel_->palette();
        colours.setColor(QPalette::WindowText, fault ? red(0.9) : white(0.4));
        matchLabel_->setPalette(colours);
    }

    if (replaceRow_->isVisibleTo(surface_) != find.showReplace()) {
        // Hidden with the keys, the row would pass them on past the bar, into the text.
        if (!find.showReplace() && replaceRow_->isAncestorOf(window()->focusWidget())) query_->setFocus(Qt::OtherFocusReason);
        replaceRow_->setVisible(find.showReplace());
        applyWidth(width_);
    }
    const qreal width = qreal(barWidth(find.showReplace()));
    if (width != targetWidth_) {
        targetWidth_ = width;
        widthSpring_.animateTo(width);
    }
    // The border follows the pattern's validity.
    if (shownInvalid_ != find.invalidRegex()) {
        shownInvalid_ = find.invalidRegex();
        surface_->update();
    }
}

void FindBar::applyWidth(qreal width) {
    width_ = width;
    surface_->setFixedWidth(int(std::lround(width)));
    const QMargins m = shadowMargins();
    // Activated, the layout asks its row layouts again: a row just hidden is no longer counted.
    surface_->layout()->invalidate();
    surface_->layout()->activate();
    const int height = surface_->layout()->sizeHint().height();
    surface_->setFixedHeight(height);
    setFixedSize(surface_->width() + m.left() + m.right(), height + m.top() + m.bottom());
    if (QWidget* area = parentWidget()) move((area->width() - this->width()) / 2, 8 - m.top());
}

void FindBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    ShadowEffect::paintCached(p, {QColor::fromRgbF(0, 0, 0, 0.35f), 18, QPointF(0, 8), 1}, QRectF(surface_->geometry()),
                              kCornerRadius, shadow_);
}

void FindBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    query_->setFocus(Qt::OtherFocusReason);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == surface_ && event->type() == QEvent::Paint) {
        QPainter p(surface_);
        const QRectF r = QRectF(surface_->rect());
        LiquidGlassBackground::paint(p, r, kCornerRadius, backdrop_, surface_);
        p.setRenderHint(QPainter::Antialiasing);
        const bool invalid = find_ && find_->invalidRegex();
        QColor border = invalid ? red(0.6) : Brand::accent();
        if (!invalid) border.setAlphaF(0.35f);
        p.setPen(QPen(border, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5, kCornerRadius - 0.5);
    } else if (watched == parentWidget() && event->type() == QEvent::Resize) {
        applyWidth(width_);
    }
    return QWidget::eventFilter(watched, event);
}
