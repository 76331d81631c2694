#pragma once
// The silence scan written out one step at a time, as plainly as it can be said. It is
// slow on purpose: the fast engine is held to it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <vector>

#include "audio/scan.h"

namespace veltrane {

// A file's bytes handed out only as a file reader hands them out, a read at a time; and
// none from `end` on, as from a file that has become shorter since it was opened.
class ReadSource final : public ByteSource {
  public:
    ReadSource(std::span<const std::uint8_t> bytes, std::size_t end) : bytes_(bytes), end_(end) {}
    std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }
    std::size_t read_at(std::int64_t offset, std::span<std::uint8_t> dest) override {
        if (offset < 0) throw std::logic_error("a read before the start of the file");
        const auto from = static_cast<std::size_t>(offset);
        if (from >= end_ || from >= bytes_.size()) return 0;
        const std::size_t n = std::min(dest.size(), end_ - from);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(from), n, dest.begin());
        return n;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t end_;
};

// A second processor that does its part at once, on this thread: the halves of a scan
// meet as they would with a thread, the same way every time.
class InlineCore final : public SecondCore {
  public:
    InlineCore() { least_bytes = 0; }
    void start(std::function<void()> task) override { task(); }
    void wait() override {}
};

}  // namespace veltrane

namespace veltrane::reference {

struct Result {
    std::vector<Silence> silences;
    std::int64_t steps = 0;          // steps made
    std::int64_t last_progress = 0;  // progress value of the last step
    bool scanned = false;            // whether any step was made
};

// The byte at a 1-based position; zero before the file and past its end.
inline std::int64_t byte_at(std::span<const std::uint8_t> file, std::int64_t p) {
    if (p < 1 || p > static_cast<std::int64_t>(file.size())) return 0;
    return file[static_cast<std::size_t>(p - 1)];
}

// The little-endian signed 16-bit value of the bytes at p and p + 1.
inline std::int64_t int16_at(std::span<const std::uint8_t> file, std::int64_t p) {
    const std::int64_t v = byte_at(file, p) + 256 * byte_at(file, p + 1);
    return v >= 32768 ? v - 65536 : v;
}

inline Result scan(std::span<const std::uint8_t> file, const ScanParams& in) {
    Result r;
    const int s = in.situation;
    const bool double_speed = s >= 11 && s <= 14;
    const int kind = double_speed ? s - 10 : s;  // 1 8-bit mono .. 4 16-bit stereo
    if (in.byte_rate <= 0 || kind < 1 || kind > 4) return r;
    const bool stereo = kind == 3 || kind == 4;
    const bool wide = kind == 2 || kind == 4;
    const std::int64_t step = (stereo ? 2 : 1) * (double_speed ? 2 : 1);
    const std::int64_t S = in.sensitivity;
    const std::int64_t size = static_cast<std::int64_t>(file.size());

    std::int64_t position = in.data_start;
    bool in_silence = false;
    std::int64_t silence_start = 0, silence_end = 0, last_end = 0;
    for (;;) {
        const std::int64_t p = position;
        std::int64_t v = 0, mark = 0, end_value = 0;
        switch (kind) {
            case 1:
                v = byte_at(file, p);
                mark = p + step;
                end_value = p + step;
                break;
            case 2:
                v = int16_at(file, p);
                mark = p;
                end_value = p + step;
                break;
            case 3:
                v = std::max(byte_at(file, p), byte_at(file, p + 1));
                mark = p + 1;
                end_value = p + step - 1;
                break;
            case 4:
                v = std::max(int16_at(file, p), int16_at(file, p + 1));
                mark = p + 1;
                end_value = p + step - 1;
                break;
        }
        const bool silent = wide ? -256 * S < v && v < 256 * S : 128 - S < v && v < 128 + S;
        if (silent && !in_silence) silence_start = mark;
        if (!silent && in_silence) silence_end = mark;
        in_silence = silent;
        const double length_ms =
            std::floor(static_cast<double>(silence_end - silence_start) / in.byte_rate * 1000.0);
        if (length_ms > in.filter_ms && silence_end > silence_start && silence_end > last_end)
            r.silences.push_back({silence_start, silence_end});
        last_end = silence_end;
        r.scanned = true;
        ++r.steps;
        r.last_progress = !stereo ? p : s == 14 ? p + 1 : p + step;
        position = p + step;
        if (end_value >= in.end_mark) break;
        // Past the end of the file every step reads the same zeros and so changes nothing:
        // go straight to the last step, the first whose end value reaches the end mark.
        if (p > size) {
            const std::int64_t skipped = (in.end_mark - end_value - 1) / step;
            position += skipped * step;
            r.steps += skipped;
        }
    }
    return r;
}

}  // namespace veltrane::reference
