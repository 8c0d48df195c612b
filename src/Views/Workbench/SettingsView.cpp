#include "Views/Workbench/SettingsView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "AppState.h"
#include "Git/AIService.h"
#include "MenuCommands.h"
#include "Platform/NotificationCenter.h"
#include "Platform/SettingsStore.h"
#include "UI/FocusSlider.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/LogoMark.h"
#include "UI/PressableButton.h"
#include "UI/ShadowEffect.h"
#include "UI/ShimmerText.h"
#include "Views/Workbench/SegmentedPicker.h"

namespace {
constexpr double kDefaultFontSize = 13;
constexpr int kDefaultTabWidth = 4;
const QString kAuto = QStringLiteral("auto");

QLabel* text(const QString& value, const QFont& font, qreal alpha, QWidget* parent) {
    auto* label = new QLabel(value, parent);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, %1); background: transparent; }").arg(int(alpha * 255)));
    return label;
}

// The framed card around a group of settings.
class Panel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(1, 1, 1, 0.05f));
        p.drawRoundedRect(r, 16, 16);
        QLinearGradient rim(r.topLeft(), r.bottomRight());
        rim.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.16f));
        rim.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.03f));
        p.setPen(QPen(QBrush(rim), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r, 16, 16);
    }
};
} // namespace

QString SettingsView::displayName(const QString& value) {
    if (value == kAuto) return QStringLiteral("Auto");
    if (value == AIBackends::rawValue(AIBackend::claude)) return QStringLiteral("Claude Code");
    if (value == AIBackends::rawValue(AIBackend::codex)) return QStringLiteral("Codex");
    return {};
}

QString SettingsView::backendHint(const std::optional<AIBackend>& detected, const QString& value) {
    if (!detected)
        return QStringLiteral("No claude or codex CLI found on your PATH — AI features stay hidden until one is installed.");
    if (value == kAuto)
        return QStringLiteral("Uses whichever CLI is on your PATH — currently ") + displayName(AIBackends::rawValue(*detected)) +
               QStringLiteral(".");
    const auto chosen = AIBackends::fromRawValue(value);
    return QStringLiteral("Commit messages and Ask AI shell through your ") +
           (chosen ? displayName(value) : QStringLiteral("selected CLI")) + QStringLiteral(".");
}

QString SettingsView::fontSizeText(double points) {
    // The slider never writes a value that is not finite; one stored by hand reads as the default.
    const double shown = std::isfinite(points) ? points : kDefaultFontSize;
    return QStringLiteral("%1 pt").arg(static_cast<long long>(std::trunc(std::clamp(shown, -1e15, 1e15))));
}

SettingsView::SettingsView(Detector detect, QWidget* parent)
    : QWidget(parent), detect_(detect ? std::move(detect) : Detector(&AIService::detectBackend)) {
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Settings"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);

    auto* header = new QHBoxLayout;
    header->setSpacing(13);
    header->addWidget(new LogoMark(40, this));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(new ShimmerText(QStringLiteral("Settings"), 24, QFont::Bold, ShimmerText::Design::rounded, this));
    titles->addWidget(text(QStringLiteral("Duzizoda Voza"), ShimmerText::font(11.5, QFont::Medium, ShimmerText::Design::rounded), 0.5, this));
    header->addLayout(titles);
    header->addStretch(1);
    column->addLayout(header);

    // Editor
    auto* editor = new QWidget;
    auto* editorColumn = new QVBoxLayout(editor);
    editorColumn->setContentsMargins(0, 0, 0, 0);
    editorColumn->setSpacing(14);
    auto* fontRow = new QWidget;
    auto* fontLine = new QHBoxLayout(fontRow);
    fontLine->setContentsMargins(0, 0, 0, 0);
    fontLine->setSpacing(12);
    fontSlider_ = new FocusSlider(Qt::Horizontal, fontRow);
    fontSlider_->setRange(9, 24);
    fontSlider_->setSingleStep(1);
    fontSlider_->setPageStep(1);
    fontLine->addWidget(fontSlider_, 1);
    fontValue_ = text(QString(), ShimmerText::font(12, QFont::Medium, ShimmerText::Design::monospaced), 0.75, fontRow);
    fontValue_->setFixedWidth(38);
    fontValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fontLine->addWidget(fontValue_);
    editorColumn->addWidget(row(QStringLiteral("Font size"), fontRow));
    tabWidth_ = new SegmentedPicker({{QStringLiteral("2 spaces"), 2.0}, {QStringLiteral("4 spaces"), 4.0},
                                     {QStringLiteral("8 spaces"), 8.0}});
    editorColumn->addWidget(row(QStringLiteral("Tab width"), tabWidth_));
    column->addWidget(panel(QStringLiteral("Editor"), QStringLiteral("textformat"), editor));

    // AI
    auto* ai = new QWidget;
    auto* aiColumn = new QVBoxLayout(ai);
    aiColumn->setContentsMargins(0, 0, 0, 0);
    aiColumn->setSpacing(14);
    QList<SegmentedPicker::Option> backends{{displayName(kAuto), kAuto}};
    for (AIBackend backend : AIBackends::allCases())
        backends.append({displayName(AIBackends::rawValue(backend)), AIBackends::rawValue(backend)});
    backend_ = new SegmentedPicker(backends);
    aiColumn->addWidget(row(QStringLiteral("Backend"), backend_));
    hint_ = text(QString(), ShimmerText::font(11, QFont::Normal, ShimmerText::Design::standard), 0.5, ai);
    hint_->setWordWrap(true);
    aiColumn->addWidget(hint_);
    column->addWidget(panel(QStringLiteral("AI"), QStringLiteral("sparkles"), ai));

    auto* actions = new QHBoxLayout;
    actions->setSpacing(12);
    welcomeTour_ = actionButton(QStringLiteral("Welcome Tour"), QStringLiteral("sparkles"));
    whatsNew_ = actionButton(QStringLiteral("What's New"), QStringLiteral("gift"));
    actions->addWidget(welcomeTour_, 1);
    actions->addWidget(whatsNew_, 1);
    column->addLayout(actions);
    column->addStretch(1);

    SettingsStore& store = SettingsStore::shared();
    connect(fontSlider_, &QSlider::valueChanged, this, [](int v) { SettingsStore::shared().setValue(SettingsKey::fontSize, v); });
    connect(tabWidth_, &SegmentedPicker::chosen, this,
            [](const QJsonValue& v) { SettingsStore::shared().setValue(SettingsKey::tabWidth, v.toInt()); });
    connect(backend_, &SegmentedPicker::chosen, this,
            [](const QJsonValue& v) { SettingsStore::shared().setValue(SettingsKey::aiBackend, v); });
    connect(welcomeTour_, &QAbstractButton::clicked, this,
            [] { SettingsStore::shared().setValue(SettingsKey::onboarded, false); });
    connect(whatsNew_, &QAbstractButton::clicked, this, [] { NotificationCenter::shared().post(MenuNotification::whatsNew); });
    connect(&store, &SettingsStore::changed, this, &SettingsView::sync);
    sync();
}

QWidget* SettingsView::panel(const QString& title, const QString& icon, QWidget* content) {
    auto* card = new Panel(this);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(14);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* symbol = new QLabel(card);
    symbol->setPixmap(Icons::pixmap(icon, Icons::sizeForPointSize(12), Brand::accent(), devicePixelRatioF()));
    header->addWidget(symbol);
    QFont font = ShimmerText::font(11, QFont::Bold, ShimmerText::Design::rounded);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    header->addWidget(text(title.toUpper(), font, 0.55, card));
    header->addStretch(1);
    column->addLayout(header);
    content->setParent(card);
    column->addWidget(content);
    auto* shadow = new ShadowEffect(16, card);
    shadow->setShadows({{QColor::fromRgbF(0, 0, 0, 0.28f), 14, QPointF(0, 7)}});
    card->setGraphicsEffect(shadow);
    return card;
}

QWidget* SettingsView::row(const QString& label, QWidget* control) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(7);
    column->addWidget(text(label, ShimmerText::font(12.5, QFont::Medium, ShimmerText::Design::standard), 0.82, box));
    control->setParent(box);
    column->addWidget(control);
    return box;
}

PressableButton* SettingsView::actionButton(const QString& title, const QString& icon) {
    auto* button = new PressableButton(icon, title, this);
    button->label().font = ShimmerText::font(12.5, QFont::DemiBold, ShimmerText::Design::rounded);
    button->label().symbolBrush = button->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.9f);
    button->label().spacing = 7;
    button->setPadding(QMarginsF(0, 10, 0, 10));
    button->setBackground(QColor::fromRgbF(1, 1, 1, 0.06f), 11);
    return button;
}

void SettingsView::sync() {
    const SettingsStore& store = SettingsStore::shared();
    const double fontSize = store.number(SettingsKey::fontSize, SettingsKey::fontSizeRange);
    {
        const QSignalBlocker quiet(fontSlider_);
        fontSlider_->setValue(int(fontSize));
    }
    fontValue_->setText(fontSizeText(fontSize));
    // An odd stored width selects no segment; the editor reads it as the nearest one.
    tabWidth_->select(QJsonValue(store.number(SettingsKey::tabWidth, kDefaultTabWidth)));
    const QString backend = store.string(SettingsKey::aiBackend, kAuto);
    backend_->select(backend);
    hint_->setText(backendHint(detected_, backend));
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    detect_(Completion<std::optional<AIBackend>>(this, [this](const std::optional<AIBackend>& found) {
        detected_ = found;
        sync();
    }));
}

void SettingsView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0.06f, 0.06f, 0.10f));
    QRadialGradient top(QPointF(0, 0), 380);
    QColor c0 = Brand::palette()[0];
    c0.setAlphaF(0.30f);
    top.setColorAt(0, c0);
    top.setColorAt(1, Qt::transparent);
    p.fillRect(rect(), top);
    QRadialGradient bottom(QPointF(width(), height()), 360);
    QColor c1 = Brand::palette()[1];
    c1.setAlphaF(0.16f);
    bottom.setColorAt(0, c1);
    bottom.setColorAt(1, Qt::transparent);
    p.fillRect(rect(), bottom);
}

void SettingsView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && isWindow()) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
