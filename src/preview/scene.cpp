#include "preview/scene.h"

#include <algorithm>
#include <cmath>

#include "preview/wording.h"

namespace veltrane::preview {

namespace {

bool german(Language l) {
    return l == Language::German;
}

std::string count_text(std::size_t n, Language l) {
    if (german(l))
        return n == 0 ? "keine Pause" : std::to_string(n) + (n == 1 ? " Pause" : " Pausen");
    return n == 0 ? "no silence" : std::to_string(n) + (n == 1 ? " silence" : " silences");
}

bool scanned(const Session& s) {
    return s.params().situation != 0 && s.params().byte_rate > 0;
}

}  // namespace

std::string settings_text(const Settings& s, Language l) {
    const std::string speed = s.double_speed
                                  ? (german(l) ? "doppelte Geschwindigkeit" : "Double Speed")
                                  : (german(l) ? "normale Geschwindigkeit" : "normal speed");
    return (german(l) ? "Sensitivität " : "Sensitivity ") + std::to_string(s.sensitivity) +
           ", Filter " + std::to_string(s.filter_ms) + " ms, " + speed;
}

double total_ms(const Session& session) {
    return static_cast<double>(session.file_size()) / session.bytes_per_ms();
}

Scene make_scene(const Session& session, Language language, double from_ms, double to_ms,
                 const Waveform* waveform, int selected) {
    Scene s;
    s.language = language;
    s.from_ms = from_ms;
    s.to_ms = std::max(to_ms, from_ms + 1e-3);
    s.waveform = waveform ? waveform : &session.waveform();
    const double per_ms = session.bytes_per_ms();
    s.first_frame_ms = static_cast<double>(session.layout().first) / per_ms;
    s.ms_per_frame = session.layout().frame_bytes / per_ms;
    if (scanned(session)) s.band = band_edge(session.settings().sensitivity);
    int peak = 0;
    const Waveform& whole = session.waveform();
    for (std::size_t b = 0; b < whole.buckets(); ++b) {
        if (whole.lo[b] > whole.hi[b]) continue;
        peak = std::max({peak, -int{whole.lo[b]}, int{whole.hi[b]}});
    }
    // In steps of 3 dB, so that the scale stays put while a slider moves a little.
    const double wanted = std::max({peak * 1.05, 2.0 * s.band, 256.0});
    const double db = std::min(0.0, std::ceil(dbfs(wanted) / 3) * 3);
    s.full_scale = static_cast<int>(std::lround(32768 * std::pow(10.0, db / 20)));
    s.now = session.records();
    s.now_marks = session.comparison().now;
    s.disk_exists = session.disk().exists && session.disk().problem.empty();
    s.disk = session.disk().records;
    s.disk_marks = session.comparison().disk;
    s.selected = selected;

    const bool de = german(language);
    s.title = session.path().filename().string() + ": " +
              settings_text(session.settings(), language) + ": " +
              count_text(session.records().size(), language);
    if (s.band > 0)
        s.band_label = (de ? "Band " : "band ") + decibels(dbfs(s.band), language) + " dBFS";
    s.has_file = session.is_open();
    if (s.has_file) {
        // The edges as shares of full scale, the positive one above the negative one.
        const double share = 100.0 * s.full_scale / 32768;
        const std::string edge = fixed(share, share < 9.95 ? 1 : 0, language) + " %";
        s.scale_top = "+" + edge;
        s.scale_bottom = "−" + edge;
    }
    s.now_label = de ? "jetzt" : "now";
    s.disk_label = de ? "GAP-Datei" : "GAP file";
    s.moved_label = de ? "verschoben" : "moved";
    s.new_label = de ? "neu" : "new";
    s.only_label = de ? "nur in der Datei" : "only in the file";
    if (scanned(session) && s.band > 0 && whole.buckets() > 0 && s.ms_per_frame > 0) {
        // The quiet buckets at the end, after the last silence recorded.
        std::size_t b = whole.buckets();
        while (b > 0 && (whole.lo[b - 1] > whole.hi[b - 1] ||
                         (whole.lo[b - 1] > -s.band && whole.hi[b - 1] < s.band)))
            --b;
        const double from =
            s.first_frame_ms + static_cast<double>(whole.bucket_start(b)) * s.ms_per_frame;
        const double to = total_ms(session);
        const double last_end = s.now.empty() ? 0 : s.now.back().end_ms;
        if (b < whole.buckets() && from >= last_end &&
            to - from >= std::max(1, session.settings().filter_ms))
            s.unrecorded_tail = GapRecord{static_cast<std::int32_t>(std::lround(from)),
                                          static_cast<std::int32_t>(std::lround(to))};
    }
    if (!scanned(session))
        s.note = de ? "Erstellen durchsucht diese Datei nicht" : "Generate does not scan this file";
    else if (session.records().empty())
        s.note = de ? "Keine Pause bei diesen Einstellungen" : "No silence at these settings";
    return s;
}

double tick_step(double min_step_ms) {
    const double wanted = std::max(min_step_ms, 1e-3);
    if (wanted <= 20000) {
        double step = std::pow(10.0, std::floor(std::log10(wanted)));
        for (double f : {1.0, 2.0, 5.0, 10.0})
            if (step * f >= wanted * (1 - 1e-12)) return step * f;
        return step * 10;
    }
    for (double minutes : {1.0, 2.0, 5.0, 10.0, 20.0, 30.0})
        if (minutes * 60000 >= wanted) return minutes * 60000;
    const double hours = wanted / 3600000;
    double step = std::pow(10.0, std::floor(std::log10(hours)));
    for (double f : {1.0, 2.0, 5.0, 10.0})
        if (step * f >= hours * (1 - 1e-12)) return step * f * 3600000;
    return step * 10 * 3600000;
}

std::optional<int> peak_between(const Scene& s, double from_ms, double to_ms) {
    const Waveform* w = s.waveform;
    if (!w || w->buckets() == 0 || w->to <= w->from || s.ms_per_frame <= 0) return std::nullopt;
    const double n = static_cast<double>(w->buckets());
    const double frames = static_cast<double>(w->to - w->from);
    const auto bucket_of = [&](double ms) {
        return ((ms - s.first_frame_ms) / s.ms_per_frame - static_cast<double>(w->from)) * n /
               frames;
    };
    const double b0 = bucket_of(from_ms), b1 = bucket_of(to_ms);
    if (b1 <= 0 || b0 >= n) return std::nullopt;
    const auto first = static_cast<std::size_t>(std::clamp(std::floor(b0), 0.0, n - 1));
    const auto last = static_cast<std::size_t>(std::clamp(std::ceil(b1) - 1, 0.0, n - 1));
    std::optional<int> peak;
    for (std::size_t b = first; b <= std::max(first, last); ++b) {
        if (w->lo[b] > w->hi[b]) continue;
        peak = std::max({peak.value_or(0), -int{w->lo[b]}, int{w->hi[b]}});
    }
    return peak;
}

std::string summary_line(const Session& session, Language l) {
    const Tally t = tally(session.records());
    std::string line = session.path().filename().string() + ": " +
                       settings_text(session.settings(), l) + ": " + count_text(t.gaps, l);
    if (t.gaps > 0)
        line += german(l) ? ", zusammen " + seconds(t.silence_ms, l) + " s, die längste " +
                                seconds(t.longest_ms, l) + " s"
                          : ", " + seconds(t.silence_ms, l) + " s in all, the longest " +
                                seconds(t.longest_ms, l) + " s";
    // A "data" size past 2 GiB reads as negative where the main window reads it.
    const WavInfo& h = session.header();
    if (h.is_riff_wave() && h.fmt_id == wav::kFmt && h.data_size < 0) {
        const std::string bytes = std::to_string(static_cast<std::uint32_t>(h.data_size));
        line += german(l) ? "\nDer Kopf nennt " + bytes +
                                " Byte Daten, mehr als die 2147483647, die das Hauptfenster "
                                "liest: Es liest die Größe als negativ und durchsucht nichts davon."
                          : "\nThe header gives " + bytes +
                                " bytes of data, past the 2147483647 the main window reads: it "
                                "reads the size as negative and scans nothing of it.";
    }
    return line;
}

std::string speed_line(Session& session, Language l) {
    const std::optional<std::size_t> fast = session.double_speed_finds();
    if (!fast) return {};
    const std::string now = std::to_string(session.records().size());
    return german(l) ? "16-Bit-Aufnahme bei normaler Geschwindigkeit: Doppelte Geschwindigkeit "
                       "findet " +
                           count_text(*fast, l) + ", jetzt " + now + "."
                     : "16-bit recording at normal speed: Double Speed finds " +
                           count_text(*fast, l) + ", now " + now + ".";
}

std::string disk_line(const Session& session, Language l) {
    const DiskGap& d = session.disk();
    const bool de = german(l);
    if (!d.exists) return de ? "Noch keine GAP-Datei daneben." : "No GAP file beside it yet.";
    if (!d.problem.empty()) return (de ? "GAP-Datei: " : "GAP file: ") + d.problem;
    const Comparison& c = session.comparison();
    std::string line = (de ? "GAP-Datei: " : "GAP file: ") + count_text(d.records.size(), l);
    if (c.changed == 0 && c.added == 0 && c.removed == 0)
        return line + (de ? ", genau wie jetzt." : ", exactly as now.");
    const auto n = [](std::size_t k) { return std::to_string(k); };
    return line + (de ? "; jetzt " + n(c.same) + " gleich, " + n(c.changed) + " verschoben, " +
                            n(c.added) + " neu, " + n(c.removed) + " nur in der Datei."
                      : "; now " + n(c.same) + " the same, " + n(c.changed) + " moved, " +
                            n(c.added) + " new, " + n(c.removed) + " only in the file.");
}

std::string axis_time(double ms, double step_ms, Language l) {
    const int places = step_ms >= 1000 ? 0 : step_ms >= 100 ? 1 : step_ms >= 10 ? 2 : 3;
    if (std::abs(ms) < 60000) return fixed(ms / 1000, places, l) + " s";
    const double whole_s = std::floor(ms / 1000);
    const auto total = static_cast<long long>(whole_s);
    const long long h = total / 3600, m = total / 60 % 60;
    std::string sec = fixed(ms / 1000 - static_cast<double>(total - total % 60), places, l);
    if (sec.find_first_of(".,") == 1 || sec.size() == 1) sec = "0" + sec;
    const std::string mm = h > 0 && m < 10 ? "0" + std::to_string(m) : std::to_string(m);
    return (h > 0 ? std::to_string(h) + ":" : "") + mm + ":" + sec;
}

}  // namespace veltrane::preview
