// The editor pane's choice of what to show, and the tab bar's chips.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QPushButton>
#include <QVariantAnimation>
#include <QScrollBar>
#include <QWheelEvent>

#include "Platform/SettingsStore.h"
#include "Platform/TextFile.h"
#include "ScriptedPrompter.h"
#include "ViewsTestSupport.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/EditorTabBarView.h"
#include "Views/TabChip.h"

using namespace testing_support;
using namespace views_test;
using Kind = EditorPaneView::Kind;

namespace {

GitFileChange change(const QString& path) {
    GitFileChange c;
    c.path = path;
    return c;
}

class EditorAreaTest : public ::testing::Test {
protected:
    EditorDocument* open(const QString& name, const QString& text = "text\n") {
        app.open(folder.write(name, text.toUtf8()));
        return app.activeDocument();
    }

    TempFolder folder;
    AppState app;
};

TEST_F(EditorAreaTest, PaneShowsRequestThenDiffThenDocumentThenEmpty) {
    EditorPaneView pane(&app);
    EXPECT_EQ(pane.subject().kind, Kind::empty);
    EditorDocument* doc = open("a.py");
    EXPECT_EQ(pane.subject(), (EditorPaneView::Subject{Kind::document, doc->id().toString()}));
    ASSERT_NE(pane.editor(), nullptr);
    EXPECT_EQ(pane.editor()->editorDocument(), doc);

    app.setActiveDiff(change("src/a.py"));
    EXPECT_EQ(pane.subject().kind, Kind::diff) << "a diff goes before the document";
    EXPECT_EQ(pane.editor(), nullptr);

    app.setActiveDocumentId(QUuid::createUuid());  // names no open document
    app.setActiveDiff(std::nullopt);
    EXPECT_EQ(pane.subject().kind, Kind::empty);

    app.selectTab(doc);
    EXPECT_EQ(pane.subject().kind, Kind::document);
}

// Whatever it shows, the pane's content takes the pane's whole size, also after the pane is resized.
TEST_F(EditorAreaTest, PaneContentFillsThePaneAtEverySize) {
    EditorPaneView pane(&app);
    pane.resize(500, 300);
    pane.show();
    open("a.py");
    ASSERT_NE(pane.editor(), nullptr);
    EXPECT_EQ(pane.editor()->geometry(), pane.rect());
    pane.resize(900, 640);
    EXPECT_EQ(pane.editor()->geometry(), QRect(0, 0, 900, 640));
}

TEST_F(EditorAreaTest, PaneRebuildsOnlyWhenTheIdentityChanges) {
    EditorPaneView pane(&app);
    app.setActiveDiff(change("x.txt"));
    const QWidget* diffView = pane.content();
    app.setActiveDiff(change("x.txt"));
    EXPECT_EQ(pane.content(), diffView) << "same path: same view";
    app.setActiveDiff(change("y.txt"));
    EXPECT_NE(pane.content(), diffView);

    app.setActiveDiff(std::nullopt);
    EditorDocument* a = open("a.txt");
    EditorDocument* b = open("b.txt");
    CodeEditorView* editorB = pane.editor();
    a->setText("changed\n");  // edits of another document rebuild nothing
    EXPECT_EQ(pane.editor(), editorB);
    app.selectTab(a);
    ASSERT_NE(pane.editor(), editorB);
    EXPECT_EQ(pane.editor()->editorDocument(), a);
    Q_UNUSED(b);
}

TEST_F(EditorAreaTest, PaneFollowsTheFindFlagAndLetsGoOfARetiredEditor) {
    EditorPaneView pane(&app);
    open("a.txt", "one one\n");
    EXPECT_FALSE(pane.editor()->showFind());
    app.setFindOpen(true);
    EXPECT_TRUE(pane.editor()->showFind());
    ASSERT_TRUE(waitUntil([&] { return app.editorController().actions() != nullptr; }));

    app.close(app.activeDocument());
    EXPECT_EQ(pane.subject().kind, Kind::empty);
    EXPECT_EQ(app.editorController().actions(), nullptr) << "commands stop reaching the closed editor at once";
    EXPECT_EQ(app.findState().engine(), nullptr);
}

TEST_F(EditorAreaTest, TabBarKeepsChipsPerDocumentInTabOrder) {
    EditorTabBarView bar(&app);
    EXPECT_TRUE(bar.chips().isEmpty());
    EditorDocument* a = open("a.txt");
    EditorDocument* b = open("b.txt");
    EditorDocument* c = open("c.txt");
    QList<TabChip*> chips = bar.chips();
    ASSERT_EQ(chips.size(), 3);
    EXPECT_EQ(chips[0]->document(), a);
    EXPECT_TRUE(waitUntil([&] { return chips[2]->isActive(); }));

    TabChip* chipC = bar.chip(c->id());
    chipC->setHover(true);
    app.close(b);
    chips = bar.chips();
    ASSERT_EQ(chips.size(), 2);
    EXPECT_EQ(chips[1], chipC) << "chips follow their documents";
    EXPECT_TRUE(chipC->hover());
    EXPECT_FALSE(bar.chip(a->id())->hover());
}

TEST_F(EditorAreaTest, ChipsArePlacedOnlyWhereTheTabOrderChangesHoweverManyTabsAreOpen) {
    EditorTabBarView bar(&app);
    QList<EditorDocument*> docs;
    for (int i = 0; i < 60; ++i) docs << open(QStringLiteral("f%1.txt").arg(i));
    ASSERT_EQ(bar.chips().size(), 60);

    // Moving between tabs places no chip.
    qint64 placed = EditorTabBarView::placedChips;
    for (EditorDocument* doc : docs) app.selectTab(doc);
    EXPECT_TRUE(bar.chip(docs.last()->id())->isActive());
    EXPECT_EQ(EditorTabBarView::placedChips - placed, 0);

    // One more tab places its own chip; closing one places none of the others.
    placed = EditorTabBarView::placedChips;
    EditorDocument* extra = open("extra.txt");
    app.close(docs[30]);
    EXPECT_EQ(EditorTabBarView::placedChips - placed, 1);
    docs.removeAt(30);
    docs << extra;
    QList<EditorDocument*> shown;
    for (TabChip* chip : bar.chips()) shown << chip->document();
    EXPECT_EQ(shown, docs);
}

TEST_F(EditorAreaTest, DirtyChipShowsTheDotUntilHoveredAndClicksSelectOrClose) {
    ScriptedPrompter prompter;
    EditorTabBarView bar(&app);
    bar.resize(800, 40);
    bar.show();
    EditorDocument* a = open("a.txt");
    EditorDocument* b = open("b.txt");
    TabChip* chipA = bar.chip(a->id());
    EXPECT_FALSE(chipA->showsDirtyDot());
    EXPECT_TRUE(chipA->closeButton()->isVisibleTo(chipA));

    a->setText("edited\n");
    EXPECT_TRUE(chipA->showsDirtyDot());
    EXPECT_FALSE(chipA->closeButton()->isVisibleTo(chipA));
    chipA->setHover(true);
    EXPECT_FALSE(chipA->showsDirtyDot());
    EXPECT_TRUE(chipA->closeButton()->isVisibleTo(chipA));

    // Closing a dirty tab asks first and does not select it.
    prompter.answers = {2};
    chipA->closeButton()->click();
    EXPECT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(app.activeDocument(), b);
    EXPECT_EQ(app.documents().size(), 2);

    // A click anywhere else on the chip selects it, and clears a shown diff.
    app.setActiveDiff(change("d"));
    QTest::mouseClick(chipA, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(app.activeDocument(), a);
    EXPECT_FALSE(app.activeDiff().has_value());
    EXPECT_TRUE(waitUntil([&] { return bar.chip(a->id())->isActive() && !bar.chip(b->id())->isActive(); }));
}

TEST_F(EditorAreaTest, KeysTypedIntoADirtyDocumentLeaveItsChipsCloseButtonUnstyled) {
    EditorTabBarView bar(&app);
    bar.resize(800, 40);
    bar.show();
    EditorDocument* a = open("a.txt");
    a->setText("edited\n");
    QApplication::processEvents();
    // Every key reports the document dirty again; restyling the button, or repainting the chip over
    // the window's background, at each costs a key dearly.
    struct Events : QObject {
        QEvent::Type type;
        int count = 0;
        explicit Events(QEvent::Type type) : type(type) {}
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == type;
            return false;
        }
    } restyled(QEvent::StyleChange), painted(QEvent::Paint);
    TabChip* chip = bar.chip(a->id());
    // Once it has settled as the active tab.
    for (const auto* animation : chip->findChildren<QVariantAnimation*>())
        EXPECT_TRUE(waitUntil([&] { return animation->state() == QAbstractAnimation::Stopped; }));
    QApplication::processEvents();
    chip->closeButton()->installEventFilter(&restyled);
    chip->installEventFilter(&painted);
    for (const char* text : {"edited1\n", "edited12\n", "edited123\n"}) {
        a->setText(text);
        QApplication::processEvents();
    }
    EXPECT_EQ(restyled.count, 0);
    EXPECT_EQ(painted.count, 0);
    chip->setHover(true);
    EXPECT_TRUE(chip->closeButton()->styleSheet().contains("border-radius"));
}

TEST_F(EditorAreaTest, LongNamesStayOnOneLineAndTheBarScrolls) {
    EditorTabBarView bar(&app);
    bar.resize(300, 40);
    bar.show();
    open(QString(60, u'n') + ".txt");
    TabChip* chip = bar.chips().front();
    EXPECT_GT(chip->sizeHint().width(), 300);
    EXPECT_TRUE(waitUntil([&] {
        return chip->width() >= chip->sizeHint().width() && bar.widget()->width() > bar.viewport()->width();
    })) << "the strip is wider than the bar and scrolls";
}

// A name holding a line break is drawn on one line, the break shown as its escape.
TEST_F(EditorAreaTest, ANameWithALineBreakIsDrawnOnOneLine) {
    EditorTabBarView bar(&app);
    bar.resize(600, 40);
    bar.show();
    EditorDocument* broken = open("two\nlines.txt");
    EditorDocument* escaped = open("two\\nlines.txt");
    app.selectTab(broken);
    app.selectTab(escaped);  // both inactive in turn: drawn alike
    app.newUntitled();
    TabChip* a = bar.chip(broken->id());
    TabChip* b = bar.chip(escaped->id());
    ASSERT_TRUE(waitUntil([&] { return a->width() > 0 && a->size() == b->size(); }));
    EXPECT_EQ(a->grab().toImage(), b->grab().toImage());
}

// Forty tabs in a narrow bar: the active chip is always brought into view, and a plain mouse's
// vertical wheel, turned over any chip, reaches every other one.
TEST_F(EditorAreaTest, TheActiveChipComesIntoViewAndTheVerticalWheelScrollsTheBar) {
    EditorTabBarView bar(&app);
    bar.resize(700, EditorTabBarView::kHeight);
    bar.show();
    QList<EditorDocument*> docs;
    for (int i = 0; i < 40; ++i) docs << open(QStringLiteral("file-%1.txt").arg(i, 2, 10, QChar(u'0')));
    const auto shows = [&](EditorDocument* doc) {
        const TabChip* chip = bar.chip(doc->id());
        const QRect box(chip->mapTo(bar.viewport(), QPoint(0, 0)), chip->size());
        return bar.viewport()->rect().contains(box);
    };
    QScrollBar* scroll = bar.horizontalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return scroll->maximum() > 0 && shows(docs.last()); })) << "a new tab opens in view";
    app.selectTab(docs.first());
    EXPECT_TRUE(waitUntil([&] { return shows(docs.first()); }));
    app.selectTab(docs[20]);
    EXPECT_TRUE(waitUntil([&] { return shows(docs[20]); }));

    // One notch over the middle of the bar, delivered as the toolkit delivers a mouse's: to the
    // widget under the pointer, then up through its parents while they ignore it.
    const auto turn = [&](int angle) {
        const QPoint spot = bar.viewport()->mapToGlobal(QPoint(bar.viewport()->width() / 2, EditorTabBarView::kHeight / 2));
        for (QWidget* w = QApplication::widgetAt(spot) ? QApplication::widgetAt(spot) : bar.viewport(); w; w = w->parentWidget()) {
            const QPointF at = w->mapFromGlobal(QPointF(spot));
            QWheelEvent wheel(at, QPointF(spot), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w, &wheel);
            if (wheel.isAccepted() || w->isWindow()) return;
        }
    };
    scroll->setValue(0);
    turn(-120);  // one notch down
    EXPECT_GT(scroll->value(), 0) << "down moves toward the last tab";
    for (int i = 0; i < 200 && scroll->value() < scroll->maximum(); ++i) turn(-120);
    EXPECT_EQ(scroll->value(), scroll->maximum());
    EXPECT_TRUE(shows(docs.last())) << "the wheel reaches the last tab";
    turn(120);
    EXPECT_LT(scroll->value(), scroll->maximum()) << "up moves back";
    // The wheel alone never changes which tab is active, and the bar stays where the user left it.
    QApplication::processEvents();
    EXPECT_EQ(app.activeDocument(), docs[20]);
    EXPECT_LT(scroll->value(), scroll->maximum());
}

// A session brings its tabs back before the window is first shown: the active one, far along,
// must be in view once the bar has its real width.
TEST_F(EditorAreaTest, TheActiveChipOfTabsOpenedBeforeTheBarIsShownIsInViewOnceItIs) {
    EditorTabBarView bar(&app);
    QList<EditorDocument*> docs;
    for (int i = 0; i < 60; ++i) docs << open(QStringLiteral("file-%1.txt").arg(i, 2, 10, QChar(u'0')));
    app.selectTab(docs[30]);
    QApplication::processEvents();
    bar.resize(700, EditorTabBarView::kHeight);
    bar.show();
    const auto shows = [&](EditorDocument* doc) {
        const TabChip* chip = bar.chip(doc->id());
        const QRect box(chip->mapTo(bar.viewport(), QPoint(0, 0)), chip->size());
        return bar.viewport()->rect().contains(box);
    };
    EXPECT_TRUE(waitUntil([&] { return bar.horizontalScrollBar()->maximum() > 0 && shows(docs[30]); }));
    // Wider again, as a window is when it first takes its saved size: still in view.
    bar.resize(1400, EditorTabBarView::kHeight);
    EXPECT_TRUE(waitUntil([&] { return shows(docs[30]); }));
}

// A restored session reads each file once and shows the active tab's editor alone; its chips are each
// placed once.
TEST(EditorAreaSession, RestoringBuildsOneEditorAndVisitsEachChipAFewTimesHoweverManyTabs) {
    for (const int tabs : {6, 60}) {
        TempFolder folder;
        const QString previous = SettingsStore::shared().filePath();
        SettingsStore::shared().setFilePath(folder.file("settings.json"));
        QStringList docs;
        for (int i = 0; i < tabs; ++i) docs << folder.write(QStringLiteral("f%1.txt").arg(i), "text\n");
        SettingsStore::shared().setValue(SettingsKey::sessionDocs, QJsonArray::fromStringList(docs));
        SettingsStore::shared().setValue(SettingsKey::sessionActive, docs[tabs / 2]);

        AppState app;
        EditorPaneView pane(&app);
        EditorTabBarView bar(&app);
        const qint64 built = EditorPaneView::builtEditors, placed = EditorTabBarView::placedChips,
                     visited = EditorTabBarView::visitedChips;
        const quint64 read = TextFile::filesRead();
        app.restoreSession();
        EXPECT_EQ(TextFile::filesRead() - read, quint64(tabs)) << tabs << " tabs";
        EXPECT_EQ(EditorPaneView::builtEditors - built, 1) << tabs << " tabs";
        EXPECT_EQ(EditorTabBarView::placedChips - placed, tabs);
        EXPECT_LE(EditorTabBarView::visitedChips - visited, 2 * tabs) << tabs << " tabs";
        ASSERT_NE(pane.editor(), nullptr);
        EXPECT_EQ(pane.editor()->editorDocument()->url(), docs[tabs / 2]);
        ASSERT_EQ(bar.chips().size(), tabs);
        EXPECT_TRUE(bar.chip(app.activeDocument()->id())->isActive());
        SettingsStore::shared().setFilePath(previous);
    }
}

} // namespace
