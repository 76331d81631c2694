#include "preview/session.h"

#include <algorithm>
#include <cerrno>
#include <map>

#include "audio/scan.h"
#include "audio/scan_settings.h"
#include "base/error.h"
#include "preview/wording.h"

namespace veltrane::preview {

std::vector<GapRecord> records_of(ByteSource& source, const ScanParams& params,
                                  const ScanCallback& on_block) {
    std::vector<GapRecord> records;
    scan(
        source, params,
        [&](const Silence& s) {
            records.push_back(
                {mark_ms(s.start_mark, params.byte_rate), mark_ms(s.end_mark, params.byte_rate)});
        },
        on_block);
    return records;
}

Tally tally(std::span<const GapRecord> records) {
    Tally t;
    t.gaps = records.size();
    for (const GapRecord& r : records) {
        const std::int64_t length = std::int64_t{r.end_ms} - r.start_ms;
        t.silence_ms += length;
        t.longest_ms = std::max(t.longest_ms, length);
    }
    return t;
}

std::vector<PresetRow> preset_table(ByteSource& source, const WavInfo& header,
                                    const BytesSink& on_bytes, bool find_chunks) {
    const std::pair<const char*, Preset> presets[] = {
        {"normal", kNormal}, {"noisy", kNoisy}, {"accurate", kAccurate}};
    std::vector<PresetRow> rows;
    for (const auto& [name, p] : presets)
        for (bool fast : {false, true})
            rows.push_back({name, Settings{p.sensitivity, p.filter, fast}, {}});
    // The six scans side by side, the file read once.
    std::vector<ScanJob> jobs;
    for (PresetRow& row : rows) {
        const ScanParams params = find_chunks ? planned_params(source, row.settings, true)
                                              : generate_params(header, row.settings);
        jobs.push_back({params, [&row, rate = params.byte_rate](const Silence& s) {
                            const std::int64_t length = std::int64_t{mark_ms(s.end_mark, rate)} -
                                                        mark_ms(s.start_mark, rate);
                            ++row.tally.gaps;
                            row.tally.silence_ms += length;
                            row.tally.longest_ms = std::max(row.tally.longest_ms, length);
                        }});
    }
    scan_together(source, jobs, on_bytes);
    return rows;
}

Comparison compare(std::span<const GapRecord> now, std::span<const GapRecord> disk) {
    Comparison c;
    c.now.assign(now.size(), Match::New);
    c.disk.assign(disk.size(), Match::OnlyOnDisk);
    // Equal records pair off first, each with one of its own.
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<std::size_t>> unmatched;
    for (std::size_t j = disk.size(); j-- > 0;)
        unmatched[{disk[j].start_ms, disk[j].end_ms}].push_back(j);
    for (std::size_t i = 0; i < now.size(); ++i) {
        auto it = unmatched.find({now[i].start_ms, now[i].end_ms});
        if (it == unmatched.end() || it->second.empty()) continue;
        c.now[i] = c.disk[it->second.back()] = Match::Same;
        it->second.pop_back();
    }
    // Then the rest by overlap. A file on disk may hold anything, in any order: its
    // records are looked up by their starts, no further back than its longest reaches.
    std::vector<std::size_t> by_start;
    std::int64_t longest = 0;
    for (std::size_t j = 0; j < disk.size(); ++j) {
        if (c.disk[j] == Match::Same) continue;
        by_start.push_back(j);
        longest = std::max(longest, std::int64_t{disk[j].end_ms} - disk[j].start_ms);
    }
    std::sort(by_start.begin(), by_start.end(),
              [&](std::size_t a, std::size_t b) { return disk[a].start_ms < disk[b].start_ms; });
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (c.now[i] == Match::Same) continue;
        const std::int64_t from = std::int64_t{now[i].start_ms} - longest;
        auto k =
            std::lower_bound(by_start.begin(), by_start.end(), from,
                             [&](std::size_t j, std::int64_t v) { return disk[j].start_ms < v; });
        for (; k != by_start.end() && disk[*k].start_ms < now[i].end_ms; ++k) {
            if (disk[*k].end_ms > now[i].start_ms) c.now[i] = c.disk[*k] = Match::Changed;
        }
    }
    for (Match m : c.now) {
        if (m == Match::Same) ++c.same;
        if (m == Match::Changed) ++c.changed;
        if (m == Match::New) ++c.added;
    }
    for (Match m : c.disk)
        if (m == Match::OnlyOnDisk) ++c.removed;
    return c;
}

void Session::open(const std::filesystem::path& path, const Settings& settings,
                   const std::function<void(double)>& on_progress) {
    file_.reset();
    explanation_.reset();
    double_speed_finds_.reset();
    facts_.reset();
    path_ = path;
    auto file = open_recording(path);
    if (!file) throw Error(Errc::Open, path, "No such file or directory");
    stamp_ = file_stamp(path);
    header_ = read_wav_header(*file);
    shape_ = header_shape(*file);
    layout_ = sample_layout(header_, shape_, file->size());
    settings_ = settings;
    params_ = planned_params(*file, settings, find_chunks_);

    // The scan's blocks feed the waveform on their way; what the scan does not read is
    // read for the waveform afterwards.
    Summarizer summary(layout_, 0, layout_.frames, buckets_);
    SummarizingSource both(*file, summary);
    scan_and_gather(both, [&](const ScanProgress& p) {
        if (on_progress) on_progress(p.done);
    });
    waveform_ = summary.finish(*file);
    file_ = std::move(file);
    disk_stamp_.reset();
    disk_ = {};
    read_disk();
    comparison_ = compare(records_, disk_.records);
}

void Session::rescan() {
    params_ = planned_params(*file_, settings_, find_chunks_);
    scan_and_gather(*file_, {});
    explanation_.reset();
    double_speed_finds_.reset();
}

std::optional<std::size_t> Session::double_speed_finds() {
    if (!file_) return std::nullopt;
    if (!double_speed_finds_) {
        const Situation s = params_.situation;
        double_speed_finds_.emplace();
        if (!settings_.double_speed && (s == 2 || s == 4)) {
            const Settings fast{settings_.sensitivity, settings_.filter_ms, true};
            *double_speed_finds_ =
                records_of(*file_, planned_params(*file_, fast, find_chunks_)).size();
        }
    }
    return *double_speed_finds_;
}

void Session::scan_and_gather(ByteSource& source, const ScanCallback& on_block) {
    gathered_.reset();
    PassQuestions q = reasons_questions(header_, layout_, settings_);
    q.give_up_at = settings_.sensitivity;
    q.give_up_fast = settings_.double_speed;
    FactsGatherer gatherer(q, source.size());
    GatheringSource along(source, gatherer);
    records_ = records_of(along, params_, on_block);
    if (records_.empty() && params_.situation != 0) gathered_ = gatherer.finish(source);
}

bool Session::read_disk() {
    const std::filesystem::path gap = gap_path(path_.string());
    const std::optional<FileStamp> now = file_stamp(gap);
    if (disk_stamp_ == now && disk_.path == gap) return false;
    disk_stamp_ = now;
    disk_ = {};
    disk_.path = gap;
    disk_.exists = now.has_value();
    if (disk_.exists) {
        try {
            disk_.records = read_gap_file(gap);
        } catch (const Error& e) {
            disk_.problem = describe(e);
        }
    }
    return true;
}

bool Session::update(const Settings& settings) {
    if (!file_) return false;
    if (file_stamp(path_) != stamp_) {
        // The recording was replaced or changed: look at it afresh.
        open(path_, settings);
        return true;
    }
    bool changed = false;
    if (!(settings == settings_)) {
        settings_ = settings;
        rescan();
        changed = true;
    }
    if (read_disk()) changed = true;
    if (changed) comparison_ = compare(records_, disk_.records);
    return changed;
}

Waveform Session::detail(std::int64_t from, std::int64_t to, std::size_t buckets) {
    if (!file_) return {};
    return summarize(*file_, layout_, from, to, buckets);
}

std::vector<std::string> Session::why(Language language, const KeepGoing& keep_going) {
    if (!file_ || !records_.empty()) return {};
    if (!explanation_) {
        explanation_ = gathered_ && !gathered_->recorded
                           ? explanation_of(header_, shape_, layout_, settings_, *gathered_)
                           : explain_nothing(*file_, header_, shape_, layout_, settings_,
                                             facts_ ? &*facts_ : nullptr, keep_going);
        if (explanation_->params.situation != 0) facts_ = explanation_->facts;
    }
    return why_lines(*explanation_, language);
}

}  // namespace veltrane::preview
