#include "cli/format.h"

#include <cstdio>

#include "base/text.h"
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

std::string optional_number(const std::optional<double>& x) {
    return x ? json_number(*x) : "null";
}

// The length of the UTF-8 sequence at the start of `s`; 0 when it is not one.
std::size_t utf8_sequence(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;  // no overlong forms
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (s.size() < n || b(1) < lo || b(1) > hi) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF) return 0;
    return n;
}

}  // namespace

std::string json_string(std::string_view s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        const std::size_t n = utf8_sequence(s.substr(i));
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that begins no UTF-8 character
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(s.substr(i, n));
            i += n;
            continue;
        }
        ++i;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string json_number(double x) {
    return number_text(x, '.');
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
    return line("File Name:", d.file_name) + line("File Type:", d.file_type) +
           line("Compression:", d.compression) + line("File Size:", d.file_size) +
           line("Channels Used:", d.channels) + line("Sample Rate:", d.sample_rate) +
           line("Bytes Per Second:", d.bytes_per_second) +
           line("Bytes Per Sample:", d.bytes_per_sample) +
           line("Bits per Sample:", d.bits_per_sample) + line("Length:", d.length) +
           line("Header:", header) + (d.data_note.empty() ? "" : line("Note:", d.data_note));
}

std::string info_json(const FileDetails& d) {
    const auto* h = d.header ? &*d.header : nullptr;
    auto number = [&](auto field) { return h ? std::to_string(h->*field) : "null"; };
    // The window's length text, with a point whatever the locale.
    const std::string length =
        d.length_seconds ? json_number(*d.length_seconds) + " seconds" : d.length;
    const char* layout = d.layout == HeaderLayout::Plain    ? "\"plain\""
                         : d.layout == HeaderLayout::Chunks ? "\"chunks\""
                                                            : "null";
    return "{\"path\": " + json_string(d.path) + ", \"file_name\": " + json_string(d.file_name) +
           ", \"file_type\": " + json_string(d.file_type) +
           ", \"compression\": " + json_string(d.compression) +
           ", \"file_size\": " + json_string(d.file_size) +
           ", \"channels\": " + json_string(d.channels) +
           ", \"sample_rate\": " + json_string(d.sample_rate) +
           ", \"bytes_per_second\": " + json_string(d.bytes_per_second) +
           ", \"bytes_per_sample\": " + json_string(d.bytes_per_sample) +
           ", \"length\": " + json_string(length) +
           ", \"data_size\": " + number(&FileDetails::Header::data_size) +
           ", \"generate_enabled\": " + (d.generate_enabled ? "true" : "false") +
           ", \"play_enabled\": " + (d.play_enabled ? "true" : "false") +
           ", \"format_tag\": " + number(&FileDetails::Header::format_tag) +
           ", \"channel_count\": " + number(&FileDetails::Header::channel_count) +
           ", \"sample_rate_hz\": " + number(&FileDetails::Header::sample_rate_hz) +
           ", \"byte_rate\": " + number(&FileDetails::Header::byte_rate) +
           ", \"block_align\": " + number(&FileDetails::Header::block_align) +
           ", \"bits_per_sample\": " + number(&FileDetails::Header::bits_per_sample) +
           ", \"file_size_bytes\": " + std::to_string(d.file_size_bytes) +
           ", \"length_seconds\": " + optional_number(d.length_seconds) +
           ", \"header\": " + layout +
           ", \"data_offset\": " + (d.data_offset ? std::to_string(*d.data_offset) : "null") +
           ", \"data_bytes\": " +
           (h ? std::to_string(static_cast<std::uint32_t>(h->data_size)) : "null") +
           ", \"data_size_past_window\": " + (d.data_note.empty() ? "false" : "true") + "}";
}

std::string file_result_text(const App::FileResult& r) {
    std::string text = r.path + ": ";
    if (!r.not_scanned.empty())
        text += "not scanned (" + r.not_scanned + ")";
    else
        text += std::to_string(r.gaps) + (r.gaps == 1 ? " gap" : " gaps");
    if (r.earlier_gap_file_kept) text += "; the GAP file from an earlier run was left unchanged";
    if (!r.data_size_note.empty()) text += "; " + r.data_size_note;
    return text + "\n";
}

std::string file_result_json(const App::FileResult& r) {
    return "{\"path\": " + json_string(r.path) + ", \"gaps\": " + std::to_string(r.gaps) +
           ", \"gap_file\": " + (r.gap_file.empty() ? "null" : json_string(r.gap_file)) +
           ", \"scanned\": " + (r.not_scanned.empty() ? "true" : "false") +
           ", \"not_scanned\": " + (r.not_scanned.empty() ? "null" : json_string(r.not_scanned)) +
           ", \"earlier_gap_file_kept\": " + (r.earlier_gap_file_kept ? "true" : "false") +
           ", \"data_size_past_window\": " + (r.data_size_note.empty() ? "false" : "true") + "}";
}

std::string dump_text(std::span<const GapRecord> records, DumpFormat format) {
    if (format == DumpFormat::Labels) return label_track(records);
    std::string out;
    if (format == DumpFormat::Json) out = "[";
    if (format == DumpFormat::Csv) out = "start_ms,end_ms\n";
    int n = 0;
    for (const GapRecord& r : records) {
        const std::string s = std::to_string(r.start_ms), e = std::to_string(r.end_ms);
        ++n;
        switch (format) {
            case DumpFormat::Plain:
                out += s + " " + e + "\n";
                break;
            case DumpFormat::Csv:
                out += s + "," + e + "\n";
                break;
            case DumpFormat::Json:
                out += std::string(n > 1 ? ", " : "") + "{\"start_ms\": " + s +
                       ", \"end_ms\": " + e + "}";
                break;
            case DumpFormat::Labels:
                break;
        }
    }
    if (format == DumpFormat::Json) out += "]";
    return out;
}

}  // namespace veltrane
