#include "Views/RootView.h"

#include <QApplication>

#include "Views/HTTP/RequestCollectionsPanel.h"
#include "Views/Navigation/CommandPaletteView.h"
#include "Views/Navigation/OverlayParts.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/Navigation/QuickOpenView.h"
#include "Views/SourceControl/SourceControlPanel.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "AppState.h"
#include "MenuCommands.h"
#include "Platform/FileChooser.h"
#include "Platform/NotificationCenter.h"
#include "UI/AuroraBackground.h"
#include "UI/FocusChain.h"
#include "UI/LayerCache.h"
#include "UI/SteadyWidgetItem.h"
#include "UI/StatusDot.h"
#include "Views/ActiveWindowTracker.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/EditorTabBarView.h"
#include "Views/FindBar.h"
#include "Views/GoToLineView.h"
#include "Views/OverlayTransition.h"
#include "Views/Workbench/ActivityBar.h"
#include "Views/Workbench/FileExplorerView.h"
#include "Views/Workbench/SidebarSlot.h"
#include "Views/Workbench/StatusBarView.h"
#include "Views/Workbench/WhatsNewView.h"

namespace {

// A plain widget that paints one colour (with alpha) over whatever lies behind it.
class Tinted : public QWidget {
public:
    Tinted(const QColor& colour, QWidget* parent) : QWidget(parent), colour_(colour) {}

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

private:
    QColor colour_;
};

// --- Seams: where the panels and overlays of the neighbouring views are made.

QWidget* makeSourceControlPanel(AppState& app, QWidget* parent) { return new SourceControlPanel(app, parent); }

QWidget* makeApiPanel(AppState& app, QWidget* parent) { return new RequestCollectionsPanel(app, parent); }

QWidget* makeCommandPalette(AppState& app, QWidget* parent) { return new CommandPaletteView(app, parent); }

QWidget* makeQuickOpen(AppState& app, QWidget* parent) { return new QuickOpenView(app, parent); }

QWidget* makeProjectSearch(AppState& app, QWidget* parent) { return new ProjectSearchView(app, parent); }

QWidget* makeSidebarPanel(SidebarPanel panel, AppState& app, QWidget* parent) {
    switch (panel) {
    case SidebarPanel::explorer: return new FileExplorerView(app, parent);
    case SidebarPanel::sourceControl: return makeSourceControlPanel(app, parent);
    case SidebarPanel::api: return makeApiPanel(app, parent);
    }
    return nullptr;
}

struct OverlayKind {
    bool (AppState::*isOpen)() const;
    QWidget* (*make)(AppState&, QWidget*);
};

const std::array<OverlayKind, 4>& overlayKinds() {
    static const std::array<OverlayKind, 4> kinds{{
        {&AppState::paletteOpen, makeCommandPalette},
        {&AppState::quickOpenOpen, makeQuickOpen},
        {&AppState::goToLineOpen, [](AppState& app, QWidget* parent) -> QWidget* { return new GoToLineView(&app, parent); }},
        {&AppState::projectSearchOpen, makeProjectSearch},
    }};
    return kinds;
}

const char* kPanelProperty = "sidebarPanel";

} // namespace

RootView::RootView(AppState& app, OpenWindowAction openWindow, QWidget* parent)
    : QWidget(parent), app_(&app), openWindow_(std::move(openWindow)), aurora_(new AuroraBackground(0.5, this)) {
    ActiveWindowTracker::shared().add(this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    activityBar_ = new ActivityBar(app, this);
    SteadyWidgetItem::add(row, activityBar_);
    sidebarSlot_ = new SidebarSlot(this);
    SteadyWidgetItem::add(row, sidebarSlot_);

    column_ = new Tinted(QColor::fromRgbF(0, 0, 0, 0.35f), this);
    auto* columnLayout = new QVBoxLayout(column_);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(0);
    tabBar_ = new EditorTabBarView(app_, column_);
    SteadyWidgetItem::add(columnLayout, tabBar_);
    auto* divider = new Tinted(QColor::fromRgbF(1, 1, 1, 0.09f), column_);
    divider->setFixedHeight(1);
    columnLayout->addWidget(divider);
    editorArea_ = new QWidget(column_);
    auto* area = new QVBoxLayout(editorArea_);
    area->setContentsMargins(0, 0, 0, 0);
    pane_ = new EditorPaneView(app_, editorArea_);
    area->addWidget(pane_);
    columnLayout->addWidget(editorArea_, 1);
    statusBar_ = new StatusBarView(app, column_);
    columnLayout->addWidget(statusBar_);
    row->addWidget(column_, 1);

    aurora_->setGround(Qt::black);
    aurora_->lower();
    // The backdrop moves under these panels at every frame; what they show changes only now and then.
    for (QWidget* panel : std::initializer_list<QWidget*>{activityBar_, sidebarSlot_, tabBar_})
        panel->setGraphicsEffect(new LayerCache(panel));

    connect(&NotificationCenter::shared(), &NotificationCenter::posted, this, [this](const QString& name) {
        if (isCommandTarget()) handle(name);
    });
    connect(app_, &AppState::overlaysChanged, this, &RootView::syncOverlays);
    connect(app_, &AppState::sidebarChanged, this, &RootView::syncSidebar);
    connect(app_, &AppState::whatsNewChanged, this, &RootView::syncWhatsNew);
    syncSidebar();
    syncOverlays();
}

AppState* RootView::app() const { return app_.data(); }
FindBar* RootView::findBar() const { return findBar_.data(); }
QWidget* RootView::overlay(Overlay which) const { return overlays_[size_t(which)].data(); }
GoToLineView* RootView::goToLine() const { return qobject_cast<GoToLineView*>(overlay(Overlay::goToLine)); }
WhatsNewView* RootView::whatsNewSheet() const { return whatsNewSheet_.data(); }
FileExplorerView* RootView::explorer() const { return qobject_cast<FileExplorerView*>(sidebarSlot_->panel()); }

bool RootView::isCommandTarget() const { return ActiveWindowTracker::shared().current() == window(); }

void RootView::handle(const QString& name) {
    if (!app_) return;
    AppState& app = *app_;
    if (name == MenuNotification::palette) {
        app.setPaletteOpen(!app.paletteOpen());
    } else if (name == MenuNotification::quickOpen) {
        app.setQuickOpenOpen(!app.quickOpenOpen());
    } else if (name == MenuNotification::find) {
        app.setFindOpen(!app.findOpen());
    } else if (name == MenuNotification::newFile) {
        app.newUntitled();
    } else if (name == MenuNotification::openFolder) {
        openProject();
    } else if (name == MenuNotification::save) {
        if (EditorDocument* doc = app.activeDocument()) app.save(doc, true);
    } else if (name == MenuNotification::closeTab) {
        if (EditorDocument* doc = app.activeDocument()) app.close(doc);
    } else if (name == MenuNotification::toggleComment) {
        if (EditorActions* editor = app.editorController().actions()) editor->toggleComment();
    } else if (name == MenuNotification::goToLine) {
        if (app.activeDocument()) app.setGoToLineOpen(true);
        // Already open: its field takes the keyboard again.
        if (GoToLineView* box = goToLine()) box->focusField();
    } else if (name == MenuNotification::nextTab) {
        app.cycleTab(1);
    } else if (name == MenuNotification::prevTab) {
        app.cycleTab(-1);
    } else if (name == MenuNotification::projectSearch) {
        if (app.rootNode()) app.setProjectSearchOpen(!app.projectSearchOpen());
    } else if (name == MenuNotification::whatsNew) {
        const auto entry = WhatsNew::entry(AppInfo::version());
        if (entry) app.setWhatsNew(entry);
        else if (!WhatsNew::all().isEmpty()) app.setWhatsNew(WhatsNew::all().first());
    }
}

void RootView::closeFind() {
    if (!app_) return;
    app_->setFindOpen(false);
    app_->findState().setQuery(QString());
}

void RootView::openProject() {
    ChooserRequest request;
    request.prompt = QStringLiteral("Open Folder");
    const auto folder = FileChooser::current().chooseFolder(request);
    if (!folder || !app_) return;
    if (app_->rootNode()) {
        if (openWindow_) openWindow_(*folder);
    } else {
        app_->openFolder(*folder);
    }
}

void RootView::syncSidebar() {
    if (!app_) return;
    const auto wanted = app_->sidebar();
    if (!wanted) {
        sidebarSlot_->setPanel(nullptr);
        return;
    }
    QWidget* shown = sidebarSlot_->panel();
    if (shown && shown->property(kPanelProperty).toString() == SidebarPanels::rawValue(*wanted)) return;
    QWidget* panel = makeSidebarPanel(*wanted, *app_, sidebarSlot_);
    panel->setProperty(kPanelProperty, SidebarPanels::rawValue(*wanted));
    if (auto* explorer = qobject_cast<FileExplorerView*>(panel))
        connect(explorer, &FileExplorerView::editorWanted, this, &RootView::focusEditor);
    sidebarSlot_->setPanel(panel);
}

void RootView::syncOverlays() {
    if (!app_) return;
    syncFindBar();
    bool focusLeft = false;
    QPointer<QWidget> focusBack;  // where an overlay put away unused hands the keyboard back
    for (size_t i = 0; i < overlays_.size(); ++i) {
        QPointer<QWidget>& slot = overlays_[i];
        const bool open = (app_.data()->*overlayKinds()[i].isOpen)();
        if (open && !slot) {
            focusBefore_[i] = focusWidget();
            slot = overlayKinds()[i].make(*app_, this);
            slot->setGeometry(rect());
            OverlayTransition::enter(slot, OverlayTransition::Kind::scale);
        } else if (!open && slot) {
            if (slot->isAncestorOf(focusWidget()) || slot->hasFocus()) {
                focusLeft = true;
                if (OverlayParts::wasDismissed(slot)) focusBack = focusBefore_[i];
            }
            focusBefore_[i] = nullptr;
            OverlayTransition::leave(slot.data(), OverlayTransition::Kind::scale);
            slot = nullptr;
        }
    }
    // Later overlays stay on top of earlier ones, whichever opened first.
    for (const QPointer<QWidget>& slot : overlays_)
        if (slot) slot->raise();
    const bool anyOpen = std::any_of(overlays_.begin(), overlays_.end(), [](const auto& slot) { return !slot.isNull(); });
    // Dimmed under an overlay, the backdrop's drift and the status light's pulse cannot be told
    // from still pictures; each of their frames would repaint the overlay and what lies under it.
    aurora_->setResting(anyOpen);
    for (StatusDot* dot : statusBar_->findChildren<StatusDot*>()) dot->setResting(anyOpen);
    if (focusLeft && !anyOpen) {
        // Only to a control still there to type into (a panel may have been hidden meanwhile).
        if (focusBack && focusBack->isVisible() && focusBack->isEnabled() && focusBack->focusPolicy() != Qt::NoFocus)
            focusBack->setFocus(Qt::OtherFocusReason);
        else focusEditor();
    }
}

void RootView::syncFindBar() {
    if (app_->findOpen() && !findBar_) {
        findBar_ = new FindBar(&app_->findState(), [this] { closeFind(); }, editorArea_);
        placeFindBarInTabOrder();
        findBar_->raise();
        OverlayTransition::enter(findBar_, OverlayTransition::Kind::moveFromTop);
    } else if (!app_->findOpen() && findBar_) {
        const bool hadFocus = findBar_->isAncestorOf(focusWidget());
        OverlayTransition::leave(findBar_.data(), OverlayTransition::Kind::moveFromTop);
        findBar_ = nullptr;
        if (hadFocus) focusEditor();
    }
}

void RootView::placeFindBarInTabOrder() {
    // Made last, the bar would come last in the Tab order, and Tab from it would go round to the
    // rail: it stands where it is seen, before the text it searches. Bars still on their way out
    // are no place to stand by.
    QWidget* text = nullptr;
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
        if (editorArea_->isAncestorOf(w) && !FindBar::holds(w) && FocusChain::takesTab(w)) {
            text = w;
            break;
        }
    if (!text) return;
    QWidget* before = text->previousInFocusChain();
    while (before && before != text && (FindBar::holds(before) || !FocusChain::takesTab(before))) before = before->previousInFocusChain();
    if (before && before != text) FocusChain::placeAfter(before, findBar_);
}

void RootView::syncWhatsNew() {
    if (!app_) return;
    const auto& entry = app_->whatsNew();
    if (whatsNewSheet_ && (!entry || whatsNewSheet_->entry().version != entry->version)) {
        WhatsNewView* old = whatsNewSheet_;
        whatsNewSheet_ = nullptr;  // before closing, so its finish does not clear the new entry
        old->close();
    }
    if (!entry || whatsNewSheet_) return;
    whatsNewSheet_ = new WhatsNewView(*entry, this);
    whatsNewSheet_->setAttribute(Qt::WA_DeleteOnClose);
    whatsNewSheet_->setWindowModality(Qt::WindowModal);
    WhatsNewView* sheet = whatsNewSheet_;
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        if (whatsNewSheet_ == sheet && app_) {
            whatsNewSheet_ = nullptr;
            app_->setWhatsNew(std::nullopt);
        }
    });
    sheet->open();
}

void RootView::focusEditor() {
    if (CodeEditorView* editor = pane_->editor()) editor->setFocus(Qt::OtherFocusReason);
    else pane_->setFocus(Qt::OtherFocusReason);
}

QWidget* RootView::frontOverlay() const {
    for (auto it = overlays_.crbegin(); it != overlays_.crend(); ++it)
        if (*it) return it->data();
    return nullptr;
}

bool RootView::focusNextPrevChild(bool next) {
    QWidget* front = frontOverlay();
    if (!front) return QWidget::focusNextPrevChild(next);
    // The window's focus chain (a ring through every widget of the window), kept to the overlay's
    // controls that Tab may land on.
    QList<QWidget*> chain;
    for (QWidget* w = front->nextInFocusChain(); w && w != front; w = w->nextInFocusChain())
        if (front->isAncestorOf(w) && FocusChain::takesTab(w) && w->isEnabled() &&
            w->isVisibleTo(front) && !w->focusProxy())
            chain.append(w);
    if (chain.isEmpty()) return true;  // nothing to move to: the focus stays where it is
    const qsizetype at = chain.indexOf(QApplication::focusWidget());
    const qsizetype count = chain.size();
    const qsizetype to = at < 0 ? (next ? 0 : count - 1) : ((at + (next ? 1 : -1)) % count + count) % count;
    chain[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void RootView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    aurora_->setGeometry(rect());
    for (const QPointer<QWidget>& slot : overlays_)
        if (slot) slot->setGeometry(rect());
}

void RootView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (std::exchange(appeared_, true) || !app_) return;
    // Left alone, the window would give its first keys to the first button of the rail.
    if (!window()->focusWidget()) focusEditor();
    app_->checkWhatsNew();
    syncWhatsNew();
}
