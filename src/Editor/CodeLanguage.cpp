#include "Editor/CodeLanguage.h"

#include <QFileInfo>

#include "UI/Brand.h"

namespace CodeLanguages {

namespace {
struct Entry {
    CodeLanguage language;
    const char* raw;
    const char* display;
    QList<QString> extensions;
    const char* icon;
    int paletteIndex;  // -1: white at whiteAlpha
    double whiteAlpha;
    const char* comment;
    bool grammar;
};

const QList<Entry>& table() {
    static const QList<Entry> entries{
        {CodeLanguage::swift, "swift", "Swift", {"swift"}, "swift", 4, 0, "//", true},
        {CodeLanguage::javascript, "javascript", "JavaScript", {"js", "jsx", "mjs", "cjs"}, "j.square", 1, 0, "//", true},
        {CodeLanguage::typescript, "typescript", "TypeScript", {"ts", "tsx"}, "t.square", 1, 0, "//", true},
        {CodeLanguage::python, "python", "Python", {"py", "pyi"}, "p.square", 3, 0, "#", true},
        {CodeLanguage::json, "json", "JSON", {"json"}, "curlybraces", 0, 0, "", true},
        {CodeLanguage::markdown, "markdown", "Markdown", {"md", "markdown"}, "text.alignleft", -1, 0.7, "", false},
        {CodeLanguage::html, "html", "HTML", {"html", "htm"}, "chevron.left.forwardslash.chevron.right", 2, 0, "", true},
        {CodeLanguage::css, "css", "CSS", {"css", "scss"}, "number", 2, 0, "", true},
        {CodeLanguage::shell, "shell", "Shell", {"sh", "bash", "zsh"}, "terminal", -1, 0.55, "#", false},
        {CodeLanguage::yaml, "yaml", "YAML", {"yml", "yaml"}, "list.bullet", 0, 0, "#", false},
        {CodeLanguage::rust, "rust", "Rust", {"rs"}, "r.square", 4, 0, "//", true},
        {CodeLanguage::go, "go", "Go", {"go"}, "g.square", 3, 0, "//", true},
        {CodeLanguage::plain, "plain", "Plain Text", {}, "doc.text", -1, 0.55, "", false},
    };
    return entries;
}

const Entry& entry(CodeLanguage language) { return table()[static_cast<int>(language)]; }
} // namespace

const QList<CodeLanguage>& allCases() {
    static const QList<CodeLanguage> cases = [] {
        QList<CodeLanguage> out;
        for (const Entry& e : table()) out << e.language;
        return out;
    }();
    return cases;
}

QString rawValue(CodeLanguage language) { return QString::fromLatin1(entry(language).raw); }

std::optional<CodeLanguage> fromRawValue(const QString& raw) {
    for (const Entry& e : table())
        if (raw == QLatin1String(e.raw)) return e.language;
    return std::nullopt;
}

QString displayName(CodeLanguage language) { return QString::fromLatin1(entry(language).display); }

QString icon(CodeLanguage language) { return QString::fromLatin1(entry(language).icon); }

QColor tint(CodeLanguage language) {
    const Entry& e = entry(language);
    if (e.paletteIndex >= 0) return Brand::palette()[e.paletteIndex];
    return QColor::fromRgbF(1, 1, 1, float(e.whiteAlpha));
}

QString lineCommentPrefix(CodeLanguage language) { return QString::fromLatin1(entry(language).comment); }

bool hasGrammar(CodeLanguage language) { return entry(language).grammar; }

CodeLanguage detect(const QString& fileName) {
    // The text after the last dot of the last path component; a trailing slash ends no component.
    QString path = fileName;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    const QString name = path.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return CodeLanguage::plain;
    const QString ext = name.mid(dot + 1).toLower();
    for (const Entry& e : table())
        if (e.extensions.contains(ext)) return e.language;
    return CodeLanguage::plain;
}

} // namespace CodeLanguages
