#include "Views/Workbench/FileExplorerView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "AppState.h"
#include "Git/ProcessText.h"
#include "UI/Brand.h"
#include "UI/ContextMenu.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"
#include "Views/Workbench/FileRow.h"
#include "Views/Workbench/FileRowDelegate.h"
#include "Views/Workbench/FileTreeModel.h"

namespace {
QString white(qreal alpha) {
    return QStringLiteral("QLabel { color: rgba(255, 255, 255, %1); background: transparent; }").arg(int(alpha * 255));
}
} // namespace

FileExplorerView::FileExplorerView(AppState& app, QWidget* parent)
    : QWidget(parent), app_(&app), model_(new FileTreeModel(app, this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget(this);
    header->setFixedHeight(38);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(14, 0, 14, 0);
    title_ = new QLabel(header);
    title_->setObjectName(QStringLiteral("explorerTitle"));
    title_->setFont(ShimmerText::font(11, QFont::Bold, ShimmerText::Design::rounded));
    title_->setStyleSheet(white(0.5));
    headerRow->addWidget(title_, 1);
    auto* open = new PressableButton(QStringLiteral("folder"), QString(), header);
    open->setObjectName(QStringLiteral("openFolder"));
    open->label().font = ShimmerText::font(12, QFont::DemiBold, ShimmerText::Design::standard);
    open->label().symbolBrush = QColor::fromRgbF(1, 1, 1, 0.5f);
    open->setToolTip(QStringLiteral("Open Folder"));
    open->setFocusPolicy(Qt::NoFocus);
    connect(open, &QAbstractButton::clicked, this, [this] {
        if (app_) app_->promptOpenFolder();
    });
    headerRow->addWidget(open);
    column->addWidget(header);

    auto* body = new QWidget(this);
    pages_ = new QStackedLayout(body);
    list_ = new QListView(body);
    list_->setModel(model_);
    list_->setItemDelegate(new FileRowDelegate(list_));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setContentsMargins(6, 6, 6, 6);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setUniformItemSizes(true);
    list_->setMouseTracking(true);
    list_->viewport()->setAttribute(Qt::WA_Hover);
    list_->setFocusPolicy(Qt::StrongFocus);
    list_->installEventFilter(this);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setStyleSheet(QStringLiteral("QListView { background: transparent; border: none; }"));
    list_->viewport()->setAutoFillBackground(false);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) {
        activate(index.row());
    });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = list_->indexAt(at);
        if (auto menu = menuFor(index)) menu->exec(list_->viewport()->mapToGlobal(at));
    });
    // Rows come and go above the top one in a burst of changes on disk: the entry at the top stays there.
    connect(model_, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { top_ = list_->indexAt(QPoint(1, 1)); });
    connect(model_, &QAbstractItemModel::layoutChanged, this, [this] {
        if (top_.isValid()) list_->scrollTo(top_, QAbstractItemView::PositionAtTop);
        top_ = QPersistentModelIndex();
    });
    pages_->addWidget(list_);
    empty_ = emptyState();
    pages_->addWidget(empty_);
    column->addWidget(body, 1);

    connect(app_, &AppState::rootNodeChanged, this, &FileExplorerView::sync);
    // What the rows show changes with the documents and the active one (after a file operation);
    // an overlay, the find bar or a response coming or going leaves them as they are.
    for (auto signal : {&AppState::documentsChanged, &AppState::activeDocumentIdChanged})
        connect(app_, signal, list_->viewport(), qOverload<>(&QWidget::update));
    sync();
}

QWidget* FileExplorerView::emptyState() {
    auto* state = new QWidget(this);
    auto* column = new QVBoxLayout(state);
    column->setSpacing(14);
    column->addStretch(1);
    auto* symbol = new QLabel(state);
    const int side = Icons::sizeForPointSize(30);
    const QImage image = Icons::image(QStringLiteral("folder.badge.plus"), side, Brand::gradient(QRectF(0, 0, side, side)), 2);
    symbol->setPixmap(QPixmap::fromImage(image));
    column->addWidget(symbol, 0, Qt::AlignHCenter);
    auto* none = new QLabel(QStringLiteral("No folder open"), state);
    none->setFont(ShimmerText::font(12, QFont::Medium, ShimmerText::Design::rounded));
    none->setStyleSheet(white(0.6));
    column->addWidget(none, 0, Qt::AlignHCenter);
    auto* open = new GradientButton(QStringLiteral("Open Folder"), state);
    open->setObjectName(QStringLiteral("emptyOpenFolder"));
    open->setBaseScale(0.85);
    connect(open, &QAbstractButton::clicked, this, [this] {
        if (app_) app_->promptOpenFolder();
    });
    column->addWidget(open, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return state;
}

bool FileExplorerView::showsEmptyState() const { return pages_->currentWidget() == empty_; }

FileRow FileExplorerView::row(int index) const { return FileRow(model_->node(index), model_->depth(index), *app_); }

void FileExplorerView::sync() {
    const FileNode::Ptr root = app_ ? app_->rootNode() : nullptr;
    title_->setText(root ? ProcessText::visibleName(root->name()).toUpper() : QStringLiteral("EXPLORER"));
    pages_->setCurrentWidget(root ? static_cast<QWidget*>(list_) : empty_);
}

void FileExplorerView::activate(int index) {
    const FileNode::Ptr node = model_->node(index);
    if (!node) return;
    row(index).activate();
    if (!node->isDirectory()) emit editorWanted();
}

bool FileExplorerView::handleKey(int key) {
    const int current = list_->currentIndex().isValid() ? list_->currentIndex().row() : -1;
    const FileNode::Ptr node = model_->node(current);
    const auto moveTo = [this](int index) {
        if (index >= 0 && index < model_->rowCount()) list_->setCurrentIndex(model_->index(index, 0));
    };
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        activate(current);
        return true;
    case Qt::Key_Escape:
        emit editorWanted();
        return true;
    case Qt::Key_Right:
        // A shut folder opens; an open one leads to its first entry.
        if (node && node->isDirectory()) {
            if (!node->isExpanded()) activate(current);
            else if (model_->depth(current + 1) > model_->depth(current)) moveTo(current + 1);
        }
        return true;
    case Qt::Key_Left:
        // An open folder shuts; anything else leads to the folder it is in.
        if (node && node->isDirectory() && node->isExpanded()) {
            activate(current);
        } else if (node) {
            int up = current - 1;
            while (up >= 0 && model_->depth(up) >= model_->depth(current)) --up;
            moveTo(up);
        }
        return true;
    default: return false;
    }
}

bool FileExplorerView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && handleKey(key->key()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FileExplorerView::mousePressEvent(QMouseEvent* event) {
    // A click anywhere in the explorer, not only on a row, gives its list the keyboard.
    if (pages_->currentWidget() == list_) list_->setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

std::unique_ptr<QMenu> FileExplorerView::menuFor(const QModelIndex& index) {
    if (!index.isValid() || !model_->node(index.row())) return nullptr;
    // No parent: a style sheet of the explorer would otherwise decide the items' colours.
    auto menu = std::make_unique<ContextMenu>();
    // Each action works on the row as it was when the menu opened, even if the list changes meanwhile.
    FileRow target = row(index.row());
    const auto add = [&](const QString& text, void (*act)(FileRow&)) {
        QAction* action = menu->addAction(text);
        connect(action, &QAction::triggered, this, [target, act]() mutable { act(target); });
        return action;
    };
    if (target.node()->isDirectory()) {
        add(QStringLiteral("New File…"), [](FileRow& r) { r.createEntry(false); });
        add(QStringLiteral("New Folder…"), [](FileRow& r) { r.createEntry(true); });
        menu->addSeparator();
    }
    add(QStringLiteral("Rename…"), [](FileRow& r) { r.rename(); });
    add(QStringLiteral("Reveal in Finder"), [](FileRow& r) { r.revealInFileViewer(); });
    add(QStringLiteral("Copy Path"), [](FileRow& r) { r.copyPath(); });
    menu->addSeparator();
    ContextMenu::setDestructive(add(QStringLiteral("Delete"), [](FileRow& r) { r.remove(); }));
    return menu;
}

void FileExplorerView::showEvent(QShowEvent* event) {
    if (app_) app_->refreshUnwatched();
    QWidget::showEvent(event);
}

void FileExplorerView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.25f));
}
