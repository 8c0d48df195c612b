#pragma once
// A main window holding a fresh window state's root view, shown at the size the benchmarks use.
#include <QMainWindow>

#include "AppState.h"
#include "Views/RootView.h"

inline AppState& showRootView(QMainWindow& window) {
    auto* app = new AppState(&window);
    window.setCentralWidget(new RootView(*app, {}, &window));
    window.resize(1100, 760);
    window.show();
    return *app;
}
