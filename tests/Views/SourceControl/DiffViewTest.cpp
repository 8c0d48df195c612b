#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QFile>
#include <QLabel>
#include <QTest>

#include "Git/ChildProcess.h"
#include "ScmTestSupport.h"
#include "Views/SourceControl/DiffParser.h"
#include "UI/PressableButton.h"
#include "Views/SourceControl/DiffView.h"

namespace {

using namespace scm_test;

class DiffViewTest : public ScmViewTest {
protected:
    TempFolder folder;
};

GitFileChange changeFor(AppState& app, const QString& path) {
    for (const GitFileChange& c : app.git().changes())
        if (c.path == path) return c;
    ADD_FAILURE() << "no change for " << path.toStdString();
    return {};
}

TEST_F(DiffViewTest, LoadsAndParsesTheDiffOfAModifiedAndOfAnUntrackedFile) {
    makeRepository(folder);
    folder.write("src/app.py", "print('one')\nprint('2')\n");
    folder.write("new.txt", "x\ny\n");
    auto app = openState(folder);

    DiffView view(*app, changeFor(*app, "src/app.py"));
    EXPECT_EQ(view.contentState(), "loading");
    ASSERT_TRUE(waitUntil([&] { return !view.isLoading(); }, 120000));
    EXPECT_EQ(view.contentState(), "lines");
    QList<DiffLineKind> kinds;
    for (const DiffLine& l : view.lines()) kinds << l.kind;
    EXPECT_TRUE(kinds.contains(DiffLineKind::hunk));
    const auto removed = std::find_if(view.lines().begin(), view.lines().end(),
                                      [](const DiffLine& l) { return l.kind == DiffLineKind::removed; });
    ASSERT_NE(removed, view.lines().end());
    EXPECT_EQ(removed->text, "print('two')");
    EXPECT_EQ(removed->oldNo, 2);

    view.setChange(changeFor(*app, "new.txt"));
    EXPECT_TRUE(view.isLoading());
    ASSERT_TRUE(waitUntil([&] { return !view.isLoading(); }, 120000));
    QStringList added;
    for (const DiffLine& l : view.lines())
        if (l.kind == DiffLineKind::added) added << QString::number(*l.newNo) + ":" + l.text;
    EXPECT_EQ(added, QStringList({"1:x", "2:y"}));
    EXPECT_EQ(view.lines().last(), (DiffLine{DiffLineKind::context, {}, {}, ""}));

    // A long diff shows its first lines early and ends as the whole diff parsed, lines too long
    // to lay out whole included.
    QByteArray lines;
    for (int i = 0; i < 3000; ++i) lines += QByteArray::number(i) + (i == 1500 ? QByteArray(300000, 'w') : QByteArray()) + '\n';
    folder.write("long.txt", lines);
    refreshed(*app);
    view.setChange(changeFor(*app, "long.txt"));
    ASSERT_TRUE(waitUntil([&] { return view.isComplete(); }, 120000));
    EXPECT_EQ(view.lines(), DiffParser::parse(view.raw()));
    EXPECT_EQ(view.lines().size(), 5 + 1 + 3000 + 1);  // headers, hunk, lines, final line feed
    view.resize(900, 400);
    EXPECT_FALSE(view.grab().toImage().isNull()) << "the over-long line paints";
}

TEST_F(DiffViewTest, AnOlderLoadThatEndsLateNeverReplacesTheNewerOne) {
    makeRepository(folder);
    // The first diff is long, so its git run ends after the second, short one.
    QByteArray big;
    for (int i = 0; i < 120000; ++i) big += "line " + QByteArray::number(i) + " of a long new file\n";
    folder.write("big.txt", big);
    folder.write("README.md", "changed too\n");
    auto app = openState(folder);
    DiffView view(*app, changeFor(*app, "big.txt"));
    view.setChange(changeFor(*app, "README.md"));
    ASSERT_TRUE(waitUntil([&] { return !view.isLoading(); }, 120000));
    // Let the first load end too: no git process of the window is left.
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return app->git().findChildren<ChildProcess*>().isEmpty();
    }, 120000));
    EXPECT_TRUE(view.raw().contains("README.md"));
    EXPECT_FALSE(view.raw().contains("big.txt"));
}

TEST_F(DiffViewTest, CloseEscapeAndOpenFileLeaveTheDiff) {
    makeRepository(folder);
    folder.write("src/app.py", "changed\n");
    auto app = openState(folder);
    const GitFileChange change = changeFor(*app, "src/app.py");

    app->setActiveDiff(change);
    DiffView view(*app, change);
    view.findChild<QAbstractButton*>("closeDiff")->click();
    EXPECT_FALSE(app->activeDiff());

    app->setActiveDiff(change);
    view.show();
    view.activateWindow();
    QApplication::setActiveWindow(&view);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_FALSE(app->activeDiff());

    app->setActiveDiff(change);
    view.findChild<QAbstractButton*>("openFile")->click();
    EXPECT_FALSE(app->activeDiff());
    ASSERT_NE(app->activeDocument(), nullptr);
    EXPECT_EQ(app->activeDocument()->url(), folder.file("src/app.py"));
}

// By keyboard alone: Tab goes from the lines to Open File and the close button and back, each
// showing the focus, and Space on Open File opens the file.
TEST_F(DiffViewTest, TabReachesEveryControlAndSpaceOpensTheFile) {
    makeRepository(folder);
    folder.write("src/app.py", "changed\n");
    auto app = openState(folder);
    const GitFileChange change = changeFor(*app, "src/app.py");
    app->setActiveDiff(change);
    DiffView view(*app, change);
    view.resize(600, 400);
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view, 60000));
    ASSERT_TRUE(waitUntil([&] { return view.contentState() == "lines"; }, 120000));
    auto* openFile = view.findChild<PressableButton*>("openFile");
    auto* close = view.findChild<PressableButton*>("closeDiff");
    view.findChild<QAbstractScrollArea*>()->setFocus(Qt::TabFocusReason);
    QSet<QWidget*> reached;
    for (int i = 0; i < 3; ++i) {
        reached << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_TRUE(reached.contains(openFile));
    EXPECT_TRUE(reached.contains(close));
    EXPECT_EQ(reached.size(), 3) << "the lines take the keyboard too, to scroll";
    openFile->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(openFile->focusRing().isShown());
    QTest::keyClick(openFile, Qt::Key_Space);
    EXPECT_FALSE(app->activeDiff());
    ASSERT_NE(app->activeDocument(), nullptr);
    EXPECT_EQ(app->activeDocument()->url(), folder.file("src/app.py"));
}

// A deleted file and an untracked folder have nothing a tab could open: the button says so.
TEST_F(DiffViewTest, OpenFileIsOfferedOnlyForAFileThatExists) {
    makeRepository(folder);
    QFile::remove(folder.file("README.md"));
    folder.write("src/app.py", "changed\n");
    folder.write("fresh/one.txt", "1\n");
    auto app = openState(folder);
    const GitFileChange modified = changeFor(*app, "src/app.py");
    const GitFileChange deleted = changeFor(*app, "README.md");
    const GitFileChange untrackedFolder = changeFor(*app, "fresh/");

    DiffView view(*app, modified);
    auto* open = view.findChild<QAbstractButton*>("openFile");
    EXPECT_TRUE(open->isEnabled());
    for (const GitFileChange& change : {deleted, untrackedFolder}) {
        app->setActiveDiff(change);
        view.setChange(change);
        EXPECT_FALSE(open->isEnabled()) << change.path.toStdString();
        view.openFile();
        EXPECT_TRUE(app->activeDiff()) << "the diff stays: " << change.path.toStdString();
        EXPECT_TRUE(app->documents().isEmpty()) << change.path.toStdString();
    }
    view.setChange(modified);
    EXPECT_TRUE(open->isEnabled());
}

TEST_F(DiffViewTest, WithoutARepositoryThereIsNoDiffAndOpenFileDoesNothing) {
    AppState app;
    const GitFileChange change{"a.txt", u' ', u'M', {}};
    app.setActiveDiff(change);
    DiffView view(app, change);
    ASSERT_TRUE(waitUntil([&] { return !view.isLoading(); }));
    EXPECT_EQ(view.contentState(), "empty");
    view.openFile();
    EXPECT_TRUE(app.activeDiff());
    EXPECT_TRUE(app.documents().isEmpty());
}

} // namespace

TEST_F(DiffViewTest, FollowsTheRepositoryWhenItsFileIsStagedOrCommitted) {
    makeRepository(folder);
    folder.write("src/app.py", "print('one')\nprint('2')\n");
    folder.write("new.txt", "fresh\n");
    auto app = openState(folder);
    DiffView view(*app, changeFor(*app, "src/app.py"));
    ASSERT_TRUE(waitUntil([&] { return view.isComplete(); }, 20000));
    EXPECT_TRUE(view.raw().contains("+print('2')"));

    // Staged: the same lines, now read from the index, and the staged letters.
    gitOk(folder.path(), {"add", "src/app.py"});
    refreshed(*app);
    ASSERT_TRUE(waitUntil([&] { return view.change().staged == u'M' && view.isComplete(); }, 20000));
    EXPECT_TRUE(view.raw().contains("+print('2')")) << view.raw().toStdString();
    EXPECT_EQ(view.findChild<QLabel*>("diffBadge")->text(), "M");

    // Committed: nothing left to show, and no badge of a change that is gone.
    gitOk(folder.path(), {"commit", "-q", "-m", "two"});
    refreshed(*app);
    ASSERT_TRUE(waitUntil([&] { return view.contentState() == "empty"; }, 20000));
    EXPECT_TRUE(view.findChild<QLabel*>("diffBadge")->isHidden());

    // An untracked file once committed no longer reads as all new.
    view.setChange(changeFor(*app, "new.txt"));
    ASSERT_TRUE(waitUntil([&] { return view.isComplete() && view.raw().contains("+fresh"); }, 20000));
    gitOk(folder.path(), {"add", "new.txt"});
    gitOk(folder.path(), {"commit", "-q", "-m", "new"});
    refreshed(*app);
    ASSERT_TRUE(waitUntil([&] { return view.contentState() == "empty"; }, 20000)) << view.raw().toStdString();

    // Changed again after its commit, and committed again: followed both times.
    folder.write("new.txt", "again\n");
    refreshed(*app);
    ASSERT_TRUE(waitUntil([&] { return view.isComplete() && view.raw().contains("+again"); }, 20000));
    gitOk(folder.path(), {"commit", "-q", "-am", "again"});
    refreshed(*app);
    ASSERT_TRUE(waitUntil([&] { return view.contentState() == "empty"; }, 20000)) << view.raw().toStdString();
}

TEST_F(DiffViewTest, APathListedTwiceKeepsTheEntryChosen) {
    makeRepository(folder);
    // No longer tracked but still on disk: git lists the path as a staged deletion and as new.
    gitOk(folder.path(), {"rm", "-q", "--cached", "README.md"});
    auto app = openState(folder);
    std::optional<GitFileChange> deleted, untracked;
    for (const GitFileChange& c : app->git().changes()) {
        if (c.path != "README.md") continue;
        if (c.isUntracked()) untracked = c;
        else deleted = c;
    }
    ASSERT_TRUE(deleted && untracked);

    DiffView view(*app, *untracked);
    ASSERT_TRUE(waitUntil([&] { return view.isComplete(); }, 20000));
    EXPECT_TRUE(view.raw().contains("+hello")) << view.raw().toStdString();

    // Another file changing leaves the diff on the entry chosen, not the path's other one.
    folder.write("other.txt", "x\n");
    refreshed(*app);
    EXPECT_EQ(view.change(), *untracked);
    ASSERT_TRUE(waitUntil([&] { return view.isComplete(); }, 20000));
    EXPECT_TRUE(view.raw().contains("+hello")) << view.raw().toStdString();

    // Choosing the path's other row shows that entry, though the view for the path stays.
    app->setActiveDiff(*deleted);
    ASSERT_TRUE(waitUntil([&] { return view.change() == *deleted && view.isComplete(); }, 20000));
    EXPECT_TRUE(view.raw().contains("-hello")) << view.raw().toStdString();
    folder.write("other.txt", "y\n");
    refreshed(*app);
    EXPECT_EQ(view.change(), *deleted);
}
