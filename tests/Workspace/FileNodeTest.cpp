#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QThreadPool>
#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/FilePath.h"
#include "Workspace/FileNode.h"
#include "support/TestSupport.h"

using testing_support::TempFolder;

namespace {
QStringList names(const FileNode& node) {
    QStringList out;
    for (const auto& child : node.children().value_or(FileNode::Children{})) out << child->name();
    return out;
}

FileNode::Ptr child(const FileNode& node, const QString& name) {
    for (const auto& c : node.children().value_or(FileNode::Children{}))
        if (c->name() == name) return c;
    return nullptr;
}
} // namespace

TEST(FileNode, ListsDirectoriesFirstInFileViewerOrderOnce) {
    TempFolder dir;
    for (const char* f : {"b", "a10", "a2", ".env", "cherry", "Banana", "apple", "node_modules/x.js"}) dir.write(f, "");
    dir.mkdir("Src");
    FileNode root(dir.path());
    EXPECT_FALSE(root.children().has_value());
    root.loadChildren();
    EXPECT_EQ(names(root), (QStringList{"Src", "a2", "a10", "apple", "b", "Banana", "cherry"}));

    dir.write("later.txt", "");
    root.loadChildren();  // a second load lists nothing new
    EXPECT_EQ(names(root).size(), 7);

    FileNode file(dir.file("b"));
    file.loadChildren();
    EXPECT_FALSE(file.isLoaded());
    // Each node keeps one identifier of its own, however often asked.
    EXPECT_FALSE(file.id().isNull());
    EXPECT_EQ(file.id(), file.id());
    EXPECT_NE(file.id(), root.id());

    // A directory that cannot be listed becomes loaded and empty; a refresh fills it once it is back.
    FileNode gone(dir.mkdir("gone"));
    QDir(dir.file("gone")).removeRecursively();
    gone.loadChildren();
    ASSERT_TRUE(gone.children().has_value());
    EXPECT_TRUE(gone.children()->isEmpty());
    dir.write("gone/back.txt", "");
    gone.refreshLoaded();
    EXPECT_EQ(names(gone), QStringList{"back.txt"});
}

TEST(FileNode, RefreshKeepsNodesOfEntriesThatStillExist) {
    TempFolder dir;
    dir.write("keep/inner/deep.txt", "");
    dir.write("doomed/x.txt", "");
    dir.write("m.txt", "");
    FileNode root(dir.path());
    root.loadChildren();
    const auto keep = child(root, "keep");
    keep->setIsExpanded(true);
    keep->loadChildren();
    const auto inner = child(*keep, "inner");

    QDir(dir.file("doomed")).removeRecursively();
    dir.write("keep/b.txt", "");
    dir.write("aaa.txt", "");
    QFile::remove(dir.file("m.txt"));
    dir.mkdir("m.txt");  // a file replaced by a folder of the same name
    root.refreshLoaded();

    EXPECT_EQ(names(root), (QStringList{"keep", "m.txt", "aaa.txt"}));
    EXPECT_EQ(child(root, "keep"), keep);
    EXPECT_TRUE(keep->isExpanded());
    EXPECT_EQ(names(*keep), (QStringList{"inner", "b.txt"}));
    EXPECT_EQ(child(*keep, "inner"), inner);
    EXPECT_FALSE(inner->isLoaded());  // never loaded: not descended into
    EXPECT_FALSE(inner->children().has_value());
    EXPECT_TRUE(child(root, "m.txt")->isDirectory());
}

// A refresh matches the old nodes to the new listing by walking both in display order: entries
// added and removed at either end, in the middle and in runs, a file turned folder and back, names
// that differ only in case and numbered names all come out as a fresh listing would give them, and
// every entry still there keeps its node.
TEST(FileNode, RefreshKeepsEveryNodeStillThereWhateverChangedAroundIt) {
    TempFolder dir;
    const QStringList start{"b2", "b10", "c", "d", "e", "f", "g", "h", "Same", "x1", "x9", "x10"};
    for (const QString& name : start) dir.write(name, "");
    for (const char* folder : {"k", "m", "p"}) dir.mkdir(folder);
    FileNode root(dir.path());
    root.loadChildren();
    QHash<QString, FileNode::Ptr> before;
    for (const auto& node : *root.children()) before.insert(node->name(), node);

    for (const char* gone : {"b2", "e", "f", "g", "x10"}) QFile::remove(dir.file(gone));
    for (const char* added : {"a", "b3", "ee", "same", "x2", "zz"}) dir.write(added, "");
    QFile::remove(dir.file("d"));
    dir.mkdir("d");                              // a file turned folder
    QDir(dir.file("m")).removeRecursively();
    dir.write("m", "");                          // a folder turned file
    dir.mkdir("j");
    root.refreshLoaded();

    FileNode fresh(dir.path());
    fresh.loadChildren();
    EXPECT_EQ(names(root), names(fresh));
    for (const auto& node : *root.children()) {
        const FileNode::Ptr old = before.value(node->name());
        const bool sameKind = old && old->isDirectory() == node->isDirectory();
        EXPECT_EQ(node == old, sameKind) << qPrintable(node->name());
    }
}

TEST(FileNode, AllFilesSkipsExcludedEntriesAndNeverLoops) {
    TempFolder dir, elsewhere;
    dir.write("src/deep/main.c", "");
    dir.write("top.txt", "");
    for (const char* excluded : {".git/HEAD", "node_modules/p/i.js", "src/dist/b.js", "src/.hidden/k", "Pods/a"})
        dir.write(excluded, "");
    const auto link = [](const QString& target, const QString& at) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()), 0);
    };
    link(dir.path(), dir.file("src/up"));  // a loop back to the top
    link(dir.file("top.txt"), dir.file("alias.txt"));
    link(dir.path(), elsewhere.file("opened"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file("pipe")).constData(), 0600), 0);

    QStringList files;
    FileNode(dir.path()).allFiles(files);
    files.sort();
    EXPECT_EQ(files, (QStringList{dir.file("alias.txt"), dir.file("pipe"), dir.file("src/deep/main.c"),
                                  dir.file("top.txt")}));
    // Only files themselves count as regular: not links to them, nor anything else.
    QStringList regular;
    FileNode::walkFiles(dir.path(), [&](FileNode::Files&& batch) {
        EXPECT_EQ(batch.paths.size(), batch.regular.size());
        for (qsizetype i = 0; i < batch.paths.size(); ++i)
            if (batch.regular.value(i)) regular << batch.paths[i];
        return true;
    });
    regular.sort();
    EXPECT_EQ(regular, (QStringList{dir.file("src/deep/main.c"), dir.file("top.txt")}));

    // The starting node is walked even with an excluded name, or when it is a link.
    files.clear();
    FileNode(dir.file("Pods")).allFiles(files);
    EXPECT_EQ(files, QStringList{dir.file("Pods/a")});
    FileNode opened(elsewhere.file("opened"));
    opened.loadChildren();
    EXPECT_EQ(names(opened), (QStringList{"src", "alias.txt", "pipe", "top.txt"}));
}

// Names that are not UTF-8 are listed, in the tree and in the file list, and each path names the
// very file it was listed from.
TEST(FileNode, ListsNamesThatAreNotUtf8) {
    TempFolder dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const auto make = [&](const QByteArray& name, const QByteArray& bytes) {
        const int fd = ::open((root + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    };
    ASSERT_EQ(::mkdir((root + "/d\xe9").constData(), 0755), 0);
    make("caf\xe9.txt", "latin\n");
    make("caf\xef\xbf\xbd.txt", "replacement\n");  // what the other name would turn into, read as UTF-8
    make("d\xe9/in\xff.txt", "inner\n");
    FileNode node(dir.path());
    node.loadChildren();
    ASSERT_EQ(node.children()->size(), 3);
    QStringList files;
    node.allFiles(files);
    ASSERT_EQ(files.size(), 3);
    QList<QByteArray> contents;
    for (const QString& path : files) {
        QByteArray bytes(64, '\0');
        const int fd = ::open(FilePath::encode(path).constData(), O_RDONLY);
        ASSERT_GE(fd, 0) << FilePath::encode(path).toHex().constData();
        bytes.resize(::read(fd, bytes.data(), size_t(bytes.size())));
        ::close(fd);
        contents << bytes;
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (QList<QByteArray>{"inner\n", "latin\n", "replacement\n"}));
    const auto sub = std::find_if(node.children()->cbegin(), node.children()->cend(), [](const auto& c) { return c->isDirectory(); });
    ASSERT_NE(sub, node.children()->cend());
    EXPECT_EQ(FilePath::encode((*sub)->url()), root + "/d\xe9");
}

// Names changed one by one go in at their place, as a fresh listing would show them; a change met
// while a listing of the folder is under way is not undone when that older listing is taken in.
TEST(FileNode, ChangedNamesGoInAtTheirPlaceAndALaterChangeOutlivesAnOlderListing) {
    TempFolder dir;
    for (int i = 0; i < 300; ++i) dir.write(QString("f%1.txt").arg(i), "");
    dir.mkdir("m");
    FileNode node(dir.path());
    node.loadChildren();
    dir.write("f15.5", "");
    dir.mkdir("a");
    QFile::remove(dir.file("f7.txt"));
    ASSERT_TRUE(QDir(dir.file("m")).removeRecursively());
    dir.write("m", "now a file");
    node.applyChanges({"f15.5", "a", "f7.txt", "m", ".hidden"});
    FileNode fresh(dir.path());
    fresh.loadChildren();
    EXPECT_EQ(names(node), names(fresh));
    EXPECT_FALSE(child(node, "m")->isDirectory());

    QSet<QString> many;
    for (int i = 0; i < 300; ++i) many << dir.write(QString("g%1.txt").arg(i), "").section('/', -1);
    node.applyChanges(many);  // listed again, on another thread
    QThreadPool::globalInstance()->waitForDone();  // listed, not yet taken in
    dir.write("late.txt", "");
    node.applyChanges({"late.txt"});
    FileNode now(dir.path());
    now.loadChildren();
    EXPECT_TRUE(testing_support::waitUntil([&] { return names(node) == names(now); })) << node.children()->size();

    // The same for a whole listing made here meanwhile.
    for (int i = 0; i < 300; ++i) QFile::remove(dir.file(QString("g%1.txt").arg(i)));
    node.applyChanges(many);
    QThreadPool::globalInstance()->waitForDone();
    dir.write("later.txt", "");
    node.refreshLoaded();
    int takenIn = 0;  // the older listing's, at least
    QObject::connect(&node, &FileNode::childrenListed, [&] { ++takenIn; });
    FileNode last(dir.path());
    last.loadChildren();
    EXPECT_TRUE(testing_support::waitUntil([&] { return takenIn > 0 && names(node) == names(last); }))
        << node.children()->size();
}

// A burst that removes loaded folders and names changes inside them ends as a fresh listing shows,
// whichever order the folders are looked at in, and a burst told at once is told in one signal.
TEST(FileNode, ABurstRemovingLoadedFoldersWithChangesInsideEndsAsAFreshListing) {
    TempFolder dir;
    for (int i = 0; i < 8; ++i) dir.write(QString("a%1/b/x.txt").arg(i), "");
    dir.write("kept.txt", "");
    dir.mkdir("kept");
    FileNode node(dir.path());
    node.loadChildren();
    for (int i = 0; i < 8; ++i) {
        const FileNode::Ptr a = child(node, QString("a%1").arg(i));
        ASSERT_TRUE(a);
        a->loadChildren();
        child(*a, "b")->loadChildren();
    }
    QSet<QString> burst;
    for (int i = 0; i < 8; ++i) {
        const QString a = QString("a%1").arg(i);
        dir.write(a + "/b/y.txt", "");
        ASSERT_TRUE(QDir(dir.file(a)).removeRecursively());
        burst << a << a + "/b" << a + "/b/x.txt" << a + "/b/y.txt";
    }
    for (int i = 0; i < 20; ++i) burst << dir.write(QString("n%1.txt").arg(i), "").section('/', -1);
    int told = 0, oneByOne = 0;
    QObject::connect(&node, &FileNode::descendantsChanged, [&] { ++told; });
    QObject::connect(&node, &FileNode::childInserted, [&] { ++oneByOne; });
    node.applyChanges(burst);
    FileNode fresh(dir.path());
    fresh.loadChildren();
    EXPECT_EQ(names(node), names(fresh));
    EXPECT_TRUE(child(node, "kept.txt") && child(node, "kept"));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(oneByOne, 0);

    // A name or two is told entry by entry.
    node.applyChanges({dir.write("one.txt", "").section('/', -1)});
    EXPECT_EQ(told, 1);
    EXPECT_EQ(oneByOne, 1);
    EXPECT_EQ(child(node, "one.txt")->url(), dir.file("one.txt"));
}

// When events were lost, the folders shown are listed again; those never opened are not listed at all.
TEST(FileNode, ListingAgainLaterLeavesFoldersNeverOpenedAlone) {
    TempFolder dir;
    for (int i = 0; i < 50; ++i) dir.write(QString("closed/%1.txt").arg(i), "");
    dir.write("open/a.txt", "");
    FileNode node(dir.path());
    node.loadChildren();
    child(node, "open")->loadChildren();
    dir.write("open/b.txt", "");
    const quint64 before = FileNode::entriesRead();
    int listed = 0;
    QObject::connect(child(node, "open").get(), &FileNode::childrenListed, [&] { ++listed; });
    node.refreshLoadedLater();
    EXPECT_TRUE(testing_support::waitUntil([&] { return listed == 1; }));
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(FileNode::entriesRead() - before, 4u) << "the folder's two entries and the open one's two";
    EXPECT_FALSE(child(node, "closed")->isLoaded());
    EXPECT_EQ(names(*child(node, "open")), QStringList({"a.txt", "b.txt"}));
}

// A change below a shown subfolder goes to that subfolder, looked at by its name alone; one in a folder
// not listed yet goes nowhere (the folder is listed as it is when opened), and costs no reading.
TEST(FileNode, ChangesGoToTheShownFolderTheyAreInAndReadOnlyTheirNames) {
    TempFolder dir;
    for (int i = 0; i < 200; ++i) dir.write(QString("s/f%1.txt").arg(i), "");
    dir.write("closed/x.txt", "");
    FileNode node(dir.path());
    QThreadPool::globalInstance()->waitForDone();  // no listing of an earlier test still counting
    quint64 before = FileNode::entriesRead();
    node.applyChanges({"new.txt", "s/new.txt"});
    EXPECT_EQ(FileNode::entriesRead(), before);
    EXPECT_FALSE(node.children().has_value());

    node.loadChildren();
    child(node, "s")->loadChildren();
    dir.write("s/new.txt", "");
    dir.write("closed/y.txt", "");
    dir.mkdir("s/target");
    ASSERT_EQ(::symlink("target", QFile::encodeName(dir.file("s/link")).constData()), 0);
    before = FileNode::entriesRead();
    node.applyChanges({"s/new.txt", "s/target", "s/link", "closed/y.txt"});
    EXPECT_EQ(FileNode::entriesRead() - before, 3);
    FileNode fresh(dir.file("s"));
    fresh.loadChildren();
    EXPECT_EQ(names(*child(node, "s")), names(fresh));
    EXPECT_TRUE(child(*child(node, "s"), "link")->isDirectory()) << "a link to a directory counts as one";
    EXPECT_EQ(names(node), (QStringList{"closed", "s"}));
    EXPECT_FALSE(child(node, "closed")->children().has_value());
}

// A folder listed again for many changes takes in its own listing only: the folders shown below it
// are not listed again on the way (their own changes reach them by name).
TEST(FileNode, AFolderListedAgainForManyChangesLeavesTheFoldersBelowAlone) {
    TempFolder dir;
    for (int i = 0; i < 500; ++i) dir.write(QString("s/f%1.txt").arg(i), "");
    FileNode node(dir.path());
    node.loadChildren();
    child(node, "s")->loadChildren();
    QSet<QString> many;
    for (int i = 0; i < 300; ++i) many << dir.write(QString("g%1.txt").arg(i), "").section('/', -1);
    int takenIn = 0;
    QObject::connect(&node, &FileNode::childrenChanged, [&] { ++takenIn; });
    QObject::connect(&node, &FileNode::childrenListed, [&] { ++takenIn; });
    QObject::connect(&node, &FileNode::descendantsChanged, [&] { ++takenIn; });
    QThreadPool::globalInstance()->waitForDone();
    const quint64 before = FileNode::entriesRead();
    node.applyChanges(many);
    ASSERT_TRUE(testing_support::waitUntil([&] { return takenIn > 0; }));
    EXPECT_EQ(node.children()->size(), 301);
    EXPECT_EQ(FileNode::entriesRead() - before, 301u);
}

// Whoever shows a folder redoes its rows on what it is told: a refresh that finds the same entries
// tells nothing, one that finds a change tells it once; a burst of up to sixteen names is told name
// by name, one more and it is told once for the whole tree; names only written to tell nothing.
TEST(FileNode, ARefreshAndABurstTellTheirChangesOnceAndNothingWhenNothingChanged) {
    TempFolder dir;
    dir.write("a.txt", "");
    FileNode node(dir.path());
    node.loadChildren();
    int replaced = 0, inserted = 0, told = 0;
    QObject::connect(&node, &FileNode::childrenChanged, [&] { ++replaced; });
    QObject::connect(&node, &FileNode::childInserted, [&] { ++inserted; });
    QObject::connect(&node, &FileNode::descendantsChanged, [&] { ++told; });
    node.refreshLoaded();
    EXPECT_EQ(replaced, 0) << "nothing changed";
    dir.write("b.txt", "");
    node.refreshLoaded();
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(names(node), QStringList({"a.txt", "b.txt"}));

    for (const int burst : {16, 17}) {
        QSet<QString> made;
        for (int i = 0; i < burst; ++i) made << dir.write(QString("n%1-%2.txt").arg(burst).arg(i), "").section('/', -1);
        inserted = told = 0;
        node.applyChanges(made);
        EXPECT_EQ(inserted, burst == 16 ? 16 : 0) << burst;
        EXPECT_EQ(told, burst == 16 ? 0 : 1) << burst;
        // The same names again, only written to: the rows stand as they are.
        inserted = told = 0;
        node.applyChanges(made);
        EXPECT_EQ(inserted + told, 0) << burst;
    }
    FileNode fresh(dir.path());
    fresh.loadChildren();
    EXPECT_EQ(names(node), names(fresh));
    EXPECT_EQ(replaced, 1);
}

// A shown folder whose own entry changed (it became readable, say) is listed again; a file whose
// entry changed is only looked at.
TEST(FileNode, AShownFolderWhoseEntryChangedIsListedAgain) {
    TempFolder dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString closed = dir.mkdir("closed");
    dir.write("closed/x.txt", "");
    dir.write("file.txt", "");
    dir.write("shut/never-listed.txt", "");
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0), 0);
    FileNode node(dir.path());
    node.loadChildren();
    ::setfsuid(::geteuid() == 0 ? 65534 : ::geteuid());  // modes hold for root too on this thread
    child(node, "closed")->loadChildren();
    ::setfsuid(::geteuid());
    ASSERT_EQ(names(*child(node, "closed")), QStringList());
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0755), 0);
    // One by one, and in a burst.
    QSet<QString> burst{"closed", "file.txt", "shut"};
    for (int i = 0; i < 20; ++i) burst << QString("gone%1").arg(i);
    for (const QSet<QString>& changed : {QSet<QString>{"closed", "file.txt", "shut"}, burst}) {
        QThreadPool::globalInstance()->waitForDone();
        const quint64 before = FileNode::entriesRead();
        node.applyChanges(changed);
        EXPECT_TRUE(testing_support::waitUntil([&] { return names(*child(node, "closed")) == QStringList{"x.txt"}; }));
        QThreadPool::globalInstance()->waitForDone();
        // Each name, and the one entry of the folder listed again; a folder never opened stays unlisted.
        EXPECT_EQ(FileNode::entriesRead() - before, quint64(changed.size()) + 1);
        EXPECT_FALSE(child(node, "shut")->children().has_value());
        QFile::remove(dir.file("closed/x.txt"));
        node.applyChanges({"closed/x.txt"});
        dir.write("closed/x.txt", "");
    }
}
