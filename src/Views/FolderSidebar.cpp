#include "Views/FolderSidebar.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "AppState.h"
#include "Editor/CodeLanguage.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"

namespace {
constexpr int kFilledRole = Qt::UserRole + 1;

QLabel* caption(const QString& text, qreal points, QFont::Weight weight, qreal alpha, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(ShimmerText::font(points, weight, ShimmerText::Design::standard));
    label->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, %1); background: transparent; }")
                             .arg(int(alpha * 255)));
    return label;
}
} // namespace

FolderSidebar::FolderSidebar(AppState* app, QWidget* parent)
    : QWidget(parent), app_(app), pages_(new QStackedLayout(this)), emptyPage_(new QWidget(this)),
      folderPage_(new QWidget(this)), tree_(new QTreeWidget(folderPage_)) {
    setFixedWidth(kWidth);

    // Without a folder: a line of text and the way to open one.
    auto* empty = new QVBoxLayout(emptyPage_);
    empty->setContentsMargins(24, 24, 24, 24);
    empty->setSpacing(14);
    empty->addStretch(1);
    QLabel* none = caption(QStringLiteral("No folder open"), 13, QFont::DemiBold, 0.8, emptyPage_);
    none->setAlignment(Qt::AlignCenter);
    empty->addWidget(none);
    auto* open = new GradientButton(QStringLiteral("folder"), QStringLiteral("Open Folder"), emptyPage_);
    open->setObjectName(QStringLiteral("openFolder"));
    connect(open, &QAbstractButton::clicked, this, [this] {
        if (app_) app_->promptOpenFolder();
    });
    empty->addWidget(open, 0, Qt::AlignHCenter);
    empty->addStretch(2);

    // With a folder: its name and the tree.
    auto* column = new QVBoxLayout(folderPage_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 0, 10, 0);
    header->setSpacing(8);
    title_ = caption(QString(), 11, QFont::Bold, 0.55, folderPage_);
    header->addWidget(title_, 1);
    auto* another = new PressableButton(QStringLiteral("folder.badge.plus"), QString(), folderPage_);
    another->setObjectName(QStringLiteral("openAnotherFolder"));
    another->setToolTip(QStringLiteral("Open Folder…"));
    another->label().font = ShimmerText::font(12, QFont::Medium, ShimmerText::Design::standard);
    another->label().symbolBrush = QColor::fromRgbF(1, 1, 1, 0.6f);
    another->setPadding(QMarginsF(4, 4, 4, 4));
    another->setFocusPolicy(Qt::NoFocus);
    connect(another, &QAbstractButton::clicked, this, [this] {
        if (app_) app_->promptOpenFolder();
    });
    header->addWidget(another);
    auto* headerBox = new QWidget(folderPage_);
    headerBox->setFixedHeight(40);
    headerBox->setLayout(header);
    column->addWidget(headerBox);

    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setFrameShape(QFrame::NoFrame);
    tree_->setIndentation(14);
    tree_->setIconSize(QSize(14, 14));
    tree_->setUniformRowHeights(true);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tree_->setFont(ShimmerText::font(13, QFont::Normal, ShimmerText::Design::standard));
    tree_->setStyleSheet(QStringLiteral(
        "QTreeWidget { background: transparent; border: none; color: rgba(255, 255, 255, 205); outline: 0; }"
        "QTreeWidget::item { height: 24px; border-radius: 6px; }"
        "QTreeWidget::item:hover { background: rgba(255, 255, 255, 12); }"
        "QTreeWidget::item:selected { background: rgba(140, 107, 255, 52); color: white; }"));
    tree_->viewport()->setAutoFillBackground(false);
    column->addWidget(tree_, 1);

    pages_->addWidget(emptyPage_);
    pages_->addWidget(folderPage_);

    connect(tree_, &QTreeWidget::itemExpanded, this, &FolderSidebar::expanded);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &FolderSidebar::collapsed);
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { chosen(item); });
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { chosen(item); });
    if (app_) connect(app_, &AppState::rootNodeChanged, this, &FolderSidebar::refresh);
    refresh();
}

QTreeWidgetItem* FolderSidebar::makeItem(const FileNode::Ptr& node) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, node->name());
    item->setData(0, Qt::UserRole, node->url());
    item->setToolTip(0, node->url());
    if (node->isDirectory()) {
        item->setIcon(0, Icons::icon(QStringLiteral("folder"), QColor::fromRgbF(0.55f, 0.6f, 0.75f)));
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    } else {
        const CodeLanguage language = CodeLanguages::detect(node->name());
        item->setIcon(0, Icons::icon(CodeLanguages::icon(language), CodeLanguages::tint(language)));
    }
    nodes_.insert(item, node);
    return item;
}

void FolderSidebar::fill(QTreeWidgetItem* item, const FileNode::Ptr& node) {
    item->setData(0, kFilledRole, true);
    if (!node->children()) return;
    for (const FileNode::Ptr& child : *node->children()) {
        QTreeWidgetItem* row = makeItem(child);
        item->addChild(row);
        if (child->isDirectory() && child->isLoaded() && child->isExpanded()) {
            fill(row, child);
            row->setExpanded(true);
        }
    }
    if (node->children()->isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void FolderSidebar::refresh() {
    const FileNode::Ptr root = app_ ? app_->rootNode() : nullptr;
    pages_->setCurrentWidget(root ? folderPage_ : emptyPage_);
    const int scroll = tree_->verticalScrollBar()->value();
    filling_ = true;
    tree_->clear();
    nodes_.clear();
    if (root) {
        title_->setText(root->name().toUpper());
        title_->setToolTip(root->url());
        root->loadChildren();
        auto* invisible = tree_->invisibleRootItem();
        nodes_.insert(invisible, root);
        fill(invisible, root);
    }
    filling_ = false;
    tree_->verticalScrollBar()->setValue(scroll);
}

QTreeWidgetItem* FolderSidebar::itemFor(const QString& path) const {
    for (auto it = nodes_.cbegin(); it != nodes_.cend(); ++it)
        if (it.key() != tree_->invisibleRootItem() && it.value()->url() == path) return it.key();
    return nullptr;
}

void FolderSidebar::expanded(QTreeWidgetItem* item) {
    if (filling_) return;
    const FileNode::Ptr node = nodes_.value(item);
    if (!node) return;
    node->loadChildren();
    node->setIsExpanded(true);
    if (!item->data(0, kFilledRole).toBool()) fill(item, node);
}

void FolderSidebar::collapsed(QTreeWidgetItem* item) {
    if (filling_) return;
    if (const FileNode::Ptr node = nodes_.value(item)) node->setIsExpanded(false);
}

void FolderSidebar::chosen(QTreeWidgetItem* item) {
    const FileNode::Ptr node = nodes_.value(item);
    if (!node || !app_) return;
    if (node->isDirectory()) return;  // the arrow (or a double click) expands it
    app_->open(node->url());
}

void FolderSidebar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.25f));
    p.fillRect(QRect(width() - 1, 0, 1, height()), QColor::fromRgbF(1, 1, 1, 0.06f));
}
