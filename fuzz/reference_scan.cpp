// The step-by-step reference, in a unit of its own so that the fuzz build can leave it
// without coverage: its loop is long and tells the fuzzer nothing.
#include "reference_scan.h"

#include "scan_reference.h"

namespace veltrane::fuzz {

std::vector<Silence> reference_silences(std::span<const std::uint8_t> file, const ScanParams& p,
                                        ReferenceSteps* steps) {
    reference::Result r = reference::scan(file, p);
    if (steps) *steps = {r.steps, r.last_progress, r.scanned};
    return std::move(r.silences);
}

}  // namespace veltrane::fuzz
