// Quick open's prepared filter against the plain character-by-character matcher it replaced, over
// generated names with accents in both encodings, full-width case pairs, CJK, emoji and CR LF;
// and typing on from an earlier query.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <random>

#include "Platform/TextEquivalence.h"
#include "Views/Navigation/FuzzyNames.h"
#include "Views/Navigation/QuickOpenView.h"
#include "Views/Navigation/SearchText.h"

namespace {

// The matcher as it was: lower-case, split into characters, compare each under canonical equivalence.
bool referenceMatch(const QString& query, const QString& candidate) {
    const QStringList wanted = SearchText::graphemes(query.toLower());
    if (wanted.isEmpty()) return true;
    qsizetype matched = 0;
    for (const QString& c : SearchText::graphemes(candidate.toLower()))
        if (TextEquivalence::canonicallyEqual(c, wanted[matched]) && ++matched == wanted.size()) return true;
    return false;
}

QStringList referenceResults(const QString& query, const QStringList& files) {
    QStringList out;
    for (const QString& file : files) {
        if (out.size() == QuickOpenView::kMaxResults) break;
        if (referenceMatch(query, QFileInfo(file).fileName())) out.append(file);
    }
    return out;
}

const QStringList kPieces = {
    "a", "B", "c", "x", ".", "_", " ", "txt", "ss", "SS", "\u00df", "\u1e9e", "I", "i", "\u0130", "\u0131",
    "\u0307", "\u00e9", "e\u0301", "E", "e", "\u0301", "\u00c9", "\u0323", "\u6f22", "\u5b57", "\U0001F600",
    "\U0001F44D\U0001F3FD", "\r\n", "\r", "\n", ";", "\u037e", "k", "\u212a", "\u03a3", "\u03c2", "\u03c3"};

QString randomText(std::mt19937& rng, int pieces) {
    QString out;
    for (int i = 0; i < pieces; ++i) out += kPieces[rng() % kPieces.size()];
    return out;
}

QStringList generatedPaths(std::mt19937& rng, int count) {
    QStringList paths{"plain-name", "/ends/with/", "/p/dir/"};
    while (paths.size() < count) paths << "/p/" + randomText(rng, 2) + "/" + randomText(rng, 1 + int(rng() % 7));
    return paths;
}

TEST(FuzzyNamesTest, LettersInOrderUnderCanonicalEquivalenceEachCountingOnce) {
    const QString eAcute = QStringLiteral("\u00e9"), eCombining = QStringLiteral("e\u0301");
    const struct {
        QString query, candidate;
        bool matches;
    } cases[] = {
        {"ap", "AppState.cpp", true}, {"rv", "RootView.h", true}, {"RV", "rootview.h", true},
        {"vr", "RootView.h", false}, {"rootz", "RootView.h", false},
        {"aa", "banana", true}, {"aaaa", "banana", false},  // each candidate letter counts once
        {"", "anything", true}, {"", "", true}, {"a", "", false},
        {" ", "my notes.txt", true}, {" ", "notes.txt", false},
        {eAcute, "caf" + eCombining + ".md", true}, {eCombining, "caf" + eAcute + ".md", true},
        {QStringLiteral("\u00c9"), "caf" + eAcute, true},  // upper-case query
        {"fe", "caf" + eCombining, false},                  // an accented letter is one character
        {QStringLiteral("\U0001F600"), QStringLiteral("a\U0001F600b"), true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FuzzyNames({c.candidate}).filter(c.query, 1).size() == 1, c.matches)
            << c.query.toStdString() << " in " << c.candidate.toStdString();
}

TEST(FuzzyNamesTest, SameResultsAsTheCharacterByCharacterMatcher) {
    std::mt19937 rng(17);
    const QStringList files = generatedPaths(rng, 400);
    for (int round = 0; round < 300; ++round) {
        const QString query = randomText(rng, 1 + int(rng() % 3));
        ASSERT_EQ(QuickOpenView::results(query, files), referenceResults(query, files)) << query.toStdString();
    }
    EXPECT_EQ(QuickOpenView::results("", files), files.mid(0, QuickOpenView::kMaxResults));
    EXPECT_TRUE(QuickOpenView::results("dir", {"/p/dir9/file9.txt"}).isEmpty()) << "folder names are not matched";
}

TEST(FuzzyNamesTest, TypingOnOrBackAgreesWithFilteringAfresh) {
    std::mt19937 rng(29);
    const QStringList files = generatedPaths(rng, 300);
    QStringList names;
    for (const QString& file : files) names << QFileInfo(file).fileName();
    FuzzyNames prepared(names);
    for (int round = 0; round < 40; ++round) {
        // Typed piece by piece, then taken back: "e" then an accent is not a narrower "e".
        QStringList typed{QString()};
        for (int i = 0, n = 1 + int(rng() % 5); i < n; ++i) typed << typed.last() + kPieces[rng() % kPieces.size()];
        for (int i = typed.size() - 2; i >= 0; --i) typed << typed[i];
        for (const QString& query : typed) {
            QStringList got;
            for (const qsizetype i : prepared.filter(query, QuickOpenView::kMaxResults)) got << files[i];
            ASSERT_EQ(got, referenceResults(query, files)) << query.toStdString();
        }
    }
}

TEST(FuzzyNamesTest, NarrowingFindsLateMatchesBeyondTheFirstPage) {
    // The first query fills its page early; the longer one matches only names much further on.
    QStringList names;
    for (int i = 0; i < 500; ++i) names << QStringLiteral("item%1.txt").arg(i);
    FuzzyNames prepared(names);
    EXPECT_EQ(prepared.filter("i", 60).size(), 60);
    const QList<qsizetype> late = prepared.filter("i49", 60);
    ASSERT_EQ(late.size(), 23);  // 49, 149, 249, 349, 409 … 489 and 490 … 499
    EXPECT_EQ(late.first(), 49);
    EXPECT_EQ(late.last(), 499);
    EXPECT_EQ(prepared.filter("i4", 60).first(), 4);  // back again: from the start
}

} // namespace
