#pragma once

namespace veltrane {

struct App;

// Fills the statistics screen from section "001"; mode 1 also computes the average speed.
void Rook(App& app, int mode);

}  // namespace veltrane
