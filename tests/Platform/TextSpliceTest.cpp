// Edits made where the text lies, moving its head or its tail, against a plain copy edited the
// ordinary way.
#include <gtest/gtest.h>

#include <QString>
#include <random>

#include "Platform/TextSplice.h"

namespace {

void expectSame(const QString& text, const QString& expected) {
    ASSERT_EQ(text, expected);
    EXPECT_EQ(text.utf16()[text.size()], 0) << "the text must stay terminated";
}

} // namespace

TEST(TextSplice, RandomEditsMatchAnOrdinaryReplace) {
    static const char16_t raw[] = u"raw text that must not be written";
    const QString startingPoints[] = {QString(), QStringLiteral("short"), QString(5000, u'a'),
                                      QString::fromRawData(reinterpret_cast<const QChar*>(raw), 33)};
    std::mt19937 random(11);
    for (const QString& start : startingPoints) {
        QString text = start;
        const QString kept = start;  // shares the buffer: an edit must never reach it
        QString expected = start;
        for (int i = 0; i < 600; ++i) {
            const auto pick = [&](qsizetype below) { return qsizetype(random() % quint32(below + 1)); };
            const qsizetype at = random() % 4 == 0 ? (random() % 2 ? 0 : expected.size()) : pick(expected.size());
            const qsizetype length = random() % 3 == 0 ? 0 : pick(qMin<qsizetype>(expected.size() - at, 40));
            // Mostly typing, sometimes a paste much longer than any room left.
            const QString with = random() % 10 == 0 ? QString(int(pick(3000)), QChar(u'p'))
                                                    : QString(int(pick(3)), QChar(u'a' + char16_t(i % 26)));
            TextSplice::replace(text, at, length, with);
            expected.replace(at, length, with);
            ASSERT_NO_FATAL_FAILURE(expectSame(text, expected)) << "edit " << i;
        }
        EXPECT_EQ(kept, start);
    }
    EXPECT_EQ(QStringView(raw), u"raw text that must not be written");
}

TEST(TextSplice, AnEditNearEitherEndLeavesTheOtherSideInPlace) {
    QString text = QString(100000, u'x');
    TextSplice::makeRoom(text);
    const ushort* tail = text.utf16() + 90000;
    TextSplice::replace(text, 10, 0, u"typed");  // near the start: the head moves, the tail stays
    EXPECT_EQ(text.utf16() + 90005, tail);
    const ushort* head = text.utf16();
    TextSplice::replace(text, text.size() - 10, 2, u"");  // near the end: the head stays
    EXPECT_EQ(text.utf16(), head);
    EXPECT_EQ(text.mid(10, 5), QStringLiteral("typed"));
    EXPECT_EQ(text.size(), 100003);
}

// Separate ranges replaced in one pass, all shortening or all lengthening the text, against a copy
// replaced the ordinary way from the last range to the first; a buffer shared with another string
// is never written, one of its own is written where it lies when the text shortens.
TEST(TextSplice, RangesReplacedInOnePassMatchOrdinaryReplaces) {
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        const bool longer = round % 2;
        QString text = QString(int(random() % 200), u'a');
        for (QChar& c : text) c = QChar(u'a' + char16_t(random() % 26));
        const QString kept = round % 3 == 0 ? text : QString();  // sometimes shares the buffer
        std::vector<QString> withs;
        std::vector<TextSplice::Piece> pieces;
        for (qsizetype at = qsizetype(random() % 5); at < text.size(); at += qsizetype(random() % 9)) {
            const qsizetype length = qMin<qsizetype>(text.size() - at, qsizetype(random() % 4));
            const qsizetype size = longer ? length + qsizetype(random() % 4) : qsizetype(random() % (length + 1));
            withs.push_back(QString(size, QChar(u'A' + char16_t(random() % 26))));
            pieces.push_back({at, length, {}});
            at += length;
        }
        for (size_t i = 0; i < pieces.size(); ++i) pieces[i].with = withs[i];
        ASSERT_TRUE(TextSplice::oneWay(pieces));
        QString expected = text;
        for (size_t i = pieces.size(); i-- > 0;) expected.replace(pieces[i].at, pieces[i].length, withs[i]);
        const QString original(text.constData(), text.size());  // a copy of its own
        const ushort* buffer = text.utf16();
        TextSplice::replaceEach(text, pieces);
        ASSERT_NO_FATAL_FAILURE(expectSame(text, expected)) << "round " << round;
        if (!kept.isNull()) EXPECT_EQ(kept, original);
        else if (!longer && !text.isEmpty()) EXPECT_EQ(text.utf16(), buffer);
    }
    const QString a = QStringLiteral("a");
    EXPECT_FALSE(TextSplice::oneWay({{0, 0, a}, {1, 2, a}}));
}
