#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>

#include "base/byte_source.h"

namespace veltrane {

// How the frames of a stretch of PCM are made: 1-byte samples are unsigned, 2-byte
// samples signed little-endian; one or two channels.
struct PcmFormat {
    int sample_rate = 0;
    int channels = 0;
    int sample_bytes = 0;
    int frame_bytes() const { return channels * sample_bytes; }
    bool operator==(const PcmFormat&) const = default;
};

// Streams a stretch of a recording to the sound output, pulling it from the source a
// block at a time as the output asks for more: memory use does not grow with the stretch.
class Playback {
  public:
    enum class State { Stopped, Playing, Paused };
    // Why nothing can be heard: no output device, the format refused, the output not
    // opened.
    enum class Fault { None, NoDevice, Refused, Failed };
    virtual ~Playback() = default;
    virtual Fault fault() const = 0;
    // Plays bytes [from, to) of `source`, replacing whatever plays. Returns false, with
    // fault() saying why, when the output refuses.
    virtual bool start(std::shared_ptr<ByteSource> source, std::int64_t from, std::int64_t to,
                       const PcmFormat& format) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void stop() = 0;
    // Stopped once the stretch has been played out.
    virtual State state() const = 0;
    // The byte of the source heard now, from <= position() <= to; -1 when stopped.
    virtual std::int64_t position() const = 0;
};

// Plays a WAV file without waiting. A file that cannot be played gives the
// platform's default beep instead.
class Sound {
  public:
    virtual ~Sound() = default;
    virtual void play_async(const std::filesystem::path& file) = 0;
    // A streaming output for listening to recordings; null where there is none.
    virtual std::unique_ptr<Playback> playback() { return nullptr; }
};

}  // namespace veltrane
