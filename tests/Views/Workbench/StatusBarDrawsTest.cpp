// The status bar's labels are kept drawn: a new caret position draws the caret label once, whether
// or not the text takes another width, and leaves the labels beside it as they were drawn.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "AppState.h"
#include "UI/LayerCache.h"
#include "UI/Timeline.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Workbench/StatusBarView.h"

using namespace testing_support;

namespace {

int rendersOf(const QLabel* label) {
    const auto* cache = qobject_cast<const LayerCache*>(label->graphicsEffect());
    return cache ? cache->renderCount() : -1;
}

} // namespace

// The caret moved by keys in the editor: the key repaints the text before the caret's place reaches
// the bar, whose label then takes another width.
TEST(StatusBarDraws, InTheWindowACaretMoveDrawsTheCaretLabelOnce) {
    TempFolder dir;
    views_test::MenuTestWindow window;
    window.showActive(QSize(1040, 720));
    AppState& app = *window.app;
    // No sidebar: its slide would move the bar's labels at every frame.
    app.setSidebar(std::nullopt);
    app.open(dir.write("a.txt", QByteArray("line\n").repeated(1200)));
    ASSERT_TRUE(waitUntil([&] { return window.root->pane()->editor() != nullptr; }));
    CodeEditorView* editor = window.root->pane()->editor();
    editor->setFocus();
    QLabel* caret = window.root->statusBar()->caretLabel();
    const auto frames = [] {
        for (int i = 0; i < 4; ++i) {
            Timeline::advanceClock();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    };
    const auto moveTo = [&](int line) {
        QTextCursor cursor = editor->textCursor();
        cursor.setPosition(editor->document()->findBlockByNumber(line - 1).position());
        editor->setTextCursor(cursor);
        EXPECT_TRUE(waitUntil([&] { return caret->text() == QStringLiteral("Ln %1, Col 1").arg(line); }));
        frames();
    };
    for (const int line : {9, 99, 999}) {
        SCOPED_TRACE(line);
        moveTo(line);
        const int renders = rendersOf(caret);
        // A line down: one more digit.
        QTest::keyClick(editor, Qt::Key_Down);
        EXPECT_TRUE(waitUntil([&] { return caret->text() == QStringLiteral("Ln %1, Col 1").arg(line + 1); }));
        frames();
        EXPECT_EQ(rendersOf(caret), renders + 1);
    }
}
