#include "platform/qt/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace veltrane {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

volatile std::sig_atomic_t g_raised = 0;
int g_pipe[2] = {-1, -1};

extern "C" void record_signal(int) {
    const int saved = errno;
    g_raised = 1;
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void set_action(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : kSignals) ::sigaction(s, &action, nullptr);
}

// The signals are held back from catch_signals() until a StopSignals object exists: the
// toolkit's start does not expect its calls to be interrupted, and threads it starts
// meanwhile inherit the mask and never take them. One sent meanwhile waits, pending.
void block(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : kSignals) sigaddset(&set, s);
    ::pthread_sigmask(how, &set, nullptr);
}

}  // namespace

void StopSignals::catch_signals() {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    block(SIG_BLOCK);
    set_action(record_signal);
}

bool StopSignals::raised() {
    return g_raised != 0;
}

StopSignals::StopSignals(std::function<void()> on_signal) : on_signal_(std::move(on_signal)) {
    catch_signals();
    if (g_pipe[0] < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char drain[64];
        while (::read(g_pipe[0], drain, sizeof drain) > 0) {
        }
        if (on_signal_) on_signal_();
    });
    block(SIG_UNBLOCK);
}

StopSignals::~StopSignals() {
    set_action(SIG_DFL);
}

}  // namespace veltrane
