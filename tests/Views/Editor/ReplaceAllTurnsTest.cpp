// A Replace All over many matches, and its undo, reach the display a bounded number of matches per
// turn of the event loop; meanwhile the window shows the text as it was, and what the user does then
// follows the whole replacement, in order, exactly once.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>

#include "Editor/FoldComputer.h"
#include "EditorFixture.h"
#include "Platform/LateRelease.h"

namespace {

const QString kLine = QStringLiteral("alpha kilo beta\n");

void replaceAllOf(EditorFixture& f, const QString& query, const QString& replacement) {
    f.view->setShowFind(true);
    f.find.setCaseSensitive(true);
    f.find.setReplacement(replacement);
    f.find.setQuery(query);
    f.settle();
    f.select(0);
    f.find.engine()->replaceAll();
}

void waitUntilDone(EditorFixture& f) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.editor().isBusy(); }, 120000));
    f.settle();
}

bool displayHolds(const EditorFixture& f, const QString& text) {
    return f.view->document()->toRawText() == ExactText::display(text);
}

// The same for a text with lines shown in pieces.
bool displayShowsText(const EditorFixture& f) {
    return f.view->document()->toRawText() == f.editor().text().displayOf(0, f.editor().text().size());
}

// Counts the paints of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

TEST(ReplaceAllTurns, DisplayWorkPerTurnDoesNotGrowWithTheMatches) {
    const auto mostPerTurn = [](int lines) {
        const QString text = kLine.repeated(lines);
        const QString replaced = QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram"));
        EditorFixture f(text, QStringLiteral("words.txt"));
        replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == replaced);
        EXPECT_TRUE(displayHolds(f, replaced));
        qsizetype most = f.editor().mostPartsShownInATurn();
        f.editor().undo();
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == text);
        EXPECT_TRUE(displayHolds(f, text));
        most = qMax(most, f.editor().mostPartsShownInATurn());
        f.editor().redo();
        waitUntilDone(f);
        EXPECT_TRUE(displayHolds(f, replaced));
        return qMax(most, f.editor().mostPartsShownInATurn());
    };
    const qsizetype small = mostPerTurn(1000), large = mostPerTurn(16000);
    EXPECT_EQ(small, 1000);  // a small one goes in at once
    EXPECT_LE(large, 4096);
}

// Keys typed, a save and an undo while the display catches up: each acts on the whole replacement.
TEST(ReplaceAllTurns, WhatComesMeanwhileFollowsTheWholeReplacement) {
    const QString text = kLine.repeated(16000);
    const QString replaced = QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram"));
    {
        EditorFixture f(text, QStringLiteral("words.txt"));
        PaintCounter counter;
        f.view->viewport()->installEventFilter(&counter);
        replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
        counter.paints = 0;
        ASSERT_TRUE(f.editor().isDisplayBehind());
        // The saved bytes are the whole replacement's at once.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("words.txt"));
        ASSERT_TRUE(f.document.save(path));
        QFile saved(path);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_TRUE(saved.readAll() == replaced.toUtf8());
        f.type(QStringLiteral("xy"));
        // Nothing is painted before the display holds all of it.
        while (f.editor().isBusy()) {
            EXPECT_EQ(counter.paints, 0);
            f.view->viewport()->update();
            QApplication::processEvents();
        }
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == "xy" + replaced);
        EXPECT_TRUE(displayHolds(f, "xy" + replaced));
        EXPECT_EQ(f.selection(), (TextRange{2, 0}));
        f.editor().undo();
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == replaced);
        f.editor().undo();
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == text);
        EXPECT_TRUE(displayHolds(f, text));
        EXPECT_FALSE(f.editor().canUndo());
    }
    {
        // An undo, and a second Replace All, right after: the first is finished before them.
        EditorFixture f(text, QStringLiteral("words.txt"));
        replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
        f.editor().undo();
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == text);
        EXPECT_TRUE(displayHolds(f, text));
        f.editor().redo();
        replaceAllOf(f, QStringLiteral("gram"), QStringLiteral("g"));
        waitUntilDone(f);
        const QString twice = QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilog"));
        EXPECT_TRUE(f.text() == twice);
        EXPECT_TRUE(displayHolds(f, twice));
        f.editor().undo();
        waitUntilDone(f);
        EXPECT_TRUE(displayHolds(f, replaced));
    }
    {
        // The editor closed meanwhile: the document keeps the whole replacement.
        auto f = std::make_unique<EditorFixture>(text, QStringLiteral("words.txt"));
        replaceAllOf(*f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
        f->view.reset();
        EXPECT_TRUE(f->document.text() == replaced);
        EXPECT_TRUE(f->document.isDirty());
    }
}

// Over turns or at once, a Replace All leaves the folds and colours a fresh editor of the new text
// has.
TEST(ReplaceAllTurns, FoldsAndColoursAreThoseOfTheNewText) {
    const QString text = QStringLiteral("if (ready) {\n  kilo(\"s\", 1); // k\n}\n").repeated(6000);
    const QString replaced = QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram"));
    EditorFixture f(text, QStringLiteral("main.js"));
    replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
    EXPECT_TRUE(f.editor().isDisplayBehind());
    waitUntilDone(f);
    f.settleColours();
    EXPECT_EQ(f.editor().foldRegions(), FoldComputer::regions(replaced));
    EditorFixture fresh(replaced, QStringLiteral("main.js"));
    const auto formats = [](const EditorFixture& e) {
        QList<QList<QTextLayout::FormatRange>> out;
        for (const CodeEditorView::VisibleLine& line : e.view->visibleLines()) out.append(line.block.layout()->formats());
        return out;
    };
    EXPECT_EQ(formats(f), formats(fresh));
    EXPECT_GT(formats(f).first().size(), 1);
}

// A click while the display catches up lands where it would have landed on the new text.
TEST(ReplaceAllTurns, AClickMeanwhileLandsOnTheNewText) {
    const QString text = kLine.repeated(16000);
    const QString replaced = QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram"));
    const QPoint at(120, 40);
    EditorFixture fresh(replaced, QStringLiteral("words.txt"));
    QTest::mouseClick(fresh.view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    fresh.settle();
    ASSERT_GT(fresh.selection().location, 0);

    EditorFixture f(text, QStringLiteral("words.txt"));
    replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
    ASSERT_TRUE(f.editor().isDisplayBehind());
    QTest::mouseClick(f.view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    waitUntilDone(f);
    EXPECT_EQ(f.selection(), fresh.selection());
    EXPECT_TRUE(displayHolds(f, replaced));
}

// A paste that does not come as a key (a menu's) while keys typed meanwhile still wait: it goes
// after them, where they left the caret.
TEST(ReplaceAllTurns, APasteMeanwhileGoesAfterTheKeysBeforeIt) {
    const QString text = kLine.repeated(16000);
    const QString replaced = QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram"));
    EditorFixture f(text, QStringLiteral("words.txt"));
    replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
    ASSERT_TRUE(f.editor().isDisplayBehind());
    f.type(QStringLiteral("xy"));
    QApplication::clipboard()->setText(QStringLiteral("P"));
    f.view->paste();
    waitUntilDone(f);
    EXPECT_TRUE(f.text() == "xyP" + replaced);
    EXPECT_TRUE(displayHolds(f, "xyP" + replaced));
    EXPECT_EQ(f.selection(), (TextRange{3, 0}));
}

// A Replace All (and its undo) on one long line replaces the line as one change: its text is put
// into display form once, not again for each look the after-edit work takes at it.
TEST(ReplaceAllTurns, ALongLineReplacedWholeIsConvertedForTheDisplayOnce) {
    const QString text = QStringLiteral("items.length+f(x);").repeated(64 * 1024);
    const QString replaced = QString(text).replace(QStringLiteral("items.length"), QStringLiteral("items.size"));
    EditorFixture f(text, QStringLiteral("min.txt"));
    f.editor().showAll();
    f.view->setShowFind(true);
    f.find.setCaseSensitive(true);
    f.find.setReplacement(QStringLiteral("items.size"));
    f.find.setQuery(QStringLiteral("items.length"));
    f.settle();
    f.select(0);
    qsizetype before = ExactText::unitsConverted();
    f.find.engine()->replaceAll();
    EXPECT_LE(ExactText::unitsConverted() - before, text.size() * 3 / 2);
    waitUntilDone(f);
    EXPECT_TRUE(f.text() == replaced);
    EXPECT_TRUE(displayShowsText(f));
    before = ExactText::unitsConverted();
    f.editor().undo();
    EXPECT_LE(ExactText::unitsConverted() - before, text.size() * 3 / 2);
    waitUntilDone(f);
    EXPECT_TRUE(f.text() == text);
    EXPECT_TRUE(displayShowsText(f));
}

// A long line's Replace All and its undo leave whole copies of the line behind (the text replaced,
// the line made anew): the window lets go of them off its own thread, however long the line.
TEST(ReplaceAllTurns, ALongLinesBuffersAreFreedOffTheWindowsThread) {
    for (const int kilobytes : {2048, 16384}) {
        SCOPED_TRACE(kilobytes);
        const QString text = QStringLiteral("items.length+f(x);").repeated(kilobytes * 1024 / 18);
        EditorFixture f(text, QStringLiteral("min.txt"));
        const qsizetype aside = LateRelease::unitsFreedAside();
        replaceAllOf(f, QStringLiteral("items.length"), QStringLiteral("items.size"));
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == QString(text).replace(QStringLiteral("items.length"), QStringLiteral("items.size")));
        f.editor().undo();
        waitUntilDone(f);
        EXPECT_TRUE(f.text() == text);
        LateRelease::settle();
        // Each step lets go of the text it replaced and of the line it made: near four lines' worth.
        EXPECT_GE(LateRelease::unitsFreedAside() - aside, 3 * text.size());
    }
}

// A Replace All's parts share their two strings: its undo and redo put them into display form once,
// not again at each part.
TEST(ReplaceAllTurns, AnUndoConvertsTheSharedStringsForTheDisplayNotEachPart) {
    const auto converted = [](int lines) {
        const QString text = kLine.repeated(lines);
        const QString replaced = QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram"));
        EditorFixture f(text, QStringLiteral("words.txt"));
        replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"));
        waitUntilDone(f);
        qsizetype before = ExactText::unitsConverted();
        f.editor().undo();
        waitUntilDone(f);
        const qsizetype undone = ExactText::unitsConverted() - before;
        EXPECT_TRUE(displayHolds(f, text));
        before = ExactText::unitsConverted();
        f.editor().redo();
        waitUntilDone(f);
        const qsizetype redone = ExactText::unitsConverted() - before;
        EXPECT_TRUE(displayHolds(f, replaced));
        return qMax(undone, redone);
    };
    const qsizetype small = converted(1000), large = converted(16000);
    EXPECT_LT(large, 16000 / 10);
    EXPECT_LT(large, small + 16000 / 10);
}

// An undo of a Replace All puts each part into the display without looking up the line it is on:
// only the lines laid out for the screen are looked at, and those the parts touch are laid out again.
TEST(ReplaceAllTurns, AnUndoLooksUpTheLinesOnScreenNotALinePerPart) {
    const QString narrow = QStringLiteral("alpha kilo beta gamma delta epsilon zeta eta theta iota\n");
    const auto lookedUp = [&](int lines) {
        const QString text = narrow.repeated(lines);
        EditorFixture f(text, QStringLiteral("words.txt"));
        replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram kilogram kilogram kilogram"));
        waitUntilDone(f);
        f.view->resize(300, 480);  // the longer lines take more rows than the shorter ones
        f.settle();
        const qsizetype before = f.editor().displayLinesLookedUp();
        f.editor().undo();
        waitUntilDone(f);
        EXPECT_TRUE(displayHolds(f, text));
        // Every line laid out holds rows for the text it has now.
        int laidOut = 0;
        for (QTextBlock block = f.view->document()->begin(); block.isValid() && block.blockNumber() < 200; block = block.next()) {
            const QTextLayout* layout = block.layout();
            if (layout->lineCount() == 0) continue;
            ++laidOut;
            const QTextLine last = layout->lineAt(layout->lineCount() - 1);
            EXPECT_EQ(last.textStart() + last.textLength(), block.length() - 1) << block.blockNumber();
        }
        EXPECT_GT(laidOut, 5);
        return f.editor().displayLinesLookedUp() - before;
    };
    const qsizetype small = lookedUp(1000), large = lookedUp(16000);
    EXPECT_LT(small, 1000);
    EXPECT_LT(large, 16000 / 8);
}

// Lines laid out before lines were added above them are found by their new numbers: a Replace All
// over them then lays them out again too.
TEST(ReplaceAllTurns, LinesLaidOutBeforeLinesCameAboveAreLaidOutAgainWhenReplacedIn) {
    const QString text = QStringLiteral("alpha kilo beta gamma delta epsilon\n").repeated(400);
    EditorFixture f(text, QStringLiteral("words.txt"));
    f.view->resize(300, 480);
    f.settle();
    f.select(0);
    f.type(QStringLiteral("\n\n\n\n\n\n\n\n"));
    f.settle();
    replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram kilogram kilogram kilogram"));
    waitUntilDone(f);
    int laidOut = 0;
    for (QTextBlock block = f.view->document()->begin(); block.isValid() && block.blockNumber() < 100; block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (layout->lineCount() == 0) continue;
        ++laidOut;
        const QTextLine last = layout->lineAt(layout->lineCount() - 1);
        EXPECT_EQ(last.textStart() + last.textLength(), block.length() - 1) << block.blockNumber();
    }
    EXPECT_GT(laidOut, 10);
}
