// The gap text against a plain string edited the ordinary way, read back the way the parser reads it.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <random>

#include "Editor/GapText.h"

namespace {

// The whole text, gathered run by run from the start as the parser asks for it.
QString readAll(GapText& text) {
    QString out;
    for (std::u16string_view run = text.read(0); !run.empty(); run = text.read(out.size())) {
        out += QStringView(run.data(), qsizetype(run.size()));
        // No run ends between the halves of a pair: a reader would see a broken character.
        EXPECT_FALSE(out.size() < text.size() && QChar::isHighSurrogate(out.back().unicode())) << out.size();
    }
    return out;
}

} // namespace

TEST(GapText, RandomEditsReadBackLikeAnOrdinaryReplace) {
    const QStringList pieces = {"", "a", "\n", "é", "𝄞", "𝄞𝄞", "long inserted words ", QString(300, u'z')};
    std::mt19937 random(11);
    QString expected = QStringLiteral("start 𝄞 text\n");
    GapText text(expected);
    for (int step = 0; step < 2000; ++step) {
        // Edits keep to whole characters, as the editor's do.
        qsizetype at = qsizetype(random() % (expected.size() + 1));
        if (at < expected.size() && expected[at].isLowSurrogate()) --at;
        qsizetype end = qMin<qsizetype>(expected.size(), at + qsizetype(random() % 5));
        if (end < expected.size() && expected[end].isLowSurrogate()) ++end;
        const QString& with = pieces[qsizetype(random() % pieces.size())];
        expected.replace(at, end - at, with);
        text.replace(at, end - at, with);
        ASSERT_EQ(text.size(), expected.size());
        if (step % 50 == 0) ASSERT_EQ(readAll(text), expected) << "step " << step;
    }
    EXPECT_EQ(readAll(text), expected);
    EXPECT_TRUE(text.read(text.size()).empty());
    EXPECT_TRUE(text.read(-1).empty());
    GapText one(QStringLiteral("a"));
    EXPECT_EQ(readAll(one), QStringLiteral("a"));
}

TEST(GapText, APairSplitByTheGapIsReadWhole) {
    GapText text(QStringLiteral("ab𝄞cd"));
    text.replace(3, 0, QString());  // the gap now lies between the two halves of the pair
    text.replace(3, 0, QStringLiteral("x"));
    text.replace(3, 1, QString());
    const QString expected = QStringLiteral("ab𝄞cd");
    EXPECT_EQ(readAll(text), expected);
    EXPECT_EQ(text.read(2).size(), 2u);
    for (qsizetype at = 0; at < expected.size(); ++at) EXPECT_EQ(text.read(at).front(), expected[at].unicode()) << at;
}

TEST(GapText, AnEditMovesOnlyTheUnitsBetweenItAndTheLastOne) {
    GapText text(QString(1000, u'a'));
    text.replace(900, 0, QStringLiteral("x"));  // the gap starts after the text
    EXPECT_EQ(text.unitsMoved(), 100);
    text.replace(901, 0, QStringLiteral("y"));
    EXPECT_EQ(text.unitsMoved(), 100);
    text.replace(100, 2, QString());
    EXPECT_EQ(text.unitsMoved(), 100 + 802);
    text.replace(600, 0, QStringLiteral("z"));
    EXPECT_EQ(text.unitsMoved(), 100 + 802 + 500);
}
