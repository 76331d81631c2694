#pragma once
// Everything the reasons for an empty scan say, from one read of the file: the smallest
// Sensitivity that records a silence at normal speed and at Double Speed, the quietest
// stretch of the sound, and how many silences Double Speed records at a given
// Sensitivity. The answers are those of smallest_sensitivity(), quietest_stretch() and a
// scan; only the way there differs.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "audio/scan.h"
#include "base/byte_source.h"
#include "preview/recording.h"
#include "preview/sweep.h"

namespace veltrane::preview {

struct PassQuestions {
    // The scans at Sensitivity 1 (their own sensitivity is not looked at); a situation
    // of 0 asks nothing.
    ScanParams normal, fast;
    // The frames whose quietest stretch of filter_ms is wanted; unusable asks nothing.
    SampleLayout layout;
    int filter_ms = 0;
    // The Sensitivity at which to count the silences the `fast` scan records, if any.
    std::optional<int> count_fast_at;
    // The scan being explained, when the pass runs before it is known to record nothing
    // (along with it): `normal` or `fast` at this Sensitivity. Once it records a silence
    // there is nothing to explain, and the pass gives up.
    std::optional<int> give_up_at;
    bool give_up_fast = false;
};

struct PassAnswers {
    std::optional<int> smallest_normal, smallest_fast;
    std::optional<QuietStretch> quietest;
    std::optional<std::size_t> fast_finds;
    // The pass gave up: the scan being explained records a silence.
    bool recorded = false;
};

// Takes in the bytes of a file as they come, a block at a time and forwards (blocks may
// overlap or leave gaps; what a gap hid is read by finish()), and answers at the end.
class FactsGatherer {
  public:
    FactsGatherer(const PassQuestions& questions, std::int64_t file_size);
    ~FactsGatherer();
    FactsGatherer(const FactsGatherer&) = delete;
    FactsGatherer& operator=(const FactsGatherer&) = delete;

    // Bytes of the file from the 0-based `offset`.
    void take(std::int64_t offset, std::span<const std::uint8_t> bytes);
    // Every answer is known already: the rest of the file cannot change them.
    bool done() const;
    // Reads from `source` what no block brought, and answers. Throws Stopped when
    // `keep_going` says so.
    PassAnswers finish(ByteSource& source, const KeepGoing& keep_going = {});

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The gatherer over a whole file, read here.
PassAnswers gather_facts(ByteSource& source, const PassQuestions& questions,
                         const KeepGoing& keep_going = {});

// A source that hands every block read through it to a gatherer as well, so that a scan
// gathers the facts on its way.
class GatheringSource final : public TappedSource {
  public:
    GatheringSource(ByteSource& inner, FactsGatherer& gatherer)
        : TappedSource(inner), gatherer_(gatherer) {}
    std::span<const std::uint8_t> in_memory() const override { return inner_.in_memory(); }

  private:
    void seen(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        gatherer_.take(offset, bytes);
    }
    FactsGatherer& gatherer_;
};

}  // namespace veltrane::preview
