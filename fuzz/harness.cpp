#include "harness.h"

#include <stdlib.h>  // mkdtemp

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/gap_file.h"
#include "audio/scan.h"
#include "audio/scan_engine.h"
#include "audio/wav_chunks.h"
#include "audio/wav_header.h"
#include "audio/wav_layout.h"
#include "base/byte_source.h"
#include "platform/ini_codec.h"
#include "preview/facts_pass.h"
#include "preview/recording.h"
#include "preview/sweep.h"
#include "preview/why.h"
#include "reference_scan.h"
#include "scan_reference.h"

namespace veltrane::fuzz {

namespace {

namespace fs = std::filesystem;
using scan_engine::Kernel;
using I32 = std::numeric_limits<std::int32_t>;

// Values a stored setting or a command line may hold although the sliders never show them.
constexpr std::int32_t kOddSensitivities[] = {
    0, -1, -50, 51, 64, 100, 127, 128, 129, 255, 256, 32767, 65536, I32::max(), I32::min()};
constexpr std::int32_t kOddFilters[] = {-1,   0,     1,          19,         501,
                                        1000, 30000, I32::max(), I32::min(), -1000};

// The reference walks every step from the first: when the scan starts further than this
// before the file, it is left out and only the kernels are compared with each other.
constexpr std::int64_t kMostReferencePositionsBefore = std::int64_t{1} << 16;

// ---------------------------------------------------------------------------------------
// Failures

// Where a check is: enough to tell a failure's circumstances.
struct Where {
    const ScanParams& params;
    std::size_t size;
    const char* reader;
};

std::string describe(const Where& w) {
    const ScanParams& p = w.params;
    return "situation " + std::to_string(p.situation) + ", S " + std::to_string(p.sensitivity) +
           ", F " + std::to_string(p.filter_ms) + ", byte rate " + std::to_string(p.byte_rate) +
           ", data start " + std::to_string(p.data_start) + ", end mark " +
           std::to_string(p.end_mark) + ", file of " + std::to_string(w.size) + " bytes, " +
           w.reader;
}

void require(bool ok, const char* what, const Where& where) {
    if (!ok) throw CheckFailed(std::string(what) + " (" + describe(where) + ")");
}

void require(bool ok, const char* what) {
    if (!ok) throw CheckFailed(what);
}

// ---------------------------------------------------------------------------------------
// The input

Control decode(const Trailer& t) {
    Control c;
    c.sensitivity = t.sensitivity < 200
                        ? 1 + t.sensitivity % 50
                        : kOddSensitivities[(t.sensitivity - 200) % std::size(kOddSensitivities)];
    c.filter_ms = t.filter < 60000 ? 20 + t.filter % 481
                                   : kOddFilters[(t.filter - 60000) % std::size(kOddFilters)];
    c.to_disk = t.disk % 32 == 31;
    c.cut = t.cut;
    if (t.tile % 16 == 15) {
        // From 2 KiB short of a read block to 2 KiB past it.
        c.tiled_size = static_cast<std::size_t>(scan_engine::block_bytes) + (t.tile >> 4) - 2048;
    }
    return c;
}

// The file followed by its sample bytes (or, without any, its bytes) again and again.
std::vector<std::uint8_t> tiled(std::span<const std::uint8_t> file, std::size_t size) {
    std::vector<std::uint8_t> out(file.begin(), file.end());
    const auto samples = file.size() > wav::kHeaderSize ? file.subspan(wav::kHeaderSize) : file;
    if (samples.empty()) out.resize(std::max(size, out.size()), 0);
    while (out.size() < size) {
        const std::size_t n = std::min(samples.size(), size - out.size());
        out.insert(out.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// The scan

bool same_header(const WavInfo& a, const WavInfo& b) {
    return a.riff_id == b.riff_id && a.riff_size == b.riff_size && a.wave_id == b.wave_id &&
           a.fmt_id == b.fmt_id && a.fmt_length == b.fmt_length && a.format_tag == b.format_tag &&
           a.channels == b.channels && a.sample_rate == b.sample_rate &&
           a.byte_rate == b.byte_rate && a.block_align == b.block_align &&
           a.bits_per_sample == b.bits_per_sample && a.data_size == b.data_size;
}

// The scan parameters as Generate takes them from the header and from the details that
// examining the file shows, with the trailer's Sensitivity and Filter.
ScanParams generate_params(const WavInfo& w, const Control& c, bool double_speed) {
    return generate_params(w, {c.sensitivity, c.filter_ms, double_speed});
}

struct Outcome {
    std::vector<Silence> silences;
    std::vector<ScanProgress> reports;
};

bool same_reports(const std::vector<ScanProgress>& a, const std::vector<ScanProgress>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.progress == y.progress && x.done == y.done;
    });
}

Outcome scan_span(Kernel k, std::span<const std::uint8_t> file, const ScanParams& p) {
    Outcome o;
    o.silences =
        scan_engine::scan_with(k, file, p, [&](const ScanProgress& r) { o.reports.push_back(r); });
    return o;
}

Outcome scan_source(Kernel k, ByteSource& source, const ScanParams& p) {
    Outcome o;
    scan_engine::scan_with(
        k, source, p, [&](const Silence& s) { o.silences.push_back(s); },
        [&](const ScanProgress& r) { o.reports.push_back(r); });
    return o;
}

bool scans(const ScanParams& p) {
    return p.byte_rate > 0 && known_situation(p.situation);
}

// Whether the reference can walk this scan step by step in good time.
bool reference_affordable(const ScanParams& p, std::size_t size) {
    const auto file_end = static_cast<std::int64_t>(size) + 4;
    const std::int64_t until = std::min(p.end_mark, file_end);
    return until - p.data_start <= file_end + kMostReferencePositionsBefore;
}

// Silences in the order they end, each ending after it starts and starting after the
// one before has ended.
void check_order(const std::vector<Silence>& silences, const Where& where) {
    for (std::size_t i = 0; i < silences.size(); ++i) {
        require(silences[i].start_mark < silences[i].end_mark, "a silence ends before it starts",
                where);
        if (i > 0)
            require(silences[i].start_mark > silences[i - 1].end_mark,
                    "a silence starts before the one before it has ended", where);
    }
}

// Reports move forward, and the last one ends the scan; no scan, no reports.
void check_reports(const std::vector<ScanProgress>& reports, const Where& where) {
    if (!scans(where.params)) {
        require(reports.empty(), "reports from a scan that cannot run", where);
        return;
    }
    require(!reports.empty(), "a scan without a report", where);
    require(reports.back().done == 1.0, "the last report does not end the scan", where);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        require(reports[i].done > 0 && reports[i].done <= 1.0, "a report's share is out of range",
                where);
        if (i > 0)
            require(reports[i].done > reports[i - 1].done, "the reports do not move forward",
                    where);
    }
}

// The reports against the reference's steps: each on the progress value of the last step
// of its block, the last on the reference's last step.
void check_reports_against(const std::vector<ScanProgress>& reports, const ReferenceSteps& want,
                           const Where& where) {
    const ScanParams& p = where.params;
    require(reports.empty() == !want.scanned, "the reference scans but the engine does not", where);
    if (!want.scanned) return;
    require(reports.back().progress == want.last_progress,
            "the last report is not on the reference's last step", where);
    const int kind = p.situation % 10;
    const std::int64_t step = (kind >= 3 ? 2 : 1) * (p.situation > 10 ? 2 : 1);
    const std::int64_t offset = kind < 3 ? 0 : p.situation == 14 ? 1 : step;
    for (const ScanProgress& r : reports) {
        const std::int64_t steps = std::llround(r.done * static_cast<double>(want.steps));
        require(steps > 0 && r.progress == p.data_start + (steps - 1) * step + offset,
                "a report is not on the last step of its block", where);
    }
}

// ---------------------------------------------------------------------------------------
// The GAP file

// A folder of its own for the files of one input, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        const char* tmpdir = std::getenv("TMPDIR");
        const fs::path base = tmpdir && *tmpdir              ? fs::path(tmpdir)
                              : fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                             : fs::path("/tmp");
        std::string name = (base / "veltrane-fuzz-XXXXXX").string();
        require(::mkdtemp(name.data()) != nullptr, "no temporary folder");
        path_ = name;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

GapRecord record_of(const Silence& s, std::int32_t byte_rate) {
    return {mark_ms(s.start_mark, byte_rate), mark_ms(s.end_mark, byte_rate)};
}

// Records whole and ordered: each starts no later than it ends and no earlier than the
// one before it ends; encoded, they read back the same.
void check_records(const std::vector<GapRecord>& records, const Where& where) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        require(records[i].start_ms <= records[i].end_ms, "a GAP record ends before it starts",
                where);
        if (i > 0)
            require(records[i].start_ms >= records[i - 1].end_ms,
                    "a GAP record starts before the one before it ends", where);
    }
    const std::vector<std::uint8_t> bytes = encode_gap(records);
    require(bytes.size() == records.size() * kGapRecordSize, "GAP records are not whole", where);
    require(decode_gap(bytes, "records") == records, "GAP records do not read back", where);
}

// As Generate does it: the recording read from a real file, each record going to the
// GAP file as its silence ends; the same records written at once; and the file read
// again after it has shrunk to `cut` bytes.
void check_on_disk(std::span<const std::uint8_t> file, const ScanParams& p,
                   const std::vector<Silence>& want, const std::vector<GapRecord>& records,
                   std::size_t cut, const std::vector<Silence>& want_shrunk) {
    const TempFolder folder;
    const fs::path wav = folder.path() / "take.wav";
    {
        std::ofstream out(wav, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        require(static_cast<bool>(out), "the recording could not be written");
    }
    const Where where{p, file.size(), "file on disk"};
    FileSource source(wav);
    require(same_header(read_wav_header(source), parse_wav_header(file)),
            "the header reads differently from a file", where);
    const fs::path gap = gap_path(wav.string());
    std::vector<Silence> found;
    GapWriter gaps(gap, source.id());
    scan(source, p, [&](const Silence& s) {
        found.push_back(s);
        gaps.add(record_of(s, p.byte_rate));
    });
    gaps.commit();
    require(found == want, "a scan of the file on disk differs", where);
    require(gaps.count() == records.size(), "the GAP writer miscounts", where);
    if (records.empty())
        require(!fs::exists(gap), "a GAP file without records", where);
    else
        require(read_gap_file(gap) == records, "the GAP file does not read back", where);

    const fs::path all = folder.path() / "all.gap";
    write_gap_file(all, records);
    require(read_gap_file(all) == records, "a GAP file written at once does not read back", where);

    fs::resize_file(wav, cut);
    found.clear();
    scan(source, p, [&](const Silence& s) { found.push_back(s); });
    require(found == want_shrunk, "a scan of a file on disk that shrank differs",
            {p, cut, "file on disk that shrank"});
}

// ---------------------------------------------------------------------------------------
// The checks

// The file scanned at one speed as Generate scans it, by every kernel, from memory and
// through a reader, whole and shrunk; held to the reference where it can walk the scan;
// then the records that would go to the GAP file.
void check_scan_at(const Input& in, std::span<const std::uint8_t> file, const WavInfo& header,
                   bool double_speed) {
    const ScanParams p = generate_params(header, in.control, double_speed);
    const Where where{p, file.size(), "all kernels and readers"};
    const bool with_reference = reference_affordable(p, file.size());
    const std::vector<Kernel> all = scan_engine::available_kernels();

    std::vector<Outcome> runs;
    for (Kernel k : all) {
        runs.push_back(scan_span(k, file, p));
        ReadSource whole(file, file.size());
        runs.push_back(scan_source(k, whole, p));
    }
    for (const Outcome& o : runs) {
        require(o.silences == runs[0].silences, "kernels or readers find different silences",
                where);
        require(same_reports(o.reports, runs[0].reports), "kernels or readers report differently",
                where);
    }
    // In two halves at once: the second half's silences wait for the first's.
    InlineCore second;
    MemorySource whole(file);
    std::vector<Silence> halves;
    scan_engine::scan_with(
        all.back(), whole, p, [&](const Silence& s) { halves.push_back(s); }, {}, &second);
    require(halves == runs[0].silences, "a scan in two halves finds other silences", where);
    const Outcome& got = runs[0];
    check_order(got.silences, where);
    check_reports(got.reports, where);
    if (with_reference) {
        ReferenceSteps steps;
        require(got.silences == reference_silences(file, p, &steps),
                "the silences differ from the reference's", where);
        check_reports_against(got.reports, steps, where);
    }

    // The file shrinks after its header was read: what is gone reads as zero.
    const std::size_t cut =
        static_cast<std::size_t>(static_cast<std::uint64_t>(file.size()) * in.control.cut / 0xFFFF);
    const Where shrunk_where{p, cut, "a reader of a file that shrank"};
    std::vector<Silence> shrunk_silences = got.silences;
    if (cut < file.size()) {
        for (std::size_t i = 0; i < all.size(); ++i) {
            ReadSource source(file, cut);
            const Outcome o = scan_source(all[i], source, p);
            if (i == 0) shrunk_silences = o.silences;
            require(o.silences == shrunk_silences,
                    "kernels find different silences in a file that shrank", shrunk_where);
            require(same_reports(o.reports, got.reports),
                    "a file that shrank is reported differently", shrunk_where);
        }
        if (with_reference)
            require(shrunk_silences == reference_silences(file.first(cut), p),
                    "the silences of a file that shrank differ from the reference's", shrunk_where);
    }

    std::vector<GapRecord> records;
    for (const Silence& s : got.silences) records.push_back(record_of(s, p.byte_rate));
    check_records(records, where);
    if (in.control.to_disk) check_on_disk(file, p, got.silences, records, cut, shrunk_silences);
}

void check_scan(const Input& in) {
    std::vector<std::uint8_t> copy;
    std::span<const std::uint8_t> file = in.file;
    if (in.control.tiled_size > 0) {
        copy = tiled(in.file, in.control.tiled_size);
        file = copy;
    }
    // The header as Generate reads it, through a reader.
    ReadSource source(file, file.size());
    const WavInfo header = read_wav_header(source);
    require(same_header(header, parse_wav_header(file)),
            "the header reads differently through a reader");
    check_scan_at(in, file, header, false);
    if (generate_params(header, in.control, false).situation != 0)
        check_scan_at(in, file, header, true);
}

// ---------------------------------------------------------------------------------------
// The chunk walk

// What a walk over `head` (a start of a file of `file_size` bytes) found lies inside the
// file, in order, and a walk over a longer start finds the same.
void check_walk(const WavChunks& c, std::uint64_t file_size) {
    for (const std::optional<WavChunk>& chunk : {c.fmt, c.data}) {
        if (!chunk) continue;
        require(chunk->body_at == chunk->header_at + wav_chunks::kChunkHeader,
                "a chunk's body does not follow its header");
        require(chunk->header_at >= wav_chunks::kFirstChunk, "a chunk before the first one");
        require(chunk->body_at + chunk->size <= file_size, "a chunk reaches past the file");
        require(chunk->size <= chunk->declared_size, "a chunk is longer than it claims");
    }
    if (c.fmt && c.data)
        require(c.fmt->body_at + c.fmt->size <= c.data->header_at, "\"fmt \" overlaps \"data\"");
    if (c.format) require(c.fmt.has_value(), "format fields without a \"fmt \" chunk");
    if (c.plain())
        require(c.data_offset() == wav_chunks::kPlainHeaderSize, "a plain layout off 44");
}

void check_chunks(const Input& in) {
    // Copies of exactly the bytes walked, so that a read past them is caught.
    const std::vector<std::uint8_t> whole(in.file.begin(), in.file.end());
    const WavChunks all = find_wav_chunks(whole);
    check_walk(all, whole.size());
    for (std::size_t head : {std::size_t{0}, std::size_t{12}, std::size_t{44}, whole.size() / 2}) {
        if (head > whole.size()) continue;
        const std::vector<std::uint8_t> start(whole.begin(),
                                              whole.begin() + static_cast<std::ptrdiff_t>(head));
        const WavChunks part = find_wav_chunks(start, whole.size());
        check_walk(part, whole.size());
        if (part.end == ChunkWalkEnd::FoundData)
            require(part.data == all.data && part.fmt == all.fmt,
                    "a walk over the start of a file finds other chunks than over all of it");
    }
    // Read through a reader, as --find-chunks reads a file.
    ReadSource source(whole, whole.size());
    const WavChunks read = read_wav_chunks(source);
    require(read.data == all.data && read.fmt == all.fmt && read.format == all.format,
            "the chunks read through a reader differ");

    // A file scanned by its located chunks starts at its data and ends within the file.
    const std::optional<LocatedLayout> located = located_layout(all);
    if (!located || located->bytes_per_sample == 0) return;
    require(all.data.has_value() && located->data_start == std::int64_t(*all.data_offset()) + 1,
            "the located data do not start at the data chunk");
    require(located->end_mark + std::int64_t{wav_chunks::kPlainHeaderSize} <=
                std::int64_t(whole.size()) + 1,
            "the located end mark lies past the file");
}

// The settings file's text: read and written again it stays the same document, and a
// value set in it reads back as it was.
void check_ini(const Input& in) {
    const std::string_view bytes(reinterpret_cast<const char*>(in.file.data()), in.file.size());
    ini::Document once;
    once.parse(bytes);
    const std::string text = once.text();
    ini::Document twice;
    twice.parse(text);
    require(twice.lines == once.lines && twice.keys == once.keys &&
                twice.sections == once.sections && twice.bom == once.bom &&
                twice.crlf == once.crlf && twice.text() == text,
            "a settings text read, written and read again is another document");
    // A text the store would write is one it would read: its own text passes the check
    // for settings files whenever the text read did.
    if (ini::why_not_settings(bytes).empty())
        require(ini::why_not_settings(text).empty(),
                "a settings text written again is no longer taken for a settings file");
    const ini::Key key{"Startup Values", "Method"};
    const std::string value(bytes.substr(0, bytes.size() / 2));
    const std::optional<std::string> other = once.get({"001", "002"});
    once.set(key, value);
    require(once.get(key) == value, "a value set in a settings text reads back otherwise");
    require(once.get({"001", "002"}) == other,
            "setting one value of a settings text changed another");
}

// ---------------------------------------------------------------------------------------
// The reasons for an empty scan

bool same_answers(const preview::PassAnswers& a, const preview::PassAnswers& b) {
    const auto& q = a.quietest;
    const auto& r = b.quietest;
    return a.smallest_normal == b.smallest_normal && a.smallest_fast == b.smallest_fast &&
           a.fast_finds == b.fast_finds && q.has_value() == r.has_value() &&
           (!q ||
            (q->first_frame == r->first_frame && q->frames == r->frames && q->peak == r->peak));
}

// The one pass answers as the sweeps of sweep.cpp and a scan do, whole, in the blocks a
// scan reads and after the file has shrunk.
void check_reasons(const Input& in) {
    std::vector<std::uint8_t> copy;
    std::span<const std::uint8_t> file = in.file;
    if (in.control.tiled_size > 0) {
        copy = tiled(in.file, in.control.tiled_size);
        file = copy;
    }
    const std::size_t cut =
        static_cast<std::size_t>(static_cast<std::uint64_t>(file.size()) * in.control.cut / 0xFFFF);
    for (const std::size_t end : {file.size(), cut}) {
        ReadSource source(file, end);
        const WavInfo header = read_wav_header(source);
        const preview::SampleLayout layout =
            preview::sample_layout(header, preview::header_shape(source), source.size());
        for (const bool fast : {false, true}) {
            const preview::Settings s{std::clamp(in.control.sensitivity, 1, 50),
                                      in.control.filter_ms, fast};
            const preview::PassQuestions q = preview::reasons_questions(header, layout, s);
            preview::PassAnswers want;
            if (q.normal.situation != 0 && q.normal.byte_rate > 0) {
                want.smallest_normal = preview::smallest_sensitivity(
                    source, q.normal, preview::kMostSensitivity, {}, preview::Method::Queue);
                want.smallest_fast = preview::smallest_sensitivity(
                    source, q.fast, preview::kMostSensitivity, {}, preview::Method::Queue);
                if (q.count_fast_at) {
                    ScanParams at = q.fast;
                    at.sensitivity = *q.count_fast_at;
                    std::size_t n = 0;
                    scan(source, at, [&n](const Silence&) { ++n; });
                    want.fast_finds = n;
                }
            }
            want.quietest =
                preview::quietest_stretch(source, layout, q.filter_ms, {}, preview::Method::Queue);
            const Where where{q.normal, end, "the reasons' one pass"};
            require(same_answers(preview::gather_facts(source, q), want),
                    "the one pass answers otherwise than the sweeps", where);
            // Along with a scan of the settings, as generate gathers them.
            preview::FactsGatherer along(q, source.size());
            preview::GatheringSource both(source, along);
            ScanParams p = fast ? q.fast : q.normal;
            p.sensitivity = s.sensitivity;
            scan(both, p, [](const Silence&) {});
            require(same_answers(along.finish(source), want),
                    "the pass along a scan answers otherwise than the sweeps", where);
        }
    }
}

// Every check an input goes through; a new check joins here.
using Check = void (*)(const Input&);
constexpr Check kChecks[] = {check_scan, check_chunks, check_ini, check_reasons};

}  // namespace

Input split_input(std::span<const std::uint8_t> data) {
    const std::size_t n = std::min(data.size(), kTrailerBytes);
    std::array<std::uint8_t, kTrailerBytes> t{};
    std::copy(data.end() - static_cast<std::ptrdiff_t>(n), data.end(), t.end() - n);
    Trailer raw;
    raw.sensitivity = t[0];
    raw.filter = static_cast<std::uint16_t>(t[1] | t[2] << 8);
    raw.disk = t[3];
    raw.cut = static_cast<std::uint16_t>(t[4] | t[5] << 8);
    raw.tile = static_cast<std::uint16_t>(t[6] | t[7] << 8);
    return {data.first(data.size() - n), decode(raw)};
}

void check_input(std::span<const std::uint8_t> data) {
    const Input in = split_input(data);
    for (Check check : kChecks) check(in);
}

}  // namespace veltrane::fuzz
