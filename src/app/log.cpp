#include "app/log.h"

#include <cstdio>
#include <memory>
#include <string>

#include "app/app.h"
#include "app/error.h"

namespace veltrane {

std::filesystem::path log_path(const App& app) {
    return app.program_folder / "log.txt";
}

namespace {

void report_failure(App& app, const std::string& cause) {
    if (app.log_failure_reported) return;
    app.log_failure_reported = true;
    app.message(describe(Error(Errc::Write, log_path(app), cause)) +
                "\nLog entries are left out until the log can be written.");
}

}  // namespace

void write_log(App& app, std::string_view text, int mode) {
    const std::filesystem::path path = log_path(app);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "ab"),
                                                         &std::fclose);
    if (!file) return report_failure(app, errno_text());

    // The header is composed on every call and written only for its own mode.
    const std::string header = "Application log created on " + app.platform.clock.date_text() +
                               "\r\nStarting time is recorded on " + app.platform.clock.time_text();
    std::string record;
    if (mode == LogStart) record = header + "\r\n";
    if (mode == Entry) record = "     " + std::string(text) + "\r\n";
    if (mode == LogStop)
        record = "Activity stopped at " + app.platform.clock.time_text() + "\r\n\r\n\r\n";

    if (!record.empty() &&
        std::fwrite(record.data(), 1, record.size(), file.get()) != record.size())
        return report_failure(app, errno_text());
    if (std::fclose(file.release()) != 0) report_failure(app, errno_text());
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
