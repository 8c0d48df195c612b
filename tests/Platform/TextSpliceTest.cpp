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
