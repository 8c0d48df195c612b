#pragma once
// Runs an AI command-line tool found on the search path with a prompt and hands back its
// answer; writes commit messages from a staged diff. Keeps no state: every call probes afresh.
// Results arrive through a Completion on the main thread.
#include <QProcessEnvironment>
#include <QString>
#include <optional>

#include "Git/AIBackend.h"
#include "Git/AIError.h"
#include "Platform/Completion.h"

struct AIResult {
    QString text;                  // the answer when there is no error
    std::optional<AIError> error;
    bool ok() const { return !error.has_value(); }
};

namespace AIService {

inline constexpr auto kBackendKey = "ziduduzovu.ai.backend";
inline constexpr qsizetype kCommitDiffLimit = 12000;  // characters of diff sent for a message
// The kernel refuses a single argument of 128 KiB or more.
inline constexpr qsizetype kMaxArgumentBytes = 128 * 1024 - 1;
// A tool printing more than this on either channel is stopped: no answer is that long.
inline constexpr qint64 kMaxAnswerBytes = 256 * 1024;

// The first tool found, in the order of AIBackends::allCases(); absent when none is.
void detectBackend(Completion<std::optional<AIBackend>> done);
// The tool chosen in the settings when it is found, otherwise whichever is found.
void resolveBackend(Completion<std::optional<AIBackend>> done);
// Runs the tool with the prompt as one argument; the answer is what it printed, trimmed.
void ask(const QString& prompt, AIBackend backend, Completion<AIResult> done);
// Asks for a one-line message describing the diff and cleans it.
void generateCommitMessage(const QString& diff, AIBackend backend, Completion<AIResult> done);

// The prompt sent for a commit message (the diff cut to kCommitDiffLimit characters).
QString commitPrompt(const QString& diff);
// The first real line of an answer, without fences, surrounding white space or quotes.
QString cleanCommitMessage(const QString& raw);

// Located path of the tool (possibly empty), or absent when "which" does not find it.
void which(const QString& tool, Completion<std::optional<QString>> done);
// Our environment with the search-path prefix in front of PATH.
QProcessEnvironment userEnv();

// Where tools are looked for before the inherited PATH: ~/.local/bin, /usr/local/bin and npm's
// global bin folder when its prefix is set in the environment or in ~/.npmrc.
QString searchPathPrefix();
// Replaces those folders; absent brings them back.
void setSearchPathPrefix(const std::optional<QString>& prefix);
// How long a tool may run before it is stopped.
int timeoutMs();
void setTimeoutMs(int milliseconds);

} // namespace AIService
