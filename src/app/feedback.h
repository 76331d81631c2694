#pragma once

namespace veltrane {

struct App;

// The one-time Opinion and Speed messages, once enough files have been processed.
void feedback_messages(App& app);

}  // namespace veltrane
