#include "SyntaxTree/LanguageConfiguration.h"

#include <system_error>

#include "SyntaxTree/FileBytes.h"

namespace SyntaxTree {

LanguageConfiguration::LanguageConfiguration(Language language, std::string name, Query::Queries queries)
    : language_(language), data_{std::move(name), std::move(queries)} {}

LanguageConfiguration LanguageConfiguration::fromBundle(Language language, std::string name) {
    const std::string bundleName = "TreeSitter" + name + "_TreeSitter" + name;
    return fromBundle(language, std::move(name), bundleName);
}

LanguageConfiguration LanguageConfiguration::fromBundle(Language language, std::string name,
                                                        std::string_view bundleName) {
    const std::optional<std::filesystem::path> directory = bundleQueriesDirectoryURL(bundleName);
    if (!directory) throw LanguageConfigurationError{LanguageConfigurationError::queryDirectoryNotFound, {}};
    if (!isReadablePath(directory->lexically_normal()))
        throw LanguageConfigurationError{LanguageConfigurationError::queryDirectoryNotReadable, *directory};
    return fromQueriesDirectory(language, std::move(name), *directory);
}

LanguageConfiguration LanguageConfiguration::fromQueriesDirectory(Language language, std::string name,
                                                                  const std::filesystem::path& queriesURL) {
    return LanguageConfiguration(language, std::move(name), Query::queries(language, queriesURL));
}

const std::optional<std::filesystem::path>& LanguageConfiguration::bundleContainerURL() {
    static const std::optional<std::filesystem::path> container = []() -> std::optional<std::filesystem::path> {
        std::error_code error;
        const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error || executable.empty()) return std::nullopt;
        return executable.parent_path();
    }();
    return container;
}

std::optional<std::filesystem::path> LanguageConfiguration::bundleQueriesDirectoryURL(std::string_view bundleName) {
    const std::optional<std::filesystem::path>& container = bundleContainerURL();
    if (!container) return std::nullopt;
    return *container / (std::string(bundleName) + ".bundle") / "Contents" / "Resources" / "queries";
}

} // namespace SyntaxTree
