// The AI bridge with fake command-line tools; nothing real on the machine can be found.
#include <QDir>
#include <QFile>
#include <QJsonValue>

#include <csignal>
#include <sys/types.h>

#include "Git/AIService.h"
#include "GitTestSupport.h"
#include "Platform/SettingsStore.h"

using namespace git_test;
using testing_support::TempFolder;
using testing_support::readBytes;
using testing_support::waitUntil;

namespace {

// Alive and not merely waiting to be reaped.
bool isRunning(pid_t pid) {
    if (::kill(pid, 0) != 0) return false;
    const QByteArray stat = readBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || stat.mid(close + 2, 1) != "Z";
}

class AIServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = qgetenv("PATH");
        // Only our fake tools are on the search path.
        qputenv("PATH", nowhere.path().toUtf8());
        AIService::setSearchPathPrefix(bin.path());
        SettingsStore::shared().remove(AIService::kBackendKey);
    }
    void TearDown() override {
        qputenv("PATH", savedPath_);
        AIService::setSearchPathPrefix(std::nullopt);
        AIService::setTimeoutMs(5 * 60 * 1000);
        SettingsStore::shared().remove(AIService::kBackendKey);
    }

    // A tool that records its arguments in the scratch folder, then runs body.
    void tool(const QString& name, const QByteArray& body) {
        const QByteArray dir = scratch.path().toUtf8();
        const QString path = bin.write(name, "#!/bin/sh\n"
                                             "printf '%s' \"$#\" > '" + dir + "/argc'\n"
                                             "printf '%s' \"$1\" > '" + dir + "/arg1'\n"
                                             "printf '%s' \"$2\" > '" + dir + "/arg2'\n"
                                             "printf '%s' \"$3\" > '" + dir + "/arg3'\n" +
                                                 body + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QByteArray recorded(const char* what) const { return readBytes(scratch.file(what)); }
    bool ran() const { return QFile::exists(scratch.file("argc")); }

    void choose(const QString& value) { SettingsStore::shared().setValue(AIService::kBackendKey, value); }
    std::optional<AIBackend> detect() {
        return await<std::optional<AIBackend>>([](auto d) { AIService::detectBackend(d); });
    }
    std::optional<AIBackend> resolve() {
        return await<std::optional<AIBackend>>([](auto d) { AIService::resolveBackend(d); });
    }
    AIResult ask(const QString& prompt, AIBackend backend = AIBackend::claude) {
        return await<AIResult>([&](Completion<AIResult> d) { AIService::ask(prompt, backend, d); });
    }
    QString failure(const AIResult& result) {
        EXPECT_FALSE(result.ok()) << "answered " << result.text.toStdString();
        return result.error ? result.error->errorDescription() : QString();
    }

    TempFolder bin, nowhere, scratch;

private:
    QByteArray savedPath_;
};

TEST_F(AIServiceTest, DetectsToolsInOrderAndHonoursTheBackendSetting) {
    EXPECT_EQ(detect(), std::nullopt);
    EXPECT_EQ(resolve(), std::nullopt);

    tool("codex", "exit 0");
    EXPECT_EQ(detect(), AIBackend::codex);
    choose("claude");
    EXPECT_EQ(resolve(), AIBackend::codex) << "a chosen tool that is missing falls back to the one found";

    tool("claude", "exit 0");
    EXPECT_EQ(detect(), AIBackend::claude);
    choose("codex");
    EXPECT_EQ(resolve(), AIBackend::codex);
    for (const QString& other : {QString("auto"), QString("Codex"), QString("gpt")}) {
        choose(other);
        EXPECT_EQ(resolve(), AIBackend::claude) << other.toStdString();
    }
    SettingsStore::shared().remove(AIService::kBackendKey);
    EXPECT_EQ(resolve(), AIBackend::claude);

    QFile::remove(bin.file("codex"));
    choose("codex");
    EXPECT_EQ(resolve(), AIBackend::claude);
}

TEST_F(AIServiceTest, PassesThePromptWholeAsOneArgumentAndTrimsTheAnswer) {
    tool("claude", "printf '  the answer \\n\\n'");
    const QString prompt = QString::fromUtf8("line one\nline \"two\" 'x' $(touch pwned) `id` ünï\n\n");
    const AIResult result = ask(prompt);
    ASSERT_TRUE(result.ok()) << result.error->errorDescription().toStdString();
    EXPECT_EQ(result.text, "the answer");
    EXPECT_EQ(recorded("argc"), "2");
    EXPECT_EQ(recorded("arg1"), "-p");
    EXPECT_EQ(QString::fromUtf8(recorded("arg2")), prompt);
    EXPECT_FALSE(QFile::exists("pwned"));

    tool("codex", "printf 'ok'");
    EXPECT_EQ(ask("q", AIBackend::codex).text, "ok");
    EXPECT_EQ(recorded("argc"), "3");
    EXPECT_EQ(recorded("arg1"), "exec");
    EXPECT_EQ(recorded("arg2"), "-q");
    EXPECT_EQ(recorded("arg3"), "q");
}

// A response body may hold NUL characters; an argument ends at the first, which would drop the
// rest of the prompt (the user's question is last) without a word.
TEST_F(AIServiceTest, ANulCharacterDoesNotCutThePromptShort) {
    tool("claude", "printf 'ok'");
    const QString prompt = QStringLiteral("BODY:\nbinary") + QChar(0) + QStringLiteral("tail\n\nQuestion: why?");
    ASSERT_TRUE(ask(prompt).ok());
    EXPECT_EQ(QString::fromUtf8(recorded("arg2")), QString::fromUtf8("BODY:\nbinary\uFFFDtail\n\nQuestion: why?"));
}

TEST_F(AIServiceTest, FailuresAreDescribedFromWhatTheToolPrinted) {
    const struct {
        QByteArray script;
        const char *described, *why;
    } cases[] = {
        {"printf 'partial'; printf 'boom\\n' >&2; exit 1", "boom", "standard error first"},
        {"printf '  \\n\\t'", "no output", "white space is no answer"},
        {"printf 'only a warning' >&2", "only a warning", "nothing on standard output fails even with status 0"},
        {"exit 3", "no output", "silent failure"},
        {"printf '%250s' '' >&2; printf 'late text' >&2; exit 1", "no output", "the cut comes before the trim"},
        {"printf 'stdout reason'; printf '\\n' >&2; exit 2", "stdout reason", "a blank standard error says nothing"},
    };
    for (const auto& c : cases) {
        tool("claude", c.script);
        EXPECT_EQ(failure(ask("p")), QStringLiteral("AI CLI failed: ") + c.described) << c.why;
    }
}

TEST_F(AIServiceTest, AToolThatNeverEndsIsStoppedWithWhatItStartedAndAnOversizedPromptNeverStarts) {
    AIService::setTimeoutMs(300);
    // The tool hangs, and so does a helper it started.
    tool("claude", "/bin/sleep 120 & echo $! > '" + scratch.path().toUtf8() + "/helper'\nexec /bin/sleep 60");
    const AIResult slow = ask("p");
    ASSERT_TRUE(slow.error.has_value());
    EXPECT_EQ(slow.error->kind(), AIError::Kind::timedOut);
    EXPECT_EQ(slow.error->errorDescription(), "AI CLI failed: no answer after 0.3 seconds; the tool was stopped.");
    const pid_t helper = pid_t(recorded("helper").trimmed().toInt());
    ASSERT_GT(helper, 0);
    const bool helperEnded = waitUntil([&] { return !isRunning(helper); }, 120000);
    if (!helperEnded) ::kill(helper, SIGKILL);
    EXPECT_TRUE(helperEnded) << "what the tool started outlived it";

    QFile::remove(scratch.file("argc"));
    const AIResult huge = ask(QString(AIService::kMaxArgumentBytes + 1, u'a'));
    ASSERT_TRUE(huge.error.has_value());
    EXPECT_EQ(huge.error->kind(), AIError::Kind::launchFailed);
    EXPECT_TRUE(huge.error->errorDescription().contains("too long"));
    EXPECT_FALSE(ran());

    AIService::setTimeoutMs(20000);
    tool("claude", "printf 'fits'");
    EXPECT_EQ(ask(QString(AIService::kMaxArgumentBytes, u'a')).text, "fits") << "the largest argument still runs";
}

TEST_F(AIServiceTest, AToolPrintingWithoutEndIsStoppedAtTheBound) {
    for (const QByteArray redirect : {QByteArray(), QByteArray(" >&2")}) {
        // Never ends by itself, and would go on printing after being asked to stop.
        tool("claude", "trap '' TERM\nexec /usr/bin/yes 0123456789abcdef" + redirect);
        const AIResult endless = ask("p");
        ASSERT_TRUE(endless.error.has_value());
        EXPECT_EQ(endless.error->kind(), AIError::Kind::tooLarge);
        EXPECT_EQ(endless.error->errorDescription(), "AI CLI failed: the answer was larger than 256 KB; the tool was stopped.");
    }
    tool("claude", "/usr/bin/head -c 262144 /dev/zero | /usr/bin/tr '\\0' x");
    EXPECT_EQ(ask("p").text.size(), AIService::kMaxAnswerBytes) << "an answer of the bound itself is whole";
}

TEST_F(AIServiceTest, LooksInTheUsersOwnToolFoldersBeforeThePath) {
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedNpm = qgetenv("NPM_CONFIG_PREFIX"), savedNpmLower = qgetenv("npm_config_prefix");
    qunsetenv("NPM_CONFIG_PREFIX");
    qunsetenv("npm_config_prefix");
    TempFolder home;
    qputenv("HOME", home.path().toUtf8());
    AIService::setSearchPathPrefix(std::nullopt);
    const auto executable = [&](const QString& relative) {
        const QString path = home.write(relative, "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    };

    const QString local = executable(".local/bin/claude");
    EXPECT_EQ(await<std::optional<QString>>([](auto d) { AIService::which("claude", d); }), local);
    EXPECT_EQ(AIService::userEnv().value("PATH"), home.file(".local/bin") + ":/usr/local/bin:" + nowhere.path());

    // npm's global folder, as the user's npm configuration names it.
    home.write(".npmrc", "; settings\nprefix = ~/npm-global\n");
    const QString npm = executable("npm-global/bin/codex");
    EXPECT_EQ(AIService::searchPathPrefix(), home.file(".local/bin") + ":/usr/local/bin:" + home.file("npm-global/bin"));
    QFile::remove(local);
    EXPECT_EQ(await<std::optional<QString>>([](auto d) { AIService::which("codex", d); }), npm);
    // A prefix that is one of the folders already searched is searched once.
    home.write(".npmrc", "prefix=${HOME}/.local\n");
    EXPECT_EQ(AIService::searchPathPrefix(), home.file(".local/bin") + ":/usr/local/bin");
    // Only the start of the file is read, however large it has grown.
    home.write(".npmrc", QByteArray(64 * 1024, ';') + "\nprefix = ~/npm-global\n");
    EXPECT_EQ(AIService::searchPathPrefix(), home.file(".local/bin") + ":/usr/local/bin");
    qputenv("NPM_CONFIG_PREFIX", home.file("elsewhere").toUtf8());
    EXPECT_TRUE(AIService::searchPathPrefix().endsWith(":" + home.file("elsewhere/bin")));
    EXPECT_FALSE(AIService::searchPathPrefix().contains("homebrew"));

    qputenv("HOME", savedHome);
    savedNpm.isNull() ? qunsetenv("NPM_CONFIG_PREFIX") : qputenv("NPM_CONFIG_PREFIX", savedNpm);
    if (!savedNpmLower.isNull()) qputenv("npm_config_prefix", savedNpmLower);
}

TEST_F(AIServiceTest, CommitMessagesComeFromTheStagedDiffAndAreCleaned) {
    tool("claude", "printf '```\\nfeat: add parser\\n```\\n'");
    const auto generate = [&](const QString& diff) {
        return await<AIResult>(
            [&](Completion<AIResult> d) { AIService::generateCommitMessage(diff, AIBackend::claude, d); });
    };
    const AIResult blank = generate(" \n\t\n");
    ASSERT_TRUE(blank.error.has_value());
    EXPECT_EQ(blank.error->errorDescription(), "Stage some changes first.");
    EXPECT_FALSE(ran());

    const QString diff = "diff --git a/x b/x\n+added\n";
    const AIResult message = generate(diff);
    EXPECT_EQ(message.text, "feat: add parser");
    EXPECT_EQ(QString::fromUtf8(recorded("arg2")), AIService::commitPrompt(diff));
}

TEST(AICommitPrompt, PutsTheDiffAfterTheHeaderCutByCharacters) {
    const QString header = AIService::commitPrompt(QString());
    EXPECT_TRUE(header.endsWith("\n\nDIFF:\n"));
    const QString exact(12000, u'd');
    EXPECT_EQ(AIService::commitPrompt(exact), header + exact);
    EXPECT_EQ(AIService::commitPrompt(exact + "e"), header + exact + QString::fromUtf8("\n…(truncated)…"));
    QString accents;
    for (int i = 0; i < 12000; ++i) accents += QString::fromUtf8("e\xcc\x81");
    EXPECT_EQ(AIService::commitPrompt(accents), header + accents) << "a letter with its accent is one character";
    EXPECT_EQ(AIService::commitPrompt(" \n"), header + " \n") << "the diff goes untrimmed";
}

TEST(AICleanCommitMessage, PicksTheFirstRealLineAndStripsQuotes) {
    EXPECT_EQ(AIService::cleanCommitMessage("```\nfix: handle empty input\n```"), "fix: handle empty input");
    EXPECT_EQ(AIService::cleanCommitMessage("\"feat: add x\""), "feat: add x");
    EXPECT_EQ(AIService::cleanCommitMessage("   ```swift\n\n  chore: tidy  \n"), "chore: tidy");
    EXPECT_EQ(AIService::cleanCommitMessage("' word '"), " word ") << "no trim after the quotes go";
    EXPECT_EQ(AIService::cleanCommitMessage("\r\n```\r\nfix: y\r\n"), "fix: y");
    EXPECT_EQ(AIService::cleanCommitMessage(QString::fromUtf8("```\u2028docs: z\u2029more")), "docs: z");
    EXPECT_EQ(AIService::cleanCommitMessage("`'\"`"), "");
    EXPECT_EQ(AIService::cleanCommitMessage(" ``` \n\t"), "") << "no qualifying line: the whole text, cleaned";
}

TEST(AIErrorDescription, CutsTheCapturedTextToTwoHundredCharacters) {
    EXPECT_EQ(AIError::cliFailed(QString(300, u'x')).errorDescription(), "AI CLI failed: " + QString(200, u'x'));
    QString accents;
    for (int i = 0; i < 250; ++i) accents += QString::fromUtf8("e\xcc\x81");
    EXPECT_EQ(AIError::cliFailed(accents).errorDescription(), "AI CLI failed: " + accents.left(400));
    EXPECT_EQ(AIError::cliFailed("  \n why \n").errorDescription(), "AI CLI failed: why");
}

} // namespace
