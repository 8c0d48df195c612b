#pragma once
// A grammar's language with its name and its compiled standard queries, loaded from a directory of
// query files ("injections.scm", "highlights.scm", "locals.scm"); missing files are left out.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "SyntaxTree/Language.h"
#include "SyntaxTree/Query.h"

namespace SyntaxTree {

struct LanguageData {
    std::string name;
    Query::Queries queries;  // only the kinds whose files were present
};

struct LanguageConfigurationError {
    enum Kind { queryDirectoryNotReadable, queryDirectoryNotFound };
    Kind kind;
    std::filesystem::path url;  // the directory, for queryDirectoryNotReadable
};

class LanguageConfiguration {
public:
    // Nothing is loaded.
    LanguageConfiguration(Language language, std::string name, Query::Queries queries);

    // From the bundle "TreeSitter<name>_TreeSitter<name>" beside the application.
    static LanguageConfiguration fromBundle(Language language, std::string name);
    // From <bundle container>/<bundleName>.bundle/Contents/Resources/queries; the directory must be
    // readable. Throws LanguageConfigurationError, a read error or a query error.
    static LanguageConfiguration fromBundle(Language language, std::string name, std::string_view bundleName);
    // From any directory, unchecked: a missing directory gives no queries.
    static LanguageConfiguration fromQueriesDirectory(Language language, std::string name,
                                                      const std::filesystem::path& queriesURL);

    // Where bundles are looked up: the directory of the running executable, absent when unknown.
    static const std::optional<std::filesystem::path>& bundleContainerURL();
    static std::optional<std::filesystem::path> bundleQueriesDirectoryURL(std::string_view bundleName);

    const Language& language() const { return language_; }
    const LanguageData& data() const { return data_; }
    const std::string& name() const { return data_.name; }
    const Query::Queries& queries() const { return data_.queries; }

private:
    Language language_;
    LanguageData data_;
};

} // namespace SyntaxTree
