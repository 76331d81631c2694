// Writes the inputs the fuzz corpus was started from into a folder: small valid WAV files
// of every sample layout, and headers with values at and past the edges of their ranges.
// Each is followed by the harness's trailer.
//   veltrane_fuzz_seeds FOLDER
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "audio/wav_header.h"
#include "harness.h"
#include "synth.h"

namespace {

using namespace veltrane;
using Bytes = std::vector<std::uint8_t>;
using fuzz::Trailer;
using I32 = std::numeric_limits<std::int32_t>;

void put32(Bytes& b, std::size_t at, std::int32_t v) {
    for (std::size_t i = 0; i < 4 && at + i < b.size(); ++i)
        b[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

void put16(Bytes& b, std::size_t at, int v) {
    for (std::size_t i = 0; i < 2 && at + i < b.size(); ++i)
        b[at + i] = static_cast<std::uint8_t>(static_cast<unsigned>(v) >> (8 * i));
}

// A short recording at a low sample rate, so that its pauses are long enough to record
// although the file is small.
Bytes recording(int channels, int bits, int rate, std::size_t most_bytes, std::uint32_t seed) {
    const synth::Format f{channels, bits, rate};
    const double seconds = std::min(2.0, double(most_bytes) / (rate * channels * bits / 8));
    return synth::wav_bytes(f, synth::speech_data(f, seconds, seed));
}

// Sample bytes of stretches: digital silence (the centre value) and full scale.
Bytes stretches(int channels, int bits, int rate) {
    Bytes data;
    const int centre = bits == 8 ? 128 : 0;
    for (int part = 0; part < 6; ++part) {
        const int samples = 40 + 30 * part;
        for (int i = 0; i < samples * channels; ++i) {
            const int v = part % 2 == 0 ? centre : (bits == 8 ? 250 : 30000);
            data.push_back(static_cast<std::uint8_t>(v));
            if (bits == 16) data.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    return synth::wav_bytes({channels, bits, rate}, data);
}

class Seeds {
  public:
    explicit Seeds(std::filesystem::path folder) : folder_(std::move(folder)) {}

    void add(const std::string& name, Bytes file, const Trailer& t = {}) {
        for (std::uint8_t b : t.bytes()) file.push_back(b);
        synth::write_file(folder_ / ("seed-" + name), file);
        ++count_;
    }
    int count() const { return count_; }

  private:
    std::filesystem::path folder_;
    int count_ = 0;
};

Trailer with_sf(int sensitivity, int filter_ms) {
    Trailer t;
    t.sensitivity = static_cast<std::uint8_t>(sensitivity - 1);
    t.filter = static_cast<std::uint16_t>(filter_ms - 20);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    Seeds seeds(argv[1]);

    // Every layout, at sample rates that make silences of a few hundred bytes.
    std::uint32_t seed = 1;
    for (int channels : {1, 2}) {
        for (int bits : {8, 16}) {
            const std::string layout = std::to_string(channels) + "ch" + std::to_string(bits);
            for (int rate : {500, 1000, 4000}) {
                const Bytes wav = recording(channels, bits, rate, 1500, seed++);
                const std::string name = layout + "-" + std::to_string(rate);
                seeds.add(name, wav);
                seeds.add(name + "-s1-f20", wav, with_sf(1, 20));
                seeds.add(name + "-s50-f500", wav, with_sf(50, 500));
            }
            const Bytes plain = stretches(channels, bits, 1000);
            seeds.add(layout + "-stretches", plain);
            Trailer disk = with_sf(15, 50);
            disk.disk = 31;
            seeds.add(layout + "-disk", plain, disk);
            Trailer shrink = with_sf(15, 50);
            shrink.cut = 0x8000;
            seeds.add(layout + "-shrinks", plain, shrink);
            // A block long, and past a block: whole, and shrunk inside either block. The
            // header promises more samples than there are.
            Bytes long_plain = plain;
            put32(long_plain, wav::kDataSize, 1 << 20);
            Trailer tile = with_sf(15, 50);
            tile.tile = 0x800F;
            seeds.add(layout + "-tiled-block", long_plain, tile);
            for (std::uint16_t cut : {0xFFFF, 0x8000, 0xFF80}) {
                tile.tile = 4000 << 4 | 15;
                tile.cut = cut;
                tile.disk = cut == 0xFF80 ? 31 : 0;
                seeds.add(layout + "-tiled-" + std::to_string(cut), long_plain, tile);
            }
        }
    }

    // Header values at and past the edges of their ranges, on an 8-bit mono file.
    const Bytes base = stretches(1, 8, 1000);
    for (std::int32_t v :
         {-1000000, -1045, -45, -30, -29, 0, 15, 18, 100, 5000, I32::max(), I32::min()}) {
        Bytes b = base;
        put32(b, wav::kFmtLength, v);
        seeds.add("fmt-length" + std::to_string(v), b);
    }
    for (std::int32_t v : {0, 1, -1, 2, 999, I32::max(), I32::min()}) {
        Bytes b = base;
        put32(b, wav::kByteRate, v);
        seeds.add("byte-rate" + std::to_string(v), b);
    }
    for (std::int32_t v : {0, -1, 1, 100000, I32::max(), I32::min()}) {
        Bytes b = base;
        put32(b, wav::kDataSize, v);
        seeds.add("data-size" + std::to_string(v), b);
    }
    for (int v : {0, 2, 3, 6, 7, 255}) {
        Bytes b = base;
        put16(b, wav::kFormatTag, v);
        seeds.add("format" + std::to_string(v), b);
    }
    for (int channels : {0, 3, 257}) {
        Bytes b = stretches(2, 8, 1000);
        put16(b, wav::kChannels, channels);
        seeds.add("channels" + std::to_string(channels), b);
    }
    for (int align : {0, 3, 8, 258}) {
        Bytes b = base;
        put16(b, wav::kBlockAlign, align);
        seeds.add("block-align" + std::to_string(align), b);
    }
    for (std::size_t n : {0, 1, 4, 8, 12, 16, 20, 28, 36, 40, 43, 44}) {
        const Bytes b(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(n));
        seeds.add("short" + std::to_string(n), b);
    }
    {
        Bytes b = base;
        b[0] = 'X';
        seeds.add("not-riff", b);
        b = base;
        b[wav::kFmtId] = 'F';
        seeds.add("no-fmt", b);
    }

    // Sensitivity and Filter past the sliders' ranges.
    for (int t = 200; t < 256; t += 4) {
        Trailer odd = with_sf(15, 50);
        odd.sensitivity = static_cast<std::uint8_t>(t);
        seeds.add("odd-sensitivity" + std::to_string(t), base, odd);
    }
    for (int t = 60000; t < 60010; ++t) {
        Trailer odd = with_sf(15, 50);
        odd.filter = static_cast<std::uint16_t>(t);
        seeds.add("odd-filter" + std::to_string(t), base, odd);
    }
    std::printf("%d seeds written to %s\n", seeds.count(), argv[1]);
    return 0;
}
