#pragma once
#include <filesystem>

namespace veltrane {

// Plays a WAV file without waiting. A file that cannot be played gives the
// platform's default beep instead.
class Sound {
  public:
    virtual ~Sound() = default;
    virtual void play_async(const std::filesystem::path& file) = 0;
};

}  // namespace veltrane
