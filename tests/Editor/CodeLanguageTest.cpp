// Language catalogue: detection by file name, raw values and comment prefixes.
#include <gtest/gtest.h>

#include "Editor/CodeLanguage.h"

using namespace CodeLanguages;

namespace {

struct Detection {
    const char* name;
    CodeLanguage expected;
};

} // namespace

TEST(CodeLanguage, DetectsEveryListedExtensionCaseInsensitively) {
    const Detection cases[] = {
        {"main.swift", CodeLanguage::swift},       {"main.SWIFT", CodeLanguage::swift},
        {"Main.Swift", CodeLanguage::swift},       {"app.js", CodeLanguage::javascript},
        {"view.jsx", CodeLanguage::javascript},    {"tool.mjs", CodeLanguage::javascript},
        {"tool.cjs", CodeLanguage::javascript},    {"index.ts", CodeLanguage::typescript},
        {"component.tsx", CodeLanguage::typescript}, {"run.py", CodeLanguage::python},
        {"stubs.pyi", CodeLanguage::python},       {"data.json", CodeLanguage::json},
        {"README.md", CodeLanguage::markdown},     {"notes.markdown", CodeLanguage::markdown},
        {"index.html", CodeLanguage::html},        {"page.htm", CodeLanguage::html},
        {"site.css", CodeLanguage::css},           {"styles.scss", CodeLanguage::css},
        {"build.sh", CodeLanguage::shell},         {"script.bash", CodeLanguage::shell},
        {"script.zsh", CodeLanguage::shell},       {"config.yml", CodeLanguage::yaml},
        {"ci.yaml", CodeLanguage::yaml},           {"lib.rs", CodeLanguage::rust},
        {"main.go", CodeLanguage::go},
    };
    for (const Detection& c : cases) EXPECT_EQ(detect(QString::fromUtf8(c.name)), c.expected) << c.name;
}

TEST(CodeLanguage, UsesOnlyTheLastComponentsLastExtension) {
    const Detection cases[] = {
        {"Makefile", CodeLanguage::plain},
        {"archive.tar.gz", CodeLanguage::plain},
        {"data.toml", CodeLanguage::plain},
        {"trailingdot.", CodeLanguage::plain},
        {"", CodeLanguage::plain},
        {"/home/u/project.swift/Makefile", CodeLanguage::plain},
        {"/home/u/src/app.test.ts", CodeLanguage::typescript},
        {"/home/u/src/main.go/", CodeLanguage::go},
        {"notes.md.bak", CodeLanguage::plain},
    };
    for (const Detection& c : cases) EXPECT_EQ(detect(QString::fromUtf8(c.name)), c.expected) << c.name;
}

TEST(CodeLanguage, RawValuesRoundTripExactlyAndCommentPrefixesFollowTheLanguage) {
    for (CodeLanguage l : allCases()) EXPECT_EQ(fromRawValue(rawValue(l)), l);
    for (const char* raw : {"Swift", "", "plain "}) EXPECT_FALSE(fromRawValue(raw).has_value()) << raw;
    const QStringList slashes{"swift", "javascript", "typescript", "rust", "go"}, hashes{"python", "shell", "yaml"};
    for (CodeLanguage l : allCases()) {
        const QString raw = rawValue(l);
        EXPECT_EQ(lineCommentPrefix(l), slashes.contains(raw) ? "//" : hashes.contains(raw) ? "#" : "") << raw.toStdString();
    }
}
