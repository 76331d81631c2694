#include "app/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/language.h"
#include "base/error.h"

namespace veltrane {

std::filesystem::path log_path(const App& app) {
    // An installed program's folder belongs to the system and cannot be written by its
    // users: their log goes to their own data folder instead.
    if (::access(app.program_folder.c_str(), W_OK | X_OK) == 0)
        return app.program_folder / "log.txt";
    return app.platform.process.user_data_folder() / "log.txt";
}

namespace {

void report_failure(App& app, const std::string& cause) {
    if (app.log_failure_reported) return;
    app.log_failure_reported = true;
    const Wording w = wording(app);
    app.message(describe(Error(Errc::Write, log_path(app), cause), w) +
                (w == Wording::German
                     ? "\nProtokolleinträge entfallen, bis sich das Protokoll schreiben lässt."
                     : "\nLog entries are left out until the log can be written."));
}

}  // namespace

void write_log(App& app, std::string_view text, int mode) {
    const std::filesystem::path path = log_path(app);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);  // a failure shows at open
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) return report_failure(app, errno_text());

    // The header is composed on every call and written only for its own mode.
    const std::string header = "Application log created on " + app.platform.clock.date_text() +
                               "\r\nStarting time is recorded on " + app.platform.clock.time_text();
    std::string record;
    if (mode == LogStart) record = header + "\r\n";
    if (mode == Entry) record = "     " + std::string(text) + "\r\n";
    if (mode == LogStop)
        record = "Activity stopped at " + app.platform.clock.time_text() + "\r\n\r\n\r\n";

    // A record goes in whole or not at all: a write that fails part way (a full disk) is
    // taken back, so that what the file held before stays as it was.
    struct stat st {};
    std::string cause;
    if (!record.empty() && ::fstat(fd, &st) == 0) {
        std::size_t done = 0;
        while (done < record.size()) {
            const ssize_t n = ::write(fd, record.data() + done, record.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                cause = n < 0 ? errno_text() : std::strerror(ENOSPC);
                if (S_ISREG(st.st_mode)) (void)!::ftruncate(fd, st.st_size);
                break;
            }
            done += static_cast<std::size_t>(n);
        }
    } else if (!record.empty()) {
        cause = errno_text();
    }
    if (::close(fd) != 0 && cause.empty()) cause = errno_text();
    if (!cause.empty()) report_failure(app, cause);
}

void lg_Click(App& app) {
    if (app.f().lg.value() == 1) {
        write_log(app, "", LogStart);
        write_log(app, "Logging did not start at initialization... info left out !", Entry);
    } else {
        write_log(app, "User disabled logging!", Entry);
        write_log(app, "", LogStop);
    }
}

}  // namespace veltrane
