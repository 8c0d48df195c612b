#pragma once
// Creates one main window per opened folder (or none), and answers the question whether the
// application may quit, asking every window that holds unsaved documents.
#include <QList>
#include <QObject>
#include <QPointer>
#include <optional>

class MainWindow;

class WindowManager : public QObject {
    Q_OBJECT
public:
    static WindowManager& shared();

    MainWindow* openWindow(const std::optional<QString>& folder = std::nullopt);
    QList<MainWindow*> windows() const;
    // The window the user was in last; null when none is open.
    MainWindow* mostRecentlyActive() const;

    // Asks about unsaved documents of every window, saves the session of the window used last and
    // closes every window; returns false when the user cancelled.
    bool requestQuit();

    void noteActivated(MainWindow* window);
    void noteClosed(MainWindow* window);

private:
    static void tellOfUnreadableSettings(MainWindow* window);

    QList<QPointer<MainWindow>> windows_;  // in order of last activation, oldest first
};
