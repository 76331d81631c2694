#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <streambuf>
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

// Standard output, written with write(2), so that the cause of the first failed write is
// known when the failure is reported at the end.
class StdoutBuffer : public std::streambuf {
  public:
    StdoutBuffer() { setp(buf_, buf_ + sizeof buf_); }
    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        const char* p = pbase();
        const char* const end = pptr();
        setp(buf_, buf_ + sizeof buf_);
        while (p < end) {
            const ssize_t n = ::write(1, p, static_cast<std::size_t>(end - p));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (error_ == 0) error_ = n < 0 ? errno : EIO;
                return -1;
            }
            p += n;
        }
        return 0;
    }

  private:
    char buf_[8192];
    int error_ = 0;
};

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
    // A reader that goes away (`| head -1`) makes the writes fail like a full disk: the
    // run goes on and every GAP file and count is kept; the failure is reported at the end.
    std::signal(SIGPIPE, SIG_IGN);
    // The arguments as given: file names are bytes, whatever the locale makes of them.
    const std::vector<std::string> args(argv, argv + argc);
    const QCoreApplication app(argc, argv);
    veltrane::CliEnvironment env;
    env.progress = ::isatty(2) == 1;
    env.program_folder = QCoreApplication::applicationDirPath().toStdString();
    env.catch_interrupts = catch_interrupts;
    env.interrupted = [] { return stop_signal.load(); };
    env.plot_elsewhere = true;
    env.plot = [argv](const veltrane::PlotRequest&, std::ostream& out) {
        return draw_elsewhere(argv, out);
    };
    StdoutBuffer stdout_buffer;
    std::ostream out(&stdout_buffer);
    env.output_error = [&] { return stdout_buffer.error(); };
    const int status = veltrane::run_cli(args, out, std::cerr, env);
#ifndef __SANITIZE_ADDRESS__
    // All the run keeps is written and closed by now: the process ends without taking its
    // objects and the toolkit down one by one, a fair part of a short run's time. Builds
    // with the address sanitizer take them down, so that it still finds what leaks.
    out.flush();
    std::cerr.flush();
    ::_exit(status);
#endif
    return status;
}
