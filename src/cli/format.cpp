#include "cli/format.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "cli/json.h"
#include "model/open_file.h"

namespace veltrane {

namespace {

// A box holding the single space shows as empty.
std::string shown(const std::string& s) {
    return s == " " ? "" : s;
}

std::string line(const std::string& label, const std::string& value) {
    return value.empty() ? label + "\n" : label + " " + value + "\n";
}

bool control(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

}  // namespace

std::string shown_name(std::string_view name) {
    if (std::none_of(name.begin(), name.end(), control)) return std::string(name);
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        if (control(name[i])) {
            out += "$'";
            for (; i < name.size() && control(name[i]); ++i) {
                const char c = name[i];
                if (c == '\n')
                    out += "\\n";
                else if (c == '\t')
                    out += "\\t";
                else if (c == '\r')
                    out += "\\r";
                else {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned char>(c));
                    out += buf;
                }
            }
            out += "'";
        } else {
            out += "'";
            for (; i < name.size() && !control(name[i]); ++i)
                out += name[i] == '\'' ? std::string("'\\''") : std::string(1, name[i]);
            out += "'";
        }
    }
    return out;
}

void take_window_details(const OpenFile& f, FileDetails& d) {
    d.file_name = shown(f.Text1.caption);
    d.file_type = shown(f.Text2.caption);
    d.compression = shown(f.comp1.caption);
    d.file_size = shown(f.Text3.caption);
    d.channels = shown(f.Text4.caption);
    d.sample_rate = shown(f.Text5.caption);
    d.bytes_per_second = shown(f.Text6.caption);
    d.bytes_per_sample = shown(f.Text7.caption);
    d.bits_per_sample = shown(f.Text8.caption);
    d.length = f.Label10.caption;
    d.generate_enabled = f.Command3.enabled;
    d.play_enabled = f.Command4.enabled;
}

std::string info_text(const FileDetails& d) {
    std::string header;
    switch (d.layout) {
        case HeaderLayout::None:
            break;
        case HeaderLayout::Plain:
            header = "plain";
            break;
        case HeaderLayout::Chunks:
            header = "chunks before data, data at byte " + std::to_string(d.data_offset.value());
            break;
        case HeaderLayout::NoData:
            header = "no data chunk found";
            break;
    }
    return line("File Name:", shown_name(d.file_name)) + line("File Type:", d.file_type) +
           line("Compression:", d.compression) + line("File Size:", d.file_size) +
           line("Channels Used:", d.channels) + line("Sample Rate:", d.sample_rate) +
           line("Bytes Per Second:", d.bytes_per_second) +
           line("Bytes Per Sample:", d.bytes_per_sample) +
           line("Bits per Sample:", d.bits_per_sample) + line("Length:", d.length) +
           line("Header:", header) + (d.data_note.empty() ? "" : line("Note:", d.data_note));
}

void info_json(JsonWriter& w, const FileDetails& d) {
    const auto* h = d.header ? &*d.header : nullptr;
    auto number = [&](auto field) {
        return h ? std::optional<std::int64_t>(h->*field) : std::nullopt;
    };
    // The window's length text, with a point whatever the locale.
    const std::string length =
        d.length_seconds ? json_number(*d.length_seconds) + " seconds" : d.length;
    const std::optional<std::string> layout =
        d.layout == HeaderLayout::Plain    ? std::optional<std::string>("plain")
        : d.layout == HeaderLayout::Chunks ? std::optional<std::string>("chunks")
                                           : std::nullopt;
    w.begin_object()
        .member("path", d.path)
        .member("file_name", d.file_name)
        .member("file_type", d.file_type)
        .member("compression", d.compression)
        .member("file_size", d.file_size)
        .member("channels", d.channels)
        .member("sample_rate", d.sample_rate)
        .member("bytes_per_second", d.bytes_per_second)
        .member("bytes_per_sample", d.bytes_per_sample)
        .member("length", length)
        .member("data_size", number(&FileDetails::Header::data_size))
        .member("generate_enabled", d.generate_enabled)
        .member("play_enabled", d.play_enabled)
        .member("format_tag", number(&FileDetails::Header::format_tag))
        .member("channel_count", number(&FileDetails::Header::channel_count))
        .member("sample_rate_hz", number(&FileDetails::Header::sample_rate_hz))
        .member("byte_rate", number(&FileDetails::Header::byte_rate))
        .member("block_align", number(&FileDetails::Header::block_align))
        .member("bits_per_sample", number(&FileDetails::Header::bits_per_sample))
        .member("file_size_bytes", d.file_size_bytes)
        .member("length_seconds", d.length_seconds)
        .member("header", layout)
        .member("data_offset", d.data_offset)
        .member("data_bytes",
                h ? std::optional<std::int64_t>(static_cast<std::uint32_t>(h->data_size))
                  : std::nullopt)
        .member("data_size_past_window", !d.data_note.empty())
        .end_object();
}

std::string file_result_text(const App::FileResult& r) {
    std::string text = shown_name(r.path) + ": ";
    if (!r.not_scanned.empty())
        text += "not scanned (" + r.not_scanned + ")";
    else
        text += std::to_string(r.gaps) + (r.gaps == 1 ? " gap" : " gaps");
    if (r.earlier_gap_file_kept) text += "; the GAP file from an earlier run was left unchanged";
    if (!r.data_size_note.empty()) text += "; " + r.data_size_note;
    return text + "\n";
}

void file_result_json(JsonWriter& w, const App::FileResult& r) {
    const auto unless_empty = [](const std::string& t) {
        return t.empty() ? std::nullopt : std::optional<std::string>(t);
    };
    w.begin_object()
        .member("path", r.path)
        .member("gaps", r.gaps)
        .member("gap_file", unless_empty(r.gap_file))
        .member("scanned", r.not_scanned.empty())
        .member("not_scanned", unless_empty(r.not_scanned))
        .member("earlier_gap_file_kept", r.earlier_gap_file_kept)
        .member("data_size_past_window", !r.data_size_note.empty())
        .end_object();
}

std::string dump_text(std::span<const GapRecord> records, DumpFormat format) {
    if (format == DumpFormat::Labels) return label_track(records);
    if (format == DumpFormat::Json) {
        JsonWriter w;
        dump_json(w, records);
        return w.take();
    }
    std::string out;
    if (format == DumpFormat::Csv) out = "start_ms,end_ms\n";
    for (const GapRecord& r : records) {
        const std::string s = std::to_string(r.start_ms), e = std::to_string(r.end_ms);
        switch (format) {
            case DumpFormat::Plain:
                out += s + " " + e + "\n";
                break;
            case DumpFormat::Csv:
                out += s + "," + e + "\n";
                break;
            case DumpFormat::Json:
            case DumpFormat::Labels:
                break;
        }
    }
    return out;
}

void dump_json(JsonWriter& w, std::span<const GapRecord> records) {
    w.begin_array();
    for (const GapRecord& r : records)
        w.begin_object()
            .member("start_ms", std::int64_t{r.start_ms})
            .member("end_ms", std::int64_t{r.end_ms})
            .end_object();
    w.end_array();
}

}  // namespace veltrane
