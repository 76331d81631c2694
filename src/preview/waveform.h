#pragma once
// The waveform as the preview draws it: the lowest and highest sample of each of a
// fixed number of buckets, so that its size follows the picture, not the file.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "base/byte_source.h"
#include "preview/recording.h"

namespace veltrane::preview {

// Sample values are in 16-bit units: 8-bit samples are centred and scaled by 256,
// wider ones keep their top two bytes.
struct Waveform {
    std::int64_t from = 0, to = 0;  // the frames summarized, [from, to)
    // Per bucket; a bucket that holds no frame has lo > hi. Bucket b holds the frames
    // [from + (to - from) * b / n, from + (to - from) * (b + 1) / n).
    std::vector<std::int16_t> lo, hi;

    std::size_t buckets() const { return lo.size(); }
    // The first frame of bucket b (b may be buckets()).
    std::int64_t bucket_start(std::size_t b) const;
};

// Builds a Waveform from bytes of the file as they come, a block at a time, in any
// order of blocks as long as they go forwards: frames that no block brought are read by
// catch_up() or finish().
class Summarizer {
  public:
    Summarizer(const SampleLayout& layout, std::int64_t from, std::int64_t to, std::size_t buckets);

    // Bytes of the file from the 0-based `offset`: every whole frame they hold that is
    // next in line is taken in.
    void take(std::int64_t offset, std::span<const std::uint8_t> bytes);
    // Reads from `source` the frames before byte `offset` that are still missing.
    void catch_up(ByteSource& source, std::int64_t offset);
    // Reads the rest and hands over the result.
    Waveform finish(ByteSource& source);
    // The offset of the next frame wanted.
    std::int64_t next_offset() const { return layout_.first + next_ * layout_.frame_bytes; }

  private:
    void take_frames(const std::uint8_t* p, std::int64_t count);

    SampleLayout layout_;
    Waveform w_;
    std::int64_t next_;        // the next frame wanted
    std::size_t bucket_ = 0;   // the bucket it falls in
    std::int64_t bucket_end_;  // the first frame of the next bucket
    std::vector<std::uint8_t> buffer_;
};

// The waveform of frames [from, to) in `buckets` buckets, read in blocks.
Waveform summarize(ByteSource& source, const SampleLayout& layout, std::int64_t from,
                   std::int64_t to, std::size_t buckets);

// A source that hands every block read through it to a Summarizer as well: one pass
// over the file both scans it and draws it.
class SummarizingSource final : public TappedSource {
  public:
    SummarizingSource(ByteSource& inner, Summarizer& summarizer)
        : TappedSource(inner), summarizer_(summarizer) {}

  private:
    void seen(std::int64_t offset, std::span<const std::uint8_t> bytes) override;
    Summarizer& summarizer_;
};

}  // namespace veltrane::preview
