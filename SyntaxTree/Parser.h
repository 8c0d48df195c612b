#pragma once
// A runtime parser bound to at most one language. Text reaches the runtime as UTF-16 little-endian,
// either whole or in chunks through a read callback (the incremental path after tree edits).
#include <tree_sitter/api.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "SyntaxTree/Input.h"
#include "SyntaxTree/Language.h"
#include "SyntaxTree/StringEncoding.h"
#include "SyntaxTree/TSRange.h"

namespace SyntaxTree {

class MutableTree;
class Tree;

class Parser {
public:
    // Offsets are 32-bit byte counts, so a text must stay below 2^31 UTF-16 units.
    static constexpr int64_t maximumTextLength = (int64_t(1) << 31) - 1;
    // The editor's chunk size: 1,024 UTF-16 units per read.
    static constexpr uint32_t defaultChunkSize = 2048;

    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    TSParser* internalParser() const { return internalParser_; }
    StringEncoding encoding() const { return StringEncoding::utf16LittleEndian; }

    std::optional<Language> language() const;
    // Throws ParserError{languageFailure} when the runtime refuses the grammar (ABI outside 13 to 15).
    void setLanguage(const Language& language);
    void reset();

    std::vector<TSRange> includedRanges() const;
    void setIncludedRanges(const std::vector<TSRange>& ranges);

    // Seconds; a new value must be finite, above −1 and below 2^64 microseconds (precondition).
    double timeout() const;
    void setTimeout(double seconds);

    // Whole-text parse. Absent when there is no language, the parse is cancelled or timed out, or the
    // text is too long for the runtime's offsets.
    std::shared_ptr<MutableTree> parse(std::u16string_view text);
    // Incremental parse of a whole text read where it lies, with no chunks and no copies; oldTree
    // must already carry the edits made since it was parsed and is not changed.
    std::shared_ptr<MutableTree> reparse(const MutableTree& oldTree, std::u16string_view text);

    // Parse through a read block. oldTree, when given, must already carry the edits made since it was
    // parsed; it is not changed. The block is used only during the call.
    std::shared_ptr<MutableTree> parse(const Tree* oldTree, TSInputEncoding encoding, const ReadBlock& readBlock);
    std::shared_ptr<MutableTree> parse(const MutableTree& oldTree, TSInputEncoding encoding,
                                       const ReadBlock& readBlock);

    // Incremental parse of a text read in chunks of at most chunkSize bytes, up to limit UTF-16 units
    // (the whole text when absent; never past its end). The text must stay valid during the call.
    std::shared_ptr<MutableTree> parse(const Tree* oldTree, std::u16string_view text,
                                       std::optional<int64_t> limit = std::nullopt,
                                       uint32_t chunkSize = defaultChunkSize);
    std::shared_ptr<MutableTree> parse(const MutableTree& oldTree, std::u16string_view text,
                                       std::optional<int64_t> limit = std::nullopt,
                                       uint32_t chunkSize = defaultChunkSize);

    // The block behind the chunked parse: from a byte offset, at most chunkSize ÷ 2 units of text
    // below limit, as UTF-16 little-endian bytes. A chunk never ends between the two halves of a
    // surrogate pair. It reads `text` by reference.
    static ReadBlock readFunction(std::u16string_view text, int64_t limit, uint32_t chunkSize);

private:
    std::shared_ptr<MutableTree> parseWhole(const Tree* oldTree, std::u16string_view text);

    TSParser* internalParser_;
};

} // namespace SyntaxTree
