#include "Views/RootView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "AppState.h"
#include "MenuCommands.h"
#include "Platform/FileChooser.h"
#include "Platform/NotificationCenter.h"
#include "UI/AuroraBackground.h"
#include "Views/ActiveWindowTracker.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/EditorTabBarView.h"
#include "Views/FindBar.h"
#include "Views/FolderSidebar.h"
#include "Views/GoToLineView.h"
#include "Views/OverlayTransition.h"

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

} // namespace

RootView::RootView(AppState& app, OpenWindowAction openWindow, QWidget* parent)
    : QWidget(parent), app_(&app), openWindow_(std::move(openWindow)), aurora_(new AuroraBackground(0.5, this)) {
    ActiveWindowTracker::shared().add(this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    // The activity bar will stand first in this row.
    sidebar_ = new FolderSidebar(app_, this);
    row->addWidget(sidebar_);

    column_ = new Tinted(QColor::fromRgbF(0, 0, 0, 0.35f), this);
    columnLayout_ = new QVBoxLayout(column_);
    columnLayout_->setContentsMargins(0, 0, 0, 0);
    columnLayout_->setSpacing(0);
    tabBar_ = new EditorTabBarView(app_, column_);
    columnLayout_->addWidget(tabBar_);
    auto* divider = new Tinted(QColor::fromRgbF(1, 1, 1, 0.09f), column_);
    divider->setFixedHeight(1);
    columnLayout_->addWidget(divider);
    editorArea_ = new QWidget(column_);
    auto* area = new QVBoxLayout(editorArea_);
    area->setContentsMargins(0, 0, 0, 0);
    pane_ = new EditorPaneView(app_, editorArea_);
    area->addWidget(pane_);
    columnLayout_->addWidget(editorArea_, 1);
    // The status bar will close the column.
    row->addWidget(column_, 1);

    aurora_->lower();

    connect(&NotificationCenter::shared(), &NotificationCenter::posted, this, [this](const QString& name) {
        if (isCommandTarget()) handle(name);
    });
    connect(app_, &AppState::overlaysChanged, this, &RootView::syncOverlays);
    connect(app_, &AppState::sidebarChanged, this, &RootView::syncSidebar);
    syncSidebar();
    syncOverlays();
}

AppState* RootView::app() const { return app_.data(); }
FindBar* RootView::findBar() const { return findBar_.data(); }
GoToLineView* RootView::goToLine() const { return goToLine_.data(); }

bool RootView::isCommandTarget() const {
    return ActiveWindowTracker::shared().current() == window();
}

void RootView::handle(const QString& name) {
    if (!app_) return;
    AppState& app = *app_;
    if (name == MenuNotification::find) {
        app.setFindOpen(!app.findOpen());
    } else if (name == MenuNotification::newFile) {
        app.newUntitled();
    } else if (name == MenuNotification::openFolder) {
        openProject();
    } else if (name == MenuNotification::save) {
        if (EditorDocument* doc = app.activeDocument()) app.save(doc);
    } else if (name == MenuNotification::closeTab) {
        if (EditorDocument* doc = app.activeDocument()) app.close(doc);
    } else if (name == MenuNotification::toggleComment) {
        if (EditorActions* editor = app.editorController().actions()) editor->toggleComment();
    } else if (name == MenuNotification::goToLine) {
        if (app.activeDocument()) app.setGoToLineOpen(true);
    } else if (name == MenuNotification::nextTab) {
        app.cycleTab(1);
    } else if (name == MenuNotification::prevTab) {
        app.cycleTab(-1);
    } else if (name == MenuNotification::whatsNew) {
        const auto entry = WhatsNew::entry(AppInfo::version());
        if (entry) app.setWhatsNew(entry);
        else if (!WhatsNew::all().isEmpty()) app.setWhatsNew(WhatsNew::all().first());
    }
    // The palette, quick open and project search answer here once they exist.
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
    sidebar_->setVisible(app_ && app_->sidebar() == SidebarPanel::explorer);
}

void RootView::syncOverlays() {
    if (!app_) return;
    if (app_->findOpen() && !findBar_) {
        findBar_ = new FindBar(&app_->findState(), [this] { closeFind(); }, editorArea_);
        findBar_->raise();
        OverlayTransition::enter(findBar_, OverlayTransition::Kind::moveFromTop);
    } else if (!app_->findOpen() && findBar_) {
        const bool hadFocus = findBar_->isAncestorOf(focusWidget());
        OverlayTransition::leave(findBar_.data(), OverlayTransition::Kind::moveFromTop);
        findBar_ = nullptr;
        if (hadFocus) focusEditor();
    }
    if (app_->goToLineOpen() && !goToLine_) {
        goToLine_ = new GoToLineView(app_, this);
        goToLine_->setGeometry(rect());
        goToLine_->raise();
        OverlayTransition::enter(goToLine_, OverlayTransition::Kind::scale);
    } else if (!app_->goToLineOpen() && goToLine_) {
        const bool hadFocus = goToLine_->isAncestorOf(focusWidget());
        OverlayTransition::leave(goToLine_.data(), OverlayTransition::Kind::scale);
        goToLine_ = nullptr;
        if (hadFocus) focusEditor();
    }
}

void RootView::focusEditor() {
    if (CodeEditorView* editor = pane_->editor()) editor->setFocus(Qt::OtherFocusReason);
    else pane_->setFocus(Qt::OtherFocusReason);
}

void RootView::paintEvent(QPaintEvent*) {
    // The aurora's black base: the aurora itself is drawn at half strength over it.
    QPainter(this).fillRect(rect(), Qt::black);
}

void RootView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    aurora_->setGeometry(rect());
    if (goToLine_) goToLine_->setGeometry(rect());
}

void RootView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (std::exchange(appeared_, true) || !app_) return;
    app_->checkWhatsNew();
}
