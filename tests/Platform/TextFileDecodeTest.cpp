#include <gtest/gtest.h>

#include <QStringDecoder>

#include "Platform/TextFile.h"
#include "TestSupport.h"

using testing_support::TempFolder;

namespace {
constexpr qsizetype kMiB = 1024 * 1024;

// Lines of ASCII, two-byte, three-byte and four-byte characters, to about `size` bytes.
QByteArray mixedText(qsizetype size) {
    const QByteArray line = "plain words 0123 caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80 end\n";
    QByteArray bytes;
    bytes.reserve(size + line.size());
    while (bytes.size() < size) bytes += line;
    return bytes;
}

// What a strict decode of the whole file at once gives: the text, or nothing when it is not UTF-8.
std::optional<QString> decodedAtOnce(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}
} // namespace

TEST(TextFileDecode, ALongFileIsDecodedInPiecesOfABoundedLengthIntoATextOfItsOwnSize) {
    TempFolder dir;
    for (const qsizetype size : {4 * kMiB, 16 * kMiB}) {
        const QByteArray bytes = mixedText(size);
        const auto read = TextFile::readUtf8(dir.write("long.txt", bytes));
        ASSERT_TRUE(read.text.has_value());
        EXPECT_EQ(*read.text, QString::fromUtf8(bytes));
        // Pieces of one length at every size, which other threads can share.
        EXPECT_LE(TextFile::largestPieceDecoded(), 64 * 1024 + 3) << size;
        // A document keeps the text for as long as it is open: no room for the bytes' count of units.
        EXPECT_LE(read.text->capacity() - read.text->size(), 64) << size;
    }
}

TEST(TextFileDecode, WhereverThePiecesAreCutTheTextIsWhatOneDecodeGives) {
    TempFolder dir;
    const QByteArray base(3 * kMiB + 100, 'a');
    // Sequences placed across the cuts between pieces, valid and not.
    const QList<QByteArray> inserts{
        "\xF0\x9F\x98\x80",  // four bytes
        "\xE6\xBC\xA2",      // three
        "\xC3\xA9",          // two
        "\xEF\xBB\xBF",      // a byte-order mark in the middle is a character like any other
        "\x80",              // a lone continuation byte
        "\xE2\x82",          // a character cut short
        "\xF0\x9F\x98\x80\x80\x80",  // more continuation bytes than any character has
        "\xED\xA0\x80",      // a surrogate
        "\xC0\x80",          // an overlong form
    };
    for (const QByteArray& insert : inserts) {
        for (const qsizetype cut : {kMiB, 2 * kMiB}) {
            for (qsizetype back = 0; back <= insert.size(); ++back) {
                QByteArray bytes = base;
                bytes.replace(cut - back, insert.size(), insert);
                const auto read = TextFile::readUtf8(dir.write("cut.txt", bytes));
                const std::optional<QString> expected = decodedAtOnce(bytes);
                ASSERT_EQ(read.text.has_value(), expected.has_value()) << insert.toHex().toStdString() << " " << cut << "-" << back;
                if (expected) EXPECT_TRUE(*read.text == *expected) << insert.toHex().toStdString() << " " << cut << "-" << back;
            }
        }
    }
    // A leading mark stays, and a file ending inside a character is refused, when read in pieces too.
    QByteArray marked = "\xEF\xBB\xBF" + base;
    const auto read = TextFile::readUtf8(dir.write("mark.txt", marked));
    ASSERT_TRUE(read.text.has_value());
    EXPECT_EQ(read.text->at(0), QChar(0xFEFF));
    EXPECT_EQ(read.text->size(), base.size() + 1);
    EXPECT_FALSE(TextFile::readUtf8(dir.write("cut-off.txt", base + "\xF0\x9F\x98")).text.has_value());
}
