#include "SyntaxTree/Input.h"

#include "SyntaxTree/Precondition.h"

namespace SyntaxTree {

Input::Input(TSInputEncoding encoding, ReadBlock readBlock) : encoding_(encoding), readBlock_(std::move(readBlock)) {}

TSInput Input::tsInput() {
    return TSInput{this, &Input::readFunction, encoding_, nullptr};
}

const char* Input::readFunction(void* payload, uint32_t byteIndex, TSPoint position, uint32_t* bytesRead) {
    precondition(payload != nullptr, "read callback without an input");
    Input& input = *static_cast<Input*>(payload);
    std::optional<std::string> chunk = input.readBlock_(int64_t(byteIndex), Point(position));
    if (!chunk || chunk->empty()) {
        if (bytesRead) *bytesRead = 0;
        return nullptr;
    }
    precondition(chunk->size() <= UINT32_MAX, "chunk larger than 4 GiB");
    // Taking over the block's buffer is the one copy of the chunk; the previous one is freed here.
    input.internalBuffer_ = std::move(chunk);
    if (bytesRead) *bytesRead = uint32_t(input.internalBuffer_->size());
    return input.internalBuffer_->data();
}

} // namespace SyntaxTree
