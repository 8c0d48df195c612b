#include "App/WindowManager.h"


#include "App/MainWindow.h"
#include "AppState.h"

WindowManager& WindowManager::shared() {
    static WindowManager* manager = new WindowManager;
    return *manager;
}

MainWindow* WindowManager::openWindow(const std::optional<QString>& folder) {
    auto* window = new MainWindow(folder);
    window->setAttribute(Qt::WA_DeleteOnClose);
    windows_.append(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QList<MainWindow*> WindowManager::windows() const {
    QList<MainWindow*> out;
    for (const auto& w : windows_)
        if (w) out << w.data();
    return out;
}

MainWindow* WindowManager::mostRecentlyActive() const {
    for (auto it = windows_.crbegin(); it != windows_.crend(); ++it)
        if (*it) return it->data();
    return nullptr;
}

void WindowManager::noteActivated(MainWindow* window) {
    windows_.removeAll(QPointer<MainWindow>(window));
    windows_.append(window);
}

void WindowManager::noteClosed(MainWindow* window) { windows_.removeAll(QPointer<MainWindow>(window)); }

bool WindowManager::requestQuit() {
    // Most recent first, so the window in front is asked first.
    QList<MainWindow*> order = windows();
    std::reverse(order.begin(), order.end());
    for (MainWindow* w : order)
        if (w->state().confirmTerminate() == AppState::TerminateReply::cancel) return false;
    if (MainWindow* last = mostRecentlyActive()) last->state().saveSession();
    for (MainWindow* w : order) w->closeWithoutAsking();
    return true;
}
