#include "SyntaxTree/FileBytes.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace SyntaxTree {

std::string readFileBytes(const std::filesystem::path& path) {
    auto fail = [&](int code) {
        throw std::filesystem::filesystem_error("cannot read file", path, std::error_code(code, std::generic_category()));
    };
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) fail(errno);
    std::string bytes;
    char buffer[65536];
    while (true) {
        const size_t read = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, read);
        if (read < sizeof buffer) {
            if (std::ferror(file.get())) fail(errno ? errno : EIO);
            break;
        }
    }
    return bytes;
}

bool isReadablePath(const std::filesystem::path& path) { return ::access(path.c_str(), R_OK) == 0; }

} // namespace SyntaxTree
