#pragma once
// What the preview's picture shows, ready to draw: the window and `veltrane-cli plot`
// draw the same scene with the same code.
#include <optional>
#include <string>
#include <vector>

#include "audio/gap_file.h"
#include "preview/session.h"

namespace veltrane::preview {

struct Scene {
    double from_ms = 0, to_ms = 1;  // the time shown, from the start of the file
    const Waveform* waveform = nullptr;
    double first_frame_ms = 0;  // when frame 0 of the waveform's layout starts
    double ms_per_frame = 0;
    int band = 0;  // the Sensitivity band's edge in 16-bit units; 0 for none
    // The level at the top and bottom edges of the waveform, in 16-bit units: the file's
    // peak or twice the band, whichever is higher, so that quiet recordings fill the
    // height and the band keeps its true size beside them.
    int full_scale = 32768;
    std::vector<GapRecord> now;
    std::vector<Match> now_marks;
    // Per silence of `now`: changed or made by hand (empty while nothing is edited).
    std::vector<bool> now_edited;
    bool disk_exists = false;
    std::vector<GapRecord> disk;
    std::vector<Match> disk_marks;
    int selected = -1;  // a record of `now`, or -1
    Language language = Language::English;
    bool has_file = false;  // a recording is open: the axes are drawn
    // Where playback starts and where it has come to, when they are to be shown.
    std::optional<double> cursor_ms, playhead_ms;
    // The quiet stretch at the end that no silence was recorded for, since no sound
    // follows it.
    std::optional<GapRecord> unrecorded_tail;

    std::string title;                    // the line above the waveform; none when empty
    std::string band_label;               // the band's level
    std::string scale_top, scale_bottom;  // the level at the top and bottom edges
    std::string now_label, disk_label;
    // The legend of the marks: a silence moved, new, or only in the GAP file.
    std::string moved_label, new_label, only_label;
    std::string note;  // across the waveform, when there is something to say there
};

// The whole file, or [from_ms, to_ms) of it, with `waveform` as the sound shown (the
// session's own when null). The picture keeps pointers into the session: it lives as
// long as the session stays as it is.
Scene make_scene(const Session& session, Language language, double from_ms, double to_ms,
                 const Waveform* waveform = nullptr, int selected = -1);

// The step between the ticks of a time axis at least `min_step_ms` apart: 1, 2 or 5 times
// a power of ten seconds under a minute, then 1, 2, 5, 10, 20 and 30 minutes, then 1, 2,
// 5, 10… hours, so that minute labels fall on round minutes.
double tick_step(double min_step_ms);

// The highest level of the waveform shown between two times, in 16-bit units; none where
// it holds no frame.
std::optional<int> peak_between(const Scene& scene, double from_ms, double to_ms);

// The settings in words ("Sensitivity 15, Filter 50 ms, normal speed").
std::string settings_text(const Settings& settings, Language language);

// The length of the file in milliseconds from its start, the header included.
double total_ms(const Session& session);

// The settings and what they find, in a line ("take1.wav: Sensitivity 15, Filter 50 ms,
// normal speed: 12 silences, 4.321 s in all, the longest 0.812 s").
std::string summary_line(const Session& session, Language language);

// A 16-bit recording at normal speed: what Double Speed would find instead ("16-bit
// recording at normal speed: Double Speed finds 14 silences, now 2."); empty otherwise.
std::string speed_line(Session& session, Language language);

// The GAP file beside it compared with what the settings find now.
std::string disk_line(const Session& session, Language language);

// A time on the time axis: seconds, or minutes and seconds, with as many decimals as
// the axis step needs.
std::string axis_time(double ms, double step_ms, Language language);

}  // namespace veltrane::preview
