#pragma once
// A grammar's language handle. Languages come from the grammars' entry points and are never freed.
#include <tree_sitter/api.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "SyntaxTree/SendableOpaquePointer.h"

namespace SyntaxTree {

class Query;

struct Language {
    // The newest and oldest grammar ABI versions the runtime accepts.
    static constexpr uint32_t version = TREE_SITTER_LANGUAGE_VERSION;
    static constexpr uint32_t minimumCompatibleVersion = TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION;

    SendableOpaquePointer tsLanguagePointer;

    // Implicit: wherever a Language is taken, a bare language pointer is taken too.
    Language(const TSLanguage* language) : tsLanguagePointer{language} {}
    const TSLanguage* tsLanguage() const { return static_cast<const TSLanguage*>(tsLanguagePointer.pointer); }

    uint32_t ABIVersion() const;
    uint32_t fieldCount() const;
    uint32_t symbolCount() const;
    // Ids must lie in 0 to 65,535 (precondition).
    std::optional<std::string> fieldName(int64_t fieldId) const;
    std::optional<std::string> symbolName(int64_t symbol) const;
    // 0 for a name the grammar does not have.
    uint16_t fieldId(std::string_view name) const;

    // Reads the whole file and compiles it as a query; throws the read or query error.
    std::shared_ptr<Query> query(const std::filesystem::path& contentsOf) const;

    friend bool operator==(const Language&, const Language&) = default;
};

} // namespace SyntaxTree

template <>
struct std::hash<SyntaxTree::Language> {
    std::size_t operator()(const SyntaxTree::Language& language) const noexcept {
        return std::hash<SyntaxTree::SendableOpaquePointer>{}(language.tsLanguagePointer);
    }
};
