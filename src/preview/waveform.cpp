#include "preview/waveform.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace veltrane::preview {

namespace {

// Bytes read at a time when the summarizer reads for itself.
constexpr std::int64_t kBlockBytes = std::int64_t{1} << 20;

constexpr std::int16_t kLeast = std::numeric_limits<std::int16_t>::min();
constexpr std::int16_t kMost = std::numeric_limits<std::int16_t>::max();

// The lowest and highest of `count` samples of `Bytes` bytes each, in 16-bit units.
template <int Bytes>
void extremes(const std::uint8_t* p, std::int64_t count, std::int16_t& lo, std::int16_t& hi) {
    if constexpr (Bytes == 1) {
        std::uint8_t mn = 255, mx = 0;
        for (std::int64_t i = 0; i < count; ++i) {
            mn = std::min(mn, p[i]);
            mx = std::max(mx, p[i]);
        }
        lo = std::min<std::int16_t>(lo, static_cast<std::int16_t>((mn - 128) * 256));
        hi = std::max<std::int16_t>(hi, static_cast<std::int16_t>((mx - 128) * 256));
    } else {
        std::int16_t mn = lo, mx = hi;
        for (std::int64_t i = 0; i < count; ++i) {
            // The top two bytes of a little-endian sample.
            const std::uint8_t* q = p + i * Bytes + (Bytes - 2);
            std::int16_t v;
            if constexpr (std::endian::native == std::endian::little)
                std::memcpy(&v, q, 2);
            else
                v = static_cast<std::int16_t>(static_cast<std::uint16_t>(q[0] | q[1] << 8));
            mn = std::min(mn, v);
            mx = std::max(mx, v);
        }
        lo = mn;
        hi = mx;
    }
}

}  // namespace

std::int64_t Waveform::bucket_start(std::size_t b) const {
    if (lo.empty()) return to;
    __extension__ using Wide = __int128;
    return from + static_cast<std::int64_t>(Wide{to - from} * static_cast<Wide>(b) /
                                            static_cast<Wide>(lo.size()));
}

Summarizer::Summarizer(const SampleLayout& layout, std::int64_t from, std::int64_t to,
                       std::size_t buckets)
    : layout_(layout) {
    const std::int64_t frames = layout.usable() ? layout.frames : 0;
    w_.from = std::clamp<std::int64_t>(from, 0, frames);
    w_.to = std::clamp<std::int64_t>(to, w_.from, frames);
    w_.lo.assign(buckets, kMost);
    w_.hi.assign(buckets, kLeast);
    next_ = buckets == 0 ? w_.to : w_.from;
    bucket_end_ = w_.bucket_start(1);
    // Buckets without frames come first when there are fewer frames than buckets.
    while (bucket_ + 1 < buckets && bucket_end_ <= next_)
        bucket_end_ = w_.bucket_start(++bucket_ + 1);
}

void Summarizer::take_frames(const std::uint8_t* p, std::int64_t count) {
    const std::size_t buckets = w_.buckets();
    while (count > 0) {
        const std::int64_t n = std::min(count, bucket_end_ - next_);
        std::int16_t& lo = w_.lo[bucket_];
        std::int16_t& hi = w_.hi[bucket_];
        const std::int64_t samples = n * layout_.channels;
        switch (layout_.sample_bytes) {
            case 1:
                extremes<1>(p, samples, lo, hi);
                break;
            case 2:
                extremes<2>(p, samples, lo, hi);
                break;
            case 3:
                extremes<3>(p, samples, lo, hi);
                break;
            default:
                extremes<4>(p, samples, lo, hi);
                break;
        }
        p += n * layout_.frame_bytes;
        next_ += n;
        count -= n;
        while (bucket_ + 1 < buckets && bucket_end_ <= next_)
            bucket_end_ = w_.bucket_start(++bucket_ + 1);
    }
}

void Summarizer::take(std::int64_t offset, std::span<const std::uint8_t> bytes) {
    const std::int64_t at = next_offset();
    if (next_ >= w_.to || at < offset) return;
    const auto end = offset + static_cast<std::int64_t>(bytes.size());
    const std::int64_t whole = (end - at) / layout_.frame_bytes;
    const std::int64_t count = std::min(whole, w_.to - next_);
    if (count > 0) take_frames(bytes.data() + (at - offset), count);
}

void Summarizer::catch_up(ByteSource& source, std::int64_t offset) {
    while (next_ < w_.to && next_offset() < offset) {
        const std::int64_t frames =
            std::min(std::max<std::int64_t>(1, kBlockBytes / layout_.frame_bytes), w_.to - next_);
        buffer_.resize(static_cast<std::size_t>(frames * layout_.frame_bytes));
        const std::int64_t at = next_offset();
        const std::size_t got = source.read_at(at, buffer_);
        if (got < static_cast<std::size_t>(layout_.frame_bytes)) {
            // The file ends early (it has become shorter): the rest stays empty.
            next_ = w_.to;
            break;
        }
        take(at, std::span(buffer_).first(got));
    }
}

Waveform Summarizer::finish(ByteSource& source) {
    catch_up(source, std::numeric_limits<std::int64_t>::max());
    buffer_ = {};
    return std::move(w_);
}

Waveform summarize(ByteSource& source, const SampleLayout& layout, std::int64_t from,
                   std::int64_t to, std::size_t buckets) {
    Summarizer s(layout, from, to, buckets);
    return s.finish(source);
}

void SummarizingSource::seen(std::int64_t offset, std::span<const std::uint8_t> bytes) {
    summarizer_.catch_up(inner_, offset);
    summarizer_.take(offset, bytes);
}

}  // namespace veltrane::preview
