#include "preview/edit_list.h"

#include <algorithm>

namespace veltrane::preview {

namespace {

std::int32_t clamp_wide(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

}  // namespace

EditList::EditList(std::span<const GapRecord> records, std::int32_t length_ms)
    : limit_(std::clamp(length_ms, 0, kGapMaxMs)) {
    std::vector<GapRecord> sorted(records.begin(), records.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const GapRecord& a, const GapRecord& b) {
        return a.start_ms < b.start_ms;
    });
    std::int32_t floor = 0;  // where the silence before ends
    for (const GapRecord& r : sorted) {
        const GapRecord kept{std::clamp(r.start_ms, floor, limit_),
                             std::clamp(r.end_ms, floor, limit_)};
        if (kept.start_ms >= kept.end_ms) {
            ++adjusted_;
            continue;
        }
        const bool changed = !(kept == r);
        adjusted_ += changed ? 1 : 0;
        rows_.push_back({kept, changed});
        floor = kept.end_ms;
    }
}

std::vector<GapRecord> EditList::records() const {
    std::vector<GapRecord> out;
    out.reserve(rows_.size());
    for (const EditedSilence& s : rows_) out.push_back(s.record);
    return out;
}

std::optional<Edit> EditList::replace(std::size_t at, std::size_t count,
                                      std::vector<EditedSilence> after) {
    Edit edit;
    edit.at = at;
    edit.before.assign(rows_.begin() + static_cast<std::ptrdiff_t>(at),
                       rows_.begin() + static_cast<std::ptrdiff_t>(at + count));
    edit.after = std::move(after);
    for (EditedSilence& s : edit.after) s.edited = true;
    apply(edit);
    return edit;
}

std::optional<Edit> EditList::move_edge(std::size_t i, Edge edge, std::int32_t t) {
    if (i >= rows_.size()) return std::nullopt;
    GapRecord r = rows_[i].record;
    if (edge == Edge::Start) {
        const std::int32_t lo = i > 0 ? rows_[i - 1].record.end_ms : 0;
        r.start_ms = clamp_wide(t, lo, r.end_ms - 1);
    } else {
        const std::int32_t hi = i + 1 < rows_.size() ? rows_[i + 1].record.start_ms : limit_;
        r.end_ms = clamp_wide(t, r.start_ms + 1, hi);
    }
    if (r == rows_[i].record) return std::nullopt;
    return replace(i, 1, {{r}});
}

std::optional<Edit> EditList::nudge(std::size_t i, Edge edge, std::int32_t delta_ms) {
    if (i >= rows_.size()) return std::nullopt;
    const GapRecord& r = rows_[i].record;
    const std::int64_t from = edge == Edge::Start ? r.start_ms : r.end_ms;
    return move_edge(i, edge, clamp_wide(from + delta_ms, 0, limit_));
}

std::optional<Edit> EditList::add(std::int32_t anchor, std::int32_t other) {
    if (anchor < 0 || anchor > limit_) return std::nullopt;
    // The first silence that ends after the anchor, and the empty stretch before it.
    const auto next = std::find_if(rows_.begin(), rows_.end(), [&](const EditedSilence& s) {
        return s.record.end_ms > anchor;
    });
    const std::int32_t lo = next == rows_.begin() ? 0 : std::prev(next)->record.end_ms;
    std::int32_t hi = limit_;
    if (next != rows_.end()) {
        if (next->record.start_ms < anchor) return std::nullopt;  // inside a silence
        hi = next->record.start_ms;
    }
    const std::int32_t to = std::clamp(other, lo, hi);
    const GapRecord r{std::min(anchor, to), std::max(anchor, to)};
    if (r.start_ms >= r.end_ms) return std::nullopt;
    return replace(static_cast<std::size_t>(next - rows_.begin()), 0, {{r}});
}

std::optional<Edit> EditList::remove(std::size_t i) {
    if (i >= rows_.size()) return std::nullopt;
    return replace(i, 1, {});
}

std::optional<Edit> EditList::merge(std::size_t i) {
    if (i + 1 >= rows_.size()) return std::nullopt;
    return replace(i, 2, {{{rows_[i].record.start_ms, rows_[i + 1].record.end_ms}}});
}

std::optional<Edit> EditList::split(std::size_t i, std::int32_t t) {
    if (i >= rows_.size()) return std::nullopt;
    const GapRecord r = rows_[i].record;
    if (t <= r.start_ms || t >= r.end_ms) return std::nullopt;
    return replace(i, 1, {{{r.start_ms, t}}, {{t, r.end_ms}}});
}

void EditList::apply(const Edit& edit) {
    const auto at = rows_.begin() + static_cast<std::ptrdiff_t>(edit.at);
    rows_.insert(rows_.erase(at, at + static_cast<std::ptrdiff_t>(edit.before.size())),
                 edit.after.begin(), edit.after.end());
}

void EditList::revert(const Edit& edit) {
    const auto at = rows_.begin() + static_cast<std::ptrdiff_t>(edit.at);
    rows_.insert(rows_.erase(at, at + static_cast<std::ptrdiff_t>(edit.after.size())),
                 edit.before.begin(), edit.before.end());
}

}  // namespace veltrane::preview
