// Scan throughput on a 256 MiB recording held in memory, for each of the eight
// situations, beside a plain byte-summing loop over the same buffer: the scan should run
// at least at 60% of the summing loop's speed. A summary table follows the usual output.
// The "file/" runs read the same recording from a file in the system's file cache.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "audio/scan.h"
#include "synth.h"

namespace {

using veltrane::ScanParams;
using veltrane::Situation;

constexpr std::size_t kBufferBytes = std::size_t{256} << 20;
constexpr double kTarget = 0.60;

struct Recording {
    const char* name;
    veltrane::synth::Format format;
    std::vector<std::uint8_t> bytes;
};

// A 44.1 kHz WAV of 256 MiB: a few seconds of speech repeated to fill it.
std::vector<std::uint8_t> make_recording(const veltrane::synth::Format& format) {
    const std::vector<std::uint8_t> chunk = veltrane::synth::speech_data(format, 7.3, 11);
    std::vector<std::uint8_t> data;
    data.reserve(kBufferBytes - 44);
    while (data.size() < kBufferBytes - 44) {
        const std::size_t n = std::min(chunk.size(), kBufferBytes - 44 - data.size());
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return veltrane::synth::wav_bytes(format, data);
}

// Built on first use, one per sample format.
Recording& recording(int channels, int bits) {
    static std::map<int, std::unique_ptr<Recording>> all;
    std::unique_ptr<Recording>& r = all[channels * 100 + bits];
    if (!r) {
        static const char* names[2][2] = {{"8-bit mono", "16-bit mono"},
                                          {"8-bit stereo", "16-bit stereo"}};
        const veltrane::synth::Format format{channels, bits, 44100};
        r = std::make_unique<Recording>(
            Recording{names[channels - 1][bits / 8 - 1], format, make_recording(format)});
    }
    return *r;
}

void sum_bytes(benchmark::State& state, int channels, int bits) {
    const std::vector<std::uint8_t>& buffer = recording(channels, bits).bytes;
    for (auto _ : state) {
        std::uint64_t sum = 0;
        for (std::uint8_t b : buffer) sum += b;
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}

void scan_recording(benchmark::State& state, Situation situation, int channels, int bits) {
    const Recording& r = recording(channels, bits);
    ScanParams p;
    p.situation = situation;
    p.sensitivity = 15;
    p.filter_ms = 50;
    p.byte_rate = r.format.sample_rate * channels * bits / 8;
    p.data_start = 45;
    p.end_mark = static_cast<std::int64_t>(r.bytes.size()) - 44;
    std::int64_t reports = 0;
    std::size_t silences = 0;
    for (auto _ : state) {
        const auto found = veltrane::scan(r.bytes, p, [&](const veltrane::ScanProgress& progress) {
            ++reports;
            benchmark::DoNotOptimize(progress.done);
        });
        silences = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * r.bytes.size()));
    state.counters["silences"] = static_cast<double>(silences);
    state.counters["reports"] =
        static_cast<double>(reports) / static_cast<double>(state.iterations());
}

// The same recording read from a file in the system's file cache, a block at a time, as
// Generate reads it: the cost of the copy out of the cache comes on top of the scan.
void scan_file(benchmark::State& state, Situation situation, int channels, int bits) {
    const Recording& r = recording(channels, bits);
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("veltrane-bench-" + std::to_string(::getpid()) + ".wav");
    veltrane::synth::write_file(path, r.bytes);
    ScanParams p;
    p.situation = situation;
    p.byte_rate = r.format.sample_rate * channels * bits / 8;
    p.end_mark = static_cast<std::int64_t>(r.bytes.size()) - 44;
    std::size_t silences = 0;
    for (auto _ : state) {
        veltrane::FileSource file(path);
        silences = 0;
        veltrane::scan(file, p, [&](const veltrane::Silence&) { ++silences; });
        benchmark::DoNotOptimize(silences);
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * r.bytes.size()));
    state.counters["silences"] = static_cast<double>(silences);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty()      ? 0
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Keeps the throughput of every run for the summary, by wall-clock and by processor time
// (the machine may be shared: processor time leaves out the time other programs ran).
class Collector : public benchmark::ConsoleReporter {
  public:
    struct Rates {
        std::vector<double> wall, cpu;                // GB/s (10^9 bytes), one per repetition
        std::vector<double> median_wall, median_cpu;  // from the median aggregate, if any
        double wall_rate() const { return median(wall.empty() ? median_wall : wall); }
        double cpu_rate() const { return median(cpu.empty() ? median_cpu : cpu); }
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // Repetitions give one run each; with aggregates only, their median stands in.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) continue;
            const double seconds_per_unit = run.time_unit == benchmark::kMillisecond ? 1e-3 : 1e-9;
            Rates& r = rates[run.run_name.function_name];
            (median ? r.median_wall : r.wall)
                .push_back(kBufferBytes / (run.GetAdjustedRealTime() * seconds_per_unit) / 1e9);
            (median ? r.median_cpu : r.cpu)
                .push_back(kBufferBytes / (run.GetAdjustedCPUTime() * seconds_per_unit) / 1e9);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, Rates> rates;
};

struct Variant {
    Situation situation;
    int channels;
    int bits;
};

constexpr Variant kVariants[] = {{1, 1, 8}, {11, 1, 8}, {2, 1, 16}, {12, 1, 16},
                                 {3, 2, 8}, {13, 2, 8}, {4, 2, 16}, {14, 2, 16}};

std::string sum_name(int channels, int bits) {
    return "sum/" + std::to_string(channels) + "ch_" + std::to_string(bits) + "bit";
}
std::string scan_name(const Variant& v) {
    return "scan/situation_" + std::to_string(v.situation) + "/" + std::to_string(v.channels) +
           "ch_" + std::to_string(v.bits) + "bit";
}

}  // namespace

int main(int argc, char** argv) {
    for (int channels : {1, 2}) {
        for (int bits : {8, 16}) {
            benchmark::RegisterBenchmark(sum_name(channels, bits).c_str(), sum_bytes, channels,
                                         bits)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            for (const Variant& v : kVariants) {
                if (v.channels != channels || v.bits != bits) continue;
                benchmark::RegisterBenchmark(scan_name(v).c_str(), scan_recording, v.situation,
                                             v.channels, v.bits)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
                benchmark::RegisterBenchmark(("file/" + scan_name(v)).c_str(), scan_file,
                                             v.situation, v.channels, v.bits)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    std::printf("\nGB/s = 10^9 bytes per second; median of the repetitions\n");
    std::printf("%-30s %11s %11s %7s %11s %11s %7s\n", "", "scan wall", "sum wall", "ratio",
                "scan cpu", "sum cpu", "ratio");
    for (const Variant& v : kVariants) {
        const auto scan = collector.rates.find(scan_name(v));
        const auto sum = collector.rates.find(sum_name(v.channels, v.bits));
        if (scan == collector.rates.end() || sum == collector.rates.end()) continue;
        const double wall = scan->second.wall_rate(), sum_wall = sum->second.wall_rate();
        const double cpu = scan->second.cpu_rate(), sum_cpu = sum->second.cpu_rate();
        const bool short_of_target = wall < kTarget * sum_wall || cpu < kTarget * sum_cpu;
        std::printf("%-30s %11.2f %11.2f %6.0f%% %11.2f %11.2f %6.0f%%%s\n", scan_name(v).c_str(),
                    wall, sum_wall, 100 * wall / sum_wall, cpu, sum_cpu, 100 * cpu / sum_cpu,
                    short_of_target ? "  below 60%" : "");
    }
    return 0;
}
