// The primary selection's text is read when another program asks for it, once, and before the
// text it comes from changes (typed over, a Replace All and its undo, a change from outside).
#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "EditorFixture.h"
#include "Views/Editor/DeferredTextData.h"

TEST(DeferredTextData, ReadsTheTextOnlyWhenAskedAndOnce) {
    int reads = 0;
    DeferredTextData data([&] {
        ++reads;
        return QStringLiteral("héllo");
    });
    EXPECT_TRUE(data.hasText());
    EXPECT_EQ(data.formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_FALSE(data.hasHtml());
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(data.text(), QStringLiteral("héllo"));
    EXPECT_EQ(data.data(QStringLiteral("text/plain")), QStringLiteral("héllo").toUtf8());
    EXPECT_TRUE(data.html().isEmpty());
    data.take();
    EXPECT_EQ(reads, 1);
}

TEST(DeferredTextData, LetsGoOfWhatItReadsFromOnceRead) {
    // What the reader holds (a text shared with the editor, say) is held no longer than needed.
    auto source = std::make_shared<QString>(QStringLiteral("alpha"));
    DeferredTextData data([held = source] { return *held; });
    EXPECT_EQ(source.use_count(), 2);
    EXPECT_EQ(data.text(), QStringLiteral("alpha"));
    EXPECT_EQ(source.use_count(), 1);
    EXPECT_EQ(data.text(), QStringLiteral("alpha"));
}

TEST(DeferredTextData, EditorTellsBeforeEveryKindOfChange) {
    EditorFixture f(QStringLiteral("alpha beta alpha gamma\n"), "notes.txt");
    // The text as each change finds it.
    QStringList seen;
    QObject::connect(&f.editor(), &CodeEditorCoordinator::textAboutToChange, [&] { seen.append(f.editor().text().text()); });
    f.select(0);
    f.type("x");
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.last(), QStringLiteral("alpha beta alpha gamma\n"));

    f.find.setQuery(QStringLiteral("alpha"));
    f.view->setShowFind(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.find.matchCount() == 2; }, 60000));
    f.find.setReplacement(QStringLiteral("a"));
    f.find.engine()->replaceAll();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen.last(), QStringLiteral("xalpha beta alpha gamma\n"));
    f.undo();
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen.last(), QStringLiteral("xa beta a gamma\n"));

    f.document.setText(QStringLiteral("other\n"));
    f.settle();
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen.last(), QStringLiteral("xalpha beta alpha gamma\n"));
}
