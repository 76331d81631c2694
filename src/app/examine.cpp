#include "app/examine.h"

#include <cmath>
#include <string>

#include "app/app.h"
#include "app/generate_tip.h"
#include "app/header_notice.h"
#include "app/log.h"
#include "app/rook_mode.h"
#include "app/scan_ahead.h"
#include "audio/wav_header.h"
#include "base/byte_source.h"
#include "base/text.h"

namespace veltrane {

long long whole_kb(long long bytes) {
    return floor_div(bytes, 1024);
}

void examine(App& app, const std::string& path, const std::string& title, int interactive) {
    OpenFile& f = app.f();
    app.log("Begining to examine file");
    if (val(f.lan.caption) == 1) f.StatusBar1.caption = "Examining File...";
    if (val(f.lan.caption) == 2) f.StatusBar1.caption = "Prufen der Datei...";
    for (Control* box :
         {&f.Text1, &f.Text2, &f.Text3, &f.Text4, &f.Text5, &f.Text6, &f.Text7, &f.Text8})
        box->caption = " ";
    f.Text1.caption = title;
    // Only a PCM file's examination writes the length; until then it is the last one's.
    f.Label10.stale = true;
    app.log("Cleared all information captions and showed proper statusbar message.");

    // A recording scanned ahead that has not changed since: the header that scan read.
    std::optional<WavInfo> ahead;
    if (app.scan_ahead)
        if (const std::optional<FileStamp> now = file_stamp(path))
            ahead = app.scan_ahead->header_of(path, *now);
    const WavInfo w = ahead ? *ahead : read_wav_header(path);
    bool pcm = false;

    if (!w.is_riff_wave()) {
        f.Text2.caption = "Unidentified";
        f.Command3.enabled = false;
        f.Command4.enabled = false;
    } else {
        f.Text2.caption = "Waveform";
    }

    f.comp1.caption = format_name(w.format_tag);
    if (w.format_tag == wav::kPcm) pcm = true;
    if (known_format(w.format_tag) && interactive == 1) f.Command4.enabled = true;

    if (f.Text2.caption == "Waveform" && w.fmt_id == wav::kFmt && pcm) {
        app.log("Loaded file is detected as PCM-Uncompressed... process can continue");
        if (interactive == 1) {
            f.Command3.enabled = true;
            f.Command4.enabled = true;
            app.log("Command buttons 3 and 4 are enabled");
        }
        const long long size_kb = whole_kb(static_cast<long long>(w.riff_size) + 8);
        f.Text3.caption = std::to_string(size_kb) + " Kb";

        const double total = val(app.setting(kStatsSection, "001")) + static_cast<double>(size_kb);
        f.Label14.caption = std::to_string(floor_int(total));
        if (interactive == 0) app.set_setting(kStatsSection, "001", f.Label14.caption);
        if (val(app.setting(kStartupSection, "Log")) != 0)
            write_log(app, "File lenght checked and saved into registry", Entry);

        if (w.channels == 1) f.Text4.caption = "Mono";
        if (w.channels == 2) f.Text4.caption = "Stereo";
        f.Text5.caption = std::to_string(w.sample_rate) + " Hz";
        f.Text6.caption = std::to_string(whole_kb(w.byte_rate)) + " Kb/sec";
        f.Text7.caption = std::to_string(w.block_align);
        f.Text8.caption = std::to_string(w.bits_per_sample);

        // Seconds cut (not rounded) to two decimals, in whole numbers so that an exact
        // 0.29 s does not show as 0.28; no length without a byte rate.
        if (w.byte_rate != 0) {
            const double seconds =
                static_cast<double>(floor_div(std::int64_t{w.data_size} * 100, w.byte_rate)) / 100;
            f.Label10.caption =
                number_text(seconds, app.platform.clock.decimal_separator()) + " seconds";
        } else {
            f.Label10.caption = "";
        }
        f.Label10.stale = false;
        f.hid1.caption = std::to_string(w.data_size);
        app.log("All other information are properly displayed");
    }

    if (!pcm) f.Command3.enabled = false;
    if (val(f.lan.caption) == 1) f.StatusBar1.caption = "Ready...";
    if (val(f.lan.caption) == 2) f.StatusBar1.caption = "Fertig...";
    app.log("Function completed! Status bar message turned to 'ready'");
}

void Command1_Click(App& app) {
    CommonDialog& dialog = app.f().CommonDialog1;
    dialog.Filter = "*.*";
    load_chosen_file(app, app.platform.dialog.open(dialog.Filter));
}

void load_chosen_file(App& app, const std::optional<ChosenFile>& chosen) {
    {
        CommonDialog& dialog = app.f().CommonDialog1;
        if (chosen) {
            dialog.FileName = chosen->path;
            dialog.FileTitle = chosen->title;
        }
        const std::string bare = lower(dialog.FileTitle);
        if (bare == "rook.wav" || bare == "debug.wav") enter_rook_mode(app);
    }
    // After entering Rook/Debug mode this is the reloaded window, whose dialog is empty.
    const CommonDialog& dialog = app.f().CommonDialog1;
    if (!dialog.FileName.empty()) examine(app, dialog.FileName, dialog.FileTitle, 1);
    explain_generate(app);
    note_loaded_file(app, dialog.FileName, dialog.FileTitle);
    app.log("File properly loaded");
    app.log("Current filename is " + dialog.FileName);
}

}  // namespace veltrane
