#include "SyntaxTree/Parser.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/ParserError.h"
#include "SyntaxTree/Precondition.h"
#include "SyntaxTree/Tree.h"
#include "SyntaxTree/Unicode.h"

namespace SyntaxTree {

namespace {

std::shared_ptr<MutableTree> wrap(TSTree* tree) {
    if (!tree) return nullptr;
    return std::make_shared<MutableTree>(Tree::adopt(tree));
}

// UTF-16 units as little-endian bytes.
std::string littleEndianBytes(std::u16string_view units) {
    std::string bytes(units.size() * 2, '\0');
    if constexpr (std::endian::native == std::endian::little) {
        if (!units.empty()) std::memcpy(bytes.data(), units.data(), bytes.size());
    } else {
        for (size_t i = 0; i < units.size(); ++i) {
            bytes[2 * i] = char(units[i] & 0xFF);
            bytes[2 * i + 1] = char(units[i] >> 8);
        }
    }
    return bytes;
}

} // namespace

Parser::Parser() : internalParser_(ts_parser_new()) {
    precondition(internalParser_ != nullptr, "the runtime returned no parser");
}

Parser::~Parser() { ts_parser_delete(internalParser_); }

std::optional<Language> Parser::language() const {
    const TSLanguage* language = ts_parser_language(internalParser_);
    if (!language) return std::nullopt;
    return Language(language);
}

void Parser::setLanguage(const Language& language) {
    if (!ts_parser_set_language(internalParser_, language.tsLanguage())) throw ParserError{ParserError::languageFailure};
}

void Parser::reset() { ts_parser_reset(internalParser_); }

std::vector<TSRange> Parser::includedRanges() const {
    uint32_t count = 0;
    const ::TSRange* ranges = ts_parser_included_ranges(internalParser_, &count);
    std::vector<TSRange> result;
    result.reserve(count);
    for (uint32_t i = 0; i < count; ++i) result.emplace_back(ranges[i]);
    return result;
}

void Parser::setIncludedRanges(const std::vector<TSRange>& ranges) {
    std::vector<::TSRange> raw;
    raw.reserve(ranges.size());
    for (const TSRange& range : ranges) raw.push_back(range.tsRange());
    ts_parser_set_included_ranges(internalParser_, raw.data(),
                                  checkedUInt32(int64_t(raw.size()), "too many included ranges"));
}

double Parser::timeout() const { return double(ts_parser_timeout_micros(internalParser_)) / 1000.0 / 1000.0; }

void Parser::setTimeout(double seconds) {
    const double micros = seconds * 1000.0 * 1000.0;
    precondition(std::isfinite(micros) && micros > -1.0 && micros < 18446744073709551616.0, "timeout out of range");
    ts_parser_set_timeout_micros(internalParser_, uint64_t(micros));
}

std::shared_ptr<MutableTree> Parser::parse(std::u16string_view text) { return parseWhole(nullptr, text); }

std::shared_ptr<MutableTree> Parser::reparse(const MutableTree& oldTree, std::u16string_view text) {
    return parseWhole(oldTree.tree().get(), text);
}

std::shared_ptr<MutableTree> Parser::parseWhole(const Tree* oldTree, std::u16string_view text) {
    if (int64_t(text.size()) > maximumTextLength) return nullptr;
    TSTree* old = oldTree ? oldTree->tsTree() : nullptr;
    TSTree* tree = nullptr;
    if constexpr (std::endian::native == std::endian::little) {
        // The text already is UTF-16 little-endian in memory: hand it over without a copy.
        tree = ts_parser_parse_string_encoding(internalParser_, old, reinterpret_cast<const char*>(text.data()),
                                               uint32_t(text.size() * 2), TSInputEncodingUTF16LE);
    } else {
        const std::string bytes = littleEndianBytes(text);
        tree = ts_parser_parse_string_encoding(internalParser_, old, bytes.data(), uint32_t(bytes.size()),
                                               TSInputEncodingUTF16LE);
    }
    return wrap(tree);
}

std::shared_ptr<MutableTree> Parser::parse(const Tree* oldTree, TSInputEncoding encoding, const ReadBlock& readBlock) {
    Input input(encoding, readBlock);
    TSTree* tree = ts_parser_parse(internalParser_, oldTree ? oldTree->tsTree() : nullptr, input.tsInput());
    return wrap(tree);
}

std::shared_ptr<MutableTree> Parser::parse(const MutableTree& oldTree, TSInputEncoding encoding,
                                           const ReadBlock& readBlock) {
    return parse(oldTree.tree().get(), encoding, readBlock);
}

std::shared_ptr<MutableTree> Parser::parse(const Tree* oldTree, std::u16string_view text, std::optional<int64_t> limit,
                                           uint32_t chunkSize) {
    // A limit past the end would make the chunk that holds the end unreadable and silently cut the
    // text short: read no further than the text.
    const int64_t effectiveLimit = std::min(limit.value_or(int64_t(text.size())), int64_t(text.size()));
    if (effectiveLimit > maximumTextLength) return nullptr;
    return parse(oldTree, TSInputEncodingUTF16LE, readFunction(text, effectiveLimit, chunkSize));
}

std::shared_ptr<MutableTree> Parser::parse(const MutableTree& oldTree, std::u16string_view text,
                                           std::optional<int64_t> limit, uint32_t chunkSize) {
    return parse(oldTree.tree().get(), text, limit, chunkSize);
}

ReadBlock Parser::readFunction(std::u16string_view text, int64_t limit, uint32_t chunkSize) {
    return [text, limit, chunkSize](int64_t byteOffset, Point) -> std::optional<std::string> {
        const int64_t start = byteOffset / 2;
        int64_t end = std::min(start + int64_t(chunkSize / 2), limit);
        if (end < start) return std::nullopt;
        if (start > int64_t(text.size()) || end > int64_t(text.size())) return std::nullopt;
        // Keep surrogate pairs whole: end before the pair, or after it when the chunk would be empty.
        if (end > start && end < int64_t(text.size()) && Unicode::isHighSurrogate(text[size_t(end - 1)]) &&
            Unicode::isLowSurrogate(text[size_t(end)])) {
            if (end - 1 > start)
                --end;
            else if (end + 1 <= limit)
                ++end;
        }
        return littleEndianBytes(text.substr(size_t(start), size_t(end - start)));
    };
}

} // namespace SyntaxTree
