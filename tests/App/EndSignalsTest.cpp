#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <csignal>
#include <unistd.h>

#include "App/EndSignals.h"
#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "Workspace/EditorDocument.h"
#include "Git/ChildProcess.h"
#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {
bool requestQuit() { return WindowManager::shared().requestQuit(); }

MainWindow* windowWithEdits(const QString& path) {
    MainWindow* w = WindowManager::shared().openWindow();
    QCoreApplication::processEvents();
    w->state().open(path);
    w->state().activeDocument()->setText("edited before the signal");
    return w;
}

bool gone(pid_t pid) {
    // Reparented children may linger unreaped as zombies: those have ended too.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z";
}
} // namespace

// Each end signal asks about unsaved work, saves what the user chose and the session, then ends.
TEST(EndSignals, EachEndSignalTakesTheQuitRoadAndKeepsTheEdits) {
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(number);
        TempFolder dir;
        ScriptedPrompter prompter;
        EndSignals endSignals(requestQuit);
        QPointer<MainWindow> window = windowWithEdits(dir.write("notes.txt", "old"));

        prompter.answers = {0};  // Save
        ASSERT_EQ(::raise(number), 0);  // the program goes on: the handler only takes note
        ASSERT_TRUE(waitUntil([&] { return window.isNull(); }));
        ASSERT_EQ(prompter.asked.size(), 1);
        EXPECT_EQ(prompter.asked[0].message, "Do you want to save them before quitting?");
        EXPECT_EQ(readBytes(dir.file("notes.txt")), "edited before the signal");
        EXPECT_EQ(SettingsStore::shared().stringArray(SettingsKey::sessionDocs), QStringList({dir.file("notes.txt")}));
    }
}

// A signal ignored by whoever started the program stays ignored; the handlers in place before are
// back once the end signals are no longer handled.
TEST(EndSignals, LeavesIgnoredSignalsAloneAndPutsThePreviousHandlersBack) {
    struct sigaction ignore {}, before {}, during {}, after {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &ignore, &before);
    ::sigaction(SIGTERM, nullptr, &after);
    {
        EndSignals endSignals(requestQuit);
        ::sigaction(SIGHUP, nullptr, &during);
        EXPECT_EQ(during.sa_handler, SIG_IGN);
        ::sigaction(SIGTERM, nullptr, &during);
        EXPECT_NE(during.sa_handler, after.sa_handler);
    }
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, after.sa_handler);
    ::sigaction(SIGHUP, &before, nullptr);
}

// Cancelling the question keeps the program and the edits; the next signal asks again.
TEST(EndSignals, CancelKeepsTheWindowAndALaterSignalAsksAgain) {
    TempFolder dir;
    ScriptedPrompter prompter;
    EndSignals endSignals(requestQuit);
    QPointer<MainWindow> window = windowWithEdits(dir.write("notes.txt", "old"));

    prompter.answers = {2};  // Cancel
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return prompter.asked.size() == 1; }));
    QCoreApplication::processEvents();
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->state().activeDocument()->isDirty());
    EXPECT_EQ(readBytes(dir.file("notes.txt")), "old");

    prompter.answers = {1};  // Don't Save
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return window.isNull(); }));
    EXPECT_EQ(prompter.asked.size(), 2);
    EXPECT_EQ(readBytes(dir.file("notes.txt")), "old");
}

// A second signal while the first is being answered ends the program at once, and the children
// that run in groups of their own are stopped first.
TEST(EndSignalsDeathTest, ASecondSignalWhileAskingEndsAtOnceAndStopsChildGroups) {
    GTEST_FLAG_SET(death_test_style, "fast");
    TempFolder dir;
    const QString pidFile = dir.file("child.pid");
    const auto insistWhileAsked = [&pidFile] {
        EndSignals endSignals([] {
            ::raise(SIGTERM);  // the user insists while the question is up
            return false;
        });
        ChildProcess::Request request;
        request.arguments = {"sh", "-c", QStringLiteral("echo $$ > '%1'; exec sleep 300").arg(pidFile)};
        request.ownProcessGroup = true;
        ChildProcess::start(request, nullptr, [](ChildProcess::Result) {});
        waitUntil([&] { return QFile(pidFile).size() > 0; });
        ::raise(SIGTERM);
        waitUntil([] { return false; }, 60000);
        std::_Exit(0);
    };
    EXPECT_EXIT(insistWhileAsked(), ::testing::KilledBySignal(SIGTERM), "");
    const pid_t child = readBytes(pidFile).trimmed().toInt();
    ASSERT_GT(child, 0);
    EXPECT_TRUE(waitUntil([&] { return gone(child); }));
}
