#include <gtest/gtest.h>

#include <random>

#include "audio/gap_file.h"
#include "audio/wav_chunks.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"
#include "fakes.h"
#include "synth.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

const std::vector<std::uint8_t> kData(100, 128);

TEST(WavChunks, FindsTheChunksWhereverTheyStand) {
    const auto plain = wav_with({}, kData);
    WavChunks c = find_wav_chunks(plain);
    EXPECT_TRUE(c.plain());
    EXPECT_EQ(c.data_offset(), 44u);
    EXPECT_EQ(c.data->size, 100u);
    EXPECT_EQ(c.format, (WavFmt{1, 1, 8000, 8000, 1, 8}));

    // Chunks before "fmt " and an odd-sized one with its pad byte (JUNK before "fmt ":
    // CliTest.ChunksBeforeTheData..., LIST before "data": CliTest.Info...).
    c = find_wav_chunks(inserted(inserted(plain, 36, chunk("bext", 601)), 12, chunk("J\x01NK", 2)));
    EXPECT_EQ(c.data_offset(), 44u + 10 + 8 + 602);
    EXPECT_EQ(c.others, (std::vector<std::string>{"J?NK", "bext"}));

    // A "fmt " chunk longer than its 16 fields (the size of an extended header).
    auto longer = plain;
    longer[16] = 18;
    longer.insert(longer.begin() + 36, {0, 0});
    c = find_wav_chunks(longer);
    EXPECT_EQ(c.data_offset(), 46u);
    EXPECT_FALSE(c.plain());

    // No "fmt " before "data"; no "data" at all; not RIFF/WAVE.
    c = find_wav_chunks(inserted({plain.begin(), plain.begin() + 12}, 12, chunk("data", 10)));
    EXPECT_TRUE(c.data && !c.fmt);
    c = find_wav_chunks(std::span(plain).first(36));
    EXPECT_EQ(c.end, ChunkWalkEnd::FileEnd);
    EXPECT_TRUE(c.format && !c.data);
    EXPECT_FALSE(find_wav_chunks(std::vector<std::uint8_t>(44, 'x')).riff_wave());

    // A file is read only as far as the walk needs: a chunk of 1 MiB before the data lies
    // beyond the first read, inside the second.
    const auto far = inserted(plain, 36, chunk("LIST", 1 << 20));
    MemorySource source(far);
    c = read_wav_chunks(source);
    EXPECT_EQ(c.data_offset(), 44u + 8 + (1u << 20));
    EXPECT_EQ(c.data->size, 100u);
}

TEST(WavChunks, LyingSizesNeverLeadOutsideTheFile) {
    const auto plain = wav_with({}, kData);
    auto with_data_size = [&](std::uint32_t size) {
        auto b = plain;
        for (int i = 0; i < 4; ++i) b[40 + i] = static_cast<std::uint8_t>(size >> (8 * i));
        return find_wav_chunks(b);
    };
    // Past the end, "negative", odd: the data chunk holds what the file holds.
    for (std::uint32_t size : {1000u, 0x80000000u, 0xFFFFFFFFu, 101u}) {
        const WavChunks c = with_data_size(size);
        EXPECT_EQ(c.data->declared_size, size);
        EXPECT_EQ(c.data->size, std::min<std::uint64_t>(size, 100));
    }
    // A chunk before "data" that claims to run past the end hides it.
    auto b = inserted(plain, 36, chunk("LIST", 4));
    b[40] = 0xFF, b[41] = 0xFF, b[42] = 0xFF, b[43] = 0x7F;
    EXPECT_EQ(find_wav_chunks(b).end, ChunkWalkEnd::FileEnd);
    // A "fmt " chunk too short for its fields, or cut off by the end of the file.
    b = plain;
    b[16] = 14;
    EXPECT_FALSE(find_wav_chunks(b).format.has_value());
    EXPECT_FALSE(find_wav_chunks(std::span(plain).first(30)).format.has_value());
    // Random headers over random bytes: the fuzz target walks them (fuzz/harness.cpp).
}

// A file whose data stand after other chunks, scanned with its chunks located, gives the
// records of the same data in the plain layout, later by the time the extra bytes take:
// for every sample layout and speed, with the extra chunk after "fmt " or before it (where
// the plain layout's fields are not the format's), also when the end mark falls inside
// the data. 16-bit sound is loud in its high bytes only: read one byte off, it is silence.
using FindChunksTest = RunTest;

TEST_F(FindChunksTest, ChunksBeforeTheDataShiftTheRecordsByTheirLength) {
    std::mt19937 rng(11);
    // Byte rates that are powers of two keep every time in the GAP file exact.
    const synth::Format formats[] = {{1, 8, 8192}, {1, 16, 8192}, {2, 8, 8192}, {2, 16, 8192}};
    for (const synth::Format& format : formats) {
        const int frame = format.channels * format.bits / 8;
        const std::uint32_t byte_rate = 8192u * static_cast<std::uint32_t>(frame);
        // Runs of silence and of sound, a few hundred milliseconds each.
        std::vector<std::uint8_t> data;
        while (data.size() < byte_rate * 3) {
            const bool silent = data.size() / byte_rate % 2 == 0 ? rng() % 3 != 0 : rng() % 3 == 0;
            const std::size_t n = (200 + rng() % 400) * byte_rate / 1000 / frame * frame;
            for (std::size_t i = 0; i < n; ++i) {
                if (format.bits == 8)
                    data.push_back(silent ? 128 : static_cast<std::uint8_t>(rng()));
                else
                    data.push_back(
                        silent || i % 2 == 0 ? 0 : static_cast<std::uint8_t>(32 + rng() % 96));
            }
        }
        const auto plain = synth::wav_bytes(format, data);
        // One second of extra bytes exactly: the chunk header and its body.
        const auto extra = chunk("LIST", byte_rate - 8);
        for (int fast = 0; fast <= 1; ++fast) {
            SCOPED_TRACE(std::to_string(frame) + " " + std::to_string(fast));
            auto records = [&](const std::vector<std::uint8_t>& wav, bool find_chunks) {
                std::filesystem::remove(dir / "x.gap");
                app->find_chunks = find_chunks;
                f().Fast.set_value(fast);
                generate(put("x.wav", wav));
                return read_gap_file(dir / "x.gap");
            };
            std::vector<GapRecord> later = records(plain, false);
            ASSERT_FALSE(later.empty());
            EXPECT_EQ(records(plain, true), later) << "the plain layout is read as without";
            for (GapRecord& r : later) r = {r.start_ms + 1000, r.end_ms + 1000};
            EXPECT_EQ(records(inserted(plain, 36, extra), true), later);
            EXPECT_EQ(records(inserted(plain, 12, extra), true), later);
        }
    }
}

}  // namespace
}  // namespace veltrane::test
