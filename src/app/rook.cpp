#include "app/rook.h"

#include <string>

#include "app/app.h"
#include "app/files.h"
#include "base/text.h"

namespace veltrane {

namespace {
std::string flag_text(App& app, std::string_view key) {
    return app.setting(kStatsSection, key).empty() ? "Dropped" : "Raised";
}
}  // namespace

void Rook(App& app, int mode) {
    OpenFile& f = app.f();
    app.log("Begining Rook screen refresh function");
    // Missing counters start at 0, the total time at 1 second.
    for (auto [key, start] : {std::pair{"001", "0"}, {"002", "0"}, {"003", "1"}, {"004", "0"}})
        if (app.setting(kStatsSection, key).empty()) app.set_setting(kStatsSection, key, start);
    app.log("Done some error checking in registry values");

    const double kilobytes = val(app.setting(kStatsSection, "001"));
    f.set1.caption = std::to_string(floor_int(kilobytes / 1024)) + " Mbs";
    f.set2.caption = app.setting(kStatsSection, "002");
    const double seconds = val(app.setting(kStatsSection, "003"));
    f.set3.caption = std::to_string(floor_int(seconds / 60)) + " mins";
    f.set4.caption = app.setting(kStatsSection, "004");
    app.log("Showed first groop of info");

    if (mode == 1 && seconds != 0) {
        const double k = val(app.setting(kStatsSection, "001"));
        const double s = val(app.setting(kStatsSection, "003"));
        f.set5.caption = std::to_string(floor_int(k / s)) + " Kb/s";
    } else {
        f.set5.caption = "Calculating...";
    }
    f.set6.caption = flag_text(app, "010");
    f.set7.caption = flag_text(app, "011");
    f.set8.caption = flag_text(app, "020");
    app.log("Showed second groop of info");

    const bool located = app.remember_data_file && app.data_file_located
                             ? *app.data_file_located
                             : file_exists_nonempty(find_in_folder(app.program_folder, "Data.Qlm"));
    if (app.remember_data_file) app.data_file_located = located;
    f.set9.caption = located ? "Located" : "Not found!";
    app.log("Checking for Data.Qlm and displaying proper info");
    app.log("Function Rook finished!");
}

}  // namespace veltrane
