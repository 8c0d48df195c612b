#include "Views/Workbench/WelcomeView.h"

#include "Views/SourceControl/CloneSheet.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "AppState.h"
#include "Git/ProcessText.h"
#include "UI/AuroraBackground.h"
#include "UI/Brand.h"
#include "UI/CachedLabel.h"
#include "UI/CascadeModifier.h"
#include "UI/GlassCard.h"
#include "UI/LayerCache.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/LogoMark.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"

namespace {
// The screen's words lie over the moving backdrop, which repaints them at every one of its frames.
QLabel* text(const QString& value, const QFont& font, qreal alpha, QWidget* parent) {
    auto* label = new CachedLabel(value, parent);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, %1); background: transparent; }").arg(int(alpha * 255)));
    return label;
}
} // namespace

const QList<WelcomeView::Feature>& WelcomeView::features() {
    static const QList<Feature> list{
        {QStringLiteral("curlybraces.square"), QStringLiteral("Syntax-aware editing"),
         QStringLiteral("Multi-language highlighting in the Brimel palette.")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("Quick open & command palette"),
         QStringLiteral("Ctrl+P to jump to any file, Ctrl+K for everything else.")},
        {QStringLiteral("sidebar.left"), QStringLiteral("Familiar workspace"),
         QStringLiteral("Activity bar, file explorer, tabs — done the Brimel way.")},
    };
    return list;
}

WelcomeView::WelcomeView(AppState& app, std::function<void()> onComplete, QWidget* parent)
    : QWidget(parent), app_(&app), onComplete_(std::move(onComplete)), background_(new AuroraBackground(1, this)) {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // In a window too short for everything, the column scrolls rather than squashing its rows.
    auto* scroll = new QScrollArea(this);
    scroll_ = scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    // The keyboard goes straight to the buttons: the page itself has nothing to act on.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // On the scroll bar alone: a style sheet on the area would reach every widget of the page and
    // draw a styled background at each repaint the moving backdrop causes.
    scroll->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 4px 2px 4px 0; }"
        " QScrollBar::handle:vertical { background: rgba(255,255,255,45); border-radius: 3px; min-height: 32px; }"
        " QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        " QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    scroll->viewport()->setAutoFillBackground(false);
    auto* page = new QWidget;
    page->setAttribute(Qt::WA_TranslucentBackground);
    auto* pageRow = new QHBoxLayout(page);
    pageRow->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(page);
    // Set by setWidget: an opaque fill the page never paints, yet the toolkit would then not
    // repaint the backdrop under it, leaving its older frames on screen beside the newer ones.
    page->setAutoFillBackground(false);
    outer->addWidget(scroll);
    auto* content = new QWidget(page);
    content->setMaximumWidth(620);
    pageRow->addStretch(1);
    pageRow->addWidget(content, 100);
    pageRow->addStretch(1);
    auto* column = new QVBoxLayout(content);
    column_ = column;
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(kSpacing);
    column->addStretch(1);

    // The column holds the mark alone; its glow spills over the gaps around it instead of widening them.
    logo_ = new LogoMark(88, content);
    logoSlot_ = new QWidget(content);
    logoSlot_->setFixedSize(88, 88);
    logoSlot_->installEventFilter(this);
    column->addWidget(logoSlot_, 0, Qt::AlignHCenter);

    auto* titles = new QWidget(content);
    auto* titleColumn = new QVBoxLayout(titles);
    titleColumn->setContentsMargins(0, 0, 0, 0);
    titleColumn->setSpacing(10);
    titleColumn->addWidget(new ShimmerText(QStringLiteral("Duzizoda Voza"), 46, QFont::Bold, ShimmerText::Design::rounded, titles),
                           0, Qt::AlignHCenter);
    QLabel* tagline = text(QStringLiteral("A beautiful, lightweight editor — the newest member of the Brimel family."),
                           ShimmerText::font(15, QFont::Normal, ShimmerText::Design::rounded), 0.6, titles);
    tagline->setAlignment(Qt::AlignHCenter);
    tagline->setWordWrap(true);
    titleColumn->addWidget(tagline);
    column->addWidget(titles);

    auto* featureList = new QWidget;
    auto* featureColumn = new QVBoxLayout(featureList);
    featureColumn->setContentsMargins(0, 0, 0, 0);
    featureColumn->setSpacing(16);
    for (const Feature& feature : features()) featureColumn->addWidget(featureRow(feature, featureList));
    auto* card = new GlassCard(featureList, 22, false, Qt::AlignCenter, true, content);
    card->setFixedWidth(460 + int(GlassCard::shadowMargins(false).left() + GlassCard::shadowMargins(false).right()));
    card->setMinimumHeight(card->sizeHint().height());
    column->addWidget(card, 0, Qt::AlignHCenter);

    QWidget* actionGroup = actions();
    actionGroup->setParent(content);
    actionGroup->setMinimumHeight(actionGroup->sizeHint().height());
    column->addWidget(actionGroup);
    column->addStretch(1);

    // The backdrop moves under these at every frame; they change only when used.
    for (QWidget* still : std::initializer_list<QWidget*>{tagline, featureList, clone_, blank_, recentBox_})
        still->setGraphicsEffect(new LayerCache(still));

    cascade(logo_, 0, 18);
    cascade(titles, 0.08, 18);
    cascade(card, 0.16, 18);
    cascade(actionGroup, 0.24, 18);
    background_->lower();
}

QWidget* WelcomeView::featureRow(const Feature& feature, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(14);
    auto* icon = new QLabel(row);
    const int side = Icons::sizeForPointSize(18);
    const QImage image = Icons::image(feature.icon, side, Brand::gradient(QRectF(0, 0, side, side)), 2);
    icon->setPixmap(QPixmap::fromImage(image));
    icon->setFixedWidth(26);
    line->addWidget(icon, 0, Qt::AlignTop);
    auto* words = new QVBoxLayout;
    words->setSpacing(2);
    words->addWidget(text(feature.title, ShimmerText::font(14, QFont::DemiBold, ShimmerText::Design::rounded), 0.9, row));
    // One line each: the card is wide enough, and a wrapping label would not tell the card its height.
    words->addWidget(text(feature.text, ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::standard), 0.55, row));
    line->addLayout(words, 1);
    return row;
}

QWidget* WelcomeView::actions() {
    auto* group = new QWidget;
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    openFolder_ = new GradientButton(QStringLiteral("folder.badge.plus"), QStringLiteral("Open Folder"), group);
    connect(openFolder_, &QAbstractButton::clicked, this, &WelcomeView::openFolder);
    column->addWidget(openFolder_, 0, Qt::AlignHCenter);

    clone_ = new PressableButton(QStringLiteral("arrow.down.doc"), QStringLiteral("Clone Repository"), group);
    clone_->label().font = ShimmerText::font(12.5, QFont::Medium, ShimmerText::Design::rounded);
    clone_->label().symbolBrush = clone_->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.85f);
    clone_->setPadding(QMarginsF(14, 7, 14, 7));
    clone_->setBackground(QColor::fromRgbF(1, 1, 1, 0.08f), (clone_->sizeHint().height()) / 2.0);
    connect(clone_, &QAbstractButton::clicked, this, &WelcomeView::cloneRepository);
    column->addWidget(clone_, 0, Qt::AlignHCenter);

    blank_ = new PressableButton(QString(), QStringLiteral("Start with a blank file"), group);
    blank_->label().font = ShimmerText::font(13, QFont::Normal, ShimmerText::Design::rounded);
    blank_->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.6f);
    blank_->setPadding(QMarginsF(8, 3, 8, 3));  // room for the focus ring around the bare title
    connect(blank_, &QAbstractButton::clicked, this, &WelcomeView::startBlank);
    column->addWidget(blank_, 0, Qt::AlignHCenter);

    recentBox_ = new QWidget(group);
    auto* recent = new QVBoxLayout(recentBox_);
    recent->setContentsMargins(0, 0, 0, 0);
    recent->setSpacing(4);
    column->addWidget(recentBox_, 0, Qt::AlignHCenter);
    fillRecents();
    // A folder opened or restored behind this screen is written to the list while it shows.
    connect(app_, &AppState::recentFoldersChanged, this, [this] {
        fillRecents();
        fitColumn();
    });
    return group;
}

void WelcomeView::fillRecents() {
    auto* recent = static_cast<QVBoxLayout*>(recentBox_->layout());
    // Later: the click of a row may be what changed the list.
    while (QLayoutItem* item = recent->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    recentHeader_ = nullptr;
    recents_.clear();
    const QStringList folders = app_ ? app_->recentFolders().mid(0, kRecentRows) : QStringList();
    recentBox_->setVisible(!folders.isEmpty());
    if (folders.isEmpty()) return;
    recentHeader_ = text(QStringLiteral("RECENT"), ShimmerText::font(10, QFont::Bold, ShimmerText::Design::rounded), 0.35, recentBox_);
    recentHeader_->setContentsMargins(0, 8, 0, 0);
    recent->addWidget(recentHeader_, 0, Qt::AlignHCenter);
    for (const QString& folder : folders) {
        auto* row = new PressableButton(QStringLiteral("clock.arrow.circlepath"), QString(), recentBox_);
        SymbolLabel& label = row->label();
        label.font = ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::rounded);
        label.symbolBrush = Brand::accent();
        label.textBrush = QColor::fromRgbF(1, 1, 1, 0.75f);
        label.spacing = 8;
        const qreal room = kRecentRowWidth - label.size().width() - 2;
        label.text = QFontMetricsF(label.font).elidedText(ProcessText::visibleName(QFileInfo(folder).fileName()), Qt::ElideRight, room);
        // The label draws centred: the padding on its trailing side keeps icon and name at the leading edge.
        row->setPadding(QMarginsF(0, 0, std::max<qreal>(0, kRecentRowWidth - label.size().width()), 0));
        row->setFixedWidth(kRecentRowWidth);
        row->setToolTip(folder);
        connect(row, &QAbstractButton::clicked, this, [this, folder] { openRecent(folder); });
        recent->addWidget(row, 0, Qt::AlignHCenter);
        recents_ << row;
    }
    // Shown now rather than on the layout's later turn, so the column fits them at once.
    for (int i = 0; i < recent->count(); ++i) recent->itemAt(i)->widget()->show();
}

void WelcomeView::completeIfFolderOpen() {
    if (app_ && app_->rootNode() && onComplete_) onComplete_();
}

void WelcomeView::openFolder() {
    if (!app_) return;
    app_->promptOpenFolder();
    completeIfFolderOpen();
}

void WelcomeView::cloneRepository() {
    if (!app_ || cloneSheet_) return;
    // The sheet opens the cloned folder itself; finishing it completes the welcome screen.
    cloneSheet_ = openCloneSheet(*app_, [](const QString&) {}, this);
    connect(cloneSheet_, &QDialog::finished, this, &WelcomeView::completeIfFolderOpen);
}

void WelcomeView::startBlank() {
    if (!app_) return;
    app_->newUntitled();
    if (onComplete_) onComplete_();
}

void WelcomeView::openRecent(const QString& folder) {
    if (!app_) return;
    app_->openFolder(folder);
    if (onComplete_) onComplete_();
}

void WelcomeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    background_->setGeometry(rect());
    fitColumn();
}

bool WelcomeView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == logoSlot_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        const int m = LogoMark::glowMargin(logo_->markSize());
        logo_->setGeometry(logoSlot_->geometry().adjusted(-m, -m, m, m));
    }
    return QWidget::eventFilter(watched, event);
}

void WelcomeView::fitColumn() {
    // In a short window the gaps and the padding shrink together, so every row keeps its height.
    constexpr int gaps = 3;  // between the four groups: none is added next to the flexible spaces
    column_->setSpacing(kSpacing);
    column_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    const int loose = gaps * kSpacing + 2 * kPadding;
    // What the column asks for at this width (the tagline may wrap), less what may shrink. The
    // scroll area fills this view, so without a scroll bar the page is as wide as the view: its
    // viewport may not have been laid out yet.
    QWidget* page = scroll_->widget();
    const int width = this->width();
    const int asked = page->hasHeightForWidth() ? page->heightForWidth(width) : page->sizeHint().height();
    const int fixed = asked - loose;
    const double scale = std::clamp(double(height() - fixed - 4) / loose, 0.3, 1.0);  // 4: rounding down below
    const int padding = int(kPadding * scale);
    column_->setSpacing(int(kSpacing * scale));
    column_->setContentsMargins(padding, padding, padding, padding);
}

void WelcomeView::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), Qt::black); }

QDialog* openCloneSheet(AppState& app, std::function<void(const QString& folder)> onCloned, QWidget* parent) {
    auto* sheet = new CloneSheet(app, std::move(onCloned), parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}
