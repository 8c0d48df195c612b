#include "App/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>

#include "App/WindowManager.h"
#include "AppState.h"
#include "MenuCommands.h"
#include "Platform/NotificationCenter.h"
#include "Views/RootView.h"

MainWindow::MainWindow(std::optional<QString> folder, QWidget* parent)
    : QMainWindow(parent), folder_(std::move(folder)), state_(new AppState(this)) {
    setWindowTitle(QStringLiteral("Brimel Code"));
    setMinimumSize(1040, 720);
    resize(1280, 820);
    buildMenus();
    setCentralWidget(new RootView(*state_, [](const QString& path) { WindowManager::shared().openWindow(path); }, this));
    connect(state_, &AppState::rootNodeChanged, this, [this] {
        setWindowTitle(state_->rootNode() ? state_->rootNode()->name() + QStringLiteral(" — Brimel Code")
                                          : QStringLiteral("Brimel Code"));
    });
}

MainWindow::~MainWindow() { WindowManager::shared().noteClosed(this); }

void MainWindow::buildMenus() {
    static const QStringList menuTitles{QString(), QStringLiteral("&File"), QStringLiteral("&File"),
                                        QStringLiteral("&Edit"), QStringLiteral("&Window"), QStringLiteral("&Help")};
    QMenu* file = menuBar()->addMenu(menuTitles[1]);
    QMenu* edit = menuBar()->addMenu(menuTitles[3]);
    QMenu* window = menuBar()->addMenu(menuTitles[4]);
    QMenu* help = menuBar()->addMenu(menuTitles[5]);
    const QList<QMenu*> byGroup{nullptr, file, file, edit, window, help};
    for (const MenuCommand& command : MenuCommands::all()) {
        QAction* action = byGroup[command.group]->addAction(command.title);
        if (!command.keys.isEmpty()) action->setShortcut(command.keys);
        const QString name = command.notification;
        connect(action, &QAction::triggered, this, [name] { NotificationCenter::shared().post(name); });
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
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) WindowManager::shared().noteActivated(this);
    QMainWindow::changeEvent(event);
}

void MainWindow::closeWithoutAsking() {
    closingConfirmed_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closingConfirmed_ && state_->confirmCloseWindow() == AppState::TerminateReply::cancel) {
        event->ignore();
        return;
    }
    // Closing the last window ends the program: keep its session for the next start.
    if (!closingConfirmed_ && WindowManager::shared().windows().size() == 1) state_->saveSession();
    event->accept();
}
