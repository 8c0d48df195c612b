#pragma once
// One editor on one document, shown offscreen, with key and text helpers.
#include <QApplication>
#include <QTest>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <memory>

#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/Editor/LineNumberRuler.h"
#include "Workspace/EditorDocument.h"

struct EditorFixture {
    // `settled` false leaves the event loop unrun: what the editor does on later turns is still to come.
    explicit EditorFixture(const QString& text, const QString& fileName = QStringLiteral("main.swift"),
                           std::optional<QString> url = std::nullopt, bool settled = true)
        : document(url ? url : std::optional<QString>(QStringLiteral("/nonexistent/") + fileName), text) {
        view = std::make_unique<CodeEditorView>(&document, &find, &controller);
        view->resize(640, 480);
        view->show();
        if (!settled) return;
        settle();
        settleColours();
    }

    CodeEditorCoordinator& editor() const { return *view->coordinator(); }
    const QString& text() const { return document.text(); }
    TextRange selection() const { return editor().selection(); }
    void select(qsizetype location, qsizetype length = 0) { editor().setSelection({location, length}); }

    // Runs the updates and caret reports queued for the next turns of the event loop.
    static void settle() {
        for (int i = 0; i < 4; ++i) QApplication::processEvents();
    }

    // Waits until the colours of the visible lines follow the current text (the parse runs on a
    // thread of its own); the deadline only bounds a hang.
    void settleColours() const {
        settle();
        (void)QTest::qWaitFor([this] { return editor().coloursSettled(); }, 60000);
        settle();
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(view.get(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(view.get(), &release);
    }
    // Types each character as its own key press (works for any text, unlike QTest::keyClicks).
    void type(const QString& s) {
        for (qsizetype i = 0; i < s.size(); ++i) {
            const bool pair = s[i].isHighSurrogate() && i + 1 < s.size();
            key(Qt::Key_unknown, Qt::NoModifier, s.mid(i, pair ? 2 : 1));
            if (pair) ++i;
        }
    }
    // Gives every line of the display a list marker: a walk through the lines looking for one then
    // measures each line it passes, which the layout counts.
    void markEveryLine() {
        QTextCursor all(view->document());
        all.select(QTextCursor::Document);
        QTextBlockFormat marked;
        marked.setMarker(QTextBlockFormat::MarkerType::Unchecked);
        all.mergeBlockFormat(marked);
        settle();
    }
    void enter() { key(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r")); }
    void backspace() { key(Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b")); }
    void undo() { key(Qt::Key_Z, Qt::ControlModifier); }
    void redo() { key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

    EditorDocument document;
    FindState find;
    EditorController controller;
    std::unique_ptr<CodeEditorView> view;  // last: goes first
};
