// Positions, ranges, edits, their serialised forms, the read callback and the parser's own rules.
#include <gtest/gtest.h>

#include <cstring>

#include "SyntaxTree/Coding.h"
#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/SyntaxTree.h"
#include "SyntaxTreeTestSupport.h"

using namespace SyntaxTree;
using namespace syntaxtree_test;

namespace {

// The layer's range, not the runtime's structure of the same name.
using SyntaxTree::TSRange;

TEST(Values, RangeConversionsDoubleAndHalve) {
    EXPECT_EQ(byteRange(Utf16Range{3, 4}), (ByteRange{6, 14}));
    EXPECT_EQ(byteRange(Utf16Range{0, 0}), (ByteRange{0, 0}));
    EXPECT_EQ(utf16Range(ByteRange{6, 14}), (Utf16Range{3, 4}));
    EXPECT_EQ(utf16Range(ByteRange{3, 8}), (Utf16Range{1, 3}));
    EXPECT_EQ(byteRange(Utf16Range{0, int64_t(UINT32_MAX / 2)}).upper, UINT32_MAX - 1);
}

TEST(ValuesDeathTest, OutOfRangeIntegersStopTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(Point::checked(-1, 0), "precondition");
    EXPECT_DEATH(byteRange(Utf16Range{int64_t(UINT32_MAX), 1}), "precondition");
    EXPECT_DEATH(InputEdit::checked(int64_t(UINT32_MAX) + 1, 0, 0, {}, {}, {}), "precondition");
}

TEST(Coding, RecordsRoundTripAndBadOnesAreRefused) {
    const TSRange range({Point(1, 2), Point(3, 4)}, {5, 6});
    const NamedRange named(std::vector<std::string>{"keyword", "con\"trol"}, range);
    EXPECT_EQ(Coding::encode(Point(3, 14)), R"({"row":3,"column":14})");
    EXPECT_EQ(Coding::decodePoint(Coding::encode(Point(3, 14))), Point(3, 14));
    EXPECT_EQ(Coding::decodeTSRange(Coding::encode(range)), range);
    EXPECT_EQ(Coding::decodeNamedRange(Coding::encode(named)), named);
    EXPECT_EQ(Coding::decodeNamedRange(R"({"nameComponents":["caf\u00e9"],"tsRange":)" + Coding::encode(range) + "}")
                  .name(), "café");

    auto kind = [](auto decode) -> int {
        try {
            decode();
        } catch (const Coding::DecodingError& error) {
            return error.kind;
        }
        return -1;
    };
    EXPECT_EQ(kind([] { Coding::decodePoint(R"({"row":1})"); }), Coding::DecodingError::keyNotFound);
    EXPECT_EQ(kind([] { Coding::decodePoint(R"({"row":"1","column":2})"); }), Coding::DecodingError::typeMismatch);
    EXPECT_EQ(kind([] { Coding::decodePoint(R"({"row":-1,"column":2})"); }), Coding::DecodingError::typeMismatch);
    EXPECT_EQ(kind([] { Coding::decodePoint(R"({"row":4294967296,"column":2})"); }), Coding::DecodingError::typeMismatch);
    EXPECT_EQ(kind([] { Coding::decodeTSRange(R"({"points":[{"row":0,"column":0},{"row":0,"column":1}],"bytes":[9,2]})"); }),
              Coding::DecodingError::dataCorrupted);
    EXPECT_EQ(kind([] { Coding::decodePoint(R"({"row":1,"column":2)"); }), Coding::DecodingError::dataCorrupted);
}

TEST(Input, KeepsOnlyTheLastNonEmptyChunk) {
    std::vector<std::optional<std::string>> chunks = {std::string(2048, 'a'), std::string(10, 'b'), std::string(),
                                                      std::nullopt};
    size_t call = 0;
    Input input(TSInputEncodingUTF16LE, [&](int64_t, Point) { return chunks.at(call++); });
    uint32_t read = 99;
    const char* first = Input::readFunction(&input, 0, {0, 0}, &read);
    EXPECT_EQ(read, 2048u);
    EXPECT_EQ(first, input.internalBuffer()->data());
    const char* second = Input::readFunction(&input, 2048, {0, 2048}, &read);
    EXPECT_EQ(std::string(second, read), std::string(10, 'b'));
    EXPECT_EQ(input.internalBuffer()->size(), 10u);
    // Empty and missing chunks both end the text and leave the last chunk in place.
    EXPECT_EQ(Input::readFunction(&input, 2058, {0, 2058}, &read), nullptr);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(Input::readFunction(&input, 2058, {0, 2058}, nullptr), nullptr);
    EXPECT_EQ(input.internalBuffer()->size(), 10u);
}

std::u16string chunkAt(const ReadBlock& block, int64_t byteOffset) {
    const std::optional<std::string> bytes = block(byteOffset, Point());
    if (!bytes) return u"<none>";
    std::u16string units(bytes->size() / 2, u'\0');
    std::memcpy(units.data(), bytes->data(), bytes->size());
    return units;
}

TEST(ReadFunction, ChunksStopAtChunkSizeLimitAndEnd) {
    const std::u16string text(3000, u'x');
    const ReadBlock block = Parser::readFunction(text, 3000, 2048);
    EXPECT_EQ(chunkAt(block, 0).size(), 1024u);
    EXPECT_EQ(chunkAt(block, 4096).size(), 952u);
    EXPECT_EQ(chunkAt(block, 6000), u"");

    const ReadBlock limited = Parser::readFunction(text, 10, 2048);
    EXPECT_EQ(chunkAt(limited, 0).size(), 10u);
    EXPECT_EQ(chunkAt(limited, 16).size(), 2u);
    EXPECT_EQ(chunkAt(limited, 40), u"<none>");
}

TEST(ReadFunction, NeverSplitsASurrogatePair) {
    const std::u16string text = u16("ab😀cd");  // a b (high low) c d
    EXPECT_EQ(chunkAt(Parser::readFunction(text, 6, 6), 0), u"ab");
    EXPECT_EQ(chunkAt(Parser::readFunction(text, 6, 6), 4), u16("😀c"));
    // A chunk that would hold only the high half takes the whole pair.
    EXPECT_EQ(chunkAt(Parser::readFunction(text, 6, 2), 4), u16("😀"));
}

class JsonParser : public ::testing::Test {
protected:
    void SetUp() override { parser.setLanguage(tree_sitter_json()); }
    Parser parser;
};

TEST_F(JsonParser, EmptyTextGivesAnEmptyRoot) {
    const auto tree = parser.parse(std::u16string_view());
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->rootNode()->range(), (Utf16Range{0, 0}));
}

TEST_F(JsonParser, TooLongTextsAreRefusedWithoutBeingRead) {
    // Never dereferenced: the length alone must refuse it.
    const char16_t one = u'1';
    const std::u16string_view huge(&one, size_t(Parser::maximumTextLength) + 1);
    EXPECT_FALSE(parser.parse(huge));
    EXPECT_FALSE(parser.parse(nullptr, huge));
}

TEST_F(JsonParser, LimitPastTheEndStillReadsTheWholeText) {
    const std::u16string text = u16("[1, 2, 3, 4, 5, 6]");
    const auto tree = parser.parse(nullptr, text, int64_t(text.size()) + 7, 4);
    ASSERT_TRUE(tree);
    EXPECT_EQ(*tree->rootNode()->sExpressionString(), *parser.parse(text)->rootNode()->sExpressionString());
    EXPECT_EQ(tree->rootNode()->range().length, int64_t(text.size()));

    const auto cut = parser.parse(nullptr, text, 4);
    EXPECT_EQ(cut->rootNode()->range().end(), 4);
}

TEST_F(JsonParser, WithoutLanguageThereIsNoTree) {
    Parser bare;
    EXPECT_FALSE(bare.language());
    EXPECT_FALSE(bare.parse(u"[]"));
}

TEST(Language, RefusesGrammarsOutsideTheAcceptedAbiRange) {
    // A stand-in grammar object whose first field, the ABI version, is all the runtime reads first.
    alignas(8) unsigned char fake[4096] = {};
    for (uint32_t version : {12u, 16u}) {
        std::memcpy(fake, &version, sizeof version);
        Parser parser;
        try {
            parser.setLanguage(reinterpret_cast<const TSLanguage*>(fake));
            FAIL() << "accepted ABI " << version;
        } catch (const ParserError& error) {
            EXPECT_EQ(error.kind, ParserError::languageFailure);
        }
        try {
            Query::create(reinterpret_cast<const TSLanguage*>(fake), std::string_view("(x) @y"));
            FAIL();
        } catch (const QueryError& error) {
            EXPECT_EQ(error.kind, QueryError::unknown);
        }
    }
    for (const TSLanguage* language : {tree_sitter_json(), tree_sitter_go(), tree_sitter_swift()}) {
        Parser parser;
        EXPECT_NO_THROW(parser.setLanguage(language));
        EXPECT_GE(Language(language).ABIVersion(), Language::minimumCompatibleVersion);
        EXPECT_LE(Language(language).ABIVersion(), Language::version);
    }
}

} // namespace
