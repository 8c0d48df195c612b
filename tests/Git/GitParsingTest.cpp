// Parsing git's output and the small text rules around it.
#include <gtest/gtest.h>

#include "Git/GitService.h"
#include "Git/ProcessText.h"

namespace {

QString z(std::initializer_list<const char*> fields) {
    QString out;
    for (const char* f : fields) out += QString::fromUtf8(f) + QChar(u'\0');
    return out;
}

// The fields git prints for a tracked entry before its path.
QString tracked(const char* xy, const char* path) {
    return QString("1 %1 N... 100644 100644 100644 e69de29 e69de29 %2").arg(xy, QString::fromUtf8(path));
}

TEST(GitParsing, StatusEntriesKeepRawPathsAndRenamesNameTheirOrigin) {
    const auto changes = GitService::parseStatus(
        z({"# branch.oid 1234", "# branch.head main", qPrintable(tracked("M.", "src/a.txt")), qPrintable(tracked(".M", "b.txt")),
           qPrintable(tracked("MM", "c.txt")), "? new.txt",
           "2 R. N... 100644 100644 100644 e69de29 e69de29 R100 new name.txt", "old.txt",
           qPrintable(tracked("A.", "dir with space/\xc3\xbcn\xc3\xaf \"q\".txt")), qPrintable(tracked(".D", "trailing space ")),
           "? line\nbreak", "u UU N... 100644 100644 100644 100644 e69de29 e69de29 e69de29 both.txt"}))
                             .changes;
    ASSERT_EQ(changes.size(), 9);
    QStringList displays;
    for (const auto& c : changes) displays << c.displayStatus();
    EXPECT_EQ(displays, (QStringList{"M", "M", "M", "U", "R", "A", "D", "U", "U"}));
    EXPECT_EQ(changes[4].originalPath, "old.txt");
    EXPECT_EQ(changes[4].path, "new name.txt");
    EXPECT_EQ(changes[5].path, QString::fromUtf8("dir with space/ünï \"q\".txt"));
    EXPECT_EQ(changes[6].path, "trailing space ") << "paths are not trimmed";
    EXPECT_EQ(changes[6].staged, u' ');
    EXPECT_EQ(changes[7].path, "line\nbreak");
    EXPECT_TRUE(changes[3].isUntracked());
    EXPECT_TRUE(changes[8].isUnmerged());
    EXPECT_EQ(changes[8].path, "both.txt");
}

TEST(GitParsing, StatusIgnoresWhatIsNoEntry) {
    // Fields too short to hold a path, and stray text, never become changes (an empty path would
    // name the repository root).
    EXPECT_TRUE(GitService::parseStatus(z({"? ", "1 M", "", "garbage", "fatal: not a git repository", "1 .M N..."}))
                    .changes.isEmpty());
    EXPECT_TRUE(GitService::parseStatus(QString()).changes.isEmpty());
    EXPECT_FALSE(GitService::parseStatus(QString()).branch);
    // A rename at the very end without its origin still lists the new path.
    const auto cut = GitService::parseStatus(QString("2 R. N... 100644 100644 100644 a b R100 only")).changes;
    ASSERT_EQ(cut.size(), 1);
    EXPECT_EQ(cut[0].path, "only");
}

TEST(GitParsing, StatusHeadersNameTheBranchItsCountsAndTheStashes) {
    auto reading = GitService::parseStatus(z({"# branch.oid 1234", "# branch.head topic/a b", "# branch.upstream origin/x",
                                              "# branch.ab +2 -5", "# stash 3"}));
    EXPECT_EQ(reading.branch, QString("topic/a b"));
    EXPECT_EQ(reading.ahead, 2);
    EXPECT_EQ(reading.behind, 5);
    EXPECT_EQ(reading.stashes, 3);
    reading = GitService::parseStatus(z({"# branch.oid (initial)", "# branch.head (detached)", "# branch.ab +x -"}));
    EXPECT_EQ(reading.branch, QString("HEAD"));
    EXPECT_EQ(reading.ahead, 0);
    EXPECT_EQ(reading.behind, 0);
}

TEST(GitParsing, Branches) {
    const auto branches = GitService::parseBranches("main\torigin/main\ntopic\t\n\tx\n  spaced \t origin/spaced \n");
    ASSERT_EQ(branches.size(), 3);
    EXPECT_EQ(branches[0], (GitBranchInfo{"main", QString("origin/main")}));
    EXPECT_EQ(branches[1], (GitBranchInfo{"topic", std::nullopt}));
    EXPECT_EQ(branches[2], (GitBranchInfo{"spaced", QString("origin/spaced")}));
    EXPECT_TRUE(GitService::parseBranches("").isEmpty());
}


TEST(GitParsing, FirstNonBlankLineTrimsOnlySpacesAndTabs) {
    EXPECT_EQ(ProcessText::firstNonBlankLine("\n   \n  main  \n"), "main");
    EXPECT_EQ(ProcessText::firstNonBlankLine("\t\r\nnext"), "\r") << "carriage returns are kept";
    EXPECT_EQ(ProcessText::firstNonBlankLine(" \n\t\n"), std::nullopt);
}

TEST(GitParsing, InferRepoName) {
    EXPECT_EQ(GitService::inferRepoName("  team/repo.git \n"), "repo");
    EXPECT_EQ(GitService::inferRepoName("https://host/team/repo/"), "repo");
    EXPECT_EQ(GitService::inferRepoName("repo"), "repo");
    EXPECT_EQ(GitService::inferRepoName(".git"), "");
    EXPECT_EQ(GitService::inferRepoName("file:///srv/git/tools.git//"), "tools");
}

TEST(GitParsing, BytesThatAreNotUtf8AreKeptExactlyAndShownAsReplacements) {
    EXPECT_EQ(ProcessText::decodeLossy("ok \xc3\xa9 bad \xff here"), QString::fromUtf8("ok é bad \uFFFD here"));
    // Latin-1, stray continuation, cut sequence, overlong "/", encoded surrogate, beyond U+10FFFF, emoji,
    // a lead byte of the old five-byte form.
    for (const QByteArray bytes : {QByteArray("caf\xe9.txt"), QByteArray("\x80x"), QByteArray("ab\xe2\x82"),
                                   QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"), QByteArray("\xf4\x90\x80\x80"),
                                   QByteArray("\xf0\x9f\x98\x80\xe9"), QByteArray("plain/\xc3\xa9"),
                                   QByteArray("\xfc\x80\x80\x80")}) {
        const QString text = ProcessText::decodeExact(bytes);
        EXPECT_EQ(ProcessText::encodeExact(text), bytes) << bytes.toHex().toStdString();
        EXPECT_FALSE(ProcessText::visibleName(text).contains(QChar(0xDCE9)));
    }
    EXPECT_NE(ProcessText::decodeExact("caf\xe9"), ProcessText::decodeExact("caf\xe8")) << "two names stay two";
    // Only the bytes given are read, not what lies past them.
    const char padded[] = "caf\xe9\xff";
    EXPECT_EQ(ProcessText::encodeExact(ProcessText::decodeExact(QByteArray::fromRawData(padded, 4))), QByteArray("caf\xe9"));
    EXPECT_EQ(ProcessText::decodeExact("\xf0\x9f\x98\x80\xe9").left(2), QString::fromUtf8("\xf0\x9f\x98\x80"))
        << "good text beside a bad byte stays text";
    EXPECT_EQ(ProcessText::visibleName(ProcessText::decodeExact("caf\xe9.txt")), QString::fromUtf8("caf\uFFFD.txt"));
    EXPECT_EQ(ProcessText::visibleName(QString::fromUtf8("a\nb\tc\rd\x1b\u2028\xf0\x9f\x98\x80")),
              QString::fromUtf8("a\\nb\\tc\\rd\\x1B\\u2028\xf0\x9f\x98\x80"));
    const QString combined = QString::fromUtf8("e\xcc\x81x");  // e + combining acute, x
    EXPECT_EQ(ProcessText::characterCount(combined, 100), 2);
    EXPECT_EQ(ProcessText::leadingCharacters(combined, 1), QString::fromUtf8("e\xcc\x81"));
    EXPECT_EQ(ProcessText::leadingCharacters("abc", 10), "abc");
}

TEST(GitParsing, OneNameThatIsNotUtf8CostsItsOwnBytesNotTheWholeListing) {
    // A status listing of thousands of names with one bad byte among them: the good text around
    // it is converted in runs, not character by character.
    QByteArray listing;
    for (int i = 0; i < 20000; ++i) {
        listing += "1 .M N... 100644 100644 100644 e69de29 e69de29 d/f " + QByteArray::number(i) + ".txt" + '\0';
        if (i == 10000) listing += QByteArray("? odd/caf\xe9 \xc3\xa9\xff.txt") + '\0';
    }
    const qint64 before = ProcessText::decodedRuns();
    const QString text = ProcessText::decodeExact(listing);
    EXPECT_EQ(ProcessText::decodedRuns() - before, 3) << "one conversion for each stretch around the two bad bytes";
    EXPECT_EQ(ProcessText::encodeExact(text), listing);
    // Bad bytes at the ends leave no empty stretch to convert.
    const qint64 ends = ProcessText::decodedRuns();
    EXPECT_EQ(ProcessText::encodeExact(ProcessText::decodeExact("\xe9name\xff")), QByteArray("\xe9name\xff"));
    EXPECT_EQ(ProcessText::decodedRuns() - ends, 1);
    EXPECT_TRUE(text.contains(QString::fromUtf8("caf") + QChar(0xDCE9) + QString::fromUtf8(" \xc3\xa9") + QChar(0xDCFF)));
    EXPECT_EQ(GitService::parseStatus(text).changes.size(), 20001);
}

} // namespace
