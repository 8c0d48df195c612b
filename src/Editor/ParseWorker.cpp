#include "Editor/ParseWorker.h"

#include "Editor/ExactText.h"
#include "Editor/GapText.h"
#include "Editor/TreeSitterHighlighter.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Parser.h"
#include "SyntaxTree/Tree.h"

#include <malloc.h>

#include <atomic>
#include <bit>
#include <functional>

namespace {
// A text this long leaves a tree of tens of megabytes in this thread's allocator arena.
constexpr qsizetype kLargeText = 512 * 1024;

// Hands the runtime the text where it lies, a run at a time, without copying it.
const char* readRun(void* payload, uint32_t byteIndex, TSPoint, uint32_t* bytesRead) {
    const std::u16string_view run = static_cast<GapText*>(payload)->read(qsizetype(byteIndex / 2));
    *bytesRead = uint32_t(std::min<size_t>(run.size(), UINT32_MAX / 2) * 2);
    return reinterpret_cast<const char*>(run.data());
}

// The same from a text read through a ParseWorker::TextRun.
const char* readWholeRun(void* payload, uint32_t byteIndex, TSPoint, uint32_t* bytesRead) {
    const std::u16string_view run = (*static_cast<const ParseWorker::TextRun*>(payload))(qsizetype(byteIndex / 2));
    *bytesRead = uint32_t(std::min<size_t>(run.size(), UINT32_MAX / 2) * 2);
    return reinterpret_cast<const char*>(run.data());
}

// The text of a quick parse, handed over in short runs so that the reads tell how far the lexer
// looked ahead: a token left open (a comment, a string) is searched for its end up to the end of
// the window and lexed again shorter, where the whole text might have ended it further on.
struct WindowReader {
    const ParseWorker::TextRun* read = nullptr;
    uint32_t furthest = 0;  // the furthest byte read
    bool lookedFar = false;
};
constexpr qsizetype kWindowRun = 128;
// A step back further than this is a look ahead no token of ordinary code takes.
constexpr uint32_t kFarLook = 512;
// How much of the window, in bytes, must follow an error: room for the parse to take up whole
// statements again.
constexpr uint32_t kSettle = 1024;

const char* readWindowRun(void* payload, uint32_t byteIndex, TSPoint, uint32_t* bytesRead) {
    auto* reader = static_cast<WindowReader*>(payload);
    if (byteIndex + kFarLook < reader->furthest) reader->lookedFar = true;
    reader->furthest = std::max(reader->furthest, byteIndex);
    const std::u16string_view run = (*reader->read)(qsizetype(byteIndex / 2));
    if (run.empty()) {
        *bytesRead = 0;
        return nullptr;
    }
    size_t units = std::min<size_t>(run.size(), kWindowRun);
    if (units < run.size() && QChar::isHighSurrogate(run[units - 1])) ++units;  // a pair stays whole
    *bytesRead = uint32_t(units * 2);
    return reinterpret_cast<const char*>(run.data());
}

// How far either side of the edits and the lines in view the quick parse reaches for whole top-level
// statements: a few lines, for a view that scrolls with the caret.
constexpr qsizetype kQuickReach = 1024;
// The reach of the widest window tried, four times wider each time.
constexpr qsizetype kWidestReach = 16 * kQuickReach;
// How many edits in a row the whole reparse may give way to before it finishes regardless, so that
// the whole tree lags fast typing by a few keystrokes at most.
constexpr int kMostYields = 8;
// Past this the quick parse would cost about what it saves (a text wrapped in one statement).
constexpr qsizetype kQuickMaximum = 64 * 1024;

// The top-level statements of tree (edited to match the text) within reach of touched, as the
// range the runtime parses them in; none when they are too long or make up the whole text.
std::optional<TSRange> statementsAround(const SyntaxTree::MutableTree& tree, TextRange touched, qsizetype length,
                                        qsizetype reach) {
    if (touched.location < 0 || touched.end() > length) return std::nullopt;
    const TSNode root = ts_tree_root_node(tree.tree()->tsTree());
    const auto byteAt = [](qsizetype unit) { return uint32_t(unit * 2); };
    const TSNode first = ts_node_first_child_for_byte(root, byteAt(qMax<qsizetype>(0, touched.location - reach)));
    if (ts_node_is_null(first)) return std::nullopt;
    const qsizetype after = touched.end() + reach;
    const TSNode last = after >= length ? TSNode{} : ts_node_first_child_for_byte(root, byteAt(after));
    TSRange range{ts_node_start_point(first), {UINT32_MAX, UINT32_MAX}, ts_node_start_byte(first), UINT32_MAX};
    qsizetype end = length;
    if (!ts_node_is_null(last)) {
        range.end_point = ts_node_end_point(last);
        range.end_byte = ts_node_end_byte(last);
        end = qMin<qsizetype>(range.end_byte / 2, length);
    }
    const qsizetype start = range.start_byte / 2;
    if (end - start > kQuickMaximum || (start == 0 && end == length) || end <= start) return std::nullopt;
    return range;
}

// Where the line break nearest before unit `at` is, looking back no further than reach; -1 for
// the start of the text, none when there is no break within reach.
std::optional<qsizetype> breakBefore(const ParseWorker::TextRun& read, qsizetype at, qsizetype reach) {
    std::optional<qsizetype> found;
    if (at <= reach) found = -1;
    for (qsizetype from = qMax<qsizetype>(0, at - reach); from < at;) {
        const std::u16string_view run = read(from);
        if (run.empty()) break;
        const size_t units = size_t(std::min<qsizetype>(qsizetype(run.size()), at - from));
        const size_t last = run.substr(0, units).rfind(u'\n');
        if (last != std::u16string_view::npos) found = from + qsizetype(last);
        from += qsizetype(units);
    }
    return found;
}

// The same looking on from `at`: the length of the text when it ends within reach.
std::optional<qsizetype> breakAfter(const ParseWorker::TextRun& read, qsizetype length, qsizetype at, qsizetype reach) {
    for (qsizetype from = at; from < at + reach;) {
        const std::u16string_view run = read(from);
        if (run.empty()) return length;
        const size_t units = size_t(std::min<qsizetype>(qsizetype(run.size()), at + reach - from));
        const size_t first = run.substr(0, units).find(u'\n');
        if (first != std::u16string_view::npos) return from + qsizetype(first);
        from += qsizetype(units);
    }
    return std::nullopt;
}

// The first token of tree that ends past unit `at`: it holds `at` or starts after it. None when it
// lies deeper than ParseWorker::kLevelsHere levels: the runtime's tree is walked from its root, and a
// text nested that deep would cost a walk of every level for each key.
std::optional<TSNode> tokenAt(const SyntaxTree::MutableTree& tree, qsizetype at, qsizetype& levels) {
    TSNode node = ts_tree_root_node(tree.tree()->tsTree());
    for (TSNode child = ts_node_first_child_for_byte(node, uint32_t(at * 2)); !ts_node_is_null(child);
         child = ts_node_first_child_for_byte(node, uint32_t(at * 2))) {
        if (++levels > ParseWorker::kLevelsHere) return std::nullopt;
        node = child;
    }
    return node;
}

// For a guess when no run of whole statements short enough holds the edits and the lines in view:
// the whole lines within reach of them, cut between tokens, as the range the runtime parses them
// in. Statements in a body read much as they do at the top level from the start of a line; a long
// line cut anywhere would read as something else, so then none.
std::optional<TSRange> linesAround(const SyntaxTree::MutableTree& tree, const ParseWorker::TextRun& read,
                                   qsizetype length, TextRange touched, qsizetype reach, qsizetype& levels) {
    if (touched.location < 0 || touched.end() > length || touched.length > kQuickMaximum) return std::nullopt;
    const std::optional<qsizetype> before = breakBefore(read, touched.location - reach, reach);
    const std::optional<qsizetype> after = breakAfter(read, length, qMin(length, touched.end() + reach), reach);
    if (!before || !after || (*before < 0 && *after >= length)) return std::nullopt;
    const std::optional<TSNode> first = tokenAt(tree, *before + 1, levels);
    if (!first || ts_node_is_null(*first) || ts_node_start_byte(*first) / 2 >= *after) return std::nullopt;
    TSRange range{ts_node_start_point(*first), {UINT32_MAX, UINT32_MAX}, ts_node_start_byte(*first), UINT32_MAX};
    if (*after < length) {
        const std::optional<TSNode> last = tokenAt(tree, *after, levels);
        if (!last) return std::nullopt;
        if (!ts_node_is_null(*last) && ts_node_start_byte(*last) > range.start_byte) {
            range.end_point = ts_node_start_point(*last);
            range.end_byte = ts_node_start_byte(*last);
        }
    }
    const qsizetype end = range.end_byte == UINT32_MAX ? length : range.end_byte / 2;
    if (end - qsizetype(range.start_byte / 2) > kQuickMaximum) return std::nullopt;
    return range;
}

// Where the top-level statement before the one the edits in touched start in begins, in bytes: an
// error of the statement before, wrong until the edit, may be taken up with the edited one.
uint32_t editedFrom(const SyntaxTree::MutableTree& tree, TextRange touched) {
    const uint32_t from = uint32_t(touched.location * 2);
    const TSNode first = ts_node_first_child_for_byte(ts_tree_root_node(tree.tree()->tsTree()), from);
    if (ts_node_is_null(first)) return from;
    const TSNode before = ts_node_prev_sibling(first);
    return std::min(from, ts_node_start_byte(ts_node_is_null(before) ? first : before));
}

// Whether tree has an error before byte: one left open there may end in the window after it.
bool errorBefore(const SyntaxTree::MutableTree& tree, uint32_t byte) {
    const TSNode root = ts_tree_root_node(tree.tree()->tsTree());
    if (!ts_node_has_error(root)) return false;
    TSTreeCursor cursor = ts_tree_cursor_new(root);
    bool found = false;
    for (bool more = ts_tree_cursor_goto_first_child(&cursor); more && !found;
         more = ts_tree_cursor_goto_next_sibling(&cursor)) {
        const TSNode child = ts_tree_cursor_current_node(&cursor);
        if (ts_node_start_byte(child) >= byte) break;
        found = ts_node_has_error(child);
    }
    ts_tree_cursor_delete(&cursor);
    return found;
}

// Whether a quick parse of the statements in range colours them as the whole reparse will: it ends
// where the range does, no token looked past the range for its end, and any error starts no earlier
// than the statement edited and is followed, within the range, by statements the parse has taken up
// again. Otherwise what the edit means may hang on text outside the range and only the whole
// reparse can tell.
bool closesWhereItShould(const SyntaxTree::MutableTree& quick, const TSRange& range, const WindowReader& reader,
                         uint32_t edited, const std::function<bool()>& brokenBefore) {
    const TSNode root = ts_tree_root_node(quick.tree()->tsTree());
    const uint32_t count = ts_node_child_count(root);
    if (count == 0 || reader.lookedFar || ts_node_is_error(root)) return false;
    if (range.end_byte != UINT32_MAX && ts_node_end_byte(ts_node_child(root, count - 1)) != range.end_byte) return false;
    if (!ts_node_has_error(root)) return true;
    const uint32_t settled = range.end_byte == UINT32_MAX ? UINT32_MAX : range.end_byte - std::min(range.end_byte, kSettle);
    for (uint32_t i = 0; i < count; ++i) {
        const TSNode child = ts_node_child(root, i);
        if (ts_node_has_error(child) && (ts_node_start_byte(child) < edited || ts_node_end_byte(child) > settled))
            return false;
    }
    return !brokenBefore();
}

// Where a range of text edited by e lies after it.
TextRange afterEdit(TextRange touched, qsizetype start, qsizetype oldEnd, qsizetype newEnd) {
    const auto map = [&](qsizetype at, qsizetype inside) {
        if (at >= oldEnd) return at + (newEnd - oldEnd);
        return at > start ? inside : at;
    };
    const qsizetype from = qMin(map(touched.location, start), start);
    const qsizetype to = qMax(map(touched.end(), newEnd), newEnd);
    return {from, to - from};
}

// What the parses of one batch of edits count as they go, and whether they give way to the next.
struct Progress {
    size_t* waiting = nullptr;  // set while more edits wait; read while the parse runs
    qint64 steps = 0;
    qint64 waited = 0;  // steps taken while more edits waited
    bool mayYield = false;
    qint64 budget = 0;  // the most steps the parse may take, when set
};

// Counts the runtime's progress reports. Stops the parse when it gives way to waiting edits (the
// cancellation flag stops it for good).
bool step(TSParseState* state) {
    auto* progress = static_cast<Progress*>(state->payload);
    ++progress->steps;
    const bool waiting = std::atomic_ref(*progress->waiting).load();
    progress->waited += waiting;
    return (waiting && progress->mayYield) || (progress->budget > 0 && progress->steps >= progress->budget);
}

constexpr TSInputEncoding kEncoding =
    std::endian::native == std::endian::little ? TSInputEncodingUTF16LE : TSInputEncodingUTF16BE;

// Parses range alone, reading through reader; the parser is left ready for the next parse.
std::shared_ptr<SyntaxTree::MutableTree> parseAlone(TSParser* parser, const TSRange& range, WindowReader& reader,
                                                    Progress& progress) {
    ts_parser_set_included_ranges(parser, &range, 1);
    TSTree* tree = ts_parser_parse_with_options(parser, nullptr, TSInput{&reader, readWindowRun, kEncoding, nullptr},
                                                TSParseOptions{&progress, step});
    ts_parser_set_included_ranges(parser, nullptr, 0);
    if (!tree) return nullptr;
    return std::make_shared<SyntaxTree::MutableTree>(SyntaxTree::Tree::adopt(tree));
}

// A parse of text, reusing old (already edited to match it) when there is one.
std::shared_ptr<SyntaxTree::MutableTree> parse(TSParser* parser, const SyntaxTree::MutableTree* old, GapText& text,
                                               Progress& progress) {
    if (text.size() > SyntaxTree::Parser::maximumTextLength) return nullptr;
    const TSInput input{&text, readRun, kEncoding, nullptr};
    TSTree* tree = ts_parser_parse_with_options(parser, old ? old->tree()->tsTree() : nullptr, input,
                                                TSParseOptions{&progress, step});
    if (!tree) return nullptr;
    return std::make_shared<SyntaxTree::MutableTree>(SyntaxTree::Tree::adopt(tree));
}
} // namespace

ParseWorker::ParseWorker(SyntaxTree::Language language, QObject* parent)
    : QObject(parent), language_(language), thread_([this] { run(); }) {
    // A whole tree is taken up for the caller's quick parses when it comes, on the caller's thread
    // between keys rather than at the next one.
    connect(this, &ParseWorker::parsed, this, [this] {
        if (hereParser_) takeNewestWhole();
    }, Qt::QueuedConnection);
}

ParseWorker::~ParseWorker() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        // Most of its nodes are the whole tree's: the thread frees them, as it does that tree.
        leftHere_ = std::move(hereTree_);
    }
    std::atomic_ref(cancel_).store(1);
    wake_.notify_one();
    thread_.join();
}

void ParseWorker::push(Job job) {
    {
        const std::lock_guard lock(mutex_);
        if (job.reset) jobs_.clear();  // what came before is replaced anyway
        jobs_.push_back(std::move(job));
        std::atomic_ref(waiting_).store(1);
    }
    wake_.notify_one();
}

void ParseWorker::letGo(std::shared_ptr<SyntaxTree::MutableTree> tree) {
    if (!tree) return;
    {
        const std::lock_guard lock(mutex_);
        spent_.push_back(std::move(tree));
    }
    wake_.notify_one();
}

void ParseWorker::reset(const QString& text, quint64 revision) {
    letGo(std::move(hereTree_));
    hereEdits_.clear();
    hereBase_ = 0;
    hereFloor_ = revision;
    push(Job{true, {}, text, revision, {}});
}

void ParseWorker::edit(const TextEdit& edit, const QString& inserted, quint64 revision, TextRange shown,
                       const ExactText* now) {
    Job job{false, edit, inserted, revision, shown};
    if (now) job.coloured = colourHere(edit, revision, shown, *now);
    push(std::move(job));
}

namespace {
// Past this many edits without a whole tree the caller stops keeping them: the next whole tree of
// the text as it is then starts its side afresh.
constexpr size_t kMostEditsHere = 256;
} // namespace

bool ParseWorker::takeNewestWhole() {
    std::shared_ptr<SyntaxTree::MutableTree> taken;
    {
        const std::lock_guard lock(mutex_);
        if (!latest_.tree || latest_.revision < hereFloor_ || (hereTree_ && latest_.revision <= hereBase_)) return false;
        taken = latest_.tree->mutableCopy();
        hereBase_ = latest_.revision;
    }
    letGo(std::exchange(hereTree_, std::move(taken)));
    std::erase_if(hereEdits_, [&](const auto& edit) { return edit.first <= hereBase_; });
    for (const auto& edit : hereEdits_) hereTree_->edit(TreeSitterHighlighter::inputEdit(edit.second));
    return true;
}

ParseWorker::Colours ParseWorker::colourHere(const TextEdit& e, quint64 revision, TextRange shown, const ExactText& now) {
    unitsHere_ = 0;
    levelsHere_ = 0;
    hereEdits_.emplace_back(revision, e);
    if (hereEdits_.size() > kMostEditsHere) {
        hereEdits_.clear();
        letGo(std::move(hereTree_));
        hereFloor_ = revision;
        return Colours::none;
    }
    if (!takeNewestWhole() && hereTree_) hereTree_->edit(TreeSitterHighlighter::inputEdit(e));
    if (!hereTree_ || hereEdits_.empty()) return Colours::none;
    if (!hereParser_) {
        hereParser_ = std::make_unique<SyntaxTree::Parser>();
        try {
            hereParser_->setLanguage(language_);
        } catch (...) {
            return Colours::none;
        }
    }
    // Every edit since the tree's own text: one of them may change what the others mean.
    const qsizetype length = now.size();
    std::optional<TextRange> touched;
    for (const auto& [_, edit] : hereEdits_) {
        const qsizetype start = edit.startChar, oldEnd = edit.oldEndChar, newEnd = edit.newEndChar;
        touched = touched ? afterEdit(*touched, start, oldEnd, newEnd) : TextRange{start, newEnd - start};
    }
    TextRange window = *touched;
    if (shown.length > 0) {
        const qsizetype from = qMin(window.location, shown.location);
        window = TextRange{from, qMax(window.end(), shown.end()) - from};
    }
    char16_t pair[2] = {};
    const TextRun read = [&](qsizetype at) -> std::u16string_view {
        const QStringView run = now.run(at);
        // A surrogate pair the gap splits is handed over whole.
        if (run.size() == 1 && run.front().isHighSurrogate() && at + 1 < length) {
            pair[0] = run.front().unicode();
            pair[1] = now.at(at + 1).unicode();
            return {pair, 2};
        }
        return {reinterpret_cast<const char16_t*>(run.utf16()), size_t(run.size())};
    };
    size_t never = 0;
    Progress progress{&never, 0, 0, false, kStepsHere};
    TSParser* const runtime = hereParser_->internalParser();
    WindowReader reader{&read};
    bool exact = false;
    std::shared_ptr<SyntaxTree::MutableTree> quick;
    std::optional<TSRange> around = statementsAround(*hereTree_, window, length, kQuickReach);
    // Statements much longer than the lines they must colour are the thread's to parse whole: here
    // the lines around the edits make a guess.
    const auto units = [&](const TSRange& range) {
        return (range.end_byte == UINT32_MAX ? length : qsizetype(range.end_byte / 2)) - qsizetype(range.start_byte / 2);
    };
    if (around && units(*around) > window.length + kUnitsHere) around.reset();
    if (around) {
        quick = parseAlone(runtime, *around, reader, progress);
        const auto brokenBefore = [&] { return errorBefore(*hereTree_, around->start_byte); };
        exact = quick && closesWhereItShould(*quick, *around, reader, editedFrom(*hereTree_, *touched), brokenBefore);
    } else if (length <= kQuickMaximum) {
        // A short text is parsed again whole, from the tree edited here.
        around = TSRange{{0, 0}, {UINT32_MAX, UINT32_MAX}, 0, UINT32_MAX};
        TSTree* whole = ts_parser_parse_with_options(runtime, hereTree_->tree()->tsTree(),
                                                     TSInput{const_cast<TextRun*>(&read), readWholeRun, kEncoding, nullptr},
                                                     TSParseOptions{&progress, step});
        if (whole) quick = std::make_shared<SyntaxTree::MutableTree>(SyntaxTree::Tree::adopt(whole));
        exact = quick != nullptr;
    } else if ((around = linesAround(*hereTree_, read, length, window, kQuickReach, levelsHere_))) {
        quick = parseAlone(runtime, *around, reader, progress);
    }
    if (around) unitsHere_ = units(*around);
    if (!quick) {
        ts_parser_reset(runtime);  // out of steps: the next parse starts afresh
        return Colours::none;
    }
    std::atomic_ref(stepsBeforeColours_).store(progress.steps);
    const qsizetype from = around->start_byte / 2;
    const qsizetype to = around->end_byte == UINT32_MAX ? length : around->end_byte / 2;
    place(Result{std::move(quick), revision, true, {from, to - from}, !exact}, exact ? Kind::quick : Kind::guess);
    return exact ? Colours::exact : Colours::guess;
}

ParseWorker::Result ParseWorker::latest() const { return latestFor({}); }

namespace {
bool holds(const ParseWorker::Result& result, TextRange range) {
    return result.valid && result.covered.location <= range.location && range.end() <= result.covered.end() &&
           range.length > 0;
}

ParseWorker::Result ownCopy(ParseWorker::Result result) {
    if (result.tree) result.tree = result.tree->mutableCopy();
    return result;
}
} // namespace

ParseWorker::Result ParseWorker::latestFor(TextRange range) const {
    const std::lock_guard lock(mutex_);
    return ownCopy(holds(quick_, range) ? quick_ : latest_);
}

ParseWorker::Result ParseWorker::shownFor(TextRange range) const {
    const std::lock_guard lock(mutex_);
    return ownCopy(holds(guess_, range) ? guess_ : holds(quick_, range) ? quick_ : latest_);
}

void ParseWorker::publish(Result result, Kind kind) {
    const quint64 revision = result.revision;
    place(std::move(result), kind);
    emit parsed(revision);
}

void ParseWorker::place(Result result, Kind kind) {
    const std::lock_guard lock(mutex_);
    // The caller's own quick parse of a later edit may be out already.
    const auto upTo = [&](const Result& r, quint64 revision) { return !r.valid || r.revision <= revision; };
    const quint64 revision = result.revision;
    if (kind == Kind::whole) {
        latest_ = std::move(result);
        if (upTo(quick_, revision)) quick_ = {};
        if (upTo(guess_, revision)) guess_ = {};
    } else if (upTo(guess_, revision) && (kind == Kind::quick ? upTo(quick_, revision) : !quick_.valid || quick_.revision < revision)) {
        if (kind == Kind::quick) guess_ = {};
        (kind == Kind::quick ? quick_ : guess_) = std::move(result);
    }
}

void ParseWorker::run() {
    // What the thread built is freed when it stops, into an allocator arena of its own that glibc
    // keeps. Give it back now: once the thread has ended, its cached blocks have joined that memory
    // to the arena's top, which malloc_trim never releases.
    const qsizetype length = parseUntilStopped();
    {
        const std::lock_guard lock(mutex_);
        latest_.tree.reset();
        leftHere_.reset();
        spent_.clear();
    }
    if (length >= kLargeText) malloc_trim(0);
}

qsizetype ParseWorker::parseUntilStopped() {
    SyntaxTree::Parser parser;
    try {
        parser.setLanguage(language_);
    } catch (...) {
        return 0;  // no tree ever: the text stays in its base colour
    }
    ts_parser_set_cancellation_flag(parser.internalParser(), &cancel_);
    GapText text;
    std::shared_ptr<SyntaxTree::MutableTree> tree;
    qint64 carried = 0;     // steps the batch now taken waited for, during the parses before it
    int yields = 0;         // whole reparses given up since the last one finished
    // Where the edits since the last whole parse lie in the text now: those of a reparse given up
    // still change what the next edits mean.
    std::optional<TextRange> touched;
    for (;;) {
        std::vector<Job> jobs;
        // Freed once this turn's parse is out.
        std::vector<std::shared_ptr<SyntaxTree::MutableTree>> spent;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty() || !spent_.empty(); });
            if (stop_) {
                latest_.tree.reset();  // so that this thread frees the whole tree, before it ends
                return text.size();
            }
            spent.swap(spent_);
            if (jobs_.empty()) continue;
            jobs.swap(jobs_);
            std::atomic_ref(waiting_).store(0);
            // Those the caller put out for the newest edit stand; older ones are of another text.
            if (quick_.revision != jobs.back().revision) quick_ = {};
            if (guess_.revision != jobs.back().revision) guess_ = {};
            latest_.tree.reset();  // stale once edits are queued; dropped so the reparse owns its nodes
        }
        bool fresh = false;
        for (Job& job : jobs) {
            if (job.reset) {
                // This thread's own copy, taken now rather than at the first keystroke.
                text = GapText(job.text);
                // Held on through the parse, the share would make the editor's next keystroke copy
                // the whole text it edits in place.
                job.text = QString();
                fresh = true;
                touched.reset();
                continue;
            }
            const TextEdit& e = job.edit;
            const qsizetype start = qBound<qsizetype>(0, e.startChar, text.size());
            const qsizetype end = qBound<qsizetype>(start, e.oldEndChar, text.size());
            text.replace(start, end - start, job.text);
            const qsizetype newEnd = start + job.text.size();
            touched = touched ? afterEdit(*touched, start, end, newEnd) : TextRange{start, newEnd - start};
            if (!fresh && tree) tree->edit(TreeSitterHighlighter::inputEdit(e));
        }
        std::atomic_ref(moved_).store(text.unitsMoved());
        const quint64 revision = jobs.back().revision;
        TSParser* const runtime = parser.internalParser();
        Progress progress{&waiting_};
        // The caller may have coloured the edited lines already, from the same window.
        const Colours here = jobs.back().coloured;
        bool quickPublished = here == Colours::exact;
        bool coloured = here != Colours::none;  // the edited lines have colours out, maybe a guess
        const bool incremental = !fresh && tree;
        // The lines in view come with the edits when they are near enough for one quick parse.
        const TextRange shown = jobs.back().shown;
        std::optional<TextRange> window = touched;
        if (touched && shown.length > 0) {
            const qsizetype from = qMin(touched->location, shown.location);
            window = TextRange{from, qMax(touched->end(), shown.end()) - from};
        }
        const TextRun read = [&text](qsizetype at) { return text.read(at); };
        const auto publishAlone = [&](std::shared_ptr<SyntaxTree::MutableTree> quick, const TSRange& range, Kind kind) {
            if (!coloured) std::atomic_ref(stepsBeforeColours_).store(carried + progress.steps);
            coloured = true;
            const qsizetype from = range.start_byte / 2;
            const qsizetype to = range.end_byte == UINT32_MAX ? text.size() : range.end_byte / 2;
            publish(Result{std::move(quick), revision, true, {from, to - from}, kind == Kind::guess}, kind);
        };
        // The statements around the edits alone, so their lines are coloured before the whole
        // reparse is through; a wider window when an error runs on to the end of the narrower one.
        // Until one tells, the first is shown as a guess: the edited lines keep no colours of an
        // older text while the whole reparse runs.
        std::optional<TSRange> tried;
        for (qsizetype reach = here == Colours::guess ? 4 * kQuickReach : kQuickReach; incremental && window && !quickPublished && reach <= kWidestReach;
             reach *= 4) {
            const std::optional<TSRange> around = statementsAround(*tree, *window, text.size(), reach);
            if (!around || (tried && tried->start_byte == around->start_byte && tried->end_byte == around->end_byte)) break;
            tried = around;
            // Once a guess is out, a wider window gives way to the next edit as the whole reparse does.
            progress.mayYield = coloured && yields < kMostYields;
            WindowReader reader{&read};
            std::shared_ptr<SyntaxTree::MutableTree> quick = parseAlone(runtime, *around, reader, progress);
            if (std::atomic_ref(cancel_).load()) return text.size();
            if (!quick && progress.mayYield) {
                ts_parser_reset(runtime);
                break;
            }
            const auto brokenBefore = [&] { return errorBefore(*tree, around->start_byte); };
            if (quick && closesWhereItShould(*quick, *around, reader, editedFrom(*tree, *touched), brokenBefore)) {
                quickPublished = true;
                publishAlone(std::move(quick), *around, Kind::quick);
            } else if (quick && !coloured) {
                publishAlone(std::move(quick), *around, Kind::guess);
            }
        }
        // No statements short enough around the edits: the lines around them, for a guess.
        if (incremental && window && !coloured) {
            qsizetype levels = 0;
            if (const std::optional<TSRange> around = linesAround(*tree, read, text.size(), *window, kQuickReach, levels)) {
                WindowReader reader{&read};
                std::shared_ptr<SyntaxTree::MutableTree> quick = parseAlone(runtime, *around, reader, progress);
                if (std::atomic_ref(cancel_).load()) return text.size();
                if (quick) publishAlone(std::move(quick), *around, Kind::guess);
            }
        }
        // While its colours are out, the whole reparse gives way to the next edit, which starts it
        // again with that edit; but the whole tree lags typing by a bounded time.
        progress.mayYield = coloured && yields < kMostYields;
        std::shared_ptr<SyntaxTree::MutableTree> next = parse(runtime, incremental ? tree.get() : nullptr, text, progress);
        if (std::atomic_ref(cancel_).load()) return text.size();  // stopped mid-parse: nothing to publish
        if (!coloured) std::atomic_ref(stepsBeforeColours_).store(carried + progress.steps);
        carried = progress.waited;
        if (!next && progress.mayYield && std::atomic_ref(waiting_).load()) {
            ++yields;
            ts_parser_reset(runtime);  // the next parse starts afresh from tree, edited further
            continue;
        }
        yields = 0;
        touched.reset();
        // The previous tree is let go only once the new one is out: freeing what the reparse did
        // not reuse need not hold up the colours.
        const std::shared_ptr<SyntaxTree::MutableTree> previous = std::exchange(tree, std::move(next));
        publish(Result{tree ? tree->mutableCopy() : nullptr, revision, true, {0, text.size()}}, Kind::whole);
    }
}
