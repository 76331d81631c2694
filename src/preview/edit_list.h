#pragma once
// The silences of one recording as the user corrects them by hand, in whole
// milliseconds as the GAP file holds them. Every operation keeps the list valid: each
// silence starts before it ends, lies inside [0, limit], and follows the one before it
// without overlapping it (touching is allowed). Each operation that changes something
// returns the change, already made, so that an undo step can revert and re-apply it.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <limits>

#include "audio/gap_file.h"

namespace veltrane::preview {

// The latest time a GAP file holds: each half of a record is a 32-bit signed number, as
// Generate writes it (a 16-bit value and two zero bytes up to 32,767 ms).
inline constexpr std::int32_t kGapMaxMs = std::numeric_limits<std::int32_t>::max();

struct EditedSilence {
    GapRecord record;
    bool edited = false;  // changed or made by hand since the list was started
    bool operator==(const EditedSilence&) const = default;
};

// One change: the rows [at, at + before.size()) became `after`.
struct Edit {
    std::size_t at = 0;
    std::vector<EditedSilence> before, after;
    bool operator==(const Edit&) const = default;
};

enum class Edge { Start, End };

class EditList {
  public:
    // `length_ms`: the recording's length; silences end at the latest there or at
    // kGapMaxMs, whichever comes first. Records that break the rules (from an old or
    // foreign GAP file) are made to follow them: cut to the limit and to the end of the
    // silence before, dropped when nothing is left, and marked edited.
    EditList(std::span<const GapRecord> records, std::int32_t length_ms);

    const std::vector<EditedSilence>& silences() const { return rows_; }
    std::vector<GapRecord> records() const;
    std::size_t size() const { return rows_.size(); }
    std::int32_t limit_ms() const { return limit_; }
    // How many records the start had to change or drop.
    std::size_t adjusted_at_start() const { return adjusted_; }

    // Each returns the change made, or nothing when the operation is refused or would
    // change nothing (an index out of range counts as refused).

    // Moves one edge of silence i to t; it stops at the neighbour, at the other edge
    // (one millisecond short of it) and at the ends of [0, limit].
    std::optional<Edit> move_edge(std::size_t i, Edge edge, std::int32_t t);
    // Moves one edge by delta_ms (the window's ±1 and ±10 ms), clamped the same way.
    std::optional<Edit> nudge(std::size_t i, Edge edge, std::int32_t delta_ms);
    // A new silence from `anchor` (where a drag began) towards `other`, over the empty
    // stretch that holds the anchor: cut at the silences around it and at [0, limit].
    // Refused when the anchor lies inside a silence or nothing is left.
    std::optional<Edit> add(std::int32_t anchor, std::int32_t other);
    std::optional<Edit> remove(std::size_t i);
    // Silence i and i + 1 become one, from the start of i to the end of i + 1.
    std::optional<Edit> merge(std::size_t i);
    // Silence i becomes [start, t] and [t, end]; refused unless start < t < end.
    std::optional<Edit> split(std::size_t i, std::int32_t t);

    // Makes an edit again (redo) or takes it back (undo); edits must be reverted in the
    // reverse order they were made.
    void apply(const Edit& edit);
    void revert(const Edit& edit);

  private:
    std::optional<Edit> replace(std::size_t at, std::size_t count,
                                std::vector<EditedSilence> after);

    std::vector<EditedSilence> rows_;
    std::int32_t limit_ = 0;
    std::size_t adjusted_ = 0;
};

}  // namespace veltrane::preview
