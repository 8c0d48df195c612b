#include "Views/SourceControl/BranchPopover.h"

#include <QApplication>
#include <QScreen>

#include <QEvent>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "AppState.h"
#include "Git/ProcessText.h"
#include "Platform/Prompter.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/PopoverPlacement.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"
#include "Views/SourceControl/BranchListModel.h"
#include "Views/SourceControl/BranchListView.h"
#include "Views/SourceControl/SourceControlParts.h"

namespace {

using SourceControlParts::divider;
using SourceControlParts::textLabel;

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
    list_ = new BranchListView(this);
    list_->setObjectName(QStringLiteral("branchList"));
    connect(list_, &BranchListView::switchRequested, this, &BranchPopover::switchTo);
    connect(list_, &BranchListView::menuRequested, this, &BranchPopover::showRowMenu);
    column->addWidget(list_);
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

    connect(filterField_, &QLineEdit::textChanged, this, [this](const QString& text) {
        list_->branches().setFilter(text);
        rebuildRows();
    });
    connect(&app.git(), &GitService::changed, this, &BranchPopover::followState);
    followState();
}

BranchPopover* BranchPopover::show(AppState& app, QWidget* anchor) {
    auto* popover = new BranchPopover(app, anchor ? anchor->window() : nullptr);
    // Not a Qt::Popup: that would take every key and click from the questions it asks and be
    // closed by them. It closes itself on a click elsewhere and on Escape instead.
    popover->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    qApp->installEventFilter(popover);
    popover->anchor_ = anchor;
    popover->adjustSize();
    popover->place();
    popover->QWidget::show();
    popover->activateWindow();  // typing goes to it, as it would to a popup
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
    // The bottom row's buttons are reached with Tab (the only way to make a branch by keyboard);
    // a click leaves the focus where it was.
    newButton->setFocusPolicy(Qt::TabFocus);
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
    create->setFocusPolicy(Qt::TabFocus);
    connect(create, &QAbstractButton::clicked, this, &BranchPopover::createNew);
    row->addWidget(create);
    auto* cancel = new PressableButton(QStringLiteral("xmark"), QString(), createRow_);
    cancel->setObjectName(QStringLiteral("cancelCreate"));
    cancel->label().font = ShimmerText::font(10, QFont::Normal, ShimmerText::Design::standard);
    cancel->label().symbolBrush = QColor::fromRgbF(1, 1, 1, 0.5f);
    cancel->setPadding(QMarginsF(4, 4, 4, 4));
    cancel->setFocusPolicy(Qt::TabFocus);
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
        if (BranchListModel::matches(b.name, filter)) out.append(b);
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

void BranchPopover::showRowMenu(const GitBranchInfo& branch, const QPoint& globalPos) {
    // Not run in a loop of its own: a refresh may change the list while it is open.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Switch to"), this, [this, branch] { switchTo(branch); });
    menu->addAction(QStringLiteral("Delete"), this, [this, branch] { confirmDelete(branch); });
    menu->popup(globalPos);
}

void BranchPopover::rebuildRows() {
    if (!app_) return;
    const GitService& git = app_->git();
    list_->branches().setBranches(git.branches(), git.branch());
    const bool empty = list_->branches().rowCount() == 0;
    noMatch_->setVisible(empty);
    list_->setVisible(!empty);
    list_->setFixedHeight(list_->contentHeight(240));
    adjustSize();
}

QStringList BranchPopover::shownNames() const { return list_->branches().names(); }

bool BranchPopover::showsNoMatch() const { return !noMatch_->isHidden(); }

QRect BranchPopover::rowRect(const QString& name) const {
    const int row = list_->branches().rowOf(name);
    return row < 0 ? QRect() : list_->rowRect(row);
}

bool BranchPopover::isCreating() const { return bottom_->currentWidget() == createRow_; }

void BranchPopover::beginCreating() {
    bottom_->setCurrentWidget(createRow_);
    newBranchField_->setFocus();
}

void BranchPopover::cancelCreating() {
    // The keyboard, when it was in the row going away, goes to the button that replaces it.
    const bool keyboardInRow = createRow_->isAncestorOf(QApplication::focusWidget());
    bottom_->setCurrentWidget(newBranchButton_);
    newBranchField_->clear();
    if (keyboardInRow) newBranchButton_->setFocus(Qt::TabFocusReason);
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
    alert.title = QStringLiteral("Delete branch “%1”?").arg(ProcessText::visibleName(branch.name));
    alert.message = branch.upstream ? QStringLiteral("Only the local copy will be removed; the remote stays.")
                                    : QStringLiteral("This branch has no upstream. Local commits on it will be lost.");
    alert.buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")};
    alert.warning = true;
    const QPointer<AppState> app = app_;
    const QPointer<BranchPopover> self(this);
    QPointer<QWidget> focus = isAncestorOf(QApplication::focusWidget()) ? QApplication::focusWidget() : nullptr;
    asking_ = true;
    const int answer = Prompter::current().ask(alert);
    if (self) {
        asking_ = false;
        // Back where the keyboard was, else in the filter.
        activateWindow();
        raise();
        (focus ? focus.data() : static_cast<QWidget*>(filterField_))->setFocus(Qt::OtherFocusReason);
    }
    if (answer != 0 || !app) return;
    // The list follows through the service's refresh; the popover stays open to show it.
    app->git().deleteBranch(branch.name);
}

bool BranchPopover::eventFilter(QObject* watched, QEvent* event) {
    if (!isWindow() || !isVisible() || asking_) return QFrame::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        // A click outside, but not in the popover's own menu or in a question it asks.
        auto* target = qobject_cast<QWidget*>(watched);
        // A click on its own anchor only closes it, as a toggle would.
        if (target && anchor_ && (target == anchor_ || anchor_->isAncestorOf(target))) {
            close();
            return true;
        }
        if (target && target->window() != this && !qobject_cast<QMenu*>(target->window()) &&
            !QApplication::activeModalWidget())
            close();
    } else if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
               watched == QApplication::focusWidget() && isAncestorOf(QApplication::focusWidget()) &&
               static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel)) {
        // As a tool window of the main one it would hand Escape to that window's shortcuts first
        // (the find bar's): claimed here, it comes back as a press.
        if (event->type() == QEvent::ShortcutOverride) event->accept();
        else close();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void BranchPopover::closeEvent(QCloseEvent* event) {
    QFrame::closeEvent(event);
    // Closed with the keyboard (Escape, a switch, a new branch), it hands the keys back to the
    // window below, where they were; no one else would when no window manager does.
    if (isWindow() && QApplication::activeWindow() == this && parentWidget())
        parentWidget()->window()->activateWindow();
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
