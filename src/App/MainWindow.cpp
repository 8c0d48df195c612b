#include "App/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "App/SettingsWindow.h"
#include "App/TextEditingActions.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "MenuCommands.h"
#include "Platform/NotificationCenter.h"
#include "Platform/SettingsStore.h"
#include "Views/RootView.h"
#include "Views/WidgetPrompter.h"
#include "Views/Workbench/WelcomeView.h"

MainWindow::MainWindow(std::optional<QString> folder, QWidget* parent)
    : QMainWindow(parent), folder_(std::move(folder)), state_(new AppState(this)) {
    setWindowTitle(QStringLiteral("Brimel Code"));
    setMinimumSize(kMinimumSize);
    const QRect initial = initialGeometry(screen()->availableGeometry());
    resize(initial.size());
    move(initial.topLeft());  // where the frame goes, title bar included
    buildMenus();
    showContent();
    connect(&SettingsStore::shared(), &SettingsStore::changed, this, [this](const QString& key) {
        if (key == SettingsKey::onboarded) showContent();
    });
    connect(state_, &AppState::rootNodeChanged, this, [this] {
        setWindowTitle(state_->rootNode() ? state_->rootNode()->name() + QStringLiteral(" — Brimel Code")
                                          : QStringLiteral("Brimel Code"));
    });
}

MainWindow::~MainWindow() { WindowManager::shared().noteClosed(this); }

QRect MainWindow::initialGeometry(const QRect& available) {
    const QSize size = kUsualSize.boundedTo(available.size()).expandedTo(kMinimumSize);
    QRect geometry(QPoint(), size);
    geometry.moveCenter(available.center());
    // A screen smaller than the minimum keeps the title bar and the left edge reachable.
    geometry.moveTopLeft(QPoint(std::max(geometry.left(), available.left()), std::max(geometry.top(), available.top())));
    return geometry;
}

RootView* MainWindow::rootView() const { return qobject_cast<RootView*>(centralWidget()); }
WelcomeView* MainWindow::welcomeView() const { return qobject_cast<WelcomeView*>(centralWidget()); }

void MainWindow::showContent() {
    const bool onboarded = SettingsStore::shared().boolean(SettingsKey::onboarded, false);
    if (onboarded ? rootView() != nullptr : welcomeView() != nullptr) return;
    // The old content may be the sender of what brought us here (a welcome button): let it finish.
    if (QWidget* old = takeCentralWidget()) {
        old->hide();
        old->deleteLater();
    }
    if (onboarded) {
        setCentralWidget(new RootView(*state_, [](const QString& path) { WindowManager::shared().openWindow(path); }, this));
    } else {
        setCentralWidget(new WelcomeView(*state_, [] { SettingsStore::shared().setValue(SettingsKey::onboarded, true); }, this));
    }
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    const QList<QMenu*> byGroup{nullptr, file, file, edit, window, help};  // by command group, 1..5
    // The platform's text-editing group comes first; the program's own group follows it.
    TextEditingActions::addTo(edit);
    edit->addSeparator();
    for (const MenuCommand& command : MenuCommands::all()) {
        QAction* action = byGroup[command.group]->addAction(command.title);
        if (!command.keys.isEmpty()) action->setShortcut(command.keys);
        const QString name = command.notification;
        connect(action, &QAction::triggered, this, [name] { NotificationCenter::shared().post(name); });
        if (command.notification == MenuNotification::openFolder) {
            // The platform's own settings item.
            QAction* settings = file->addAction(QStringLiteral("Settings…"));
            settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
            settings->setMenuRole(QAction::PreferencesRole);
            connect(settings, &QAction::triggered, this, [] { SettingsWindow::show(); });
        }
        if (command.notification == MenuNotification::closeTab) {
            // The platform's own quit item follows the file commands.
            QAction* quit = file->addAction(QStringLiteral("Quit"));
            quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
            quit->setMenuRole(QAction::QuitRole);
            connect(quit, &QAction::triggered, this, [] {
                if (WindowManager::shared().requestQuit()) QApplication::quit();
            });
        }
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (loaded_) return;
    loaded_ = true;
    // After the window is on screen, so any question the load asks has a parent to sit on.
    QTimer::singleShot(0, this, [this] { firstLoad(); });
}

void MainWindow::firstLoad() {
    if (folder_) {
        state_->openFolder(*folder_);
        return;
    }
    if (!state_->rootNode() && state_->documents().isEmpty()) state_->restoreSession();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        WindowManager::shared().noteActivated(this);
        state_->refreshUnwatched();  // coming back from another program that may have changed files
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::closeWithoutAsking() {
    closingConfirmed_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closingConfirmed_ && state_->hasUnsavedChanges()) {
        const WidgetPrompter::Over over(this);  // the window closed may not be the one in front
        if (state_->confirmCloseWindow() == AppState::TerminateReply::cancel) {
            event->ignore();
            return;
        }
    }
    // Closing the last window ends the program: keep its session for the next start.
    if (!closingConfirmed_ && WindowManager::shared().windows().size() == 1) state_->saveSession();
    event->accept();
}
