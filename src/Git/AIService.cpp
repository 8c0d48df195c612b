#include "Git/AIService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "Git/ChildProcess.h"
#include "Git/ProcessText.h"
#include "Platform/Lines.h"
#include "Platform/SettingsStore.h"

namespace AIService {

namespace {

std::optional<QString> g_searchPathPrefix;
int g_timeoutMs = 5 * 60 * 1000;  // tools can think for a while; a hung one must still end

QObject* ownerOf(QObject* context) { return context ? context : QCoreApplication::instance(); }

template <typename... Args, typename... Values>
void deliverLater(const Completion<Args...>& done, Values... values) {
    QTimer::singleShot(0, ownerOf(done.context()), [done, values...] { done(values...); });
}

// "/usr/bin/env <command> <arguments>" under the extended search path, channels apart.
void runShell(const QString& command, const QStringList& arguments, QObject* owner,
              std::function<void(ChildProcess::Result)> done) {
    ChildProcess::Request request;
    request.arguments = QStringList{command} + arguments;
    request.environment = userEnv();
    request.timeoutMs = g_timeoutMs;
    // A tool that is stopped takes whatever it started with it.
    request.ownProcessGroup = true;
    request.maxOutputBytes = kMaxAnswerBytes;
    ChildProcess::start(request, owner, std::move(done));
}

QStringList toolArguments(AIBackend backend, const QString& prompt) {
    switch (backend) {
    case AIBackend::claude: return {QStringLiteral("-p"), prompt};
    case AIBackend::codex: return {QStringLiteral("exec"), QStringLiteral("-q"), prompt};
    }
    return {};
}

void detectFrom(qsizetype index, Completion<std::optional<AIBackend>> done) {
    const QList<AIBackend>& cases = AIBackends::allCases();
    if (index >= cases.size()) {
        done(std::nullopt);
        return;
    }
    const AIBackend backend = cases.at(index);
    which(AIBackends::rawValue(backend), {done.context(), [index, backend, done](std::optional<QString> path) {
              if (path) done(backend);
              else detectFrom(index + 1, done);
          }});
}

// npm's global prefix, when it is set where npm itself looks first: its environment variable or
// the user's ~/.npmrc. Asking npm would cost a whole Node start.
std::optional<QString> npmPrefix() {
    const QString home = QDir::homePath();
    const auto expand = [&home](QString value) -> std::optional<QString> {
        value = ProcessText::trimWhitespace(value);
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (value.startsWith(QLatin1String("~/"))) value = home + value.mid(1);
        value.replace(QLatin1String("${HOME}"), home);
        if (!QDir::isAbsolutePath(value)) return std::nullopt;
        return value;
    };
    for (const char* name : {"NPM_CONFIG_PREFIX", "npm_config_prefix"})
        if (const QString value = qEnvironmentVariable(name); !value.isEmpty()) return expand(value);
    QFile rc(QDir(home).filePath(QStringLiteral(".npmrc")));
    if (!rc.open(QIODevice::ReadOnly)) return std::nullopt;
    for (const QString& line : QString::fromUtf8(rc.read(64 * 1024)).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && ProcessText::trimWhitespace(line.left(equals)) == QLatin1String("prefix"))
            return expand(line.mid(equals + 1));
    }
    return std::nullopt;
}

QString defaultSearchPathPrefix() {
    QStringList folders{QDir::homePath() + QStringLiteral("/.local/bin"), QStringLiteral("/usr/local/bin")};
    if (const auto prefix = npmPrefix()) folders << QDir::cleanPath(*prefix + QStringLiteral("/bin"));
    folders.removeDuplicates();
    return folders.join(u':');
}

// Vertical tab and form feed end a line of an answer too.
bool isCommitLineBreak(QChar c) { return Lines::isBreak(c.unicode()) || c == u'\v' || c == u'\f'; }

} // namespace

QString searchPathPrefix() { return g_searchPathPrefix ? *g_searchPathPrefix : defaultSearchPathPrefix(); }
void setSearchPathPrefix(const std::optional<QString>& prefix) { g_searchPathPrefix = prefix; }
int timeoutMs() { return g_timeoutMs; }
void setTimeoutMs(int milliseconds) { g_timeoutMs = milliseconds; }

QProcessEnvironment userEnv() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString path = QStringLiteral("PATH");
    const QString prefix = searchPathPrefix();
    env.insert(path, env.contains(path) ? prefix + u':' + env.value(path) : prefix);
    return env;
}

void which(const QString& tool, Completion<std::optional<QString>> done) {
    runShell(QStringLiteral("/usr/bin/which"), {tool}, ownerOf(done.context()), [done](ChildProcess::Result result) {
        std::optional<QString> located;
        if (!result.startError && !result.timedOut && !result.outputTooLarge && result.exitCode == 0)
            located = ProcessText::trimWhitespace(ProcessText::decodeLossy(result.standardOutput));
        done(std::move(located));
    });
}

void detectBackend(Completion<std::optional<AIBackend>> done) { detectFrom(0, std::move(done)); }

void resolveBackend(Completion<std::optional<AIBackend>> done) {
    const QString chosen = SettingsStore::shared().string(QString::fromLatin1(kBackendKey), QStringLiteral("auto"));
    const std::optional<AIBackend> backend = AIBackends::fromRawValue(chosen);
    if (!backend) {
        detectBackend(std::move(done));
        return;
    }
    which(AIBackends::rawValue(*backend), {done.context(), [backend, done](std::optional<QString> path) {
              if (path) done(backend);
              else detectBackend(done);
          }});
}

void ask(const QString& text, AIBackend backend, Completion<AIResult> done) {
    // An argument ends at its first NUL: one in a response body would drop the rest of the prompt.
    QString prompt = text;
    prompt.replace(QChar(0), QChar::ReplacementCharacter);
    const qsizetype bytes = prompt.toUtf8().size();
    if (bytes > kMaxArgumentBytes) {
        const QString reason = QStringLiteral("The prompt is too long to hand to the AI tool (%1 bytes; one argument "
                                              "holds at most %2 bytes).")
                                   .arg(bytes)
                                   .arg(kMaxArgumentBytes);
        deliverLater(done, AIResult{{}, AIError::launchFailed(reason)});
        return;
    }
    const int timeout = g_timeoutMs;
    runShell(AIBackends::rawValue(backend), toolArguments(backend, prompt), ownerOf(done.context()),
             [done, timeout](ChildProcess::Result result) {
                 if (result.startError) {
                     done({{}, AIError::launchFailed(*result.startError)});
                     return;
                 }
                 if (result.timedOut) {
                     done({{}, AIError::timedOut(timeout)});
                     return;
                 }
                 if (result.outputTooLarge) {
                     done({{}, AIError::tooLarge(QStringLiteral("%1 KB").arg(kMaxAnswerBytes / 1024))});
                     return;
                 }
                 // One stray byte that is not UTF-8 must not turn an answer into "no output".
                 const QString out = ProcessText::decodeLossy(result.standardOutput);
                 const QString err = ProcessText::decodeLossy(result.standardError);
                 const QString answer = ProcessText::trimWhitespace(out);
                 // A tool that prints only white space has not answered.
                 if (result.exitCode == 0 && !answer.isEmpty()) {
                     done({answer, std::nullopt});
                     return;
                 }
                 done({{}, AIError::cliFailed(ProcessText::trimWhitespace(err).isEmpty() ? out : err)});
             });
}

QString commitPrompt(const QString& diff) {
    QString body = diff;
    if (ProcessText::characterCount(diff, kCommitDiffLimit) > kCommitDiffLimit)
        body = ProcessText::leadingCharacters(diff, kCommitDiffLimit) + QStringLiteral("\n\u2026(truncated)\u2026");
    return QStringLiteral("Write a single concise commit message for the diff below. Use the\n"
                          "conventional-commits style (e.g. \"feat: ...\", \"fix: ...\"). One line,\n"
                          "imperative mood, no trailing period, no surrounding quotes, no preamble.\n"
                          "\n"
                          "DIFF:\n") +
           body;
}

void generateCommitMessage(const QString& diff, AIBackend backend, Completion<AIResult> done) {
    if (ProcessText::trimWhitespace(diff).isEmpty()) {
        deliverLater(done, AIResult{{}, AIError::emptyDiff()});
        return;
    }
    ask(commitPrompt(diff), backend, {done.context(), [done](AIResult result) {
            if (result.ok()) result.text = cleanCommitMessage(result.text);
            done(result);
        }});
}

QString cleanCommitMessage(const QString& raw) {
    QString pick = raw;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= raw.size(); ++i) {
        if (i < raw.size() && !isCommitLineBreak(raw.at(i))) continue;
        const QString line = raw.mid(start, i - start);
        start = i + 1;
        const QString trimmed = ProcessText::trimBlanks(line);
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1String("```"))) {
            pick = line;
            break;
        }
    }
    QString text = ProcessText::trimWhitespace(pick);
    const auto isQuote = [](QChar c) { return c == u'"' || c == u'\'' || c == u'`'; };
    qsizetype from = 0, to = text.size();
    while (from < to && isQuote(text.at(from))) ++from;
    while (to > from && isQuote(text.at(to - 1))) --to;
    return text.mid(from, to - from);
}

} // namespace AIService
