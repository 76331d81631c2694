// The preview's speed goals, through the preview window itself on the offscreen platform:
//   - from a change in the main window (a slider, a preset, Double Speed) to the new
//     picture, on a 10-minute 16-bit stereo 44.1 kHz recording: under 100 ms;
//   - opening the window on a 2 GiB recording (the file read once, the picture drawn):
//     under 1 s, with memory that does not grow with the file.
// Also the parts: a rescan alone, drawing alone, and the reasons when nothing is found;
// the reasons' own pass beside a scan of the same file, with their ratio after the
// usual output (goal: the reasons at most 1 times a scan), and the reasons of the
// preview on the 2 GiB recording (goal: under 1 s from opening to the reasons).
// The recordings are written to the temporary folder first and removed afterwards
// (VELTRANE_BENCH_KEEP=1 keeps them for the next run). The 2 GiB file is read from the
// system's file cache once it has been read: the figures are for a warm cache.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QPixmap>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "app/app.h"
#include "app/handlers.h"
#include "app/presets.h"
#include "cli/headless.h"
#include "platform/qt/qt_platform.h"
#include "preview/facts_pass.h"
#include "preview/qt/preview_picture.h"
#include "preview/scene.h"
#include "preview/session.h"
#include "synth.h"
#include "ui/preview_window.h"

namespace {

namespace fs = std::filesystem;
using namespace veltrane;

fs::path folder() {
    return fs::temp_directory_path() / "veltrane-preview-bench";
}

// Speech repeated to fill `bytes` of 16-bit stereo 44.1 kHz, with a hiss of `hiss` steps
// in the pauses (0: the synthetic speech's own quiet floor).
fs::path recording(const std::string& name, std::int64_t bytes) {
    const fs::path path = folder() / name;
    std::error_code ec;
    if (fs::exists(path, ec) && static_cast<std::int64_t>(fs::file_size(path, ec)) == bytes)
        return path;
    fs::create_directories(folder());
    const synth::Format format{2, 16, 44100};
    const std::vector<std::uint8_t> chunk = synth::speech_data(format, 7.3, 11);
    const std::int64_t data = bytes - 44;
    std::vector<std::uint8_t> head = synth::wav_bytes(format, {});
    for (int i = 0; i < 4; ++i) {
        head[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((data + 36) >> (8 * i));
        head[40 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(data >> (8 * i));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(head.data()),
              static_cast<std::streamsize>(head.size()));
    for (std::int64_t left = data; left > 0;) {
        const auto n = static_cast<std::streamsize>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(chunk.size())));
        out.write(reinterpret_cast<const char*>(chunk.data()), n);
        left -= n;
    }
    if (!out) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return path;
}

constexpr std::int64_t kTenMinutes = 44 + std::int64_t{44100} * 4 * 600;
constexpr std::int64_t kTwoGiB = std::int64_t{2} << 30;

// The main window's model over headless services, with a file loaded.
struct Desk {
    explicit Desk(const fs::path& wav)
        : services(std::cerr, fs::current_path(), folder() / "settings.ini"),
          app(services.platform()) {
        bind_handlers(app);
        app.f().CommonDialog1.FileName = wav.string();
        app.f().CommonDialog1.FileTitle = wav.filename().string();
    }
    HeadlessServices services;
    App app;
};

// Forces the picture to be drawn now, as the screen would show it.
void draw_now(PreviewWindow& w) {
    QPixmap shot = w.picture()->grab();
    benchmark::DoNotOptimize(shot);
}

enum class Change { Slider, Preset, DoubleSpeed };

void change_to_picture(benchmark::State& state, Change change) {
    Desk desk(recording("ten-minutes.wav", kTenMinutes));
    PreviewWindow w(desk.app);
    w.resize(900, 600);
    w.show();
    w.sync();
    draw_now(w);
    OpenFile& f = desk.app.f();
    int round = 0;
    for (auto _ : state) {
        ++round;
        switch (change) {
            case Change::Slider:
                f.Slider1.set_value(round % 2 ? 16 : 15);
                break;
            case Change::Preset:
                Option_GotFocus(desk.app, round % 2 ? 2 : 1);
                break;
            case Change::DoubleSpeed:
                f.Fast.set_value(round % 2);
                break;
        }
        w.sync();
        draw_now(w);
    }
    state.counters["silences"] = static_cast<double>(w.session().records().size());
}

// The scan alone, and the drawing alone, of the same file.
void rescan_only(benchmark::State& state) {
    preview::Session s(8192);
    s.open(recording("ten-minutes.wav", kTenMinutes), {15, 50, false});
    int round = 0;
    for (auto _ : state) s.update({++round % 2 ? 16 : 15, 50, false});
}

void draw_only(benchmark::State& state) {
    preview::Session s(8192);
    s.open(recording("ten-minutes.wav", kTenMinutes), {15, 50, false});
    const preview::Scene scene =
        preview::make_scene(s, preview::Language::English, 0, preview::total_ms(s));
    for (auto _ : state) benchmark::DoNotOptimize(render_picture(scene, QSize(880, 330)));
}

// The reasons for a file in which nothing is found: 16-bit stereo at normal speed with
// Sensitivity 1 and Filter 500 finds nothing in the synthetic speech.
void why_nothing(benchmark::State& state) {
    preview::Session s(8192);
    s.open(recording("ten-minutes.wav", kTenMinutes), {1, 500, false});
    int round = 0;
    for (auto _ : state) {
        // A new Filter each time: the sweeps are kept per Filter otherwise.
        s.update({1, 499 + ++round % 2, false});
        benchmark::DoNotOptimize(s.why(preview::Language::English));
    }
    state.counters["found"] = static_cast<double>(s.records().size());
}

// The file's scan with the settings of why_nothing (it records nothing), and the one pass
// the reasons need, each reading the file for itself.
preview::PassQuestions reasons_questions_of(FileSource& file, const preview::Settings& s) {
    const WavInfo h = read_wav_header(file);
    return preview::reasons_questions(
        h, preview::sample_layout(h, preview::header_shape(file), file.size()), s);
}
constexpr preview::Settings kNothing{1, 500, false};

void scan_nothing(benchmark::State& state) {
    FileSource file(recording("ten-minutes.wav", kTenMinutes));
    const ScanParams p = generate_params(read_wav_header(file), kNothing);
    for (auto _ : state) benchmark::DoNotOptimize(preview::records_of(file, p));
}

void reasons_pass(benchmark::State& state) {
    FileSource file(recording("ten-minutes.wav", kTenMinutes));
    const preview::PassQuestions q = reasons_questions_of(file, kNothing);
    for (auto _ : state) benchmark::DoNotOptimize(preview::gather_facts(file, q));
}

// The preview window's way: opened on the 2 GiB recording with settings that record
// nothing, and asked why.
void why_nothing_two_gib(benchmark::State& state) {
    const fs::path wav = recording("two-gib.wav", kTwoGiB);
    {
        preview::Session warm(8192);
        warm.open(wav, kNothing);
    }
    for (auto _ : state) {
        preview::Session s(8192);
        s.open(wav, kNothing);
        benchmark::DoNotOptimize(s.why(preview::Language::English));
    }
}

// The median of `n` timings of `work`, in milliseconds.
template <class Work>
double median_ms(int n, Work&& work) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The reasons beside a scan of the 10-minute recording: alone (their own read) and along
// a scan (what they add to it, as the preview and generate gather them).
void reasons_summary() {
    FileSource file(recording("ten-minutes.wav", kTenMinutes));
    const ScanParams p = generate_params(read_wav_header(file), kNothing);
    preview::PassQuestions q = reasons_questions_of(file, kNothing);
    const double scan_ms =
        median_ms(21, [&] { benchmark::DoNotOptimize(preview::records_of(file, p)); });
    const double pass_ms =
        median_ms(21, [&] { benchmark::DoNotOptimize(preview::gather_facts(file, q)); });
    q.give_up_at = kNothing.sensitivity;
    const double along_ms = median_ms(21, [&] {
        preview::FactsGatherer g(q, file.size());
        preview::GatheringSource both(file, g);
        benchmark::DoNotOptimize(preview::records_of(both, p));
        benchmark::DoNotOptimize(g.finish(file));
    });
    std::printf("\nThe reasons for a 10-minute 16-bit stereo recording (median of 21):\n");
    std::printf("  scan alone                    %7.2f ms\n", scan_ms);
    std::printf("  reasons' pass alone           %7.2f ms  ratio %.2f\n", pass_ms,
                pass_ms / scan_ms);
    std::printf(
        "  scan with the reasons along   %7.2f ms  reasons add %.2f ms, ratio %.2f "
        "(goal: at most 1.00)\n",
        along_ms, along_ms - scan_ms, (along_ms - scan_ms) / scan_ms);
}

long peak_rss_kb() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_maxrss;
}

long rss_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

void open_two_gib(benchmark::State& state) {
    const fs::path wav = recording("two-gib.wav", kTwoGiB);
    {
        // Read once so that every round starts from the same warm cache.
        preview::Session warm(8192);
        warm.open(wav, {15, 50, false});
    }
    Desk desk(wav);
    long grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
        }
        const long before = rss_kb();
        state.ResumeTiming();
        auto w = std::make_unique<PreviewWindow>(desk.app);
        w->resize(900, 600);
        w->show();
        w->sync();
        draw_now(*w);
        state.PauseTiming();
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                grown = std::max(grown, std::atol(line.c_str() + 6) - before);
        state.counters["silences"] = static_cast<double>(w->session().records().size());
        w.reset();
        state.ResumeTiming();
    }
    state.counters["peak_growth_MiB"] = static_cast<double>(grown) / 1024;
    state.counters["file_MiB"] = static_cast<double>(kTwoGiB >> 20);
    state.counters["max_rss_MiB"] = static_cast<double>(peak_rss_kb()) / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    benchmark::RegisterBenchmark("change_to_picture/slider", change_to_picture, Change::Slider)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("change_to_picture/preset", change_to_picture, Change::Preset)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("change_to_picture/double_speed", change_to_picture,
                                 Change::DoubleSpeed)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("parts/rescan_10min", rescan_only)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("parts/draw_880x330", draw_only)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("parts/why_nothing_10min", why_nothing)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("parts/scan_nothing_10min", scan_nothing)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("parts/reasons_pass_10min", reasons_pass)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("why_nothing/2GiB", why_nothing_two_gib)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("open_window/2GiB", open_two_gib)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    reasons_summary();
    const char* keep = std::getenv("VELTRANE_BENCH_KEEP");
    if (!keep || std::string(keep) != "1") {
        std::error_code ec;
        fs::remove_all(folder(), ec);
    }
    return 0;
}
