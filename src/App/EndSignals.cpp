#include "App/EndSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "Git/ChildProcess.h"

namespace {

constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP};
// Written by the handler, so plain atomics and a descriptor: nothing else is safe there.
std::atomic<int> g_writeEnd{-1};
// Set from the first signal until its question has been answered.
std::atomic<bool> g_busy{false};
struct sigaction g_previous[std::size(kSignals)];

void onEndSignal(int number) {
    if (g_busy.exchange(true)) {
        // Asked again while the first is still being answered (or the loop does not run): end now.
        ChildProcess::stopAllGroups();
        ::signal(number, SIG_DFL);
        ::raise(number);
        return;
    }
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (const int fd = g_writeEnd.load(); fd >= 0) (void)!::write(fd, &byte, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals(std::function<bool()> quit, QObject* parent) : QObject(parent), quit_(std::move(quit)) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_writeEnd = pipe_[1];
    g_busy = false;
    auto* notifier = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &EndSignals::readPending);
    for (size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction current {};
        ::sigaction(kSignals[i], nullptr, &current);
        g_previous[i] = current;
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = onEndSignal;
        action.sa_flags = SA_RESTART;
        ::sigemptyset(&action.sa_mask);
        ::sigaction(kSignals[i], &action, nullptr);
    }
}

EndSignals::~EndSignals() {
    if (pipe_[0] < 0) return;
    for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    g_writeEnd = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void EndSignals::readPending() {
    unsigned char bytes[64];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {}
    const bool quitting = quit_();
    if (quitting) QCoreApplication::quit();
    else g_busy = false;  // cancelled: the next signal asks again
}
