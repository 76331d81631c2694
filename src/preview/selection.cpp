#include "preview/selection.h"

#include <algorithm>
#include <cstdint>

namespace veltrane::preview {

int kept_selection(std::span<const GapRecord> before, int selected,
                   std::span<const GapRecord> now) {
    if (selected < 0 || static_cast<std::size_t>(selected) >= before.size()) return -1;
    const GapRecord& was = before[static_cast<std::size_t>(selected)];
    // Records follow each other in time: only those from the first that ends after the
    // old one starts can overlap it.
    auto it = std::lower_bound(now.begin(), now.end(), was.start_ms,
                               [](const GapRecord& r, std::int32_t t) { return r.end_ms <= t; });
    int best = -1;
    std::int64_t most = 0;
    for (; it != now.end() && it->start_ms < was.end_ms; ++it) {
        const std::int64_t overlap =
            std::int64_t{std::min(it->end_ms, was.end_ms)} - std::max(it->start_ms, was.start_ms);
        if (overlap > most) {
            most = overlap;
            best = static_cast<int>(it - now.begin());
        }
    }
    return best;
}

int stepped_selection(std::span<const GapRecord> records, int selected, int step, double at_ms) {
    const int n = static_cast<int>(records.size());
    if (n == 0) return -1;
    if (selected >= 0 && selected < n) return std::clamp(selected + (step > 0 ? 1 : -1), 0, n - 1);
    const auto first_after =
        std::lower_bound(records.begin(), records.end(), at_ms,
                         [](const GapRecord& r, double t) { return r.start_ms < t; });
    const int i = static_cast<int>(first_after - records.begin());
    return step > 0 ? std::min(i, n - 1) : std::max(i - 1, 0);
}

}  // namespace veltrane::preview
