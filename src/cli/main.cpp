#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace {

// The signal that asked the run to stop; set by the handler, read between two blocks of
// scanning work.
volatile std::sig_atomic_t stop_signal = 0;

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

}  // namespace

int main(int argc, char** argv) {
    // The arguments as given: file names are bytes, whatever the locale makes of them.
    const std::vector<std::string> args(argv, argv + argc);
    // Drawing a picture needs the toolkit's fonts, never a display.
    const bool draws = argc > 1 && std::strcmp(argv[1], "plot") == 0;
    if (draws) qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        draws ? std::make_unique<QGuiApplication>(argc, argv)
              : std::make_unique<QCoreApplication>(argc, argv);
    veltrane::CliEnvironment env;
    env.progress = ::isatty(2) == 1;
    env.program_folder = QCoreApplication::applicationDirPath().toStdString();
    env.catch_interrupts = catch_interrupts;
    env.interrupted = [] { return static_cast<int>(stop_signal); };
    return veltrane::run_cli(args, std::cout, std::cerr, env);
}
