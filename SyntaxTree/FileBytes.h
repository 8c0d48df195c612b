#pragma once
// Reading a whole file as bytes; a failure throws std::filesystem::filesystem_error.
#include <filesystem>
#include <string>

namespace SyntaxTree {

std::string readFileBytes(const std::filesystem::path& path);
// Whether the process may read the path (a missing path is not readable).
bool isReadablePath(const std::filesystem::path& path);

} // namespace SyntaxTree
