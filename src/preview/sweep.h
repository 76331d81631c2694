#pragma once
// Questions about a recording that a single scan cannot answer: which Sensitivity would
// record something, and how quiet its quietest stretch is.
#include <cstdint>
#include <functional>
#include <optional>

#include "audio/byte_source.h"
#include "audio/scan.h"
#include "preview/recording.h"

namespace veltrane::preview {

inline constexpr int kLeastSensitivity = 1;
inline constexpr int kMostSensitivity = 50;

// Asked now and then during a long pass; when it answers false the pass stops by
// throwing Stopped.
using KeepGoing = std::function<bool()>;
struct Stopped {};

// How a pass follows the loudest of the latest values: in blocks as long as the window
// (fast, with memory as large as the window) or in a queue of falling values (memory
// that stays small whatever the window, slower). Automatic takes blocks for windows of
// up to a few million values, which covers every Filter at every usual rate.
enum class Method { Automatic, Blocks, Queue };

// The smallest Sensitivity from 1 to `most` at which the scan `params` describes (its
// own sensitivity aside) records at least one silence; none when no such value records
// anything. Recording does not grow steadily with the Sensitivity (a wider band can
// join two silences into one that runs to the end), so this is no search: one pass
// over the file follows every Sensitivity at once. For each step it takes the least
// Sensitivity that makes it silent; a Sensitivity S records a silence exactly where a
// step that is loud at S closes a run of steps silent at S that is long enough, that
// is, where the loudest of the steps just before it is quieter than the step itself.
std::optional<int> smallest_sensitivity(ByteSource& source, const ScanParams& params,
                                        int most = kMostSensitivity,
                                        const KeepGoing& keep_going = {},
                                        Method method = Method::Automatic);

// The same answer by scanning the whole file once per Sensitivity; exact by
// construction, and slow: for parameters far outside what a header can give.
std::optional<int> smallest_sensitivity_by_scans(ByteSource& source, const ScanParams& params,
                                                 int most = kMostSensitivity);

// The stretch of the sound at least `filter_ms` long whose loudest sample (over all
// channels) is the quietest of all such stretches, the earliest of equals.
struct QuietStretch {
    std::int64_t first_frame = 0;
    std::int64_t frames = 0;
    int peak = 0;  // in 16-bit units, 0 to 32768
};
std::optional<QuietStretch> quietest_stretch(ByteSource& source, const SampleLayout& layout,
                                             int filter_ms, const KeepGoing& keep_going = {},
                                             Method method = Method::Automatic);

}  // namespace veltrane::preview
