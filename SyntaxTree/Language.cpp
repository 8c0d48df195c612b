#include "SyntaxTree/Language.h"

#include "SyntaxTree/Precondition.h"
#include "SyntaxTree/Query.h"

namespace SyntaxTree {

uint32_t Language::ABIVersion() const { return ts_language_abi_version(tsLanguage()); }
uint32_t Language::fieldCount() const { return ts_language_field_count(tsLanguage()); }
uint32_t Language::symbolCount() const { return ts_language_symbol_count(tsLanguage()); }

std::optional<std::string> Language::fieldName(int64_t fieldId) const {
    const char* name = ts_language_field_name_for_id(tsLanguage(), checkedUInt16(fieldId, "field id out of range"));
    if (!name) return std::nullopt;
    return std::string(name);
}

std::optional<std::string> Language::symbolName(int64_t symbol) const {
    const char* name = ts_language_symbol_name(tsLanguage(), checkedUInt16(symbol, "symbol id out of range"));
    if (!name) return std::nullopt;
    return std::string(name);
}

uint16_t Language::fieldId(std::string_view name) const {
    return ts_language_field_id_for_name(tsLanguage(), name.data(),
                                         checkedUInt32(int64_t(name.size()), "field name too long"));
}

std::shared_ptr<Query> Language::query(const std::filesystem::path& contentsOf) const {
    return Query::create(*this, contentsOf);
}

} // namespace SyntaxTree
