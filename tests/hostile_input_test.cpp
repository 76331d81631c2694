#include <gtest/gtest.h>

#include <random>

#include "audio/wav_header.h"
#include "fakes.h"

namespace veltrane::test {
namespace {

using HostileInputTest = RunTest;

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Headers that claim anything at all, over a little data: examining and generating them
// must end with a GAP file or none, and never with anything but a clean return.
TEST_F(HostileInputTest, AnyHeaderGeneratesWithoutFailing) {
    std::mt19937 rng(20021001);
    const std::uint32_t odd_values[] = {0,          1,          2,          3,          44,
                                        0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFD4, 176400};
    auto pick = [&] {
        return rng() % 3 == 0 ? static_cast<std::uint32_t>(rng())
                              : odd_values[rng() % std::size(odd_values)];
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> b(rng() % 3 == 0 ? rng() % 44 : 44 + rng() % 3000);
        for (auto& byte : b) byte = static_cast<std::uint8_t>(rng());
        if (b.size() >= 44) {
            put32(b, wav::kRiffId, wav::kRiff);
            put32(b, wav::kWaveId, wav::kWave);
            put32(b, wav::kFmtId, wav::kFmt);
            b[wav::kFormatTag] = 1;
            put32(b, wav::kFmtLength, rng() % 2 ? 16 : pick());
            put32(b, wav::kByteRate, pick());
            put32(b, wav::kDataSize, pick());
            b[wav::kChannels] = static_cast<std::uint8_t>(1 + rng() % 3);
            const std::uint8_t aligns[] = {1, 2, 4, 3, 0};
            b[wav::kBlockAlign] = aligns[rng() % std::size(aligns)];
        }
        f().Fast.set_value(static_cast<int>(rng() % 2));
        app->find_chunks = rng() % 2 == 0;  // chunk sizes as random as the rest
        boxes.shown.clear();
        generate(put("x.wav", b));
        for (const std::string& shown : boxes.shown)
            ASSERT_EQ(shown, "No silences detected. No need to create file") << "round " << round;
        ASSERT_EQ(read_bytes(dir / "x.gap").size() % 8, 0u) << "round " << round;
        ASSERT_TRUE(f().Command3.enabled);
    }
}

}  // namespace
}  // namespace veltrane::test
