#pragma once
// What the view tests share: a main window that carries the menu's key equivalents (as the
// application's menu bar does) around a root view, and small stand-ins for the active editor.
#include <QAction>
#include <QHash>
#include <QStringList>
#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <memory>

#include "AppState.h"
#include "Editor/EditorActions.h"
#include "Editor/FindEngine.h"
#include "MenuCommands.h"
#include "Platform/NotificationCenter.h"
#include "TestSupport.h"
#include "Views/RootView.h"

namespace views_test {

// A window whose actions post the thirteen notifications, holding a root view of its own state.
class MenuTestWindow : public QMainWindow {
public:
    explicit MenuTestWindow(RootView::OpenWindowAction openWindow = {}) : app(new AppState(this)) {
        for (const MenuCommand& command : MenuCommands::all()) {
            auto* action = new QAction(command.title, this);
            action->setShortcut(command.keys);
            const QString name = command.notification;
            connect(action, &QAction::triggered, [name] { NotificationCenter::shared().post(name); });
            addAction(action);
        }
        root = new RootView(*app, std::move(openWindow), this);
        setCentralWidget(root);
        resize(1100, 760);
    }

    // Shows the window and makes it the active one, so shortcuts and focus behave as for a user.
    void showActive() {
        show();
        activateWindow();
        QApplication::setActiveWindow(this);
        (void)QTest::qWaitForWindowActive(this, 60000);
    }
    // The same at the screen's corner and at the given size.
    void showActive(QSize size) {
        move(0, 0);
        resize(size);
        showActive();
    }

    AppState* app;
    RootView* root;
};

// Records what the window asks of "the active editor".
class FakeEditor : public QObject, public EditorActions, public FindEngine {
public:
    void toggleComment() override { ++toggles; }
    void goToLine(int line) override { lines.append(line); }
    void findNext() override { calls.append(QStringLiteral("next")); }
    void findPrevious() override { calls.append(QStringLiteral("previous")); }
    void replaceCurrent() override { calls.append(QStringLiteral("replace")); }
    void replaceAll() override { calls.append(QStringLiteral("all")); }

    int toggles = 0;
    QList<int> lines;
    QStringList calls;
};

// Types text into whatever has the focus, one key at a time.
inline void type(const QString& text) {
    for (QChar c : text) {
        QWidget* target = QApplication::focusWidget();
        if (!target) return;
        QTest::keyClick(target, c.toLatin1());
    }
}

inline void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    if (target) QTest::keyClick(target, Qt::Key(key), modifiers);
}

// Counts the paint events (and, when asked, the timer events) every object of the program receives:
// a paint by the widget's class name, a timer by its owner's and that one's parent's.
class EventCounter : public QObject {
public:
    explicit EventCounter(bool timersToo = false) : timersToo_(timersToo) { qApp->installEventFilter(this); }
    ~EventCounter() override { qApp->removeEventFilter(this); }
    int total() const {
        int n = 0;
        for (int count : counts) n += count;
        return n;
    }
    QString names() const {
        QStringList out;
        for (auto it = counts.begin(); it != counts.end(); ++it) out << it.key() + "=" + QString::number(it.value());
        return out.join(' ');
    }
    QHash<QString, int> counts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++counts[QString::fromLatin1(watched->metaObject()->className())];
        } else if (timersToo_ && event->type() == QEvent::Timer) {
            // Qt's pixmap cache trims itself by a clock of its own, 30 s after it first holds a
            // pixmap: a slow run meets that timer whatever the window does.
            if (qstrcmp(watched->metaObject()->className(), "QPMCache") == 0) return false;
            QString name = QString::fromLatin1(watched->metaObject()->className());
            if (watched->parent()) name += QStringLiteral("<") + QString::fromLatin1(watched->parent()->metaObject()->className());
            ++counts[name + QStringLiteral(":timer")];
        }
        return false;
    }

private:
    bool timersToo_;
};

} // namespace views_test
