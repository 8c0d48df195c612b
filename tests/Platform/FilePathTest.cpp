#include <gtest/gtest.h>

#include <QList>

#include "Platform/FilePath.h"

// Any bytes a name may hold come back from text unchanged; UTF-8 names read as their text.
TEST(FilePath, EveryNameSurvivesTheRoundTrip) {
    const QList<QByteArray> names{"plain.txt", "caf\xc3\xa9 \xf0\x9f\x98\x80.md", "caf\xe9.txt", "bad\xff\xfe",
                                  "cut\xe2\x82", "\xed\xb3\xbf", "\xc0\x80", "\xf4\x90\x80\x80", "\xf0\x9f\x98\x80\xff",
                                  QByteArray("nul\0in", 6), "\x80"};
    for (const QByteArray& raw : names) {
        const QString text = FilePath::decode(raw);
        EXPECT_EQ(FilePath::encode(text), raw) << raw.toHex().constData();
        EXPECT_EQ(FilePath::hasRawBytes(text), !raw.isValidUtf8()) << raw.toHex().constData();
    }
    EXPECT_EQ(FilePath::decode("caf\xc3\xa9"), QString::fromUtf8("café"));
    EXPECT_EQ(FilePath::decode("a\xff").at(1).unicode(), 0xdcff);
    // A pair of surrogates is one character, whatever its second half looks like.
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
    EXPECT_FALSE(FilePath::hasRawBytes(emoji));
    EXPECT_EQ(FilePath::encode(emoji), "\xf0\x9f\x98\x80");
}
