// Language catalogue: detection by file name, raw values, names, icons, tints, comment prefixes,
// and the role colours of the syntax palette.
#include <gtest/gtest.h>

#include "Editor/CodeLanguage.h"
#include "Editor/TokenRole.h"
#include "UI/Brand.h"

using namespace CodeLanguages;

namespace {

struct Detection {
    const char* name;
    CodeLanguage expected;
};

void expectRgba(const QColor& c, double r, double g, double b, double a) {
    EXPECT_NEAR(c.redF(), r, 1e-3);
    EXPECT_NEAR(c.greenF(), g, 1e-3);
    EXPECT_NEAR(c.blueF(), b, 1e-3);
    EXPECT_NEAR(c.alphaF(), a, 1e-3);
}

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

TEST(CodeLanguage, RawValuesRoundTripExactly) {
    const QStringList expected{"swift", "javascript", "typescript", "python", "json", "markdown", "html",
                               "css",   "shell",      "yaml",       "rust",   "go",   "plain"};
    ASSERT_EQ(allCases().size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rawValue(allCases()[i]), expected[i]);
        EXPECT_EQ(fromRawValue(expected[i]), allCases()[i]);
    }
    EXPECT_FALSE(fromRawValue("Swift").has_value());
    EXPECT_FALSE(fromRawValue("").has_value());
    EXPECT_FALSE(fromRawValue("plain ").has_value());
}

TEST(CodeLanguage, NamesIconsAndCommentPrefixes) {
    EXPECT_EQ(displayName(CodeLanguage::plain), "Plain Text");
    EXPECT_EQ(icon(CodeLanguage::plain), "doc.text");
    EXPECT_EQ(displayName(CodeLanguage::javascript), "JavaScript");
    EXPECT_EQ(displayName(CodeLanguage::json), "JSON");
    EXPECT_EQ(icon(CodeLanguage::html), "chevron.left.forwardslash.chevron.right");
    EXPECT_EQ(icon(CodeLanguage::css), "number");
    EXPECT_EQ(icon(CodeLanguage::markdown), "text.alignleft");

    for (CodeLanguage l : {CodeLanguage::swift, CodeLanguage::javascript, CodeLanguage::typescript,
                           CodeLanguage::rust, CodeLanguage::go})
        EXPECT_EQ(lineCommentPrefix(l), "//") << rawValue(l).toStdString();
    for (CodeLanguage l : {CodeLanguage::python, CodeLanguage::shell, CodeLanguage::yaml})
        EXPECT_EQ(lineCommentPrefix(l), "#") << rawValue(l).toStdString();
    for (CodeLanguage l : {CodeLanguage::json, CodeLanguage::markdown, CodeLanguage::html, CodeLanguage::css,
                           CodeLanguage::plain})
        EXPECT_TRUE(lineCommentPrefix(l).isEmpty()) << rawValue(l).toStdString();
}

TEST(CodeLanguage, TintsComeFromThePaletteOrTranslucentWhite) {
    const auto& palette = Brand::palette();
    EXPECT_EQ(tint(CodeLanguage::json), palette[0]);
    EXPECT_EQ(tint(CodeLanguage::yaml), palette[0]);
    EXPECT_EQ(tint(CodeLanguage::javascript), palette[1]);
    EXPECT_EQ(tint(CodeLanguage::typescript), palette[1]);
    EXPECT_EQ(tint(CodeLanguage::html), palette[2]);
    EXPECT_EQ(tint(CodeLanguage::css), palette[2]);
    EXPECT_EQ(tint(CodeLanguage::python), palette[3]);
    EXPECT_EQ(tint(CodeLanguage::go), palette[3]);
    EXPECT_EQ(tint(CodeLanguage::swift), palette[4]);
    EXPECT_EQ(tint(CodeLanguage::rust), palette[4]);
    expectRgba(tint(CodeLanguage::markdown), 1, 1, 1, 0.7);
    expectRgba(tint(CodeLanguage::shell), 1, 1, 1, 0.55);
    expectRgba(tint(CodeLanguage::plain), 1, 1, 1, 0.55);
    EXPECT_NE(tint(CodeLanguage::markdown), tint(CodeLanguage::shell));
}

TEST(SyntaxPalette, OneDistinctColourPerRole) {
    expectRgba(SyntaxPalette::base(), 1, 1, 1, 0.92);
    expectRgba(SyntaxPalette::color(TokenRole::keyword), 0.62, 0.52, 1.0, 1);
    expectRgba(SyntaxPalette::color(TokenRole::type), 0.34, 0.86, 0.78, 1);
    expectRgba(SyntaxPalette::color(TokenRole::string), 0.45, 0.82, 0.50, 1);
    expectRgba(SyntaxPalette::color(TokenRole::number), 0.99, 0.60, 0.36, 1);
    expectRgba(SyntaxPalette::color(TokenRole::comment), 0.48, 0.48, 0.48, 1);
    expectRgba(SyntaxPalette::color(TokenRole::function), 0.36, 0.74, 0.99, 1);
    expectRgba(SyntaxPalette::color(TokenRole::attribute), 0.95, 0.55, 0.78, 1);
    expectRgba(SyntaxPalette::color(TokenRole::punctuation), 1, 1, 1, 0.6);
    EXPECT_NE(SyntaxPalette::color(TokenRole::comment), SyntaxPalette::color(TokenRole::punctuation));
}
