#pragma once
// Which silence the preview has selected, as the list and the picture share it: moved
// on by a key, and kept on the same stretch of the recording when the settings change.
#include <span>

#include "audio/gap_file.h"

namespace veltrane::preview {

// The record of `now` that overlaps `before[selected]` the most (the earlier one on a
// tie); -1 when none overlaps it or nothing was selected.
int kept_selection(std::span<const GapRecord> before, int selected, std::span<const GapRecord> now);

// The silence after (`step` > 0) or before (`step` < 0) the selected one. With none
// selected, the first that starts at or after `at_ms`, or the last that starts before
// it. Stays put at the ends; -1 when there are no silences.
int stepped_selection(std::span<const GapRecord> records, int selected, int step, double at_ms);

}  // namespace veltrane::preview
