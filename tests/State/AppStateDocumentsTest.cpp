#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "AppState.h"
#include "Platform/FilePath.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {
QList<QString> tabNames(const AppState& s) {
    QList<QString> names;
    for (auto* d : s.documents()) names << d->displayName();
    return names;
}

struct AppStateDocuments : ::testing::Test {
    TempFolder dir;
    ScriptedPrompter prompter;
    ScriptedChooser chooser;
    AppState state;
};
} // namespace

TEST_F(AppStateDocuments, OpeningSelectingAndClosingTabs) {
    const QString a = dir.write("a.txt", "a"), b = dir.write("b.txt", "b"), c = dir.write("c.txt", "c");
    state.open(a);
    state.open(b);
    state.open(c);
    state.open(a);  // already open: no second tab, it becomes active
    EXPECT_EQ(tabNames(state), QList<QString>({"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(state.activeDocument()->displayName(), "a.txt");

    state.cycleTab(-1);  // wraps from the first to the last
    EXPECT_EQ(state.activeDocument()->displayName(), "c.txt");
    state.cycleTab(+1);
    EXPECT_EQ(state.activeDocument()->displayName(), "a.txt");

    state.selectTab(state.documents()[1]);
    state.close(state.documents()[1]);  // the right neighbour takes the closed tab's place
    EXPECT_EQ(state.activeDocument()->displayName(), "c.txt");
    state.close(state.documents()[1]);  // the last: the new last tab
    EXPECT_EQ(state.activeDocument()->displayName(), "a.txt");
    state.close(state.documents()[0]);
    EXPECT_FALSE(state.activeDocumentId().has_value());
    EXPECT_TRUE(prompter.asked.isEmpty());
}

// One tab per file, however its path was reached: through a linked folder or the file's own path.
TEST_F(AppStateDocuments, AFileReachedThroughALinkIsTheSameDocument) {
    const QString real = dir.write("real/src/main.rs", "fn main() {}\n");
    ASSERT_TRUE(QFile::link(dir.file("real"), dir.file("link")));
    state.openFolder(dir.file("link"));
    state.open(dir.file("link/src/main.rs"));
    state.activeDocument()->setText("edited");
    state.open(real);  // as the diff view opens it, from the repository's own path
    state.open(dir.file("link/src/../src/main.rs"));
    ASSERT_EQ(state.documents().size(), 1);
    EXPECT_EQ(state.activeDocument()->text(), "edited");
    // A different file of the same name elsewhere stays its own tab.
    state.open(dir.write("other/src/main.rs", "x"));
    EXPECT_EQ(state.documents().size(), 2);
}

// A name that is not UTF-8 is its own file, whatever other names would read like it as text.
TEST_F(AppStateDocuments, ANameThatIsNotUtf8IsNotTakenForALookAlike) {
    const QByteArray folder = QFile::encodeName(dir.path());
    const QList<QByteArray> names{"/caf?.txt", "/caf\xef\xbf\xbd.txt", "/caf\xe9.txt"};
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int fd = ::open((folder + names[i]).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray content = QByteArray::number(i);
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
    }
    for (const QByteArray& name : names) state.open(FilePath::decode(folder + name));
    ASSERT_EQ(state.documents().size(), 3);
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_EQ(state.documents()[i]->url(), FilePath::decode(folder + names[i]));
        EXPECT_EQ(state.documents()[i]->text(), QString::number(i));
    }
}

TEST_F(AppStateDocuments, UnreadableFilesAreExplainedAndClearTheDiff) {
    state.setActiveDiff(GitFileChange{"x", u'M', u' ', {}});
    state.open(dir.write("bad.bin", QByteArray("\xff\xfe\x00", 3)));
    EXPECT_TRUE(state.documents().isEmpty());
    EXPECT_FALSE(state.activeDiff().has_value());
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "“bad.bin” could not be opened.");
    EXPECT_EQ(prompter.asked[0].message, "The file is not valid UTF-8 text.");
}

TEST_F(AppStateDocuments, ClosingADirtyTabAsks) {
    state.newUntitled();
    EditorDocument* doc = state.documents()[0];
    doc->setText("draft");

    prompter.answers = {2};  // Cancel
    state.close(doc);
    ASSERT_EQ(state.documents().size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "Save changes to “Untitled” before closing?");
    EXPECT_EQ(prompter.asked[0].buttons, QStringList({"Save", "Don’t Save", "Cancel"}));

    prompter.answers = {0};  // Save, then the panel is cancelled: the tab stays
    state.close(doc);
    EXPECT_EQ(state.documents().size(), 1);
    EXPECT_EQ(chooser.asked.last().proposedName, "Untitled.txt");

    prompter.answers = {0};
    chooser.answers = {dir.file("draft.txt")};
    state.close(doc);
    EXPECT_TRUE(state.documents().isEmpty());
    EXPECT_EQ(readBytes(dir.file("draft.txt")), "draft");
}

TEST_F(AppStateDocuments, FailedSaveIsReportedAndStaysDirty) {
    const QString path = dir.write("sub/f.txt", "x");
    state.open(path);
    state.activeDocument()->setText("y");
    QDir(dir.file("sub")).removeRecursively();  // the folder vanished: the write must fail
    prompter.answers = {0};                     // save it again where it was, all the same
    EXPECT_FALSE(state.save(state.activeDocument()));
    EXPECT_TRUE(state.activeDocument()->isDirty());
    ASSERT_EQ(prompter.asked.size(), 2);
    EXPECT_EQ(prompter.asked[0].title, "“f.txt” was moved or deleted since it was opened.");
    EXPECT_EQ(prompter.asked[1].title, "“f.txt” could not be saved.");
    EXPECT_EQ(prompter.asked[1].message, QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST_F(AppStateDocuments, SaveAllStopsAtTheFirstCancelledPanel) {
    state.open(dir.write("one.txt", "1"));
    state.documents()[0]->setText("1!");
    state.newUntitled();
    state.documents()[1]->setText("new");
    state.open(dir.write("three.txt", "3"));
    state.documents()[2]->setText("3!");

    prompter.answers = {0};  // Save All; the untitled document's panel is cancelled
    EXPECT_EQ(state.confirmTerminate(), AppState::TerminateReply::cancel);
    EXPECT_EQ(prompter.asked[0].title, "You have 3 documents with unsaved changes.");
    EXPECT_EQ(prompter.asked[0].message, "Do you want to save them before quitting?");
    EXPECT_EQ(readBytes(dir.file("one.txt")), "1!");
    EXPECT_EQ(readBytes(dir.file("three.txt")), "3");
    EXPECT_TRUE(state.documents()[1]->isDirty());
    EXPECT_TRUE(state.documents()[2]->isDirty());

    prompter.answers = {1};  // Discard
    EXPECT_EQ(state.confirmCloseWindow(), AppState::TerminateReply::terminateNow);
    EXPECT_EQ(prompter.asked[1].title, "You have 2 documents with unsaved changes.");
}

