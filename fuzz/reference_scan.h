#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "audio/scan.h"

namespace veltrane::fuzz {

// What the reference's walk came to besides the silences.
struct ReferenceSteps {
    std::int64_t steps = 0;          // steps made
    std::int64_t last_progress = 0;  // progress value of the last step
    bool scanned = false;            // whether any step was made
};

// The silences the step-by-step reference finds, and optionally its steps.
std::vector<Silence> reference_silences(std::span<const std::uint8_t> file, const ScanParams& p,
                                        ReferenceSteps* steps = nullptr);

}  // namespace veltrane::fuzz
