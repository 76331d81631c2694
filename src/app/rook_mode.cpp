#include "app/rook_mode.h"

#include "app/app.h"
#include "app/log.h"
#include "app/startup.h"
#include "app/startup_values.h"

namespace veltrane {

void enter_rook_mode(App& app) {
    app.set_setting(kStatsSection, "020", "1");
    if (app.f().lan.caption == "1")
        app.message("OK. Veltrane will now reboot at Rook/Debug mode...");
    if (app.f().lan.caption == "2")
        app.message("OK: Veltrane wird ab jetzt im Rook/Debug Modus gestartet");
    app.log("Restarting in Rook procedure begining...");
    save_settings(app);
    app.log("Saved Settings into registry");
    app.log("Logging stopped due to intentional program restart");
    if (app.f().lg.ticked()) write_log(app, "", LogStop);
    restart_form(app);
}

void Command7_Click(App& app) {
    app.set_setting(kStatsSection, "020", "");
    if (app.f().lan.caption == "1") app.message("OK. Veltrane will now reboot at normal mode...");
    if (app.f().lan.caption == "2")
        app.message("OK: Veltrane wird ab jetzt im normalen Modus gestartet");
    app.log("Attempting to save settings to registry");
    save_settings(app);
    app.log("Logging terminated due to intentional restart");
    if (app.f().lg.ticked()) write_log(app, "", LogStop);
    restart_form(app);
}

}  // namespace veltrane
