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
    // The windows of the program's start; returns the one in front.
    MainWindow* openAtStart();
    QList<MainWindow*> windows() const;
    // The window the user was in last; null when none is open.
    MainWindow* mostRecentlyActive() const;

    // Asks about unsaved documents of every window, saves the session of every window and closes
    // them all; returns false when the user cancelled.
    bool requestQuit();
    // The window used last keeps its session under the usual keys; every other window that has a
    // folder or a file open keeps its own beside them, and comes back with it at the next start.
    void saveSessions() const;

    void noteActivated(MainWindow* window);
    void noteClosed(MainWindow* window);

private:
    static void tellOfUnreadableSettings(MainWindow* window);

    QList<QPointer<MainWindow>> windows_;  // in order of last activation, oldest first
};
