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

TEST(GitParsing, StatusEntriesKeepRawPathsAndRenamesNameTheirOrigin) {
    const auto changes = GitService::parseStatus(
        z({"M  src/a.txt", " M b.txt", "MM c.txt", "?? new.txt", "R  new name.txt", "old.txt",
           "A  dir with space/\xc3\xbcn\xc3\xaf \"q\".txt", " D trailing space ", "?? line\nbreak"}));
    ASSERT_EQ(changes.size(), 8);
    QStringList displays;
    for (const auto& c : changes) displays << c.displayStatus();
    EXPECT_EQ(displays, (QStringList{"M", "M", "M", "U", "R", "A", "D", "U"}));
    EXPECT_EQ(changes[4].originalPath, "old.txt");
    EXPECT_EQ(changes[4].path, "new name.txt");
    EXPECT_EQ(changes[5].path, QString::fromUtf8("dir with space/ünï \"q\".txt"));
    EXPECT_EQ(changes[6].path, "trailing space ") << "paths are not trimmed";
    EXPECT_EQ(changes[7].path, "line\nbreak");
    EXPECT_TRUE(changes[3].isUntracked());
}

TEST(GitParsing, StatusIgnoresWhatIsNoEntry) {
    // Fields too short to hold a path, and stray text, never become changes (an empty path would
    // name the repository root).
    EXPECT_TRUE(GitService::parseStatus(z({"?? ", "M", "", "garbage", "fatal: not a git repository"})).isEmpty());
    EXPECT_TRUE(GitService::parseStatus(QString()).isEmpty());
    // A rename at the very end without its origin still lists the new path.
    const auto cut = GitService::parseStatus(QString("R  only"));
    ASSERT_EQ(cut.size(), 1);
    EXPECT_EQ(cut[0].path, "only");
}

TEST(GitParsing, Branches) {
    const auto branches = GitService::parseBranches("main\torigin/main\ntopic\t\n\tx\n  spaced \t origin/spaced \n");
    ASSERT_EQ(branches.size(), 3);
    EXPECT_EQ(branches[0], (GitBranchInfo{"main", QString("origin/main")}));
    EXPECT_EQ(branches[1], (GitBranchInfo{"topic", std::nullopt}));
    EXPECT_EQ(branches[2], (GitBranchInfo{"spaced", QString("origin/spaced")}));
    EXPECT_TRUE(GitService::parseBranches("").isEmpty());
}

TEST(GitParsing, AheadBehind) {
    using P = std::pair<int, int>;
    EXPECT_EQ(GitService::parseAheadBehind("2\t5\n"), P(2, 5));
    EXPECT_EQ(GitService::parseAheadBehind("0\t0"), P(0, 0));
    EXPECT_EQ(GitService::parseAheadBehind("3"), P(0, 0));
    EXPECT_EQ(GitService::parseAheadBehind("3 x"), P(3, 0));
    EXPECT_EQ(GitService::parseAheadBehind("fatal: no upstream configured for branch"), P(0, 0));
    EXPECT_EQ(GitService::parseAheadBehind("  7 \t\t 1  \n"), P(7, 1));
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
    // Latin-1, stray continuation, cut sequence, overlong "/", encoded surrogate, beyond U+10FFFF, emoji.
    for (const QByteArray bytes : {QByteArray("caf\xe9.txt"), QByteArray("\x80x"), QByteArray("ab\xe2\x82"),
                                   QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"), QByteArray("\xf4\x90\x80\x80"),
                                   QByteArray("\xf0\x9f\x98\x80\xe9"), QByteArray("plain/\xc3\xa9")}) {
        const QString text = ProcessText::decodeExact(bytes);
        EXPECT_EQ(ProcessText::encodeExact(text), bytes) << bytes.toHex().toStdString();
        EXPECT_FALSE(ProcessText::visibleName(text).contains(QChar(0xDCE9)));
    }
    EXPECT_NE(ProcessText::decodeExact("caf\xe9"), ProcessText::decodeExact("caf\xe8")) << "two names stay two";
    EXPECT_EQ(ProcessText::visibleName(ProcessText::decodeExact("caf\xe9.txt")), QString::fromUtf8("caf\uFFFD.txt"));
    EXPECT_EQ(ProcessText::visibleName(QString::fromUtf8("a\nb\tc\rd\x1b\u2028\xf0\x9f\x98\x80")),
              QString::fromUtf8("a\\nb\\tc\\rd\\x1B\\u2028\xf0\x9f\x98\x80"));
    const QString combined = QString::fromUtf8("e\xcc\x81x");  // e + combining acute, x
    EXPECT_EQ(ProcessText::characterCount(combined, 100), 2);
    EXPECT_EQ(ProcessText::leadingCharacters(combined, 1), QString::fromUtf8("e\xcc\x81"));
    EXPECT_EQ(ProcessText::leadingCharacters("abc", 10), "abc");
}

} // namespace
