#include "App/SettingsWindow.h"

#include <QPointer>

#include "Views/Workbench/SettingsView.h"

namespace SettingsWindow {

namespace {
QPointer<SettingsView>& instance() {
    static QPointer<SettingsView> window;
    return window;
}
} // namespace

SettingsView* current() { return instance().data(); }

SettingsView* show() {
    QPointer<SettingsView>& window = instance();
    if (!window) {
        window = new SettingsView;
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace SettingsWindow
