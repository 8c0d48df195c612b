#include "Views/SourceControl/BranchPopover.h"

#include <QScreen>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "AppState.h"
#include "Git/ProcessText.h"
#include "Platform/Prompter.h"
#include "UI/Brand.h"
#include "UI/ElidedText.h"
#include "UI/Icons.h"
#include "UI/PopoverPlacement.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"
#include "Views/SourceControl/SourceControlParts.h"

namespace {

using SourceControlParts::divider;
using SourceControlParts::textLabel;

const char* const kBranchProperty = "branchName";

QLabel* symbolLabel(const QString& symbol, qreal points, const QBrush& brush, QWidget* parent) {
    auto* label = new QLabel(parent);
    const int side = Icons::sizeForPointSize(points);
    const qreal dpr = parent->devicePixelRatioF();
    QBrush ink = brush;
    if (ink.gradient()) ink = QBrush(Brand::gradient(QRectF(0, 0, side * dpr, side * dpr)));
    QImage image = Icons::image(symbol, side, ink, dpr);
    label->setPixmap(QPixmap::fromImage(image));
    label->setStyleSheet(QStringLiteral("background: transparent;"));
    return label;
}

QString fieldStyle(bool boxed) {
    QString style = QStringLiteral("QLineEdit { color: white; selection-background-color: rgba(140,107,255,120);");
    if (boxed)
        style += QStringLiteral(" background: rgba(255,255,255,13); border: 1px solid rgba(255,255,255,20);"
                                " border-radius: 6px; padding: 6px 8px; }");
    else style += QStringLiteral(" background: transparent; border: none; }");
    return style;
}

} // namespace

BranchPopover::BranchPopover(AppState& app, QWidget* parent) : QFrame(parent), app_(&app) {
    setFixedWidth(kWidth);
    setAttribute(Qt::WA_NoMouseReplay);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    column->addWidget(divider(0.08, this));

    auto* filterRow = new QWidget(this);
    auto* filterLayout = new QHBoxLayout(filterRow);
    filterLayout->setContentsMargins(10, 6, 10, 6);
    filterLayout->setSpacing(6);
    filterLayout->addWidget(symbolLabel(QStringLiteral("magnifyingglass"), 10, QColor::fromRgbF(1, 1, 1, 0.4f), filterRow));
    filterField_ = new QLineEdit(filterRow);
    filterField_->setObjectName(QStringLiteral("branchFilter"));
    filterField_->setPlaceholderText(QStringLiteral("Filter branches…"));
    filterField_->setFont(ShimmerText::font(12, QFont::Normal, ShimmerText::Design::monospaced));
    filterField_->setStyleSheet(fieldStyle(false));
    filterLayout->addWidget(filterField_, 1);
    column->addWidget(filterRow);
    column->addWidget(divider(0.06, this));

    // HEAD on no branch (checked out by commit, or in the middle of a rebase) is a state of the
    // repository, not something to switch to or delete.
    state_ = textLabel(QString(), 11.5, QFont::Medium, ShimmerText::Design::rounded, 0.6, this);
    state_->setObjectName(QStringLiteral("headState"));
    state_->setContentsMargins(12, 6, 12, 2);
    state_->hide();
    column->addWidget(state_);

    noMatch_ = textLabel(QStringLiteral("No branches match."), 11.5, QFont::Normal, ShimmerText::Design::standard, 0.4, this);
    noMatch_->setAlignment(Qt::AlignCenter);
    noMatch_->setContentsMargins(0, 16, 0, 16);
    column->addWidget(noMatch_);
    const SourceControlParts::RowList list = SourceControlParts::rowList({4, 4, 4, 4}, 1, this);
    scroll_ = list.scroll;
    listBox_ = list.box;
    listLayout_ = list.layout;
    column->addWidget(scroll_);
    column->addWidget(divider(0.06, this));
    column->addWidget(buildBottom());

    errorLabel_ = new QLabel(this);
    errorLabel_->setObjectName(QStringLiteral("branchError"));
    errorLabel_->setFont(ShimmerText::font(11, QFont::Normal, ShimmerText::Design::standard));
    errorLabel_->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }")
                                   .arg(Brand::palette()[2].name()));
    errorLabel_->setWordWrap(true);
    errorLabel_->setContentsMargins(10, 0, 10, 6);
    errorLabel_->hide();
    column->addWidget(errorLabel_);

    connect(filterField_, &QLineEdit::textChanged, this, &BranchPopover::rebuildRows);
    connect(&app.git(), &GitService::changed, this, &BranchPopover::followState);
    followState();
}

BranchPopover* BranchPopover::show(AppState& app, QWidget* anchor) {
    auto* popover = new BranchPopover(app, anchor ? anchor->window() : nullptr);
    popover->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setAttribute(Qt::WA_NoMouseReplay);
    popover->anchor_ = anchor;
    popover->adjustSize();
    popover->place();
    popover->QWidget::show();
    return popover;
}

void BranchPopover::place() {
    if (!anchor_) return;
    const QScreen* screen = anchor_->screen();
    const QRect anchor(anchor_->mapToGlobal(QPoint(0, 0)), anchor_->size());
    // Without a screen to keep to, it simply goes below.
    const QRect room = screen ? screen->availableGeometry() : QRect(anchor.topLeft(), QSize(1 << 20, 1 << 20));
    move(PopoverPlacement::place(size(), anchor, room).topLeft());
}

void BranchPopover::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    // Grown or shrunk while open (an error line, a filter): placed again from the anchor.
    place();
}

QWidget* BranchPopover::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(6);
    row->addWidget(symbolLabel(QStringLiteral("arrow.triangle.branch"), 11, QBrush(Brand::gradient(QRectF(0, 0, 1, 1))), header));
    row->addWidget(textLabel(QStringLiteral("BRANCHES"), 10, QFont::Bold, ShimmerText::Design::rounded, 0.5, header));
    row->addStretch(1);
    counts_ = textLabel(QString(), 9.5, QFont::DemiBold, ShimmerText::Design::monospaced, 0.7, header);
    row->addWidget(counts_);
    return header;
}

QWidget* BranchPopover::buildBottom() {
    bottom_ = new QStackedWidget(this);
    auto* newButton = new PressableButton(QStringLiteral("plus"), QString(), bottom_);
    newButton->setObjectName(QStringLiteral("newBranch"));
    newButton->label().font = ShimmerText::font(11.5, QFont::Medium, ShimmerText::Design::rounded);
    newButton->label().symbolBrush = QColor::fromRgbF(1, 1, 1, 0.75f);
    newButton->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.75f);
    newButton->label().spacing = 5;
    newButton->setPadding(QMarginsF(10, 8, 10, 8));
    newButton->setFocusPolicy(Qt::NoFocus);
    connect(newButton, &QAbstractButton::clicked, this, &BranchPopover::beginCreating);
    newBranchButton_ = newButton;

    createRow_ = new QWidget(bottom_);
    auto* row = new QHBoxLayout(createRow_);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(6);
    newBranchField_ = new QLineEdit(createRow_);
    newBranchField_->setObjectName(QStringLiteral("newBranchName"));
    newBranchField_->setPlaceholderText(QStringLiteral("new-branch-name"));
    newBranchField_->setFont(ShimmerText::font(12, QFont::Normal, ShimmerText::Design::monospaced));
    newBranchField_->setStyleSheet(fieldStyle(true));
    connect(newBranchField_, &QLineEdit::returnPressed, this, &BranchPopover::createNew);
    row->addWidget(newBranchField_, 1);
    auto* create = new PressableButton(QString(), QStringLiteral("Create"), createRow_);
    create->setObjectName(QStringLiteral("createBranch"));
    create->label().font = ShimmerText::font(11, QFont::DemiBold, ShimmerText::Design::rounded);
    create->setPadding(QMarginsF(10, 5, 10, 5));
    QColor accent = Brand::accent();
    accent.setAlphaF(0.6f);
    create->setBackground(accent, 11);
    create->setFocusPolicy(Qt::NoFocus);
    connect(create, &QAbstractButton::clicked, this, &BranchPopover::createNew);
    row->addWidget(create);
    auto* cancel = new PressableButton(QStringLiteral("xmark"), QString(), createRow_);
    cancel->setObjectName(QStringLiteral("cancelCreate"));
    cancel->label().font = ShimmerText::font(10, QFont::Normal, ShimmerText::Design::standard);
    cancel->label().symbolBrush = QColor::fromRgbF(1, 1, 1, 0.5f);
    cancel->setPadding(QMarginsF(4, 4, 4, 4));
    cancel->setFocusPolicy(Qt::NoFocus);
    connect(cancel, &QAbstractButton::clicked, this, &BranchPopover::cancelCreating);
    row->addWidget(cancel);

    bottom_->addWidget(newBranchButton_);
    bottom_->addWidget(createRow_);
    bottom_->setFixedHeight(std::max(newButton->sizeHint().height(), createRow_->sizeHint().height()));
    return bottom_;
}

QList<GitBranchInfo> BranchPopover::filtered(const QList<GitBranchInfo>& branches, const QString& filter) {
    if (filter.isEmpty()) return branches;
    QList<GitBranchInfo> out;
    for (const GitBranchInfo& b : branches)
        if (b.name.contains(filter, Qt::CaseInsensitive)) out.append(b);
    return out;
}

void BranchPopover::followState() {
    if (!app_) return;
    const GitService& git = app_->git();
    const bool counts = git.aheadBy() >= 1 || git.behindBy() >= 1;
    counts_->setText(counts ? QStringLiteral("↑%1 ↓%2").arg(git.aheadBy()).arg(git.behindBy()) : QString());
    counts_->setVisible(counts);
    auto* newButton = static_cast<PressableButton*>(newBranchButton_);
    newButton->label().text = newBranchLabel();
    newButton->update();
    const bool detached = git.branch() == QStringLiteral("HEAD");
    state_->setText(detached ? QStringLiteral("Detached HEAD") : QString());
    state_->setVisible(detached);
    rebuildRows();
}

QString BranchPopover::stateText() const { return state_->isHidden() ? QString() : state_->text(); }

QString BranchPopover::newBranchLabel() const {
    const std::optional<QString> base = app_ ? app_->git().branch() : std::nullopt;
    return QStringLiteral("New Branch from ") + base.value_or(QStringLiteral("HEAD")) + QStringLiteral("…");
}

QString BranchPopover::countsText() const { return counts_->isHidden() ? QString() : counts_->text(); }

QWidget* BranchPopover::makeRow(const GitBranchInfo& branch, bool current) {
    auto* row = new QWidget(listBox_);
    row->setProperty(kBranchProperty, branch.name);
    row->setAttribute(Qt::WA_StyledBackground);
    QColor fill = Brand::accent();
    fill.setAlphaF(0.12f);
    row->setStyleSheet(current ? QStringLiteral("QWidget#branchRow { background: rgba(%1,%2,%3,%4); border-radius: 5px; }")
                                     .arg(fill.red()).arg(fill.green()).arg(fill.blue()).arg(fill.alpha())
                               : QString());
    row->setObjectName(QStringLiteral("branchRow"));
    if (!current) row->setCursor(Qt::PointingHandCursor);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(8, 5, 8, 5);
    layout->setSpacing(8);
    layout->addWidget(current ? symbolLabel(QStringLiteral("checkmark.circle.fill"), 11,
                                            QBrush(Brand::gradient(QRectF(0, 0, 1, 1))), row)
                              : symbolLabel(QStringLiteral("circle"), 11, QColor::fromRgbF(1, 1, 1, 0.3f), row));
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    // Long names are shortened to the row, so the row's menu button stays in view.
    names->addWidget(new ElidedText(branch.name, ShimmerText::font(12.5, current ? QFont::DemiBold : QFont::Normal,
                                                                   ShimmerText::Design::monospaced),
                                    QColor::fromRgbF(1, 1, 1, current ? 1.0f : 0.85f), Qt::ElideRight, row));
    if (branch.upstream)
        names->addWidget(new ElidedText(*branch.upstream, ShimmerText::font(9.5, QFont::Normal, ShimmerText::Design::monospaced),
                                        QColor::fromRgbF(1, 1, 1, 0.4f), Qt::ElideRight, row));
    layout->addLayout(names, 1);
    if (!current) {
        auto* more = new PressableButton(QStringLiteral("ellipsis"), QString(), row);
        more->setObjectName(QStringLiteral("branchMenu"));
        more->label().font = ShimmerText::font(11, QFont::Normal, ShimmerText::Design::standard);
        more->label().symbolBrush = QColor::fromRgbF(1, 1, 1, 0.45f);
        more->setFixedWidth(22);
        more->setFocusPolicy(Qt::NoFocus);
        connect(more, &QAbstractButton::clicked, this, [this, more, branch] {
            // Not run in a loop of its own: a refresh may rebuild the rows, this button included, while it is open.
            auto* menu = new QMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addAction(QStringLiteral("Switch to"), this, [this, branch] { switchTo(branch); });
            menu->addAction(QStringLiteral("Delete"), this, [this, branch] { confirmDelete(branch); });
            menu->popup(more->mapToGlobal(QPoint(0, more->height())));
        });
        layout->addWidget(more);
    }
    row->installEventFilter(this);
    return row;
}

void BranchPopover::rebuildRows() {
    if (!app_) return;
    const GitService& git = app_->git();
    qDeleteAll(rows_);
    rows_.clear();
    shownNames_.clear();
    while (QLayoutItem* item = listLayout_->takeAt(0)) delete item;
    for (const GitBranchInfo& branch : filtered(git.branches(), filterField_->text())) {
        QWidget* row = makeRow(branch, git.branch() && *git.branch() == branch.name);
        row->show();  // counted by the list's size below even while the popover is already open
        rows_.append(row);
        shownNames_.append(branch.name);
        listLayout_->addWidget(row);
    }
    listLayout_->addStretch(1);
    noMatch_->setVisible(rows_.isEmpty());
    scroll_->setVisible(!rows_.isEmpty());
    listBox_->adjustSize();
    scroll_->setFixedHeight(std::min(240, listLayout_->sizeHint().height()));
    adjustSize();
}

QStringList BranchPopover::shownNames() const { return shownNames_; }

bool BranchPopover::showsNoMatch() const { return !noMatch_->isHidden(); }

QWidget* BranchPopover::rowFor(const QString& name) const {
    for (QWidget* row : rows_)
        if (row->property(kBranchProperty).toString() == name) return row;
    return nullptr;
}

bool BranchPopover::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && app_) {
        auto* row = qobject_cast<QWidget*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (row && rows_.contains(row) && mouse->button() == Qt::LeftButton &&
            row->rect().contains(mouse->position().toPoint())) {
            const QString name = row->property(kBranchProperty).toString();
            const GitService& git = app_->git();
            if (!(git.branch() && *git.branch() == name)) {
                for (const GitBranchInfo& b : git.branches())
                    if (b.name == name) {
                        switchTo(b);
                        break;
                    }
            }
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

bool BranchPopover::isCreating() const { return bottom_->currentWidget() == createRow_; }

void BranchPopover::beginCreating() {
    bottom_->setCurrentWidget(createRow_);
    newBranchField_->setFocus();
}

void BranchPopover::cancelCreating() {
    bottom_->setCurrentWidget(newBranchButton_);
    newBranchField_->clear();
}

void BranchPopover::setErrorText(const std::optional<QString>& text) {
    errorText_ = text;
    errorLabel_->setText(text.value_or(QString()));
    // Two lines at most; the label's height is settled here, since a wrapping label does not tell the window its height.
    const QFontMetrics metrics(errorLabel_->font());
    const int textHeight = text ? metrics.boundingRect(QRect(0, 0, kWidth - 20, 1000), Qt::TextWordWrap, *text).height() : 0;
    errorLabel_->setFixedHeight(std::min(textHeight, 2 * metrics.lineSpacing()) + 6);
    errorLabel_->setVisible(text.has_value());
    // The popup window itself must grow, not only its content.
    layout()->activate();
    resize(kWidth, layout()->totalSizeHint().height());
}

void BranchPopover::switchTo(const GitBranchInfo& branch) {
    if (!app_) return;
    setErrorText(std::nullopt);
    GitService& git = app_->git();
    git.checkout(branch.name, {this, [this, &git](bool ok) {
        if (ok) close();
        else setErrorText(git.lastError());
    }});
}

void BranchPopover::confirmDelete(const GitBranchInfo& branch) {
    if (!app_) return;
    Alert alert;
    alert.title = QStringLiteral("Delete branch “%1”?").arg(branch.name);
    alert.message = branch.upstream ? QStringLiteral("Only the local copy will be removed; the remote stays.")
                                    : QStringLiteral("This branch has no upstream. Local commits on it will be lost.");
    alert.buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")};
    alert.warning = true;
    const QPointer<AppState> app = app_;
    if (Prompter::current().ask(alert) != 0 || !app) return;
    // The popover may have closed while the question was open; the deletion goes on regardless.
    app->git().deleteBranch(branch.name);
}

void BranchPopover::createNew() {
    if (!app_) return;
    const QString name = ProcessText::trimBlanks(newBranchField_->text());
    if (name.isEmpty()) return;
    GitService& git = app_->git();
    git.createBranch(name, {this, [this, &git](bool ok) {
        if (ok) close();
        else setErrorText(git.lastError().value_or(QStringLiteral("Couldn't create branch.")));
    }});
}

void BranchPopover::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0.1f, 0.1f, 0.13f));
}
