#include <gtest/gtest.h>

#include <random>

#include <QStringList>
#include <algorithm>

#include "Platform/FileOrder.h"
#include "Platform/Lines.h"
#include "Platform/TextEquivalence.h"

TEST(Lines, EveryTerminatorEndsALineAndTheLastLineMayBeEmpty) {
    const QString text = QString("a\nb\r\nc\rd") + QChar(0x85) + "e" + QChar(0x2028) + "f" + QChar(0x2029) + "g";
    const auto lines = Lines::all(text);
    QStringList contents;
    for (const auto& l : lines) contents << text.mid(l.start, l.contentEnd - l.start);
    EXPECT_EQ(contents, QStringList({"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(lines[1].end - lines[1].contentEnd, 2);  // CR LF is one terminator
    EXPECT_EQ(Lines::breakCount(text), lines.size() - 1);
    EXPECT_EQ(Lines::breakCount(u"\n\r\r\n\n"), 4);

    // Empty text is one line; a final terminator starts an empty last line.
    EXPECT_EQ(Lines::all(u"").size(), 1);
    const auto trailing = Lines::all(u"x\n");
    ASSERT_EQ(trailing.size(), 2);
    EXPECT_EQ(trailing[1].start, 2);
    EXPECT_EQ(trailing[1].contentEnd, 2);
    // An offset between CR and LF belongs to the line the pair ends.
    const QString crlf = "ab\r\ncd";
    const auto r = Lines::containing(crlf, 3);
    EXPECT_EQ(r.start, 0);
    EXPECT_EQ(r.end, 4);
    EXPECT_EQ(Lines::containing(crlf, 5).start, 4);
}

TEST(Lines, TheLineAroundAnOffsetRunsFromItsStartToItsTerminator) {
    const auto expect = [](QStringView text, qsizetype offset, qsizetype start, qsizetype contentEnd, qsizetype end) {
        const Lines::Range r = Lines::containing(text, offset);
        EXPECT_EQ(r.start, start) << text.toString().toStdString() << " @" << offset;
        EXPECT_EQ(r.contentEnd, contentEnd) << text.toString().toStdString() << " @" << offset;
        EXPECT_EQ(r.end, end) << text.toString().toStdString() << " @" << offset;
    };
    expect(u"ab\r\ncd", 0, 0, 2, 4);
    expect(u"", 0, 0, 0, 0);
    expect(u"\nx", 0, 0, 0, 1);
    // After a lone CR is the next line; an LF past the end of a view is not the view's.
    expect(u"a\rb", 2, 2, 3, 3);
    expect(QStringView(u"ab\r\n").first(3), 3, 3, 3, 3);
}

// Long texts are counted in blocks: pairs split across a block's edge, a CR at the very end, and every
// terminator kind, against a count one character at a time.
TEST(Lines, BreaksInLongTextsAreFoundAndCountedAsOneCharacterAtATime) {
    const auto reference = [](QStringView text) {
        qsizetype count = 0;
        for (qsizetype i = 0; i < text.size(); ++i)
            count += Lines::isBreak(text[i].unicode()) && !(text[i] == u'\n' && i > 0 && text[i - 1] == u'\r');
        return count;
    };
    const char16_t kinds[] = {u'\n', u'\r', 0x85, 0x2028, 0x2029, 0x2027, 0x202A, 0x84, 0x86, u'\v', u'\f'};
    std::mt19937 random(7);
    QString text;
    for (int i = 0; i < 300000; ++i) {
        const unsigned roll = random() % 16;
        if (roll == 0) text += u"\r\n";
        else if (roll < 4) text += QChar(kinds[random() % std::size(kinds)]);
        else text += QChar(u'a' + roll);
    }
    // A CR LF pair across every power-of-two edge a block could have.
    for (qsizetype edge = 1024; edge < text.size(); edge *= 2) {
        text[edge - 1] = u'\r';
        text[edge] = u'\n';
    }
    text += u'\r';
    for (const qsizetype from : {0, 1, 4095, 32767, 32768, 32769})
        for (const qsizetype length : {qsizetype(0), qsizetype(1), qsizetype(2), qsizetype(32768), text.size()}) {
            const QStringView part = QStringView(text).mid(from, std::min(length, text.size() - from));
            EXPECT_EQ(Lines::breakCount(part), reference(part)) << from << " " << length;
            EXPECT_EQ(Lines::hasBreak(part), reference(part) > 0) << from << " " << length;
        }
    // One character of each kind alone in a long text, at the edges of the chunks a look reads.
    for (const char16_t kind : kinds)
        for (const qsizetype at : {0, 4095, 4096, 9000, 12287}) {
            QString alone(12288, u'a');
            alone[at] = QChar(kind);
            EXPECT_EQ(Lines::hasBreak(alone), Lines::isBreak(kind)) << int(kind) << " at " << at;
            // A view that ends just before the character holds no break, whatever lies after it.
            const QStringView before = QStringView(alone).first(at);
            EXPECT_FALSE(Lines::hasBreak(before)) << int(kind) << " after " << at;
            EXPECT_EQ(Lines::breakCount(before), 0) << int(kind) << " after " << at;
        }
    EXPECT_EQ(Lines::breakCount(QString(100000, u'\n')), 100000);
    EXPECT_EQ(Lines::breakCount(QStringLiteral("\r\n").repeated(50000)), 50000);
}

TEST(FileOrder, NumbersByValueAndCaseIgnored) {
    QStringList names{"b", "a10", "Src", "a2", "A1", "src2", "item10", "item2"};
    std::sort(names.begin(), names.end(), FileOrder::lessThan);
    EXPECT_EQ(names, QStringList({"A1", "a2", "a10", "b", "item2", "item10", "Src", "src2"}));
    EXPECT_NE(FileOrder::compare("Readme", "readme"), 0);  // still a total order
}

// Sorting by keys gives the order of comparing names one pair at a time, ties between names equal
// but for case included, and keeps equal names in their order.
TEST(FileOrder, SortingByKeysAgreesWithComparing) {
    QStringList names{"b", "a10", "Src", "a2", "A1", "src2", "item10", "item2", "readme", "Readme", "README",
                      "x_1", "x-1", "x.1", "x 1", "Émile", "emile", "ﬀ", "ff", "日本", "😀", "", "10", "9", "a02", "a2"};
    for (int i = 0; i < 300; ++i) names << QStringLiteral("n%1_%2").arg((i * 7919) % 1000).arg(i % 3 ? "Z" : "z");
    QStringList byComparing = names;
    std::stable_sort(byComparing.begin(), byComparing.end(), FileOrder::lessThan);
    QStringList byKeys = names;
    FileOrder::sort(byKeys, [](const QString& name) -> const QString& { return name; });
    EXPECT_EQ(byKeys, byComparing);
}

// Names of plain ASCII alone take cheaper keys: they must still give comparing's order.
TEST(FileOrder, AsciiNamesSortByKeysAsByComparing) {
    const QString alphabet = QStringLiteral(" !\"#$%&'()*+,-./0123456789:;<=>?@AZaz[\\]^_`{|}~bBxX");
    std::mt19937 rng(7);
    QStringList names{"0", "00", "a0", "a00", "a01", "a1", "a2", "a10", "B02x", "b2X", "b10", "", "a" + QString(200, u'9'),
                      "a" + QString(200, u'8'), "a" + QString(199, u'9')};
    for (int i = 0; i < 2000; ++i) {
        QString name;
        for (int n = int(rng() % 9); n > 0; --n) name += alphabet[qsizetype(rng() % alphabet.size())];
        names << name;
    }
    QStringList byComparing = names;
    std::stable_sort(byComparing.begin(), byComparing.end(), FileOrder::lessThan);
    QStringList byKeys = names;
    FileOrder::sort(byKeys, [](const QString& name) -> const QString& { return name; });
    EXPECT_EQ(byKeys, byComparing);
}

TEST(TextEquivalence, CanonicalFormsAreOneTextAloneOrInsideLongTexts) {
    const struct {
        QString a, b;
        bool equal;
    } cases[] = {
        {QStringLiteral("caf\u00e9"), QStringLiteral("cafe\u0301"), true},
        {QStringLiteral("cafe"), QStringLiteral("caf\u00e9"), false},
        {QStringLiteral("caf\u00e9"), QStringLiteral("caf\u00e9!"), false},
        {QStringLiteral("\ufb01"), QStringLiteral("fi"), false},  // compatibility forms are not canonical equivalents
        // Combining marks in either order are one text; a split must not fall between them.
        {QStringLiteral("e\u0323\u0301"), QStringLiteral("e\u0301\u0323"), true},
        {QStringLiteral("e\u0323\u0301"), QStringLiteral("e\u0323\u0323"), false},
        // A composed character against a base whose mark only follows in the other text.
        {QStringLiteral("\u00e9"), QStringLiteral("e"), false},
        {QStringLiteral("\u00e9z"), QStringLiteral("e\u0301z"), true},
        // Texts that first part at two plain letters, each followed by the same mark or by a mark.
        {QStringLiteral("ax\u0301"), QStringLiteral("ay\u0301"), false},
        {QStringLiteral("ex\u0301"), QStringLiteral("e\u0301x"), false},
    };
    const QString body = QString(5000, u'x');
    const std::pair<QString, QString> pads[] = {{}, {body, {}}, {body, body}};
    for (const auto& c : cases)
        for (const auto& [before, after] : pads)
            EXPECT_EQ(TextEquivalence::canonicallyEqual(before + c.a + after, before + c.b + after), c.equal)
                << c.a.toStdString() << " / " << c.b.toStdString() << " padded " << before.size();
}
