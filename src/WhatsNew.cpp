#include "WhatsNew.h"

namespace WhatsNew {

const QList<WhatsNewEntry>& all() {
    static const QList<WhatsNewEntry> table{
        {QStringLiteral("0.4.5"), QStringLiteral("Per-project windows + fixes"), {
            {QStringLiteral("macwindow.on.rectangle"), QStringLiteral("Opening a folder now opens its own window — projects no longer share tabs.")},
            {QStringLiteral("ladybug"), QStringLiteral("Fixed a crash when pressing Return on an unindented line.")},
            {QStringLiteral("doc.text.magnifyingglass"), QStringLiteral("Distinct file icons for Go, Rust, Python, JS and TS.")},
            {QStringLiteral("bolt"), QStringLiteral("Lighter, smoother animated background.")},
        }},
        {QStringLiteral("0.4.4"), QStringLiteral("New look"), {
            {QStringLiteral("pawprint"), QStringLiteral("Brand-new app icon.")},
        }},
        {QStringLiteral("0.4.3"), QStringLiteral("A prettier Settings"), {
            {QStringLiteral("paintbrush"), QStringLiteral("Settings (⌘,) redesigned on-brand — logo, gradient title, and glass panels.")},
            {QStringLiteral("sparkles"), QStringLiteral("Replay the Welcome tour right from Settings.")},
            {QStringLiteral("gift"), QStringLiteral("Reopen What's New any time from Settings.")},
        }},
        {QStringLiteral("0.4.1"), QStringLiteral("Settings + copy-as-code"), {
            {QStringLiteral("gearshape"), QStringLiteral("Settings (⌘,) — editor font size, tab width, and which AI CLI backs the AI features.")},
            {QStringLiteral("textformat.size"), QStringLiteral("Font size and tab width apply to the editor live, no restart.")},
            {QStringLiteral("chevron.left.slash.chevron.right"), QStringLiteral("Copy any request as cURL, JavaScript fetch, or Swift URLSession — environment vars resolved.")},
        }},
        {QStringLiteral("0.4.0"), QStringLiteral("Full Git workflow, in-app"), {
            {QStringLiteral("arrow.down.doc"), QStringLiteral("Clone a repository right from the Welcome screen.")},
            {QStringLiteral("arrow.triangle.branch"), QStringLiteral("Branch picker popover from the status bar — switch / create / delete in one click.")},
            {QStringLiteral("arrow.up.arrow.down.circle"), QStringLiteral("Pull, push and fetch from the Source Control toolbar, with ↑/↓ counts on the buttons.")},
            {QStringLiteral("tray.full"), QStringLiteral("Stash / pop with an optional message and a live counter.")},
            {QStringLiteral("plus.app"), QStringLiteral("Initialize Git in any folder that isn't a repo yet.")},
        }},
        {QStringLiteral("0.3.0"), QStringLiteral("Ask AI, history, Bruno format"), {
            {QStringLiteral("sparkles"), QStringLiteral("Ask AI panel under every response — Explain, Why X?, Test cases, Curl, or any custom question.")},
            {QStringLiteral("clock.arrow.circlepath"), QStringLiteral("Request history (50 latest) in a popover next to Send — click to replay without re-firing the call.")},
            {QStringLiteral("doc.text.below.ecg"), QStringLiteral("Bruno .bru format parsing + serializing — drop a .bru file in and it shows up alongside .http.")},
            {QStringLiteral("brain.head.profile"), QStringLiteral("AI shells through your Claude Code or Codex CLI — no API keys, your local auth.")},
        }},
        {QStringLiteral("0.2.0"), QStringLiteral("Create collections + Auth + secrets"), {
            {QStringLiteral("plus.rectangle.on.folder"), QStringLiteral("Create collections, add requests, rename, duplicate & delete — right from the API panel.")},
            {QStringLiteral("key.fill"), QStringLiteral("New Auth tab: pick None / Bearer / Basic / API Key, fields auto-build the right header (works with {{vars}}).")},
            {QStringLiteral("lock.shield"), QStringLiteral("“New Secrets Environment” auto-adds the file to .gitignore so credentials never get committed.")},
            {QStringLiteral("folder.badge.gearshape"), QStringLiteral("Per-collection environments — drop environments/ next to your .http file and they show up in the switcher.")},
        }},
        {QStringLiteral("0.1.0"), QStringLiteral("API client, built right in"), {
            {QStringLiteral("network"), QStringLiteral("Send HTTP requests without leaving the editor — a 3rd sidebar panel scans your workspace for .http files.")},
            {QStringLiteral("paperplane.fill"), QStringLiteral("Form view with method / URL / headers / body / params, plus a Raw toggle that round-trips with the file.")},
            {QStringLiteral("rectangle.split.2x1"), QStringLiteral("Responses get tree-sitter JSON highlighting + status pill, timing, size, and pretty-print.")},
            {QStringLiteral("globe"), QStringLiteral("Drop env files in environments/<name>.env and switch from the panel — {{var}} substitution everywhere.")},
            {QStringLiteral("puzzlepiece.extension"), QStringLiteral("Pluggable format registry — .bru (Bruno) drops in as a single new case later.")},
        }},
        {QStringLiteral("0.0.3"), QStringLiteral("Git, AI commits, and faster everything"), {
            {QStringLiteral("arrow.triangle.branch"), QStringLiteral("Built-in Git: branch in the status bar, Source Control sidebar with stage-all / unstage-all / discard-all.")},
            {QStringLiteral("rectangle.split.2x1"), QStringLiteral("Click any changed file to open its diff — colored ± lines with old/new line numbers.")},
            {QStringLiteral("sparkles"), QStringLiteral("Inline commit composer with a ✨ Generate button — uses your Claude Code or Codex CLI, no API keys needed.")},
            {QStringLiteral("bolt.fill"), QStringLiteral("tree-sitter now reparses incrementally — 2.5× faster on big files.")},
            {QStringLiteral("arrow.down.right.and.arrow.up.left"), QStringLiteral("Code folding actually collapses the lines now — chevrons in the gutter.")},
        }},
        {QStringLiteral("0.0.2"), QStringLiteral("Workspace power-ups"), {
            {QStringLiteral("doc.text.magnifyingglass"), QStringLiteral("Search across the whole project with ⇧⌘F.")},
            {QStringLiteral("folder.badge.gearshape"), QStringLiteral("Right-click the explorer to create, rename, delete & reveal files.")},
            {QStringLiteral("arrow.clockwise"), QStringLiteral("External file changes refresh the tree and reload open files live.")},
            {QStringLiteral("clock.arrow.circlepath"), QStringLiteral("Your folder and open tabs reopen automatically on the next launch.")},
        }},
        {QStringLiteral("0.0.1"), QStringLiteral("Hello, Brimel Code"), {
            {QStringLiteral("curlybraces.square"), QStringLiteral("tree-sitter syntax highlighting for 9 languages, in the Brimel palette.")},
            {QStringLiteral("magnifyingglass"), QStringLiteral("Quick open (⌘P), command palette (⌘K), and find & replace (⌘F).")},
            {QStringLiteral("arrow.down.right.and.arrow.up.left"), QStringLiteral("Code folding, auto-close brackets, and ⌘/ to toggle comments.")},
        }},
    };
    return table;
}

std::optional<WhatsNewEntry> entry(const QString& version) {
    for (const WhatsNewEntry& e : all())
        if (e.version == version) return e;
    return std::nullopt;
}

} // namespace WhatsNew

namespace AppInfo {

const QString& version() {
    static const QString v = [] {
        const QString compiled = QStringLiteral(BRIMEL_VERSION);
        return compiled.isEmpty() ? QStringLiteral("0.4.5") : compiled;
    }();
    return v;
}

} // namespace AppInfo
