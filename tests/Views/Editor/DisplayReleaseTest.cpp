// Leaving an editor of many lines frees its display a bounded number of lines per turn.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QTextDocument>

#include "EditorFixture.h"
#include "Views/Editor/DisplayRelease.h"

TEST(LeavingALongText, FreesTheSameLinesPerTurnForEightTimesTheLinesWhileANewEditorWorks) {
    for (const int lines : {64 * 1024, 512 * 1024}) {
        const QString text = QStringLiteral("a\n").repeated(lines);
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        f.editor().showAll();
        QPointer<QTextDocument> display = f.view->document();
        int before = display->blockCount();
        f.view.reset();
        int most = before - (display ? display->blockCount() : 0);
        // Another editor of the same document meanwhile takes keys as usual.
        f.view = std::make_unique<CodeEditorView>(&f.document, &f.find, &f.controller);
        f.view->show();
        f.type(QStringLiteral("x"));
        QElapsedTimer deadline;  // bounds a hang only
        deadline.start();
        while (display && deadline.elapsed() < 120000) {
            before = display->blockCount();
            QCoreApplication::processEvents();  // one turn
            most = std::max(most, before - (display ? display->blockCount() : 0));
        }
        EXPECT_LE(most, DisplayRelease::kBlocksPerTurn) << lines;
        EXPECT_EQ(DisplayRelease::pending, 0);
        EXPECT_EQ(f.text(), QStringLiteral("x") + text);
    }
}

// A small document goes at once; a long one is pending until its last lines go, each turn freeing
// no more than its share, and nothing is asked of a document that is not there.
TEST(DisplayRelease, ASmallDocumentGoesAtOnceALongOneAShareATurn) {
    // Displays of editors closed before are freed first.
    ASSERT_TRUE(QTest::qWaitFor([] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return DisplayRelease::pending == 0;
    }, 120000));
    DisplayRelease::release(nullptr);
    EXPECT_EQ(DisplayRelease::pending, 0);

    constexpr int k = DisplayRelease::kBlocksPerTurn;
    for (const int lines : {k, 2 * k, 3 * k + 5}) {
        auto* document = new QTextDocument(QStringLiteral("a\n").repeated(lines - 1) + u'a');
        document->setUndoRedoEnabled(false);
        ASSERT_EQ(document->blockCount(), lines);
        QPointer<QTextDocument> display = document;
        DisplayRelease::mostBlocksInATurn = 0;
        DisplayRelease::release(document);
        const bool small = lines <= DisplayRelease::kBlocksPerTurn;
        EXPECT_EQ(display.isNull(), small) << lines;
        EXPECT_EQ(DisplayRelease::pending, small ? 0 : 1) << lines;
        int turns = 0;
        QElapsedTimer deadline;  // bounds a hang only
        deadline.start();
        while (display && deadline.elapsed() < 120000) {
            const int before = display->blockCount();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
            turns += display && display->blockCount() < before;
            if (display) EXPECT_EQ(DisplayRelease::pending, 1);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(display.isNull());
        EXPECT_EQ(DisplayRelease::pending, 0);
        EXPECT_EQ(DisplayRelease::mostBlocksInATurn, DisplayRelease::kBlocksPerTurn) << lines;
        EXPECT_EQ(turns, (lines - 1) / k) << "a share a turn, and the last share goes whole";
    }
}
