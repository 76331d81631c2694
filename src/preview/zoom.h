#pragma once
// The span of a recording the preview shows, and how zooming and scrolling move it.

namespace veltrane::preview {

// From and to, in milliseconds from the start of the file.
struct View {
    double from_ms = 0;
    double to_ms = 1;
};

// `wanted` made to fit a recording `total_ms` long whose frames last `frame_ms` (0 when
// unknown): no wider than the recording, no closer than 16 frames and never under a
// millisecond, and inside the recording, moved rather than cut where it sticks out.
View fitted(View wanted, double total_ms, double frame_ms);

// The view `factor` times as wide (below 1 zooms in), the time `around_ms` staying at
// the same place in it.
View zoomed(View v, double factor, double around_ms);

// The view moved by `share` of its width (negative: towards the start).
View scrolled(View v, double share);

}  // namespace veltrane::preview
