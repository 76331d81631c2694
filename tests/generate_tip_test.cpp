// Generate's tooltip: every reason the scan gives for a file it cannot scan, in both of
// the window's languages.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app/generate_tip.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

std::vector<std::string> numbers_in(const std::string& text) {
    std::vector<std::string> numbers;
    const std::regex number("-?[0-9]+");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number);
         it != std::sregex_iterator(); ++it)
        numbers.push_back(it->str());
    return numbers;
}

TEST(GenerateTipTest, EveryReasonTheScanGivesHasItsGermanWithItsNumbersAndNoReasonNoTip) {
    const std::vector<std::uint8_t> data(400, 128);
    const std::string words = "just words";
    auto renamed = [](std::vector<std::uint8_t> wav, std::size_t at, std::string_view id) {
        std::copy(id.begin(), id.end(), wav.begin() + static_cast<std::ptrdiff_t>(at));
        return wav;
    };
    const std::vector<std::uint8_t> plain = wav_with({1, 1, 8000, 16}, data);
    const struct {
        std::vector<std::uint8_t> bytes;
        bool find_chunks;
    } files[] = {
        {{words.begin(), words.end()}, false},
        {wav_with({1, 1, 8000, 24}, data), false},
        {wav_with({3, 1, 8000, 32}, data), false},
        {wav_with({0xFFFE, 2, 8000, 16}, data), false},
        {wav_with({2, 1, 8000, 4, 256}, data), false},
        {wav_with({99, 1, 8000, 16}, data), false},
        {wav_with({1, 4, 8000, 16}, data), false},
        {wav_with({1, 1, 8000, 8, 3}, data), false},
        {wav_with({1, 1, 0, 8}, data), false},
        {wav_with({1, 1, 0x80000000u, 8}, data), false},
        {inserted(plain, 12, chunk("JUNK", 28)), false},
        {renamed(plain, 36, "dat_"), true},
        {renamed(plain, 12, "fmx "), true},
    };
    std::vector<std::string> seen;
    for (const auto& file : files) {
        MemorySource source(file.bytes);
        const std::string reason = why_not_scanned(source, file.find_chunks);
        SCOPED_TRACE(reason);
        ASSERT_FALSE(reason.empty());
        seen.push_back(reason);
        const std::string english = generate_tip(reason, Wording::English);
        const std::string german = generate_tip(reason, Wording::German);
        EXPECT_EQ(english.substr(1), reason.substr(1));
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(english[0])));
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(german[0]))) << german;
        EXPECT_NE(german, english);
        for (const char* word : {"scans", " of ", "its ", " no ", "samples"})
            EXPECT_EQ(german.find(word), std::string::npos) << german;
        EXPECT_EQ(numbers_in(german), numbers_in(reason)) << german;
    }
    EXPECT_EQ(generate_tip(seen[1], Wording::German),
              "24-Bit-Samples; Veltrane prüft 8- und 16-Bit-PCM");
    EXPECT_EQ(generate_tip(seen[4], Wording::German),
              "Microsoft ADPCM; Veltrane prüft unkomprimiertes PCM");
    EXPECT_EQ(generate_tip(seen[9], Wording::German),
              "Eine Byterate von -2147483648 Bytes pro Sekunde");
    // No reason, no tip; a reason without its German stays as it is.
    for (const Wording w : {Wording::English, Wording::German}) EXPECT_EQ(generate_tip("", w), "");
    EXPECT_EQ(generate_tip("something new", Wording::German), "Something new");
}

}  // namespace
}  // namespace veltrane::test
