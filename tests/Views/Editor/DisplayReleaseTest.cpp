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
