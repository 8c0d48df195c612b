// A long line's Replace All and its undo leave whole copies of the line behind (the text replaced,
// the line made anew): the window lets go of them off its own thread, however long the line.
#include <gtest/gtest.h>

#include "EditorFixture.h"
#include "Platform/LateRelease.h"

TEST(LongLineRelease, AReplaceAllAndItsUndoFreeTheLongBuffersOffTheWindowsThread) {
    const auto freed = [](int kilobytes) {
        const QString text = QStringLiteral("items.length+f(x);").repeated(kilobytes * 1024 / 18);
        const QString replaced = QString(text).replace(QStringLiteral("items.length"), QStringLiteral("items.size"));
        EditorFixture f(text, QStringLiteral("min.txt"));
        f.editor().showAll();
        f.view->setShowFind(true);
        f.find.setCaseSensitive(true);
        f.find.setReplacement(QStringLiteral("items.size"));
        f.find.setQuery(QStringLiteral("items.length"));
        f.settle();
        f.select(0);
        const qsizetype aside = LateRelease::unitsFreedAside();
        f.find.engine()->replaceAll();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.editor().isBusy(); }, 120000));
        f.settle();
        EXPECT_TRUE(f.text() == replaced);
        f.editor().undo();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !f.editor().isBusy(); }, 120000));
        f.settle();
        EXPECT_TRUE(f.text() == text);
        LateRelease::settle();
        return std::pair{LateRelease::unitsFreedAside() - aside, text.size()};
    };
    // Each of the two steps lets go of the text it replaced and of the line it made: four lines' worth.
    for (const int kilobytes : {2048, 16384}) {
        SCOPED_TRACE(kilobytes);
        const auto [aside, units] = freed(kilobytes);
        EXPECT_GE(aside, 3 * units);
    }
}
