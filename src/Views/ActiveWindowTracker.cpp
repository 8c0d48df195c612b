#include "Views/ActiveWindowTracker.h"

#include <QApplication>
#include <QEvent>

ActiveWindowTracker& ActiveWindowTracker::shared() {
    static ActiveWindowTracker* tracker = new ActiveWindowTracker;  // lives as long as the application
    return *tracker;
}

ActiveWindowTracker::ActiveWindowTracker() {
    // Activation reaches the top-level widget only; watching the application sees every window
    // without having to follow root views as they are re-parented.
    if (qApp) qApp->installEventFilter(this);
}

void ActiveWindowTracker::add(QWidget* rootView) {
    roots_.removeAll(nullptr);
    if (rootView && !roots_.contains(rootView)) roots_.append(rootView);
}

bool ActiveWindowTracker::holdsRootView(const QWidget* window) const {
    for (const QPointer<QWidget>& root : roots_)
        if (root && root->window() == window) return true;
    return false;
}

bool ActiveWindowTracker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow()) {
            activated_.removeAll(widget);
            activated_.removeAll(nullptr);
            activated_.prepend(widget);
        }
    }
    return QObject::eventFilter(watched, event);
}

QWidget* ActiveWindowTracker::current() const {
    for (const QPointer<QWidget>& window : activated_)
        if (window && window->isVisible() && holdsRootView(window)) return window;
    for (auto it = roots_.crbegin(); it != roots_.crend(); ++it)
        if (*it) return (*it)->window();
    return nullptr;
}
