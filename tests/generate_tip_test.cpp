// Generate's tooltip: the reason the scan gives for a file it cannot scan, in the window's
// language.
#include <gtest/gtest.h>

#include <string>

#include "app/generate_tip.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"
#include "synth.h"

namespace veltrane::test {
namespace {

// The German of a reason whose form is in the table, of a compression named by the scan,
// and of a number with its sign; a reason without its German stays as it is.
TEST(GenerateTipTest, TheScansReasonsHaveTheirGermanWithTheirNumbersAndNoReasonNoTip) {
    // 8-bit mono with one byte of its header changed: the bits, the format tag, the top of
    // the byte rate.
    const std::pair<std::size_t, std::uint8_t> changes[] = {{34, 24}, {20, 2}, {31, 0x80}};
    std::vector<std::string> german, english;
    for (const auto& [at, value] : changes) {
        auto bytes = synth::wav_bytes({1, 8, 8000}, std::vector<std::uint8_t>(400, 128));
        bytes[at] = value;
        MemorySource source(bytes);
        const std::string reason = why_not_scanned(source, false);
        german.push_back(generate_tip(reason, Wording::German));
        english.push_back(generate_tip(reason, Wording::English));
    }
    EXPECT_EQ(german,
              (std::vector<std::string>{"24-Bit-Samples; Veltrane prüft 8- und 16-Bit-PCM",
                                        "Microsoft ADPCM; Veltrane prüft unkomprimiertes PCM",
                                        "Eine Byterate von -2147475648 Bytes pro Sekunde"}));
    EXPECT_EQ(english[0], "24-bit samples; Veltrane scans 8- and 16-bit PCM");
    EXPECT_EQ(generate_tip("", Wording::German), "");
    EXPECT_EQ(generate_tip("something new", Wording::German), "Something new");
}

}  // namespace
}  // namespace veltrane::test
