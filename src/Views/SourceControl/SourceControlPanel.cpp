#include "Views/SourceControl/SourceControlPanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "AppState.h"
#include "Git/AIService.h"
#include "Git/ProcessText.h"
#include "Platform/Prompter.h"
#include "UI/Brand.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"
#include "Views/SourceControl/BranchPopover.h"
#include "Views/SourceControl/ChangeListView.h"
#include "Views/SourceControl/ChangeRowDelegate.h"
#include "Views/SourceControl/CommitComposer.h"
#include "Views/SourceControl/IconButton.h"
#include "Views/SourceControl/SourceControlParts.h"

namespace {

using SourceControlParts::divider;
using SourceControlParts::textLabel;

QLabel* symbolLabel(const QString& symbol, qreal points, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Icons::pixmap(symbol, Icons::sizeForPointSize(points), colour, parent->devicePixelRatioF()));
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("background: transparent;"));
    return label;
}

} // namespace

SourceControlPanel::SourceControlPanel(AppState& app, QWidget* parent) : QWidget(parent), app_(&app) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    toolbar_ = buildToolbar();
    column->addWidget(toolbar_);

    errorLabel_ = textLabel(QString(), 10.5, QFont::Normal, ShimmerText::Design::standard, 1, this);
    errorLabel_->setObjectName(QStringLiteral("gitError"));
    errorLabel_->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }")
                                   .arg(Brand::palette()[2].name()));
    errorLabel_->setWordWrap(true);
    errorLabel_->setContentsMargins(12, 0, 12, 6);
    errorLabel_->hide();
    column->addWidget(errorLabel_);
    // Shown with the repository's page or without it: a git that could not answer is why
    // the panel may show an older state, or no repository at all.
    readErrorLabel_ = textLabel(QString(), 10.5, QFont::Normal, ShimmerText::Design::standard, 1, this);
    readErrorLabel_->setObjectName(QStringLiteral("gitReadError"));
    readErrorLabel_->setStyleSheet(errorLabel_->styleSheet());
    readErrorLabel_->setWordWrap(true);
    readErrorLabel_->setContentsMargins(12, 0, 12, 6);
    readErrorLabel_->hide();
    column->addWidget(readErrorLabel_);

    pages_ = new QStackedWidget(this);
    repositoryPage_ = buildRepositoryPage();
    emptyPage_ = buildEmptyPage();
    pages_->addWidget(repositoryPage_);
    pages_->addWidget(emptyPage_);
    column->addWidget(pages_, 1);

    GitService& git = app.git();
    connect(&git, &GitService::changed, this, &SourceControlPanel::follow);
    connect(&app, &AppState::rootNodeChanged, this, &SourceControlPanel::follow);
    follow();
}

QWidget* SourceControlPanel::buildHeader() {
    auto* header = new QWidget(this);
    header->setFixedHeight(38);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 0, 14, 0);
    row->setSpacing(8);
    row->addWidget(textLabel(QStringLiteral("SOURCE CONTROL"), 11, QFont::Bold, ShimmerText::Design::rounded, 0.5, header));
    row->addStretch(1);
    auto* refreshButton = new IconButton(IconButton::Kind::panel, QStringLiteral("arrow.clockwise"),
                                         QStringLiteral("Refresh"), header);
    connect(refreshButton, &QAbstractButton::clicked, this, &SourceControlPanel::refresh);
    row->addWidget(refreshButton);
    return header;
}

QWidget* SourceControlPanel::buildToolbar() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(10, 0, 10, 8);
    row->setSpacing(6);

    branchChip_ = new PressableButton(QStringLiteral("arrow.triangle.branch"), QString(), bar);
    branchChip_->setObjectName(QStringLiteral("branchChip"));
    branchChip_->label().font = ShimmerText::font(11, QFont::Medium, ShimmerText::Design::monospaced);
    branchChip_->label().spacing = 4;
    branchChip_->label().symbolBrush = QColor::fromRgbF(1, 1, 1, 0.8f);
    branchChip_->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.8f);
    branchChip_->setPadding(QMarginsF(8, 4, 8, 4));
    branchChip_->setBackground(QColor::fromRgbF(1, 1, 1, 0.07f), 10);
    // By Tab, not by a click: the keyboard's way to the branch list.
    branchChip_->setFocusPolicy(Qt::TabFocus);
    branchChip_->setMaximumWidth(130);
    connect(branchChip_, &QAbstractButton::clicked, this, &SourceControlPanel::openBranches);
    row->addWidget(branchChip_);
    row->addStretch(1);

    pullButton_ = new IconButton(IconButton::Kind::remote, QStringLiteral("arrow.down.circle"), QString(), bar);
    pushButton_ = new IconButton(IconButton::Kind::remote, QStringLiteral("arrow.up.circle"), QString(), bar);
    fetchButton_ = new IconButton(IconButton::Kind::remote, QStringLiteral("arrow.clockwise.circle"),
                                  QStringLiteral("Fetch"), bar);
    stashButton_ = new IconButton(IconButton::Kind::panel, QStringLiteral("tray.full"), QStringLiteral("Stash"), bar);
    connect(pullButton_, &QAbstractButton::clicked, this, &SourceControlPanel::pull);
    connect(pushButton_, &QAbstractButton::clicked, this, &SourceControlPanel::push);
    connect(fetchButton_, &QAbstractButton::clicked, this, &SourceControlPanel::fetch);
    connect(stashButton_, &QAbstractButton::clicked, this, &SourceControlPanel::showStashMenu);
    for (IconButton* b : {pullButton_, pushButton_, fetchButton_, stashButton_}) row->addWidget(b);
    return bar;
}

QWidget* SourceControlPanel::buildRepositoryPage() {
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    composer_ = new CommitComposer(*app_, page);
    column->addWidget(composer_);
    column->addWidget(divider(0.06, page));

    contentPages_ = new QStackedWidget(page);
    cleanState_ = new QWidget(contentPages_);
    auto* clean = new QVBoxLayout(cleanState_);
    clean->setContentsMargins(0, 28, 0, 28);
    clean->setSpacing(10);
    clean->addWidget(symbolLabel(QStringLiteral("checkmark.seal.fill"), 24, Brand::palette()[3], cleanState_));
    QLabel* cleanText = textLabel(QStringLiteral("Working tree clean"), 12, QFont::Medium,
                                  ShimmerText::Design::rounded, 0.6, cleanState_);
    cleanText->setAlignment(Qt::AlignCenter);
    clean->addWidget(cleanText);
    clean->addStretch(1);

    list_ = new ChangeListView(*app_, contentPages_);
    list_->setObjectName(QStringLiteral("changeList"));
    for (int section = 0; section < 3; ++section) list_->setHeader(ChangeListModel::Section(section), makeSectionHeader(section));
    list_->setResultHandler(reporter());
    list_->setFocusHome(composer_->editor());  // the next step after Stage All is the message

    contentPages_->addWidget(cleanState_);
    contentPages_->addWidget(list_);
    column->addWidget(contentPages_, 1);
    return page;
}

QWidget* SourceControlPanel::buildEmptyPage() {
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    column->addStretch(1);
    column->addWidget(symbolLabel(QStringLiteral("arrow.triangle.branch"), 26, QColor::fromRgbF(1, 1, 1, 0.35f), page));
    QLabel* text = textLabel(QStringLiteral("Not a Git repository"), 12, QFont::Medium, ShimmerText::Design::rounded,
                             0.55, page);
    text->setAlignment(Qt::AlignCenter);
    column->addWidget(text);
    auto* init = new GradientButton(QStringLiteral("Initialize Repository"), page);
    init->setObjectName(QStringLiteral("initRepository"));
    init->setBaseScale(0.8);
    connect(init, &QAbstractButton::clicked, this, &SourceControlPanel::initRepository);
    column->addWidget(init, 0, Qt::AlignHCenter);
    initButton_ = init;
    column->addStretch(1);
    return page;
}

QWidget* SourceControlPanel::sectionHeader(const QString& title, QLabel** count, const QList<IconButton*>& actions,
                                           QWidget* parent) {
    auto* header = new QWidget(parent);
    header->setFixedHeight(ChangeRowDelegate::kHeaderHeight);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 0, 12, 2);
    row->setSpacing(4);
    row->addWidget(textLabel(title.toUpper(), 10.5, QFont::Bold, ShimmerText::Design::rounded, 0.45, header));
    QLabel* badge = textLabel(QString(), 10, QFont::DemiBold, ShimmerText::Design::rounded, 0.85, header);
    *count = badge;
    badge->setStyleSheet(QStringLiteral("QLabel { color: rgba(255,255,255,217); background: rgba(255,255,255,26);"
                                        " border-radius: 7px; padding: 1px 5px; }"));
    row->addWidget(badge);
    row->addStretch(1);
    for (IconButton* action : actions) {
        action->setParent(header);
        row->addWidget(action);
    }
    return header;
}

QString SourceControlPanel::pullHelp(int behindBy) {
    return behindBy < 1 ? QStringLiteral("Pull") : QStringLiteral("Pull (↓%1)").arg(behindBy);
}

QString SourceControlPanel::pushHelp(int aheadBy) {
    return aheadBy < 1 ? QStringLiteral("Push") : QStringLiteral("Push (↑%1)").arg(aheadBy);
}

void SourceControlPanel::follow() {
    if (!app_) return;
    const GitService& git = app_->git();
    toolbar_->setVisible(git.isRepo());
    pages_->setCurrentWidget(git.isRepo() ? repositoryPage_ : emptyPage_);
    initButton_->setVisible(app_->rootNode() != nullptr);
    readErrorLabel_->setText(git.readError().value_or(QString()));
    readErrorLabel_->setVisible(git.readError().has_value());
    updateToolbar();
    rebuildLists();
}

void SourceControlPanel::updateToolbar() {
    const GitService& git = app_->git();
    branchChip_->setVisible(git.branch().has_value());
    if (git.branch()) {
        // A name too long for the chip loses its middle, keeping the start and the end that tell
        // branches apart; centred whole it would be cut off at both edges.
        SymbolLabel& label = branchChip_->label();
        const QString name = ProcessText::visibleName(*git.branch());
        const QFontMetricsF metrics(label.font);
        label.text = name;
        const qreal room = branchChip_->maximumWidth() - (branchChip_->sizeHint().width() - metrics.horizontalAdvance(name)) - 1;
        if (branchChip_->sizeHint().width() > branchChip_->maximumWidth())
            label.text = metrics.elidedText(name, Qt::ElideMiddle, std::max<qreal>(0, room));
        branchChip_->updateGeometry();
        branchChip_->update();
    }
    pullButton_->setToolTip(pullHelp(git.behindBy()));
    pushButton_->setToolTip(pushHelp(git.aheadBy()));
    // Disabled with the keys, a button passes them to the next control in line (the stash menu):
    // they come back when the command ends, unless the user took them elsewhere meanwhile.
    IconButton* hadKeys = nullptr;
    for (IconButton* b : {pullButton_, pushButton_, fetchButton_}) {
        if (!hadKeys && b->hasFocus()) hadKeys = b;
        b->setEnabled(!git.isNetworking());
    }
    if (git.isNetworking() && hadKeys) {
        keysBack_ = hadKeys;
        keysPassedTo_ = QApplication::focusWidget();
    } else if (!git.isNetworking() && keysBack_) {
        if (keysPassedTo_ && keysPassedTo_ == QApplication::focusWidget()) keysBack_->setFocus(Qt::OtherFocusReason);
        keysBack_ = nullptr;
    }
    stashButton_->setBadge(git.stashCount());
}

void SourceControlPanel::rebuildLists() {
    const QList<GitFileChange>& changes = app_->git().changes();
    // The lists going away with the keyboard in them (the last change committed, discarded or
    // stashed) leave it in the message field rather than wherever the window's order leads.
    QWidget* focus = QApplication::focusWidget();
    if (changes.isEmpty() && (focus == list_ || list_->isAncestorOf(focus))) composer_->editor()->setFocus(Qt::OtherFocusReason);
    contentPages_->setCurrentWidget(changes.isEmpty() ? cleanState_ : static_cast<QWidget*>(list_));
    list_->setChanges(changes);
    for (int section = 0; section < 3; ++section)
        sectionCounts_[size_t(section)]->setText(QString::number(list_->changes().count(ChangeListModel::Section(section))));
}

QWidget* SourceControlPanel::makeSectionHeader(int which) {
    using Section = ChangeListModel::Section;
    const auto section = Section(which);
    QList<IconButton*> actions;
    // Conflicts offer no Unstage: unstaging one would turn it into a plain modification that
    // still holds the markers.
    if (section == Section::staged) {
        auto* unstageAllButton = new IconButton(IconButton::Kind::panel, QStringLiteral("minus"), QStringLiteral("Unstage All"));
        connect(unstageAllButton, &QAbstractButton::clicked, this, &SourceControlPanel::unstageAll);
        actions << unstageAllButton;
    } else if (section == Section::changes) {
        auto* discardAllButton = new IconButton(IconButton::Kind::panel, QStringLiteral("arrow.uturn.backward"),
                                                QStringLiteral("Discard All Changes"));
        connect(discardAllButton, &QAbstractButton::clicked, this, &SourceControlPanel::confirmDiscardAll);
        auto* stageAllButton = new IconButton(IconButton::Kind::panel, QStringLiteral("plus"), QStringLiteral("Stage All Changes"));
        connect(stageAllButton, &QAbstractButton::clicked, this, &SourceControlPanel::stageAll);
        actions << discardAllButton << stageAllButton;
    }
    return sectionHeader(ChangeListModel::title(section), &sectionCounts_[size_t(which)], actions, list_->viewport());
}



QStringList SourceControlPanel::sectionTitles() const { return list_->changes().titles(); }

QString SourceControlPanel::contentState() const {
    if (pages_->currentWidget() == emptyPage_) return QStringLiteral("empty");
    return contentPages_->currentWidget() == cleanState_ ? QStringLiteral("clean") : QStringLiteral("changes");
}

QString SourceControlPanel::errorLine() const { return errorLabel_->isHidden() ? QString() : errorLabel_->text(); }

QString SourceControlPanel::readErrorLine() const {
    return readErrorLabel_->isHidden() ? QString() : readErrorLabel_->text();
}

IconButton* SourceControlPanel::button(const QString& help) const {
    for (IconButton* b : findChildren<IconButton*>())
        if (b->toolTip() == help && b->isVisibleTo(this)) return b;
    return nullptr;
}

std::function<void(bool)> SourceControlPanel::reporter() {
    return [self = QPointer<SourceControlPanel>(this)](bool ok) {
        if (self) self->showResult(ok);
    };
}

void SourceControlPanel::showResult(bool ok) {
    const std::optional<QString> line = ok || !app_ ? std::nullopt : app_->git().lastError();
    errorLabel_->setText(line.value_or(QString()));
    errorLabel_->setVisible(line.has_value());
}

void SourceControlPanel::refresh() {
    if (app_) app_->git().refresh();
}

void SourceControlPanel::pull() {
    if (app_) app_->git().pull({this, reporter()});
}

void SourceControlPanel::push() {
    if (app_) app_->git().push({this, reporter()});
}

void SourceControlPanel::fetch() {
    if (app_) app_->git().fetch({this, reporter()});
}

QStringList SourceControlPanel::stashMenuItems() const {
    QStringList items{QStringLiteral("Stash Changes…")};
    if (app_ && app_->git().stashCount() > 0) items << QStringLiteral("Pop Latest Stash");
    return items;
}

void SourceControlPanel::showStashMenu() {
    // Not run in a loop of its own, which would outlast the panel if the window let it go meanwhile.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const QString& item : stashMenuItems()) {
        menu->addAction(item, this, item == QLatin1String("Pop Latest Stash") ? &SourceControlPanel::popStash
                                                                              : &SourceControlPanel::promptStash);
    }
    menu->popup(stashButton_->mapToGlobal(QPoint(0, stashButton_->height())));
}

void SourceControlPanel::promptStash() {
    if (!app_) return;
    TextPrompt prompt;
    prompt.title = QStringLiteral("Stash Changes");
    prompt.placeholder = QStringLiteral("Optional message");
    prompt.confirmButton = QStringLiteral("Stash");
    prompt.cancelButton = QStringLiteral("Cancel");
    const std::optional<QString> text = Prompter::current().askText(prompt);
    if (!text || !app_) return;
    app_->git().stash(*text, {this, reporter()});
}

void SourceControlPanel::popStash() {
    if (app_) app_->git().stashPop({this, reporter()});
}

void SourceControlPanel::unstageAll() {
    if (app_) app_->git().unstageAll({this, reporter()});
}

void SourceControlPanel::stageAll() {
    if (app_) app_->git().stageAll({this, reporter()});
}

void SourceControlPanel::confirmDiscardAll() {
    if (!app_) return;
    Alert alert;
    alert.title = QStringLiteral("Discard all unstaged changes?");
    alert.message = QStringLiteral("This will permanently throw away every modification not yet staged.");
    alert.buttons = {QStringLiteral("Discard All"), QStringLiteral("Cancel")};
    alert.warning = true;
    if (Prompter::current().ask(alert) != 0 || !app_) return;
    app_->git().discardAll({this, reporter()});
}

void SourceControlPanel::initRepository() {
    if (app_) app_->git().initRepo({this, reporter()});
}

void SourceControlPanel::openBranches() {
    if (app_) BranchPopover::show(*app_, branchChip_);
}

void SourceControlPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The tool setting may have changed while the panel was away.
    AIService::resolveBackend({composer_, [composer = composer_](std::optional<AIBackend> backend) {
        composer->setBackend(backend);
    }});
}

void SourceControlPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.25f));
}
