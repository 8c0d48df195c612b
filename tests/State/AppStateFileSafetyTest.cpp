// What happens on disk to an open document's file (a rename, the Trash, another program's write)
// never makes a save lose or misplace what the user wrote.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

#include "AppState.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {
struct AppStateFileSafety : ::testing::Test {
    TempFolder dir;
    ScriptedPrompter prompter;
    AppState state;
};
} // namespace

TEST_F(AppStateFileSafety, RenamedFilesAndFoldersTakeTheirOpenDocumentsAlong) {
    state.open(dir.write("docs/crlf.txt", "a\r\n"));
    state.open(dir.write("docs/inner/x.txt", "x"));
    state.open(dir.write("docs-other/y.txt", "y"));  // shares the prefix, not the folder
    EditorDocument* crlf = state.documents()[0];
    EditorDocument* inner = state.documents()[1];
    crlf->setText("ab\r\n");

    ASSERT_TRUE(state.renameEntry(dir.file("docs/crlf.txt"), dir.file("docs/crlf2.py")));
    EXPECT_EQ(crlf->url(), dir.file("docs/crlf2.py"));
    EXPECT_EQ(crlf->displayName(), "crlf2.py");
    EXPECT_EQ(crlf->language(), CodeLanguage::python);
    EXPECT_TRUE(crlf->isDirty());
    ASSERT_TRUE(state.save(crlf));
    EXPECT_EQ(readBytes(dir.file("docs/crlf2.py")), "ab\r\n");
    EXPECT_FALSE(QFileInfo::exists(dir.file("docs/crlf.txt"))) << "the old name must not come back";

    ASSERT_TRUE(state.renameEntry(dir.file("docs"), dir.file("notes")));
    EXPECT_EQ(crlf->url(), dir.file("notes/crlf2.py"));
    EXPECT_EQ(inner->url(), dir.file("notes/inner/x.txt"));
    EXPECT_EQ(state.documents()[2]->url(), dir.file("docs-other/y.txt"));
    inner->setText("x!");
    ASSERT_TRUE(state.save(inner));
    EXPECT_EQ(readBytes(dir.file("notes/inner/x.txt")), "x!");
    EXPECT_FALSE(QFileInfo::exists(dir.file("docs")));

    EXPECT_TRUE(prompter.asked.isEmpty());
}

TEST_F(AppStateFileSafety, TrashClosesOpenDocumentsAskingAboutUnsavedOnes) {
    // The test process has a data folder of its own; its Trash starts empty so "proj" keeps its name there.
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
    ASSERT_TRUE(QDir(trash).removeRecursively());
    state.open(dir.write("proj/a.txt", "a"));
    state.open(dir.write("proj/sub/b.txt", "b"));
    state.open(dir.write("keep.txt", "k"));
    state.documents()[1]->setText("b edited");

    prompter.answers = {2};  // Cancel at the question about b.txt: nothing moves, nothing closes
    EXPECT_FALSE(state.moveToTrash(dir.file("proj")));
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "Save changes to “b.txt” before closing?");
    EXPECT_TRUE(QFileInfo::exists(dir.file("proj/sub/b.txt")));
    EXPECT_EQ(state.documents().size(), 3);

    prompter.answers = {0};  // Save: the edit goes to the Trash with the file
    EXPECT_TRUE(state.moveToTrash(dir.file("proj")));
    ASSERT_EQ(state.documents().size(), 1);
    EXPECT_EQ(state.documents()[0]->displayName(), "keep.txt");
    EXPECT_FALSE(QFileInfo::exists(dir.file("proj")));
    EXPECT_EQ(readBytes(trash + "/files/proj/sub/b.txt"), "b edited");
}

TEST_F(AppStateFileSafety, SavingAsksBeforeReplacingAnotherProgramsChange) {
    const QString a = dir.write("a.txt", "mine\n"), b = dir.write("b.txt", "b\n");
    state.open(a);
    state.open(b);
    EditorDocument* docA = state.documents()[0];
    EditorDocument* docB = state.documents()[1];
    docA->setText("mine, edited\n");
    docB->setText("b, edited\n");
    dir.write("a.txt", "theirs\n");  // another program rewrites it: same file, new bytes

    prompter.answers = {1};  // Cancel
    EXPECT_FALSE(state.save(docA));
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "“a.txt” was changed on disk since it was opened.");
    EXPECT_EQ(prompter.asked[0].buttons, (QStringList{"Overwrite", "Cancel"}));
    EXPECT_EQ(prompter.asked[0].defaultButton, 1) << "Return keeps the other program's change";
    EXPECT_EQ(readBytes(a), "theirs\n");
    EXPECT_TRUE(docA->isDirty());

    // Save All asks per file: b.txt is unchanged on disk and saves without a question.
    prompter.answers = {0, 0};  // Save All, then Overwrite
    EXPECT_EQ(state.confirmTerminate(), AppState::TerminateReply::terminateNow);
    ASSERT_EQ(prompter.asked.size(), 3);
    EXPECT_EQ(prompter.asked[2].title, "“a.txt” was changed on disk since it was opened.");
    EXPECT_EQ(readBytes(a), "mine, edited\n");
    EXPECT_EQ(readBytes(b), "b, edited\n");

    // Same bytes rewritten by someone else (a new inode, a new time) are no change.
    dir.write("a.txt.new", "mine, edited\n");
    ASSERT_EQ(::rename(QFile::encodeName(dir.file("a.txt.new")).constData(), QFile::encodeName(a).constData()), 0);
    docA->setText("once more\n");
    ASSERT_TRUE(state.save(docA));
    EXPECT_EQ(prompter.asked.size(), 3);

    // A file deleted behind the document's back is not silently created again.
    QFile::remove(a);
    docA->setText("after delete\n");
    prompter.answers = {1};
    EXPECT_FALSE(state.save(docA));
    EXPECT_EQ(prompter.asked.last().title, "“a.txt” was moved or deleted since it was opened.");
    EXPECT_FALSE(QFileInfo::exists(a));
    prompter.answers = {0};
    EXPECT_TRUE(state.save(docA));
    EXPECT_EQ(readBytes(a), "after delete\n");
}

// A save from the window writes on another thread: the file and the clean state come when it ends;
// a save started meanwhile takes that write as the file's own, not as another program's; and a
// failure is still put to the user.
TEST_F(AppStateFileSafety, ASaveFromTheWindowIsTakenAndReportedWhenItsWriteEnds) {
    const QString a = dir.write("a.txt", "old\n");
    state.open(a);
    EditorDocument* doc = state.documents()[0];
    doc->setText("new\n");
    ASSERT_TRUE(state.save(doc, true));
    ASSERT_TRUE(doc->finishSaving());
    EXPECT_EQ(readBytes(a), "new\n");
    EXPECT_FALSE(doc->isDirty());

    doc->setText("third\n");
    ASSERT_TRUE(state.save(doc, true));
    // Written, but not yet taken (no turn of the event loop has run since).
    for (QDeadlineTimer deadline(60000); readBytes(a) != "third\n" && !deadline.hasExpired();) QThread::yieldCurrentThread();
    doc->setText("fourth\n");
    ASSERT_TRUE(state.save(doc));
    EXPECT_EQ(readBytes(a), "fourth\n");
    EXPECT_FALSE(doc->isDirty());
    EXPECT_TRUE(prompter.asked.isEmpty());

    doc->setText(QString::fromUtf16(u"\xD800 half a pair"));
    ASSERT_TRUE(state.save(doc, true));
    EXPECT_FALSE(doc->finishSaving());
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "“a.txt” could not be saved.");
    EXPECT_EQ(readBytes(a), "fourth\n");
    EXPECT_TRUE(doc->isDirty());
}

// Quitting, closing the window or closing the tab while a save is under way waits for it: a save that writes the
// text leaves nothing to ask about, and one that fails is told and then asked about.
TEST_F(AppStateFileSafety, QuittingWhileASaveIsUnderWayTakesItsOutcomeBeforeAsking) {
    const QString a = dir.write("a.txt", "old\n");
    state.open(a);
    EditorDocument* doc = state.documents()[0];
    doc->setText("new\n");
    ASSERT_TRUE(state.save(doc, true));
    EXPECT_EQ(state.confirmTerminate(), AppState::TerminateReply::terminateNow);
    EXPECT_TRUE(prompter.asked.isEmpty()) << prompter.asked.value(0).title.toStdString();
    EXPECT_EQ(readBytes(a), "new\n");
    EXPECT_FALSE(doc->isDirty());

    // Closing the tab, too.
    state.open(dir.write("b.txt", "b\n"));
    EditorDocument* b = state.documents()[1];
    b->setText("b, edited\n");
    ASSERT_TRUE(state.save(b, true));
    state.close(b);
    EXPECT_TRUE(prompter.asked.isEmpty()) << prompter.asked.value(0).title.toStdString();
    EXPECT_EQ(state.documents().size(), 1);
    EXPECT_EQ(readBytes(dir.file("b.txt")), "b, edited\n");

    doc->setText(QString::fromUtf16(u"\xD800 half a pair"));
    ASSERT_TRUE(state.save(doc, true));
    prompter.answers = {-1, 2};  // the failure is told, then Cancel at the question
    EXPECT_EQ(state.confirmCloseWindow(), AppState::TerminateReply::cancel);
    ASSERT_EQ(prompter.asked.size(), 2);
    EXPECT_EQ(prompter.asked[0].title, "“a.txt” could not be saved.");
    EXPECT_EQ(prompter.asked[1].title, "You have 1 document with unsaved changes.");
    EXPECT_EQ(readBytes(a), "new\n");
}

// A rename or a move to the Trash while a save is under way comes after the save: the file the save
// wrote is what is renamed or trashed, and the document follows the new name.
TEST_F(AppStateFileSafety, RenamingOrTrashingWhileASaveIsUnderWayComesAfterIt) {
    const QString a = dir.write("a.txt", "old\n");
    state.open(a);
    QPointer<EditorDocument> doc = state.documents()[0];
    doc->setText("new\n");
    ASSERT_TRUE(state.save(doc, true));
    // Written, but not yet taken (no turn of the event loop has run since).
    for (QDeadlineTimer deadline(60000); readBytes(a) != "new\n" && !deadline.hasExpired();) QThread::yieldCurrentThread();
    ASSERT_TRUE(state.renameEntry(a, dir.file("b.txt")));
    ASSERT_TRUE(waitUntil([&] { return !doc->isSaving(); }));
    EXPECT_EQ(doc->url(), dir.file("b.txt"));
    EXPECT_FALSE(doc->isDirty());
    EXPECT_EQ(readBytes(dir.file("b.txt")), "new\n");
    EXPECT_FALSE(QFileInfo::exists(a));

    doc->setText("newer\n");
    ASSERT_TRUE(state.save(doc, true));
    ASSERT_TRUE(state.moveToTrash(dir.file("b.txt")));
    ASSERT_TRUE(waitUntil([&] { return doc.isNull() || !doc->isSaving(); }));
    EXPECT_TRUE(state.documents().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.file("b.txt"))) << "the save must not bring the file back";
    EXPECT_TRUE(prompter.asked.isEmpty()) << prompter.asked.value(0).title.toStdString();
}
