#include "App/WindowManager.h"

#include <QTimer>

#include "App/MainWindow.h"
#include "AppState.h"
#include "Platform/Prompter.h"
#include "Platform/SettingsStore.h"
#include "Views/WidgetPrompter.h"

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
    // Once the window is up, so the word comes over it rather than before anything shows.
    QTimer::singleShot(0, window, [window] { tellOfUnreadableSettings(window); });
    return window;
}

void WindowManager::tellOfUnreadableSettings(MainWindow* window) {
    const std::optional<QString> aside = SettingsStore::shared().takeSetAsidePath();
    if (!aside) return;
    const WidgetPrompter::Over over(window);
    Prompter::current().ask({QStringLiteral("Your settings could not be read."),
                             QStringLiteral("The file was moved to “%1”, and settings start again from their defaults.").arg(*aside),
                             {},
                             true});
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
    // Settings may also be found unreadable when written during the run.
    QTimer::singleShot(0, window, [window] { tellOfUnreadableSettings(window); });
}

void WindowManager::noteClosed(MainWindow* window) { windows_.removeAll(QPointer<MainWindow>(window)); }

bool WindowManager::requestQuit() {
    // Most recent first, so the window in front is asked first.
    QList<MainWindow*> order = windows();
    std::reverse(order.begin(), order.end());
    for (MainWindow* w : order) {
        if (!w->state().hasUnsavedChanges()) continue;
        // The question names no window: show it over the one it is about, brought to the front.
        const WidgetPrompter::Over over(w);
        if (w->state().confirmTerminate() == AppState::TerminateReply::cancel) return false;
    }
    if (MainWindow* last = mostRecentlyActive()) last->state().saveSession();
    for (MainWindow* w : order) w->closeWithoutAsking();
    return true;
}
