#include "cli/format.h"

#include <cstdio>

#include "app/text.h"
#include "ui/open_file.h"

namespace veltrane {

namespace {

// A box holding the single space shows as empty.
std::string shown(const std::string& s) {
    return s == " " ? "" : s;
}

std::string line(const std::string& label, const std::string& value) {
    return value.empty() ? label + "\n" : label + " " + value + "\n";
}

// Milliseconds as seconds with three decimals and a point, whatever the locale.
std::string seconds3(std::int32_t ms) {
    const std::int64_t v = ms;
    const std::int64_t whole = v / 1000, part = v % 1000;
    const std::string digits = std::to_string(part < 0 ? -part : part);
    return (v < 0 && whole == 0 ? "-" : "") + std::to_string(whole) + "." +
           std::string(3 - digits.size(), '0') + digits;
}

}  // namespace

std::string json_string(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
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

FileDetails details_of(const OpenFile& f) {
    FileDetails d;
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
    if (!f.hid1.caption.empty()) d.data_size = static_cast<long long>(val(f.hid1.caption));
    d.generate_enabled = f.Command3.enabled;
    d.play_enabled = f.Command4.enabled;
    return d;
}

std::string info_text(std::span<const FileDetails> files) {
    std::string out;
    for (const FileDetails& d : files) {
        if (!out.empty()) out += "\n";
        out += line("File Name:", d.file_name) + line("File Type:", d.file_type) +
               line("Compression:", d.compression) + line("File Size:", d.file_size) +
               line("Channels Used:", d.channels) + line("Sample Rate:", d.sample_rate) +
               line("Bytes Per Second:", d.bytes_per_second) +
               line("Bytes Per Sample:", d.bytes_per_sample) +
               line("Bits per Sample:", d.bits_per_sample) + line("Length:", d.length);
    }
    return out;
}

std::string info_json(std::span<const FileDetails> files) {
    std::string out = "[";
    for (const FileDetails& d : files) {
        if (out.size() > 1) out += ",";
        out += "\n  {\"file_name\": " + json_string(d.file_name) +
               ", \"file_type\": " + json_string(d.file_type) +
               ", \"compression\": " + json_string(d.compression) +
               ", \"file_size\": " + json_string(d.file_size) +
               ", \"channels\": " + json_string(d.channels) +
               ", \"sample_rate\": " + json_string(d.sample_rate) +
               ", \"bytes_per_second\": " + json_string(d.bytes_per_second) +
               ", \"bytes_per_sample\": " + json_string(d.bytes_per_sample) +
               ", \"bits_per_sample\": " + json_string(d.bits_per_sample) +
               ", \"length\": " + json_string(d.length) +
               ", \"data_size\": " + (d.data_size ? std::to_string(*d.data_size) : "null") +
               ", \"generate_enabled\": " + (d.generate_enabled ? "true" : "false") +
               ", \"play_enabled\": " + (d.play_enabled ? "true" : "false") + "}";
    }
    return out + (files.empty() ? "]\n" : "\n]\n");
}

std::string generate_text(const GenerateResult& r) {
    std::string out;
    for (const auto& file : r.files)
        out += file.path + ": " + std::to_string(file.gaps) + " gaps\n";
    return out + r.message + "\n";
}

std::string generate_json(const GenerateResult& r) {
    std::string out = "{\"files\": [";
    for (std::size_t i = 0; i < r.files.size(); ++i) {
        const auto& file = r.files[i];
        out += std::string(i ? ", " : "") + "{\"path\": " + json_string(file.path) +
               ", \"gaps\": " + std::to_string(file.gaps) +
               ", \"gap_file\": " + (file.gap_file.empty() ? "null" : json_string(file.gap_file)) +
               "}";
    }
    return out + "], \"elapsed_seconds\": " + number_text(r.elapsed_seconds) +
           ", \"message\": " + json_string(r.message) + "}\n";
}

std::string dump_text(std::span<const GapRecord> records, DumpFormat format) {
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
                out += seconds3(r.start_ms) + "\t" + seconds3(r.end_ms) + "\tgap " +
                       std::to_string(n) + "\n";
                break;
        }
    }
    if (format == DumpFormat::Json) out += "]\n";
    return out;
}

}  // namespace veltrane
