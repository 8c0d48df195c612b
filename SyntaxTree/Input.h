#pragma once
// The payload of one read-callback parse: it asks a read block for each chunk the runtime wants and
// keeps exactly the last chunk alive until the next read or the end of the parse.
#include <tree_sitter/api.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "SyntaxTree/Point.h"

namespace SyntaxTree {

// (byte offset, point) -> the bytes of the text from that offset on, or none at the end.
using ReadBlock = std::function<std::optional<std::string>(int64_t byteOffset, Point position)>;

class Input {
public:
    Input(TSInputEncoding encoding, ReadBlock readBlock);
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    TSInputEncoding encoding() const { return encoding_; }
    // The chunk most recently handed to the runtime.
    const std::optional<std::string>& internalBuffer() const { return internalBuffer_; }

    // The runtime's view of this input: payload = this object.
    TSInput tsInput();

    // The C read callback. An empty or missing chunk reports 0 bytes (the end of the text) and leaves
    // the previous chunk as it was.
    static const char* readFunction(void* payload, uint32_t byteIndex, TSPoint position, uint32_t* bytesRead);

private:
    TSInputEncoding encoding_;
    ReadBlock readBlock_;
    std::optional<std::string> internalBuffer_;
};

} // namespace SyntaxTree
