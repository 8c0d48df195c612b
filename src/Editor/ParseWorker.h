#pragma once
// Keeps the syntax tree of an editor's text up to date on a thread of its own, so a parse never
// holds up typing or scrolling. Edits are queued with the text they insert; the thread applies them
// to its own copy of the text (kept with a gap at the last edit), reparses incrementally from the
// previous tree and publishes a copy of the new tree with the revision of the text it was parsed from.
// The grammar may let a reparse walk every top-level statement after an edit, so the top-level
// statements around the edits are first parsed on their own and published ahead of the whole tree;
// as a guess where they cannot tell what the whole text makes of the edits. The caller may have
// that quick parse run on its own thread, as it hands an edit over: the edited lines then have their
// colours before the thread has even woken, however busy the machine is.
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "Editor/TextEdit.h"
#include "Editor/TextRange.h"
#include "SyntaxTree/Language.h"

class ExactText;

namespace SyntaxTree {
class MutableTree;
class Parser;
}

class ParseWorker : public QObject {
    Q_OBJECT
public:
    explicit ParseWorker(SyntaxTree::Language language, QObject* parent = nullptr);
    ~ParseWorker() override;

    // The whole text, as of revision; parsed from scratch. The thread shares it until it has taken
    // its own copy: the caller should not edit it in place (it would copy it first, on its own thread).
    void reset(const QString& text, quint64 revision);
    // One edit of the text last handed over, inserting `inserted`, leading to revision.
    // shown, when given, is about where the lines in view are: the quick parse of the edit takes them in.
    // now, when given, is the text after the edit: the quick parse then runs here, on the caller's
    // thread, within a small budget of steps, and its colours are out before this returns.
    void edit(const TextEdit& edit, const QString& inserted, quint64 revision, TextRange shown = {},
              const ExactText* now = nullptr);

    // The units of a text from an offset on, up to wherever they stop lying in one piece; none at the end.
    using TextRun = std::function<std::u16string_view(qsizetype at)>;

    struct Result {
        std::shared_ptr<SyntaxTree::MutableTree> tree;  // null before the first parse, or when none could be built
        quint64 revision = 0;
        bool valid = false;  // a parse of some revision has finished
        TextRange covered;   // the part of the text the tree holds: all of it but in a quick parse of the edits
        // Parsed from the text around the edits alone, where that cannot tell what the whole text
        // makes of them (an error running on past it, a statement too long to take whole): its
        // colours may differ from the whole parse's, which replaces it.
        bool guess = false;
    };
    // The newest parse of the whole text finished; the tree is this caller's own copy.
    Result latest() const;
    // The newest parse finished that holds range: the quick parse of the last edits while it does,
    // until the whole reparse of the same text lands.
    Result latestFor(TextRange range) const;
    // The same, or a newer guess at the colours of range while the whole reparse of its text runs.
    Result shownFor(TextRange range) const;
    // Units of text the thread has moved or copied to apply the edits since the last reset.
    qint64 unitsMoved() const { return std::atomic_ref(moved_).load(); }
    // Parser steps (about a hundred runtime operations each) taken from the moment the last batch
    // of edits was queued until a tree that colours the edited lines was published, a guess or not.
    qint64 stepsBeforeColours() const { return std::atomic_ref(stepsBeforeColours_).load(); }
    // The most steps the caller's quick parse of an edit may take before it leaves it to the thread.
    static constexpr qint64 kStepsHere = 400;
    // The most text the caller's quick parse of an edit takes in past the lines in view and the
    // edits, in a text too long to be parsed again whole.
    static constexpr qsizetype kUnitsHere = 8 * 1024;
    // Units of text the caller's quick parse of the last edit took in: what colouring a key costs
    // on the caller's thread.
    qsizetype unitsParsedHere() const { return unitsHere_; }
    // Levels of the tree the caller's quick parse of the last edit went down through to find where
    // to cut the lines around it.
    qsizetype levelsWalkedHere() const { return levelsHere_; }
    // The deepest level of the tree the guess at a key's colours looks for a token at: a text nested
    // deeper than that around the key waits for the thread's parse.
    static constexpr qsizetype kLevelsHere = 256;

signals:
    // A parse finished (sent from the worker's thread).
    void parsed(quint64 revision);

private:
    enum class Colours { none, guess, exact };
    struct Job {
        bool reset = false;
        TextEdit edit;
        QString text;  // the whole text (reset) or the inserted text
        quint64 revision = 0;
        TextRange shown;
        Colours coloured = Colours::none;  // what the caller's quick parse of the edits up to this one gave
    };
    void run();
    // Returns the length of the text last parsed.
    qsizetype parseUntilStopped();
    void push(Job job);
    enum class Kind { whole, quick, guess };
    // Hands result out and tells; a whole parse replaces the quick one and a guess, an exact quick
    // one the guess.
    void publish(Result result, Kind kind);
    // Puts result out unless a newer one is; a guess never over an exact one of the same revision.
    void place(Result result, Kind kind);
    // Takes the newest whole tree for the caller's quick parses, edited to the text as it is; false
    // when there is none newer than the one held.
    bool takeNewestWhole();
    // The caller's quick parse of the edits since the newest whole tree, up to revision.
    Colours colourHere(const TextEdit& edit, quint64 revision, TextRange shown, const ExactText& now);
    // Hands the caller's tree over to the thread to free: as the last share of an older whole
    // tree, freeing it walks every top-level statement of the text.
    void letGo(std::shared_ptr<SyntaxTree::MutableTree> tree);

    SyntaxTree::Language language_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Job> jobs_;
    bool stop_ = false;
    // Read by the runtime while it parses: set when the worker is destroyed, so closing a large file
    // never waits for its parse to finish.
    size_t cancel_ = 0;
    size_t waiting_ = 0;  // set while edits wait for the thread; read by the runtime while it parses
    Result latest_;
    Result quick_;  // newer than latest_ while valid
    Result guess_;  // newer than quick_ and latest_ while valid
    qint64 moved_ = 0;
    qint64 stepsBeforeColours_ = 0;
    // The caller's side (used on its thread only): the newest whole tree it has taken, edited along
    // with the text since, and the edits since that tree's revision.
    std::unique_ptr<SyntaxTree::Parser> hereParser_;
    std::shared_ptr<SyntaxTree::MutableTree> hereTree_;
    quint64 hereBase_ = 0;   // the revision of the whole tree hereTree_ was taken from
    quint64 hereFloor_ = 0;  // no whole tree older than this one is of the current text
    std::vector<std::pair<quint64, TextEdit>> hereEdits_;
    qsizetype unitsHere_ = 0;
    qsizetype levelsHere_ = 0;
    std::shared_ptr<SyntaxTree::MutableTree> leftHere_;  // hereTree_ once the worker is being destroyed
    std::vector<std::shared_ptr<SyntaxTree::MutableTree>> spent_;  // the caller's, for the thread to free
    std::thread thread_;
};
