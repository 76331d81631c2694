#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "base/error.h"
#include "cli/cli.h"

namespace {

// The signal that asked the run to stop; set by the handler, read between two blocks of
// scanning work.
// Lock-free, so that the handler may set it and every scanning thread read it.
std::atomic<int> stop_signal = 0;
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void ask_to_stop(int signal) {
    // A second request does not wait: the program ends at once, as without a handler.
    if (stop_signal != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    stop_signal = signal;
}

void catch_interrupts() {
    struct sigaction action {};
    action.sa_handler = ask_to_stop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

// `plot` is drawn by the drawing tool beside this program, given the same arguments: only
// that tool loads the toolkit's drawing part, so that every other command starts light.
int draw_elsewhere(char** argv, std::ostream& out) {
    out.flush();
    const std::string tool =
        (QCoreApplication::applicationDirPath() + "/veltrane-plot").toStdString();
    ::execv(tool.c_str(), argv);
    throw veltrane::Error(veltrane::Errc::Start, tool, veltrane::errno_text());
}

}  // namespace

int main(int argc, char** argv) {
    // The arguments as given: file names are bytes, whatever the locale makes of them.
    const std::vector<std::string> args(argv, argv + argc);
    const QCoreApplication app(argc, argv);
    veltrane::CliEnvironment env;
    env.progress = ::isatty(2) == 1;
    env.program_folder = QCoreApplication::applicationDirPath().toStdString();
    env.catch_interrupts = catch_interrupts;
    env.interrupted = [] { return stop_signal.load(); };
    env.plot = [argv](const veltrane::PlotRequest&, std::ostream& out) {
        return draw_elsewhere(argv, out);
    };
    return veltrane::run_cli(args, std::cout, std::cerr, env);
}
