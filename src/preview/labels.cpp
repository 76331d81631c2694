#include "preview/labels.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "preview/edit_list.h"
#include "preview/recording.h"

namespace veltrane::preview {

namespace {

// A fault found while reading; turned into a LabelsProblem at the top.
struct Refused {
    std::size_t line;
    std::string cause;
};

// Larger than any time a GAP file holds, and far from overflowing.
constexpr std::int64_t kHuge = std::int64_t{1} << 40;

// A silence as read, before the checks that hold for every format.
struct Read {
    std::size_t line;
    std::int64_t start_ms, end_ms;
};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Digits as a number, saturated at kHuge.
std::int64_t digits_value(std::string_view digits) {
    std::int64_t v = 0;
    for (char c : digits) v = std::min(kHuge, v * 10 + (c - '0'));
    return v;
}

// "-?D+" as milliseconds; nothing when it is not that.
std::optional<std::int64_t> whole_ms(std::string_view s) {
    const bool minus = s.starts_with('-');
    if (minus) s.remove_prefix(1);
    if (s.empty() || !std::all_of(s.begin(), s.end(), is_digit)) return std::nullopt;
    const std::int64_t v = digits_value(s);
    return minus ? -v : v;
}

// "-?D+(.D+)?" seconds as milliseconds, rounded to the nearest (halves away from zero);
// nothing when it is not that. Worked out on the digits, so that no decimal is lost.
std::optional<std::int64_t> seconds_ms(std::string_view s) {
    const bool minus = s.starts_with('-');
    if (minus) s.remove_prefix(1);
    const auto point = s.find('.');
    const std::string_view whole = s.substr(0, point);
    const std::string_view part = point == std::string_view::npos ? "" : s.substr(point + 1);
    if (whole.empty() || !std::all_of(whole.begin(), whole.end(), is_digit)) return std::nullopt;
    if (point != std::string_view::npos &&
        (part.empty() || !std::all_of(part.begin(), part.end(), is_digit)))
        return std::nullopt;
    std::int64_t ms = std::min(kHuge, digits_value(whole) * 1000);
    for (std::size_t i = 0; i < 3; ++i)
        ms += (i < part.size() ? part[i] - '0' : 0) * (i == 0 ? 100 : i == 1 ? 10 : 1);
    if (part.size() > 3 && part[3] >= '5') ++ms;
    return minus ? -ms : ms;
}

// The lines of a text with their numbers, without line ends; empty lines left out.
template <typename Fn>
void each_line(std::string_view text, Fn&& fn) {
    std::size_t number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? "" : text.substr(end + 1);
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!trimmed(line).empty()) fn(number, line);
    }
}

std::vector<Read> read_label_track(std::string_view text) {
    std::vector<Read> out;
    each_line(text, [&](std::size_t n, std::string_view line) {
        // A line beginning with a backslash adds a frequency range to the label above.
        if (line.starts_with('\\')) return;
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos)
            throw Refused{n, "expected a start and an end in seconds, separated by a tab"};
        const std::string_view rest = line.substr(tab + 1);
        const std::string_view fields[] = {trimmed(line.substr(0, tab)),
                                           trimmed(rest.substr(0, rest.find('\t')))};
        std::int64_t ms[2] = {};
        for (int i = 0; i < 2; ++i) {
            const auto v = seconds_ms(fields[i]);
            if (!v) throw Refused{n, "\"" + std::string(fields[i]) + "\" is not a time in seconds"};
            ms[i] = *v;
        }
        out.push_back({n, ms[0], ms[1]});
    });
    return out;
}

std::vector<Read> read_csv(std::string_view text) {
    std::vector<Read> out;
    bool first = true;
    each_line(text, [&](std::size_t n, std::string_view line) {
        const bool heading = first && trimmed(line) == "start_ms,end_ms";
        first = false;
        if (heading) return;
        const auto comma = line.find(',');
        if (comma == std::string_view::npos || line.find(',', comma + 1) != std::string_view::npos)
            throw Refused{n, "expected two numbers separated by a comma: start_ms,end_ms"};
        const std::string_view fields[] = {trimmed(line.substr(0, comma)),
                                           trimmed(line.substr(comma + 1))};
        std::int64_t ms[2] = {};
        for (int i = 0; i < 2; ++i) {
            const auto v = whole_ms(fields[i]);
            if (!v)
                throw Refused{
                    n, "\"" + std::string(fields[i]) + "\" is not a whole number of milliseconds"};
            ms[i] = *v;
        }
        out.push_back({n, ms[0], ms[1]});
    });
    return out;
}

// The JSON that dump prints: [{"start_ms": S, "end_ms": E}, ...]. Other members of the
// objects are skipped when they are strings, numbers, true, false or null.
class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : s_(text) {}

    std::vector<Read> read() {
        std::vector<Read> out;
        expect('[');
        if (!take(']')) {
            do out.push_back(record());
            while (take(','));
            expect(']');
        }
        space();
        if (at_ < s_.size()) fail("expected nothing after the closing ']'");
        return out;
    }

  private:
    [[noreturn]] void fail(const std::string& cause) const { throw Refused{line_here(), cause}; }
    void space() {
        while (at_ < s_.size() &&
               (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
            ++at_;
    }
    bool take(char c) {
        space();
        if (at_ < s_.size() && s_[at_] == c) return ++at_, true;
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail(std::string("expected '") + c + "'" + found());
    }
    std::string found() const {
        if (at_ >= s_.size()) return ", found the end of the text";
        return std::string(", found '") + s_[at_] + "'";
    }
    std::string string() {
        expect('"');
        std::string out;
        while (at_ < s_.size() && s_[at_] != '"') {
            if (s_[at_] == '\\') ++at_;  // the escaped character, kept as it is
            if (at_ < s_.size()) out += s_[at_++];
        }
        if (at_ >= s_.size()) fail("a string is not closed");
        ++at_;
        return out;
    }
    // A JSON number's characters.
    std::string_view number() {
        const std::size_t from = at_;
        while (at_ < s_.size() && (is_digit(s_[at_]) || std::string_view("+-.eE").find(s_[at_]) !=
                                                            std::string_view::npos))
            ++at_;
        return s_.substr(from, at_ - from);
    }
    void skip_value() {
        space();
        if (at_ < s_.size() && s_[at_] == '"') return void(string());
        for (std::string_view word : {"true", "false", "null"})
            if (s_.substr(at_).starts_with(word)) return void(at_ += word.size());
        if (number().empty()) fail("expected a string, a number, true, false or null" + found());
    }
    Read record() {
        space();
        const std::size_t opened = at_;
        expect('{');
        const std::size_t line = line_here();
        std::optional<std::int64_t> start, end;
        if (!take('}')) {
            do {
                space();
                const std::string key = string();
                expect(':');
                if (key != "start_ms" && key != "end_ms") {
                    skip_value();
                    continue;
                }
                std::optional<std::int64_t>& field = key == "start_ms" ? start : end;
                if (field) fail("\"" + key + "\" is given twice");
                space();
                const std::string_view text = number();
                field = whole_ms(text);
                if (!field)
                    fail("\"" + key + "\" is not a whole number of milliseconds" +
                         (text.empty() ? found() : ": " + std::string(text)));
            } while (take(','));
            expect('}');
        }
        if (!start || !end) {
            at_ = opened;
            fail(std::string("the object has no \"") + (start ? "end_ms" : "start_ms") + "\"");
        }
        return {line, *start, *end};
    }
    std::size_t line_here() const {
        std::size_t line = 1;
        for (std::size_t i = 0; i < at_ && i < s_.size(); ++i) line += s_[i] == '\n' ? 1 : 0;
        return line;
    }

    std::string_view s_;
    std::size_t at_ = 0;
};

std::string ms_text(std::int64_t ms) {
    return std::to_string(ms) + " ms";
}

// The checks every format shares.
std::vector<GapRecord> checked(const std::vector<Read>& reads, std::int32_t length_ms) {
    std::vector<GapRecord> out;
    out.reserve(reads.size());
    const Read* before = nullptr;
    for (const Read& r : reads) {
        for (const auto& [what, v] : {std::pair{"start", r.start_ms}, std::pair{"end", r.end_ms}}) {
            const std::string named = std::string("the ") + what + " (" + ms_text(v) + ")";
            if (v < 0) throw Refused{r.line, named + " is negative"};
            if (v > length_ms && length_ms <= kGapMaxMs)
                throw Refused{r.line, named + " is past the end of the recording (" +
                                          ms_text(length_ms) + ")"};
            if (v > kGapMaxMs)
                throw Refused{
                    r.line, named + " is past what a GAP file holds (" + ms_text(kGapMaxMs) + ")"};
        }
        if (r.start_ms == r.end_ms)
            throw Refused{r.line, "a point, not a stretch: the start equals the end (" +
                                      ms_text(r.start_ms) + ")"};
        if (r.start_ms > r.end_ms)
            throw Refused{r.line, "the start (" + ms_text(r.start_ms) + ") is after the end (" +
                                      ms_text(r.end_ms) + ")"};
        if (before && r.start_ms < before->start_ms)
            throw Refused{r.line, "out of order: it starts before the silence on line " +
                                      std::to_string(before->line)};
        if (before && r.start_ms < before->end_ms)
            throw Refused{r.line, "it overlaps the silence on line " +
                                      std::to_string(before->line) + ", which ends at " +
                                      ms_text(before->end_ms)};
        out.push_back({static_cast<std::int32_t>(r.start_ms), static_cast<std::int32_t>(r.end_ms)});
        before = &r;
    }
    return out;
}

}  // namespace

LabelsRead parse_labels(std::string_view text, LabelFormat format, std::int32_t length_ms) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    LabelsRead result;
    try {
        const std::vector<Read> reads = format == LabelFormat::Labels ? read_label_track(text)
                                        : format == LabelFormat::Csv  ? read_csv(text)
                                                                      : JsonReader(text).read();
        result.records = checked(reads, length_ms);
    } catch (const Refused& r) {
        result.problem = LabelsProblem{r.line, r.cause};
    }
    return result;
}

std::int32_t recording_ms(std::int64_t file_size, const WavInfo& header) {
    const double ms = std::floor(static_cast<double>(file_size) / bytes_per_ms(header));
    return static_cast<std::int32_t>(
        std::clamp(ms, 0.0, double(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace veltrane::preview
