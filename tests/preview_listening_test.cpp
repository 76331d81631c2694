// The preview's arithmetic for listening: what a stretch of time is in bytes of the file,
// and what the sound output is handed.
#include <gtest/gtest.h>

#include <vector>

#include "preview/listening.h"
#include "preview/why.h"

namespace veltrane::test {
namespace {

using preview::Language;

// Which bytes a time from the cursor plays: PreviewWindowTest.PlaysFrom...; "Play around":
// PreviewEditTest.PlaysAndSaves...; a stretch played whole and nothing either side of it:
// SoundOutput.
TEST(PreviewListening, PlaysEightAndSixteenBitMonoOrStereoInWholeFramesInsideTheFile) {
    const preview::SampleLayout stereo16{44, 8000, 4, 2, 2, 8000};
    EXPECT_EQ(preview::play_format({44, 100, 1, 1, 1, 11025}), (PcmFormat{11025, 1, 1}));
    EXPECT_EQ(preview::unplayable_cause(stereo16, Language::English), "");
    // What Qt's output cannot be handed as it lies in the file.
    const preview::SampleLayout wide{44, 100, 3, 1, 3, 8000};
    const preview::SampleLayout many{44, 100, 6, 3, 2, 8000};
    const preview::SampleLayout none{44, 0, 2, 1, 2, 8000};
    for (const auto& l : {wide, many, none}) EXPECT_FALSE(preview::play_format(l));
    EXPECT_EQ(preview::unplayable_cause(many, Language::German),
              "3 Kanäle, abgespielt werden Mono und Stereo");
    // Times before and past the recording stay inside its frames.
    const preview::ByteRange all = preview::frames_between(stereo16, 32, -5, 1e9);
    EXPECT_EQ(all.from, 44);
    EXPECT_EQ(all.to, 44 + 8000 * 4);
    EXPECT_TRUE(preview::frames_between(stereo16, 32, 50, 40).empty());
}

}  // namespace
}  // namespace veltrane::test
