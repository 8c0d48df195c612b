// A new width or font size wraps every line again. On a long text that costs the same as on a short
// one in any turn of the event loop: the lines are neither read one by one nor all walked at once,
// and once the walk is over every line counts the rows it should, whatever was edited meanwhile.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include "AppState.h"
#include "EditorFixture.h"
#include "Platform/SettingsStore.h"
#include "Views/Editor/WrappingTextLayout.h"

namespace {

WrappingTextLayout* layoutOf(const EditorFixture& f) {
    return qobject_cast<WrappingTextLayout*>(f.view->document()->documentLayout());
}

void waitShown(EditorFixture& f) {
    (void)QTest::qWaitFor([&] { return f.editor().isFullyShown(); }, 120000);
    EditorFixture::settle();
}

void waitWalked(EditorFixture& f) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !layoutOf(f)->forgetting(); }, 120000));
    EditorFixture::settle();
}

// Wide lines at both ends and spread through, a block of joined empty lines, and many short lines.
QString textOf(qsizetype lines) {
    const QString wide = QStringLiteral("wide ").repeated(200) + u'\n';
    QString text = wide + QStringLiteral("\n").repeated(200);
    for (qsizetype i = 0; i < lines; ++i) text += i % 4096 == 0 ? wide : QStringLiteral("a short line\n");
    return text + wide;
}

// Every line counts the rows it shows at the current width and size, or, not laid out since it
// changed, the rows it counts before layout; the scroll range is their sum.
void expectRowsCounted(EditorFixture& f) {
    const WrappingTextLayout* layout = layoutOf(f);
    int rows = 0, wrong = 0;
    for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next()) {
        const int counted = b.lineCount();
        rows += counted;
        if (counted == layout->rowsBeforeLayout(b)) continue;
        // A line that lets its rows go keeps counting them: laid out afresh, it shows as many.
        layout->blockBoundingRect(b);
        if (counted != b.layout()->lineCount()) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(f.view->document()->lineCount(), rows);
}

// Lays out, and leaves behind, the wide lines throughout the text by scrolling to each.
void scrollThrough(EditorFixture& f) {
    QScrollBar* bar = f.view->verticalScrollBar();
    for (int step = 0; step <= 16; ++step) {
        bar->setValue(bar->maximum() * step / 16);
        EditorFixture::settle();
    }
}

struct FontSize {
    explicit FontSize(int size) { SettingsStore::shared().setValue(SettingsKey::fontSize, size); }
    ~FontSize() { SettingsStore::shared().remove(SettingsKey::fontSize); }
};

} // namespace

// A new font size reads no line for joined lines and hands none to the stock layout to forget, as a
// new width does, and scans no text for folds (they follow every edit already): in a text of eight
// times the lines it reads what it reads in the shorter one.
TEST(Rewrap, ANewFontSizeReadsNoMoreLinesInALongerText) {
    struct Reads {
        qsizetype blocks = 0, foldUnits = 0;
    };
    const auto readsForNewSize = [](qsizetype lines) {
        EditorFixture f(textOf(lines), QStringLiteral("notes.txt"));
        waitShown(f);
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.editor().foldTracker().complete(); }, 120000));
        scrollThrough(f);
        const WrappingTextLayout* layout = layoutOf(f);
        const qsizetype before = layout->blocksReadForJoins() + layout->forgottenBlocks();
        const FontSize larger(17);
        EditorFixture::settle();
        waitWalked(f);
        const Reads reads{layout->blocksReadForJoins() + layout->forgottenBlocks() - before, f.editor().foldTracker().lastScanLength()};
        EXPECT_EQ(f.view->font().pixelSize(), 17);
        expectRowsCounted(f);
        return reads;
    };
    const Reads shorter = readsForNewSize(32 * 1024), longer = readsForNewSize(256 * 1024);
    EXPECT_LE(shorter.blocks, 2048);
    EXPECT_LE(longer.blocks, shorter.blocks + 64);
    EXPECT_LE(longer.foldUnits, shorter.foldUnits);
}

// The walk that takes back the rows lines took at the old width goes a step of blocks a turn, so the
// turn of the change holds no more in a longer text; then every line counts what it should and the
// scroll range follows, and the lines on screen were laid out no more often than in a shorter text.
TEST(Rewrap, ANewWidthWalksAStepOfTheLinesATurn) {
    const auto laidOutFor = [](qsizetype lines) {
        EditorFixture f(textOf(lines), QStringLiteral("notes.txt"));
        waitShown(f);
        scrollThrough(f);
        WrappingTextLayout* layout = layoutOf(f);
        layout->setWalkStep(4096);
        const qsizetype walked = layout->walkedBlocks(), laidOut = layout->laidOutUnits();
        f.view->resize(f.view->width() / 2, f.view->height());
        EXPECT_LE(layout->walkedBlocks() - walked, 4096);
        waitWalked(f);
        EXPECT_GE(layout->walkedBlocks() - walked, f.view->document()->blockCount());
        expectRowsCounted(f);
        const int range = f.view->verticalScrollBar()->maximum();
        emit layout->documentSizeChanged(layout->documentSize());
        EditorFixture::settle();
        EXPECT_EQ(f.view->verticalScrollBar()->maximum(), range);
        return layout->laidOutUnits() - laidOut;
    };
    const qsizetype shorter = laidOutFor(32 * 1024);
    EXPECT_LE(laidOutFor(256 * 1024), shorter + 4096);
}

// Lines that come and go before where the walk has got to move it along with them: it neither
// stops short nor leaves lines counting rows from the old width.
TEST(Rewrap, LinesEditedWhileTheWalkGoesOnEndCountedRight) {
    const QString line = QStringLiteral("wide ").repeated(40) + u'\n';
    EditorFixture f(line.repeated(8000), QStringLiteral("notes.txt"));
    waitShown(f);
    WrappingTextLayout* layout = layoutOf(f);
    // Lines far down laid out at this width, as scrolling through them leaves them.
    for (QTextBlock b = f.view->document()->findBlockByNumber(3000); b.blockNumber() < 5000; b = b.next())
        layout->blockBoundingRect(b);
    ASSERT_GT(f.view->document()->findBlockByNumber(4000).lineCount(), 1);
    layout->setWalkStep(1024);
    f.view->resize(f.view->width() / 2, f.view->height());
    ASSERT_TRUE(layout->forgetting());
    // Lines go above where the walk is, then come back: the walk goes on from the same line.
    f.select(0, 2000 * line.size());
    f.type(QStringLiteral("x"));
    QApplication::processEvents();
    ASSERT_TRUE(layout->forgetting());
    f.select(0);
    f.type(line.repeated(3));
    waitWalked(f);
    expectRowsCounted(f);
}
