#pragma once
// An editor view over a document made from a text in memory, as the shape benchmarks drive it, and
// the waits they share.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <memory>
#include <utility>

#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/Editor/DisplayRelease.h"
#include "Workspace/EditorDocument.h"

inline double msSince(const QElapsedTimer& clock) { return clock.nsecsElapsed() / 1e6; }

// Runs what an event started on the UI thread.
inline void drain() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Lets the display of an editor an earlier case closed be freed, which takes a part of every turn
// until it is gone: else the next case's keys and clicks pay for it.
inline void releaseEarlierDisplays() {
    while (DisplayRelease::pending > 0) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct Editor {
    // The document is handed the text as a file read hands it over: nothing else keeps a share of
    // it, which would make the first key copy the whole text.
    Editor(QString text, const QString& name)
        : document(QStringLiteral("/nonexistent/") + name, std::move(text)),
          view(std::make_unique<CodeEditorView>(&document, &find, &controller)) {
        view->resize(900, 700);
        view->show();
    }
    void key(int key, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(view.get(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(view.get(), &release);
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QWidget* area = view->viewport();
        QMouseEvent event(type, at, area->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(area, &event);
    }

    EditorDocument document;
    FindState find;
    EditorController controller;
    std::unique_ptr<CodeEditorView> view;
};
