// Language configurations loading their query files from folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "SyntaxTree/Grammars.h"
#include "SyntaxTree/LanguageConfiguration.h"
#include "SyntaxTree/PredicateErrors.h"
#include "SyntaxTree/QueryError.h"
#include "TestSupport.h"

using namespace SyntaxTree;
namespace fs = std::filesystem;

namespace {

const auto highlights = QueryDefinition::makeHighlights();
const auto injections = QueryDefinition::makeInjections();
const auto locals = QueryDefinition::makeLocals();

fs::path folderWith(const testing_support::TempFolder& temp, const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files) temp.write(QString::fromStdString("queries/" + name), QByteArray::fromStdString(content));
    return fs::path(temp.file("queries").toStdString());
}

TEST(LanguageConfiguration, LoadsOnlyTheQueryFilesPresent) {
    testing_support::TempFolder temp;
    const fs::path folder = folderWith(temp, {{"highlights.scm", "(string) @string\n(number) @number"}, {"tags.scm", "(oops"}});
    const auto configuration = LanguageConfiguration::fromQueriesDirectory(tree_sitter_json(), "JSON", folder);
    EXPECT_EQ(configuration.name(), "JSON");
    EXPECT_EQ(configuration.language(), Language(tree_sitter_json()));
    ASSERT_EQ(configuration.queries().size(), 1u);
    EXPECT_EQ(configuration.queries().at(highlights)->patternCount(), 2u);

    const auto all = LanguageConfiguration::fromQueriesDirectory(
        tree_sitter_json(), "JSON",
        folderWith(temp, {{"injections.scm", "(string) @injection.content"}, {"locals.scm", "(object) @local.scope"}}));
    EXPECT_EQ(all.queries().size(), 3u);
    EXPECT_TRUE(all.queries().count(injections) && all.queries().count(locals));

    EXPECT_TRUE(LanguageConfiguration::fromQueriesDirectory(tree_sitter_json(), "JSON", folder / "missing").queries().empty());
    EXPECT_EQ(Language(tree_sitter_json()).query(folder / "highlights.scm")->patternCount(), 2u);
    EXPECT_THROW(Language(tree_sitter_json()).query(folder / "missing.scm"), fs::filesystem_error);
}

TEST(LanguageConfiguration, ABadQueryFileFailsTheWholeConfiguration) {
    testing_support::TempFolder temp;
    const fs::path folder = folderWith(temp, {{"injections.scm", "(string) @injection.content"},
                                              {"highlights.scm", "(string) @string"},
                                              {"locals.scm", "(object) @scope )"}});
    try {
        LanguageConfiguration::fromQueriesDirectory(tree_sitter_json(), "JSON", folder);
        FAIL() << "configured";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind, QueryError::syntax);
        EXPECT_EQ(error.offset, 16u);
    }
    folderWith(temp, {{"locals.scm", "((object) @scope (#match? @scope \"(\"))"}});
    EXPECT_THROW(LanguageConfiguration::fromQueriesDirectory(tree_sitter_json(), "JSON", folder), RegularExpressionError);
}

TEST(LanguageConfiguration, AnUnreadableQueryFileIsLeftOut) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    testing_support::TempFolder temp;
    const fs::path folder = folderWith(temp, {{"highlights.scm", "(string) @string"}, {"locals.scm", "(object) @scope"}});
    chmod((folder / "locals.scm").c_str(), 0);
    EXPECT_EQ(LanguageConfiguration::fromQueriesDirectory(tree_sitter_json(), "JSON", folder).queries().size(), 1u);
}

} // namespace
