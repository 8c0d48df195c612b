// The find bar: what its label says, what its controls write into the find state and which engine
// calls they make.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>

#include "Editor/FindMatcher.h"
#include "Editor/FindState.h"
#include "UI/PressableButton.h"
#include "ViewsTestSupport.h"
#include "Views/FindBar.h"
#include "Views/Editor/EditorFixture.h"

using namespace testing_support;
using namespace views_test;

namespace {

QString label(const QString& query, int count, int current, bool invalid) {
    FindState find;
    find.setQuery(query);
    find.setMatchCount(count);
    find.setCurrent(current);
    find.setInvalidRegex(invalid);
    return FindBar::matchLabel(find);
}

TEST(FindBarTest, MatchLabelFollowsTheRulesInOrder) {
    EXPECT_EQ(label("", 5, 1, true), "") << "an empty query shows nothing, whatever else holds";
    EXPECT_EQ(label(" ", 0, 0, false), "no results") << "a space is text";
    EXPECT_EQ(label("(", 3, 1, true), "bad regex");
    EXPECT_EQ(label("a", 12, 3, false), "3 of 12");
    EXPECT_EQ(label("a", 0, 0, false), "no results");

    FindState stopped;
    stopped.setQuery("(a+)+$");
    stopped.setSearchStopped(true);
    EXPECT_EQ(FindBar::matchLabel(stopped), "search stopped") << "a stopped search is not a count of 0";
    stopped.setCounting(true);
    EXPECT_EQ(FindBar::matchLabel(stopped), "") << "nor is a search still counting";
}

TEST(FindBarTest, AStoppedSearchIsShownAndReplaceAllChangesNothing) {
    const QString text = QString(40, u'a') + "b\n";
    EditorFixture f(text, "notes.txt");
    f.view->setShowFind(true);
    f.find.setUseRegex(true);
    f.find.setReplacement("x");
    f.find.setQuery("(a+)+$");
    f.settle();
    EXPECT_TRUE(f.find.searchStopped());
    EXPECT_EQ(f.find.matchCount(), 0);
    EXPECT_EQ(FindBar::matchLabel(f.find), "search stopped");
    f.find.engine()->replaceAll();
    EXPECT_EQ(f.text(), text) << "no partial replacement";
    EXPECT_TRUE(f.find.searchStopped());

    f.find.setQuery("a+b");
    f.settle();
    EXPECT_FALSE(f.find.searchStopped());
    EXPECT_EQ(FindBar::matchLabel(f.find), "1 of 1");
}

// A template naming a group the query lacks cannot replace anything; the label says so while the
// replace row is open, and Replace / Replace All leave the text as it was.
TEST(FindBarTest, AReplacementNamingAMissingGroupIsShown) {
    const QString text = "a1 b2\n";
    EditorFixture f(text, "notes.txt");
    f.view->setShowFind(true);
    f.find.setShowReplace(true);
    f.find.setUseRegex(true);
    f.find.setQuery("(\\d)");
    f.find.setReplacement("<$1>");
    f.settle();
    EXPECT_EQ(FindBar::matchLabel(f.find), "1 of 2");
    for (const QString& bad : {QStringLiteral("<$9>"), QStringLiteral("${name}")}) {
        f.find.setReplacement(bad);
        EXPECT_EQ(FindBar::matchLabel(f.find), "bad replacement") << bad.toStdString();
        f.find.engine()->replaceAll();
        f.find.engine()->replaceCurrent();
        f.settle();
        EXPECT_EQ(f.text(), text);
    }
    f.find.setUseRegex(false);  // a literal replacement has no groups to miss
    f.settle();
    EXPECT_EQ(FindBar::matchLabel(f.find), "no results");
    f.find.setUseRegex(true);
    f.find.setShowReplace(false);
    f.settle();
    EXPECT_EQ(FindBar::matchLabel(f.find), "1 of 2") << "only said while the replacement is shown";
}

class FindBarFixture : public ::testing::Test {
protected:
    void SetUp() override {
        area.resize(900, 500);
        bar = new FindBar(&find, [this] { ++closes; }, &area);
        area.show();
        QApplication::setActiveWindow(&area);
    }
    QAbstractButton* button(const char* name) { return bar->findChild<QAbstractButton*>(name); }

    FindState find;
    QWidget area;
    FindBar* bar = nullptr;
    int closes = 0;
};

TEST_F(FindBarFixture, ControlsWriteTheStateAndTheStateFillsTheControls) {
    ASSERT_TRUE(waitUntil([&] { return bar->focus() == FindBar::Field::query; })) << "the query field is focused";
    QTest::keyClicks(bar->queryField(), "foo");
    EXPECT_EQ(find.query(), "foo");
    button("replaceToggle")->click();
    EXPECT_TRUE(find.showReplace());
    EXPECT_TRUE(bar->replaceRow()->isVisible());
    QTest::keyClicks(bar->replacementField(), "bar");
    EXPECT_EQ(find.replacement(), "bar");

    button("Match Case")->click();
    button("Whole Word")->click();
    button("Regular Expression")->click();
    button("Regular Expression")->click();
    EXPECT_TRUE(find.caseSensitive());
    EXPECT_TRUE(find.wholeWord());
    EXPECT_FALSE(find.useRegex());

    find.setQuery("other");  // from outside, e.g. the command closing the bar keeps it
    EXPECT_EQ(bar->queryField()->text(), "other");
    find.setMatchCount(4);
    find.setCurrent(2);
    EXPECT_EQ(bar->matchLabelView()->text(), "2 of 4");
}

TEST_F(FindBarFixture, ReplaceRowWidensTheBarOnTheSpringAndNarrowsItAgain) {
    const int narrow = bar->surface()->width();
    find.setShowReplace(true);
    // The bar's own geometry follows its surface's a turn later.
    const auto settled = [&] {
        return bar->height() > bar->surface()->height() && bar->x() == (area.width() - bar->width()) / 2;
    };
    EXPECT_TRUE(waitUntil([&] { return bar->surface()->width() > narrow && settled(); }))
        << "centred, with room for the shadow";
    find.setShowReplace(false);
    EXPECT_TRUE(waitUntil([&] { return bar->surface()->width() == narrow && !bar->replaceRow()->isVisible(); }));
}

// The editor area widens or narrows under the bar: it stays centred over it.
TEST_F(FindBarFixture, TheBarStaysCentredWhenTheAreaChangesSize) {
    const auto centred = [&] { return bar->x() == (area.width() - bar->width()) / 2; };
    ASSERT_TRUE(waitUntil(centred));
    area.resize(1400, 500);
    EXPECT_TRUE(waitUntil(centred));
    area.resize(700, 500);
    EXPECT_TRUE(waitUntil(centred));
}

// Opened with the replace row closed, the panel holds the find row alone: as tall as it is after
// the replace row has come and gone, and the toggle's row (its tallest control) fills it.
TEST_F(FindBarFixture, TheBarIsAsTallAsItsRowsFromTheFirstFrame) {
    const int opened = bar->surface()->height();
    const QMargins inner = bar->surface()->layout()->contentsMargins();
    EXPECT_EQ(opened, inner.top() + button("replaceToggle")->height() + inner.bottom());
    find.setShowReplace(true);
    ASSERT_TRUE(waitUntil([&] { return bar->surface()->height() > opened; }));
    find.setShowReplace(false);
    EXPECT_TRUE(waitUntil([&] { return !bar->replaceRow()->isVisible() && bar->surface()->height() == opened; }));
}

TEST_F(FindBarFixture, EngineCallsGoToTheRegisteredEditorOnly) {
    find.setShowReplace(true);
    // Nothing registered: every control is a no-op.
    for (const char* name : {"previous", "next", "replace", "replaceAll"}) button(name)->click();
    QTest::keyClick(bar->queryField(), Qt::Key_Return);

    auto engine = std::make_unique<FakeEditor>();
    find.setEngine(engine.get());
    button("previous")->click();
    button("next")->click();
    button("replace")->click();
    button("replaceAll")->click();
    QTest::keyClick(bar->queryField(), Qt::Key_Return);
    QTest::keyClick(bar->replacementField(), Qt::Key_Return);
    EXPECT_EQ(engine->calls, (QStringList{"previous", "next", "replace", "all", "next", "replace"}));
    QTest::keyClick(bar->queryField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(engine->calls.size(), 7) << "Shift-Return is no key of its own: the field's submit";

    engine.reset();  // the editor goes away: the reference clears itself
    button("next")->click();
    EXPECT_EQ(closes, 0);
}

TEST_F(FindBarFixture, CloseButtonAndEscapeRunOnClose) {
    find.setQuery("kept");
    button("close")->click();
    EXPECT_EQ(closes, 1);
    ASSERT_TRUE(waitUntil([&] { return bar->queryField()->hasFocus(); }));
    QTest::keyClick(bar->queryField(), Qt::Key_Escape);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(find.query(), "kept") << "the bar itself clears nothing; its owner decides";
}

// Without a pointer: Tab and Shift+Tab reach every control of the bar, each shows that it has
// the keyboard, and Space works it.
TEST_F(FindBarFixture, TabReachesEveryControlAndSpaceWorksIt) {
    find.setShowReplace(true);
    ASSERT_TRUE(waitUntil([&] { return bar->replaceRow()->isVisible() && bar->focus() == FindBar::Field::query; }));
    const auto walk = [&](bool backward) {
        QSet<QString> reached;
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(QApplication::focusWidget(), backward ? Qt::Key_Backtab : Qt::Key_Tab,
                            backward ? Qt::ShiftModifier : Qt::NoModifier);
            QWidget* now = QApplication::focusWidget();
            if (!now || !bar->isAncestorOf(now)) break;
            if (auto* button = qobject_cast<PressableButton*>(now))
                EXPECT_TRUE(button->focusRing().isShown()) << qPrintable(now->objectName());
            reached << now->objectName();
        }
        QStringList names(reached.begin(), reached.end());
        names.sort();
        return names.join(u',').toStdString();
    };
    const std::string all = "Match Case,Regular Expression,Whole Word,close,next,previous,query,replace,replaceAll,"
                            "replaceToggle,replacement";
    EXPECT_EQ(walk(false), all);
    EXPECT_EQ(walk(true), all);

    for (int i = 0; i < 30 && QApplication::focusWidget()->objectName() != "Regular Expression"; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget()->objectName().toStdString(), "Regular Expression");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(waitUntil([&] { return find.useRegex(); }));
    // A click leaves the keyboard where it was: in the field being typed into.
    bar->queryField()->setFocus();
    QTest::mouseClick(button("Whole Word"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return find.wholeWord(); }));
    EXPECT_TRUE(bar->queryField()->hasFocus());
}

// What one query costs the window besides the count: repaints of the panel and of the text, label
// texts, compiled patterns and units searched here. Counted over a text with few matches and one
// with 1,500 times as many past the first screen; none of it may depend on that.
struct QueryWork {
    qint64 panelArea = 0;
    qint64 panelPainted = 0;
    qint64 textPainted = 0;
    int labelTexts = 0;
    int regexes = 0;
    qsizetype searched = 0;
    int matches = 0;
    qsizetype visible = 0;  // units on screen
};

// Paints of a widget, and the texts a label shows, as the events of the whole program pass.
class Watch : public QObject {
public:
    Watch(QWidget* painted, QLabel* label) : painted_(painted), label_(label), last_(label->text()) {
        painted->installEventFilter(this);
        qApp->installEventFilter(this);
    }
    qint64 painted = 0;  // pixels
    int labelTexts = 0;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == painted_ && e->type() == QEvent::Paint)
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region()) painted += qint64(r.width()) * r.height();
        if (label_->text() != last_) {
            ++labelTexts;
            last_ = label_->text();
        }
        return false;
    }

private:
    QWidget* painted_;
    QLabel* label_;
    QString last_;
};

QueryWork workOfAQuery(char rest) {
    // The same first screens; past them lines of `rest`, about 600 KB: counted on other threads.
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("  const value%1 = step(%1);\n").arg(i);
    const QString line = QString(60, QChar::fromLatin1(rest)) + u'\n';
    for (int i = 0; i < 10000; ++i) text += line;
    EditorFixture f(text, QStringLiteral("main.js"));
    auto* bar = new FindBar(&f.find, [] {}, f.view.get());
    bar->show();
    f.view->setShowFind(true);
    EXPECT_TRUE(waitUntil([&] { return bar->queryField()->hasFocus(); }));
    EditorFixture::settle();
    Watch panel(bar->surface(), bar->matchLabelView());
    Watch shown(f.view->viewport(), bar->matchLabelView());
    const int regexes = f.find.regexesMade();
    const qsizetype searched = FindMatcher::unitsSearchedHere();
    QTest::keyClicks(bar->queryField(), "e");
    const auto counted = [&] {
        return !f.find.counting() && f.find.matchCount() > 0 &&
               bar->matchLabelView()->text() == QStringLiteral("1 of %1").arg(f.find.matchCount());
    };
    EXPECT_TRUE(waitUntil(counted)) << bar->matchLabelView()->text().toStdString();
    EditorFixture::settle();
    return {qint64(bar->surface()->width()) * bar->surface()->height(),
            panel.painted,
            shown.painted,
            panel.labelTexts,
            f.find.regexesMade() - regexes,
            FindMatcher::unitsSearchedHere() - searched,
            f.find.matchCount(),
            f.editor().visibleRange().length};
}

TEST(FindBarWork, AQueryCostsTheSameWhateverTheNumberOfItsMatches) {
    const QueryWork few = workOfAQuery('x'), many = workOfAQuery('e');
    ASSERT_EQ(many.matches, few.matches + 10000 * 60);
    for (const QueryWork& work : {few, many}) {
        // The panel repaints under what changed on it (the field, the label) and with the text
        // behind it, not whole at every write of the state.
        EXPECT_LT(work.panelPainted, 3 * work.panelArea) << work.panelPainted << " of " << work.panelArea;
        EXPECT_EQ(work.regexes, 1);
        EXPECT_LE(work.searched, 65536 + 2 * work.visible) << "the start, for the first match, and the screen once";
    }
    // Only the label's longer number may cost more.
    EXPECT_LT(std::abs(many.panelPainted - few.panelPainted), few.panelArea / 2);
    EXPECT_LT(std::abs(many.textPainted - few.textPainted), few.panelArea / 2);
    EXPECT_EQ(many.labelTexts, few.labelTexts);
    EXPECT_EQ(many.searched, few.searched);
}

} // namespace
