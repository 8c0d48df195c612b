#pragma once
// What the source-control view tests share: a window state opened on a real temporary
// repository, with git kept away from the user's configuration.
#include <gtest/gtest.h>

#include <memory>

#include "AppState.h"
#include "Git/GitTestSupport.h"
#include "TestSupport.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out) { *out << '[' << list.join(", ").toStdString() << ']'; }

namespace scm_test {

using git_test::git;
using git_test::gitOk;
using testing_support::TempFolder;
using testing_support::waitUntil;

// A repository with one commit of "README.md" and "src/app.py".
inline void makeRepository(const TempFolder& folder) {
    gitOk(folder.path(), {"init", "-q"});
    folder.write("README.md", "hello\n");
    folder.write("src/app.py", "print('one')\nprint('two')\n");
    gitOk(folder.path(), {"add", "-A"});
    gitOk(folder.path(), {"commit", "-q", "-m", "first"});
}

// A window state with the folder open, once git has published what it found.
inline std::unique_ptr<AppState> openState(const TempFolder& folder, bool expectRepository = true) {
    auto app = std::make_unique<AppState>();
    app->openFolder(folder.path());
    // Attaching runs git; a second attach reports when the folder has been read.
    bool attached = false;
    app->git().attach(folder.path(), [&attached] { attached = true; });
    EXPECT_TRUE(waitUntil([&] { return attached; }, 120000));
    EXPECT_EQ(app->git().isRepo(), expectRepository);
    return app;
}

// Asks git to read again and waits for it.
inline void refreshed(AppState& app) {
    bool done = false;
    app.git().refresh([&done] { done = true; });
    EXPECT_TRUE(waitUntil([&] { return done; }, 120000));
}

class ScmViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { git_test::useIsolatedGitConfig(); }
};

} // namespace scm_test
