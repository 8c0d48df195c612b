#include "Editor/ParseWorker.h"

#include "Editor/GapText.h"
#include "Editor/TreeSitterHighlighter.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Parser.h"
#include "SyntaxTree/Tree.h"

#include <malloc.h>

#include <atomic>
#include <bit>

namespace {
// A text this long leaves a tree of tens of megabytes in this thread's allocator arena.
constexpr qsizetype kLargeText = 512 * 1024;

// Hands the runtime the text where it lies, a run at a time, without copying it.
const char* readRun(void* payload, uint32_t byteIndex, TSPoint, uint32_t* bytesRead) {
    const std::u16string_view run = static_cast<GapText*>(payload)->read(qsizetype(byteIndex / 2));
    *bytesRead = uint32_t(std::min<size_t>(run.size(), UINT32_MAX / 2) * 2);
    return reinterpret_cast<const char*>(run.data());
}

// A parse of text, reusing old (already edited to match it) when there is one.
std::shared_ptr<SyntaxTree::MutableTree> parse(TSParser* parser, const SyntaxTree::MutableTree* old, GapText& text) {
    if (text.size() > SyntaxTree::Parser::maximumTextLength) return nullptr;
    constexpr TSInputEncoding encoding =
        std::endian::native == std::endian::little ? TSInputEncodingUTF16LE : TSInputEncodingUTF16BE;
    TSTree* tree = ts_parser_parse(parser, old ? old->tree()->tsTree() : nullptr, TSInput{&text, readRun, encoding, nullptr});
    if (!tree) return nullptr;
    return std::make_shared<SyntaxTree::MutableTree>(SyntaxTree::Tree::adopt(tree));
}
} // namespace

ParseWorker::ParseWorker(SyntaxTree::Language language, QObject* parent)
    : QObject(parent), language_(language), thread_([this] { run(); }) {}

ParseWorker::~ParseWorker() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
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
    }
    wake_.notify_one();
}

void ParseWorker::reset(const QString& text, quint64 revision) { push(Job{true, {}, text, revision}); }

void ParseWorker::edit(const TextEdit& edit, const QString& inserted, quint64 revision) {
    push(Job{false, edit, inserted, revision});
}

ParseWorker::Result ParseWorker::latest() const {
    const std::lock_guard lock(mutex_);
    Result result = latest_;
    if (result.tree) result.tree = result.tree->mutableCopy();
    return result;
}

void ParseWorker::run() {
    // What the thread built is freed when it stops, into an allocator arena of its own that glibc
    // keeps. Give it back now: once the thread has ended, its cached blocks have joined that memory
    // to the arena's top, which malloc_trim never releases.
    if (parseUntilStopped() >= kLargeText) malloc_trim(0);
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
    for (;;) {
        std::vector<Job> jobs;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_) {
                latest_.tree.reset();  // so that this thread frees the whole tree, before it ends
                return text.size();
            }
            jobs.swap(jobs_);
            latest_.tree.reset();  // stale once edits are queued; dropped so the reparse owns its nodes
        }
        bool fresh = false;
        for (Job& job : jobs) {
            if (job.reset) {
                // This thread's own copy, taken now rather than at the first keystroke.
                text = GapText(job.text);
                fresh = true;
                continue;
            }
            const TextEdit& e = job.edit;
            const qsizetype start = qBound<qsizetype>(0, e.startChar, text.size());
            const qsizetype end = qBound<qsizetype>(start, e.oldEndChar, text.size());
            text.replace(start, end - start, job.text);
            if (!fresh && tree) tree->edit(TreeSitterHighlighter::inputEdit(e));
        }
        std::atomic_ref(moved_).store(text.unitsMoved());
        // The previous tree is let go only once the new one is out: freeing what the reparse did
        // not reuse need not hold up the colours.
        const std::shared_ptr<SyntaxTree::MutableTree> previous = std::exchange(
            tree, parse(parser.internalParser(), (fresh || !tree) ? nullptr : tree.get(), text));
        if (std::atomic_ref(cancel_).load()) return text.size();  // stopped mid-parse: nothing to publish
        const quint64 revision = jobs.back().revision;
        {
            const std::lock_guard lock(mutex_);
            latest_ = Result{tree ? tree->mutableCopy() : nullptr, revision, true};
        }
        emit parsed(revision);
    }
}
