// Closing or leaving an editor of millions of lines frees its display a bounded number of lines per
// turn of the event loop, however long the text.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QTextDocument>

#include "EditorFixture.h"
#include "Views/Editor/DisplayRelease.h"

namespace {

// The most lines of the display freed in one turn, from the editor's going until the display is gone.
int mostFreedInATurn(int lines) {
    EditorFixture f(QStringLiteral("a\n").repeated(lines), QStringLiteral("notes.txt"), std::nullopt, false);
    f.editor().showAll();
    QPointer<QTextDocument> display = f.view->document();
    EXPECT_EQ(display->blockCount(), lines + 1);
    int before = display->blockCount();
    f.view.reset();
    int most = before - (display ? display->blockCount() : 0);
    QElapsedTimer deadline;  // bounds a hang only
    deadline.start();
    while (display && deadline.elapsed() < 120000) {
        before = display->blockCount();
        QCoreApplication::processEvents();
        most = std::max(most, before - (display ? display->blockCount() : 0));
    }
    EXPECT_TRUE(display.isNull());
    return most;
}

} // namespace

TEST(LeavingALongText, FreesTheSameLinesPerTurnForEightTimesTheLines) {
    const int shorter = mostFreedInATurn(64 * 1024);
    const int longer = mostFreedInATurn(512 * 1024);
    EXPECT_LE(shorter, DisplayRelease::kBlocksPerTurn);
    EXPECT_LE(longer, DisplayRelease::kBlocksPerTurn);
    EXPECT_EQ(DisplayRelease::pending, 0);
}

TEST(LeavingALongText, ASmallDisplayGoesWithItsEditor) {
    QPointer<QTextDocument> display;
    {
        EditorFixture f(QStringLiteral("line\n").repeated(100));
        display = f.view->document();
    }
    EXPECT_TRUE(display.isNull());
}

TEST(LeavingALongText, AnEditorBuiltMeanwhileOnTheSameDocumentWorks) {
    // The old display is being freed while a new editor shows the same text and takes keys.
    const QString text = QStringLiteral("words\n").repeated(200 * 1024);
    EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
    f.editor().showAll();
    f.view.reset();
    f.view = std::make_unique<CodeEditorView>(&f.document, &f.find, &f.controller);
    f.view->resize(640, 480);
    f.view->show();
    f.type(QStringLiteral("x"));
    (void)QTest::qWaitFor([] { return DisplayRelease::pending == 0; }, 120000);
    EXPECT_EQ(DisplayRelease::pending, 0);
    EXPECT_EQ(f.text(), QStringLiteral("x") + text);
    EXPECT_EQ(f.view->document()->findBlockByNumber(0).text(), QStringLiteral("xwords"));
}
