#pragma once
// Which workbench window a menu command is meant for: the one the user activated last among the
// shown windows that hold a root view now, or, before any of them was activated, the one created
// last. A window that gained its root view after it was activated (say, once its welcome screen
// was done) counts from that activation.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class ActiveWindowTracker : public QObject {
    Q_OBJECT
public:
    static ActiveWindowTracker& shared();

    // A root view announces itself once, at construction; its window is looked up when needed,
    // so it may be placed into a window later.
    void add(QWidget* rootView);

    // The top-level window commands go to; null when no root view exists.
    QWidget* current() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ActiveWindowTracker();
    bool holdsRootView(const QWidget* window) const;

    QList<QPointer<QWidget>> roots_;       // in creation order
    QList<QPointer<QWidget>> activated_;   // every top-level window, most recently activated first
};
