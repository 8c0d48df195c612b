// The explorer lists the open folder lazily as rows, opens and folds on click, and creates, renames
// and trashes entries through its row menu without ever losing data.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Platform/TextFile.h"
#include "ScriptedPrompter.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Workbench/FileExplorerView.h"
#include "Views/Workbench/FileRow.h"
#include "Views/Workbench/FileTreeModel.h"
#include "Workspace/InotifyReader.h"

using namespace testing_support;

// Stands in for the desktop's file viewer.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
    Q_INVOKABLE void show(const QUrl& url) { urls << url; }
};

namespace {

class FileExplorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("proj/src/main.py", "print(1)\n");
        dir.write("proj/src/deep/util.go", "package deep\n");
        dir.write("proj/README.md", "# hi\n");
        dir.write("proj/notes.unknownext", "x");
        dir.write("proj/.hidden", "x");
        view.resize(268, 600);
        view.show();
    }
    void openProject() { app.openFolder(dir.file("proj")); }
    int rowOf(const QString& relative) const { return view.model()->rowOf(dir.file(relative)); }
    FileRow row(const QString& relative) const { return view.row(rowOf(relative)); }
    QStringList names() const {
        QStringList out;
        for (int i = 0; i < view.model()->rowCount(); ++i) out << view.model()->node(i)->name();
        return out;
    }
    QStringList menuTexts(const QString& relative) {
        QStringList out;
        const auto menu = view.menuFor(view.model()->index(rowOf(relative)));
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }

    TempFolder dir;
    AppState app;
    FileExplorerView view{app};
};

// A change on disk lists the loaded folders again; the rows are built once for it, not once more
// for every open folder, whose rows are walked in full each time.
TEST_F(FileExplorerTest, AChangeOnDiskBuildsTheRowsOnceHoweverManyFoldersAreOpen) {
    for (int i = 0; i < 6; ++i) dir.write(QStringLiteral("proj/f%1/x.txt").arg(i), "");
    openProject();
    for (int i = 0; i < 6; ++i) row(QStringLiteral("proj/f%1").arg(i)).activate();
    row("proj/src").activate();
    int builds = 0;
    QObject::connect(view.model(), &QAbstractItemModel::modelReset, [&] { ++builds; });
    QObject::connect(view.model(), &QAbstractItemModel::layoutChanged, [&] { ++builds; });
    dir.write("proj/src/new.txt", "");
    app.handleExternalChange();
    EXPECT_EQ(builds, 2) << "one for the folder that changed, one for the tree";
    EXPECT_NE(rowOf("proj/src/new.txt"), -1);
    builds = 0;
    app.handleExternalChange();
    EXPECT_EQ(builds, 1) << "nothing changed: the tree alone";
}

// An entry coming or going on disk builds its own row alone, wherever it lies among the rows, and the
// rows stay what a fresh build shows, however large the folder around it.
TEST_F(FileExplorerTest, AnEntryComingOrGoingBuildsItsRowAloneHoweverLargeTheFolder) {
    QList<quint64> built;
    for (const int count : {1000, 20000}) {
        const QString big = QStringLiteral("proj/big%1").arg(count);
        const QByteArray folder = QFile::encodeName(dir.mkdir(big)) + '/';
        for (int i = 0; i < count; ++i) {
            const int fd = ::open((folder + QByteArray::number(i)).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
        openProject();
        row(big).activate();
        row("proj/src").activate();
        const quint64 before = view.model()->rowsBuilt();
        dir.write(big + "/500.5", "");
        ASSERT_TRUE(waitUntil([&] { return rowOf(big + "/500.5") >= 0; }));
        dir.mkdir(big + "/sub");  // among the folders, above the files
        ASSERT_TRUE(waitUntil([&] { return rowOf(big + "/sub") >= 0; }));
        ASSERT_TRUE(QDir(dir.file("proj/src")).removeRecursively());  // an open folder, its rows with it
        ASSERT_TRUE(waitUntil([&] { return rowOf("proj/src/main.py") < 0 && rowOf("proj/src") < 0; }));
        built << view.model()->rowsBuilt() - before;
        EXPECT_EQ(rowOf(big + "/500.5"), rowOf(big + "/500") + 1);
        EXPECT_EQ(rowOf(big + "/sub"), rowOf(big) + 1);
        const QStringList shown = names();
        view.model()->rebuild();
        EXPECT_EQ(names(), shown);
        dir.write("proj/src/main.py", "print(1)\n");  // for the next round
    }
    EXPECT_EQ(built, (QList<quint64>{2, 2}));
}

// A burst of entries coming and going in a shown folder (a checkout, a build) walks its rows a few
// times in all, not once per entry, and ends with the rows a fresh build shows.
TEST_F(FileExplorerTest, ABurstOfEntriesWalksTheRowsAFewTimesNotOncePerEntry) {
    for (const int count : {2000, 20000}) {
        const QString big = QStringLiteral("proj/burst%1").arg(count);
        const QByteArray folder = QFile::encodeName(dir.mkdir(big)) + '/';
        for (int i = 0; i < count; ++i) {
            const int fd = ::open((folder + QByteArray::number(i)).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
        openProject();
        row(big).activate();
        QSet<QString> changed;
        const QString relative = big.sliced(5);  // below the open folder
        for (int i = 0; i < 120; ++i) {
            const QString made = QStringLiteral("/%1.5").arg(i * (count / 200));
            dir.write(big + made, "");
            changed << relative + made;
            const QString removed = QStringLiteral("/%1").arg(i * (count / 200) + 1);
            ASSERT_TRUE(QFile::remove(dir.file(big + removed)));
            changed << relative + removed;
        }
        dir.mkdir(big + "/sub");
        changed << relative + "/sub";
        const quint64 before = view.model()->rowsVisited();
        app.rootNode()->applyChanges(changed);
        const quint64 visited = view.model()->rowsVisited() - before;
        EXPECT_LE(visited, 3u * quint64(view.model()->rowCount())) << count << " entries";
        const int step = count / 200;
        EXPECT_EQ(rowOf(big + QStringLiteral("/%1.5").arg(step)), rowOf(big + QStringLiteral("/%1").arg(step)) + 1);
        EXPECT_EQ(rowOf(big + "/sub"), rowOf(big) + 1);
        EXPECT_EQ(rowOf(big + QStringLiteral("/%1").arg(step + 1)), -1);
        const QStringList shown = names();
        view.model()->rebuild();
        EXPECT_EQ(names(), shown);
    }
}

// Whether a burst is taken in at once or its folder is listed again, the user keeps their place: the
// current row stays on its entry, open folders stay open, the row at the top stays at the top. A
// current entry that goes leaves no current row rather than its neighbour.
TEST_F(FileExplorerTest, ABurstOrAListingKeepsTheCurrentRowTheOpenFoldersAndTheScroll) {
    for (int i = 0; i < 200; ++i) dir.write(QStringLiteral("proj/place/f%1").arg(i, 3, 10, QLatin1Char('0')), "");
    dir.write("proj/place/open/inner.txt", "");
    openProject();
    row("proj/place").activate();
    row("proj/place/open").activate();
    QListView* list = view.list();
    const auto pathAt = [&](const QModelIndex& index) {
        return index.isValid() ? view.model()->node(index.row())->url().toStdString() : std::string();
    };
    const auto top = [&] { return pathAt(list->indexAt(QPoint(list->viewport()->width() / 2, 1))); };
    list->scrollTo(view.model()->index(rowOf("proj/place/f150")), QAbstractItemView::PositionAtTop);
    list->setCurrentIndex(view.model()->index(rowOf("proj/place/f160")));
    ASSERT_EQ(top(), dir.file("proj/place/f150").toStdString());

    // Names that sort above the place: every row kept moves down.
    const auto burst = [&](const QString& prefix, int count) {
        QSet<QString> changed;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("place/%1%2").arg(prefix).arg(i, 3, 10, QLatin1Char('0'));
            dir.write("proj/" + name, "");
            changed << name;
        }
        app.rootNode()->applyChanges(changed);
        return dir.file("proj/" + *std::max_element(changed.cbegin(), changed.cend()));
    };
    for (const int count : {50, 300}) {  // taken in at once; listed again on another thread
        const QString last = burst(count == 50 ? "a" : "b", count);
        ASSERT_TRUE(waitUntil([&] { return view.model()->rowOf(last) >= 0; })) << count;
        EXPECT_EQ(pathAt(list->currentIndex()), dir.file("proj/place/f160").toStdString()) << count;
        EXPECT_EQ(top(), dir.file("proj/place/f150").toStdString()) << count;
        EXPECT_GE(rowOf("proj/place/open/inner.txt"), 0) << count;
    }

    ASSERT_TRUE(QFile::remove(dir.file("proj/place/f160")));
    QSet<QString> changed{QStringLiteral("place/f160")};
    for (int i = 0; i < 20; ++i) {
        dir.write(QStringLiteral("proj/place/c%1").arg(i), "");
        changed << QStringLiteral("place/c%1").arg(i);
    }
    app.rootNode()->applyChanges(changed);
    ASSERT_EQ(rowOf("proj/place/f160"), -1);
    EXPECT_EQ(pathAt(list->currentIndex()), "");
    EXPECT_EQ(top(), dir.file("proj/place/f150").toStdString());
}

TEST_F(FileExplorerTest, HeaderAndEmptyStateFollowTheFolder) {
    EXPECT_TRUE(view.showsEmptyState());
    ScriptedChooser chooser;
    chooser.answers = {dir.file("proj")};
    view.findChild<QAbstractButton*>("emptyOpenFolder")->click();
    EXPECT_EQ(view.title()->text(), "PROJ");
    EXPECT_FALSE(view.showsEmptyState());
    EXPECT_EQ(names(), (QStringList{"src", "notes.unknownext", "README.md"})) << names().join(',').toStdString();
    app.openFolder(dir.mkdir("two\nlines"));
    EXPECT_EQ(view.title()->text(), "TWO\\NLINES") << "on one line, the break shown as its escape";
}

TEST_F(FileExplorerTest, FoldersExpandLazilyKeepTheirNodesAndIndentByDepth) {
    openProject();
    EXPECT_EQ(view.model()->depth(rowOf("proj/src")), 0);
    const FileNode::Ptr src = view.model()->node(rowOf("proj/src"));
    EXPECT_FALSE(src->isLoaded());

    row("proj/src").activate();
    EXPECT_TRUE(src->isExpanded());
    EXPECT_EQ(names(), (QStringList{"src", "deep", "main.py", "notes.unknownext", "README.md"}));
    row("proj/src/deep").activate();
    EXPECT_EQ(view.model()->depth(rowOf("proj/src/deep/util.go")), 2);
    EXPECT_LT(FileRow::leadingPadding(0), FileRow::leadingPadding(1));
    EXPECT_LT(FileRow::leadingPadding(1), FileRow::leadingPadding(2));

    const FileNode::Ptr deep = view.model()->node(rowOf("proj/src/deep"));
    row("proj/src").activate();  // collapsing hides the whole subtree but keeps what was loaded
    EXPECT_EQ(names(), (QStringList{"src", "notes.unknownext", "README.md"}));
    row("proj/src").activate();
    EXPECT_EQ(view.model()->node(rowOf("proj/src/deep")), deep) << "expanded again: the same nodes, not listed anew";
    EXPECT_NE(rowOf("proj/src/deep/util.go"), -1) << "a nested folder keeps its own expansion";
}

TEST_F(FileExplorerTest, ClickingAFileOpensItAndMarksItsRowActive) {
    openProject();
    const QModelIndex readme = view.model()->index(rowOf("proj/README.md"));
    QTest::mouseClick(view.list()->viewport(), Qt::LeftButton, Qt::NoModifier, view.list()->visualRect(readme).center());
    ASSERT_NE(app.activeDocument(), nullptr);
    EXPECT_EQ(app.activeDocument()->url(), dir.file("proj/README.md"));
    EXPECT_TRUE(view.model()->data(readme, FileTreeModel::IsActiveRole).toBool());
    EXPECT_FALSE(view.model()->data(view.model()->index(rowOf("proj/src")), FileTreeModel::IsActiveRole).toBool());
    app.newUntitled();
    EXPECT_FALSE(view.model()->data(readme, FileTreeModel::IsActiveRole).toBool());
}

TEST_F(FileExplorerTest, OnlyFolderRowsOfferCreation) {
    openProject();
    EXPECT_EQ(menuTexts("proj/src"), (QStringList{"New File…", "New Folder…", "-", "Rename…", "Reveal in Finder", "Copy Path",
                                                  "-", "Delete"}));
    EXPECT_EQ(menuTexts("proj/README.md"), (QStringList{"Rename…", "Reveal in Finder", "Copy Path", "-", "Delete"}));
    EXPECT_EQ(view.menuFor(QModelIndex()), nullptr);
    EXPECT_EQ(view.model()->node(view.model()->rowCount()), nullptr);

    // Each creation item makes its own kind of entry.
    ScriptedPrompter prompter;
    prompter.texts = {QStringLiteral("made.txt"), QStringLiteral("made")};
    const auto menu = view.menuFor(view.model()->index(rowOf("proj/src")));
    menu->actions()[0]->trigger();
    menu->actions()[1]->trigger();
    EXPECT_TRUE(QFileInfo(dir.file("proj/src/made.txt")).isFile());
    EXPECT_TRUE(QFileInfo(dir.file("proj/src/made")).isDir());
}

TEST_F(FileExplorerTest, NewFileInACollapsedFolderExpandsItListsItAndOpensItClean) {
    openProject();
    ScriptedPrompter prompter;
    prompter.texts = {QStringLiteral("notes.md")};
    row("proj/src").createEntry(false);
    ASSERT_EQ(prompter.askedText.size(), 1);
    EXPECT_EQ(readBytes(dir.file("proj/src/notes.md")), "");
    EXPECT_NE(rowOf("proj/src/notes.md"), -1);
    EXPECT_TRUE(view.model()->node(rowOf("proj/src"))->isExpanded());
    ASSERT_NE(app.activeDocument(), nullptr);
    EXPECT_EQ(app.activeDocument()->url(), dir.file("proj/src/notes.md"));
    EXPECT_FALSE(app.activeDocument()->isDirty());
}

TEST_F(FileExplorerTest, CreationNeverOverwritesAndRefusesPathLikeNames) {
    openProject();
    ScriptedPrompter prompter;
    // A taken name keeps the file's content and opens nothing.
    prompter.texts = {QStringLiteral("README.md")};
    row("proj/README.md").createEntry(false);  // a file row creates beside it
    EXPECT_EQ(readBytes(dir.file("proj/README.md")), "# hi\n");
    EXPECT_EQ(app.activeDocument(), nullptr);

    // Names that would lead out of the folder are refused with a message; nothing is made.
    for (const char* bad : {"/tmp/escaped", "../escaped", "a/../../escaped", "a//b", "a/", ".", ".."}) {
        prompter.texts = {QString::fromUtf8(bad)};
        const qsizetype before = prompter.asked.size();
        row("proj/src").createEntry(true);
        ASSERT_EQ(prompter.asked.size(), before + 1) << bad;
        EXPECT_TRUE(prompter.asked.last().warning);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.file("proj/src/a")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("proj/escaped")));

    // Cancelled or empty: nothing at all.
    prompter.texts = {std::nullopt, QString()};
    row("proj/src").createEntry(true);
    row("proj/src").createEntry(true);
    EXPECT_EQ(QDir(dir.file("proj/src")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 2);

    // An existing folder counts as made.
    prompter.texts = {QStringLiteral("deep")};
    row("proj/src").createEntry(true);
    EXPECT_TRUE(QFileInfo(dir.file("proj/src/deep/util.go")).exists());

    // A linked folder that leads outside is no way out either.
    dir.mkdir("outside");
    ASSERT_TRUE(QFile::link(dir.file("outside"), dir.file("proj/src/link")));
    dir.write("outside/there.txt", "x");
    const qsizetype before = prompter.asked.size();
    prompter.texts = {QStringLiteral("link/evil.txt")};
    row("proj/src").createEntry(false);
    // Nor is the linked folder's own row, for New File, New Folder, or renaming what lies in it; each
    // refusal says why, like "..".
    app.handleExternalChange();
    row("proj/src/link").activate();
    prompter.texts = {QStringLiteral("evil"), QStringLiteral("evil"), QStringLiteral("renamed.txt")};
    row("proj/src/link").createEntry(false);
    row("proj/src/link").createEntry(true);
    row("proj/src/link/there.txt").rename();
    ASSERT_EQ(prompter.asked.size(), before + 4);
    for (qsizetype i = before; i < before + 4; ++i) {
        EXPECT_TRUE(prompter.asked[i].warning);
        EXPECT_TRUE(prompter.asked[i].title.startsWith("The name “")) << prompter.asked[i].title.toStdString();
    }
    EXPECT_EQ(QDir(dir.file("outside")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"there.txt"});
}

TEST_F(FileExplorerTest, NestedNamesCreateThePathBelowTheFolder) {
    openProject();
    ScriptedPrompter prompter;
    prompter.texts = {QStringLiteral("a/b"), QStringLiteral("deep/new/notes.md")};
    row("proj/src").createEntry(true);
    EXPECT_TRUE(QFileInfo(dir.file("proj/src/a/b")).isDir());
    row("proj/src").createEntry(false);
    EXPECT_EQ(readBytes(dir.file("proj/src/deep/new/notes.md")), "");
    ASSERT_NE(app.activeDocument(), nullptr);
    EXPECT_EQ(app.activeDocument()->url(), dir.file("proj/src/deep/new/notes.md"));
    EXPECT_TRUE(prompter.asked.isEmpty());
}

TEST_F(FileExplorerTest, RenameMovesTheEntryButNeverOntoATakenName) {
    openProject();
    ScriptedPrompter prompter;
    app.open(dir.file("proj/README.md"));
    prompter.texts = {QStringLiteral("GUIDE.md")};
    row("proj/README.md").rename();
    EXPECT_EQ(prompter.askedText[0].initialText, "README.md");
    EXPECT_EQ(readBytes(dir.file("proj/GUIDE.md")), "# hi\n");
    EXPECT_NE(rowOf("proj/GUIDE.md"), -1);
    EXPECT_EQ(rowOf("proj/README.md"), -1);
    EXPECT_EQ(app.activeDocument()->url(), dir.file("proj/GUIDE.md")) << "the open tab follows its file";

    // Onto an existing file, or an existing empty folder: nothing moves and nothing is replaced.
    dir.mkdir("proj/empty");
    app.handleExternalChange();
    prompter.texts = {QStringLiteral("notes.unknownext"), QStringLiteral("empty")};
    row("proj/GUIDE.md").rename();
    row("proj/GUIDE.md").rename();
    EXPECT_EQ(readBytes(dir.file("proj/notes.unknownext")), "x");
    EXPECT_EQ(readBytes(dir.file("proj/GUIDE.md")), "# hi\n");
    EXPECT_TRUE(QFileInfo(dir.file("proj/empty")).isDir());
    EXPECT_TRUE(prompter.asked.isEmpty()) << "a taken name shows no message";

    prompter.texts = {QStringLiteral("GUIDE.md"), std::nullopt};
    row("proj/GUIDE.md").rename();
    row("proj/GUIDE.md").rename();
    EXPECT_TRUE(QFileInfo::exists(dir.file("proj/GUIDE.md")));
}

// In a folder whose name is not UTF-8, renaming onto a taken name still replaces nothing, and
// new entries are made in that folder, not in one named with a replacement character.
TEST_F(FileExplorerTest, RenameAndCreationWorkOnTheRealBytesOfAFolderName) {
    const QByteArray folder = QFile::encodeName(dir.file("proj")) + "/caf\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    for (const char* name : {"/a.txt", "/b.txt"}) {
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, name + 1, 1), 1);
        ::close(fd);
    }
    openProject();
    const QString shown = FilePath::decode(folder);
    const auto rowAt = [&](const QString& path) { return view.row(view.model()->rowOf(path)); };
    ASSERT_NE(view.model()->rowOf(shown), -1);
    rowAt(shown).activate();
    ASSERT_NE(view.model()->rowOf(shown + "/a.txt"), -1);
    const auto bytesOf = [&](const char* name) {
        const QString path = FilePath::decode(folder + name);
        const auto read = TextFile::readUtf8(path);
        return read.text.value_or(QStringLiteral("(none)"));
    };

    ScriptedPrompter prompter;
    prompter.texts = {QStringLiteral("b.txt")};
    rowAt(shown + "/a.txt").rename();
    EXPECT_EQ(bytesOf("/b.txt"), "b") << "the rename replaced a taken name";
    EXPECT_EQ(bytesOf("/a.txt"), "a");

    prompter.texts = {QStringLiteral("c.txt"), QStringLiteral("sub")};
    rowAt(shown).createEntry(false);
    rowAt(shown).createEntry(true);
    struct stat st {};
    EXPECT_EQ(::stat((folder + "/c.txt").constData(), &st), 0);
    EXPECT_EQ(::stat((folder + "/sub").constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("proj/caf\uFFFD")))) << "a second folder was made";
    EXPECT_TRUE(prompter.asked.isEmpty()) << prompter.asked.value(0).message.toStdString();
}

TEST_F(FileExplorerTest, DeleteAsksThenMovesToTheTrashAndClosesTheOpenTab) {
    openProject();
    ScriptedPrompter prompter;
    app.open(dir.file("proj/README.md"));
    prompter.answers = {1};  // Cancel
    row("proj/README.md").remove();
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "Move “README.md” to the Trash?");
    EXPECT_TRUE(prompter.asked[0].warning);
    EXPECT_TRUE(QFileInfo::exists(dir.file("proj/README.md")));

    prompter.answers = {0};
    row("proj/README.md").remove();
    EXPECT_FALSE(QFileInfo::exists(dir.file("proj/README.md")));
    EXPECT_EQ(rowOf("proj/README.md"), -1);
    EXPECT_TRUE(app.documents().isEmpty()) << "a clean tab of the trashed file closes without a question";
    EXPECT_EQ(prompter.asked.size(), 2);
    const QString trashed = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files/README.md";
    EXPECT_EQ(readBytes(trashed), "# hi\n");

    // The open folder itself is never trashed, whatever is answered.
    prompter.answers = {0};
    FileRow(app.rootNode(), 0, app).remove();
    EXPECT_TRUE(QFileInfo(dir.file("proj")).isDir());
}

TEST_F(FileExplorerTest, CopyPathAndRevealUseThePlainPath) {
    openProject();
    row("proj/src").activate();
    row("proj/src/main.py").copyPath();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), dir.file("proj/src/main.py"));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "show");
    row("proj/src/main.py").revealInFileViewer();
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), dir.file("proj/src"));
}

// Past the system's limit of watches (here one watch: the folder itself), the user is told once per opening, and
// folders nobody watches are listed again when opened or when the explorer shows again.
TEST_F(FileExplorerTest, FoldersBeyondTheWatchLimitAreListedAgainWhenShown) {
    ScriptedPrompter prompter;
    InotifyReader::limitWatchesTo(1);
    openProject();
    InotifyReader::limitWatchesTo(-1);
    EXPECT_FALSE(app.watchesEverything());
    ASSERT_TRUE(waitUntil([&] { return !prompter.asked.isEmpty(); }));
    EXPECT_EQ(prompter.asked[0].title, "Some folders are not watched for changes.");

    row("proj/src").activate();
    row("proj/src/deep").activate();
    ASSERT_NE(rowOf("proj/src/deep/util.go"), -1);
    ASSERT_TRUE(QFile::remove(dir.file("proj/src/deep/util.go")));
    dir.write("proj/src/deep/new.go", "x");
    row("proj/src/deep").activate();
    row("proj/src/deep").activate();
    EXPECT_EQ(rowOf("proj/src/deep/util.go"), -1) << "opening the folder lists it again";
    EXPECT_NE(rowOf("proj/src/deep/new.go"), -1);

    ASSERT_TRUE(QFile::remove(dir.file("proj/src/deep/new.go")));
    view.hide();
    view.show();
    EXPECT_EQ(rowOf("proj/src/deep/new.go"), -1) << "showing the explorer lists it again";

    InotifyReader::limitWatchesTo(1);
    app.openFolder(dir.file("proj/src"));
    InotifyReader::limitWatchesTo(-1);
    QCoreApplication::processEvents();
    ASSERT_TRUE(waitUntil([&] { return prompter.asked.size() == 2; })) << "told again for the folder opened since";
    app.handleExternalChange();
    QCoreApplication::processEvents();
    EXPECT_EQ(prompter.asked.size(), 2) << "told once per opening";
}

// A name holding a line break is drawn on one line in its row, the break shown as its escape.
TEST_F(FileExplorerTest, ANameWithALineBreakIsDrawnOnOneLine) {
    dir.write("proj/two\nlines.md", "x");
    dir.write("proj/two\\nlines.md", "x");
    openProject();
    QListView* list = view.list();
    const QRect broken = list->visualRect(view.model()->index(rowOf("proj/two\nlines.md")));
    const QRect escaped = list->visualRect(view.model()->index(rowOf("proj/two\\nlines.md")));
    ASSERT_TRUE(broken.isValid() && escaped.isValid());
    const QImage shot = list->viewport()->grab().toImage();
    EXPECT_EQ(shot.copy(broken), shot.copy(escaped));
}

// With the keyboard in the list: Right opens a folder and leads into it, Left leads back to the
// folder and shuts it, Return opens a file and hands the keyboard on, as Escape does.
TEST_F(FileExplorerTest, ArrowsWalkTheTreeAndReturnOpens) {
    openProject();
    QListView* list = view.list();
    int handedOn = 0;
    QObject::connect(&view, &FileExplorerView::editorWanted, [&] { ++handedOn; });
    list->setFocus();
    const auto at = [&](const QString& relative) { list->setCurrentIndex(view.model()->index(rowOf(relative))); };
    const auto current = [&] { return view.model()->node(list->currentIndex().row())->url(); };
    at("proj/src");
    QTest::keyClick(list, Qt::Key_Right);
    ASSERT_GE(rowOf("proj/src/main.py"), 0) << "Right opened the folder";
    EXPECT_EQ(current(), dir.file("proj/src"));
    QTest::keyClick(list, Qt::Key_Right);
    EXPECT_EQ(current(), dir.file("proj/src/deep")) << "Right on an open folder leads to its first entry";
    at("proj/src/main.py");
    QTest::keyClick(list, Qt::Key_Left);
    EXPECT_EQ(current(), dir.file("proj/src")) << "Left leads to the folder";
    QTest::keyClick(list, Qt::Key_Left);
    EXPECT_EQ(rowOf("proj/src/main.py"), -1) << "Left shut the folder";
    EXPECT_EQ(current(), dir.file("proj/src"));
    at("proj/README.md");
    QTest::keyClick(list, Qt::Key_Right);
    EXPECT_EQ(app.activeDocument(), nullptr) << "Right opens folders only";
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(app.activeDocument()->url(), dir.file("proj/README.md"));
    EXPECT_EQ(handedOn, 1);
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_EQ(handedOn, 2);
}

} // namespace

#include "FileExplorerTest.moc"

namespace {
// A folder that could not be read when it was expanded shows what it holds once its mode lets it
// be read, with no other change on disk to bring it.
TEST_F(FileExplorerTest, AFolderThatBecomesReadableShowsItsEntries) {
    const QString closed = dir.mkdir("proj/closed");
    dir.write("proj/closed/inside.txt", "x");
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0), 0);
    openProject();
    ::setfsuid(::geteuid() == 0 ? 65534 : ::geteuid());  // modes hold for root too on this thread
    row("proj/closed").activate();
    ::setfsuid(::geteuid());
    EXPECT_EQ(rowOf("proj/closed/inside.txt"), -1);
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0755), 0);
    EXPECT_TRUE(waitUntil([&] { return rowOf("proj/closed/inside.txt") != -1; }));
}
} // namespace
