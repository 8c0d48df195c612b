#pragma once
// The one settings window, made on first request and brought forward on later ones.
class SettingsView;

namespace SettingsWindow {
SettingsView* show();
// The window while it exists.
SettingsView* current();
}
