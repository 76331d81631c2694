#include "preview/zoom.h"

#include <algorithm>

namespace veltrane::preview {

View fitted(View wanted, double total_ms, double frame_ms) {
    const double total = std::max(1.0, total_ms);
    const double least = std::min(total, std::max(1.0, 16 * frame_ms));
    const double span = std::clamp(wanted.to_ms - wanted.from_ms, least, total);
    const double from = std::clamp(wanted.from_ms, 0.0, total - span);
    return {from, from + span};
}

View zoomed(View v, double factor, double around_ms) {
    const double width = v.to_ms - v.from_ms;
    const double span = width * factor;
    const double from = around_ms - (around_ms - v.from_ms) / width * span;
    return {from, from + span};
}

View scrolled(View v, double share) {
    const double by = share * (v.to_ms - v.from_ms);
    return {v.from_ms + by, v.to_ms + by};
}

}  // namespace veltrane::preview
