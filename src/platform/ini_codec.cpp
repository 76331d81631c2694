#include "platform/ini_codec.h"

#include <cstddef>

namespace veltrane::ini {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Section names written by other tools may have their spaces as "%20".
std::string percent_decoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex_digit(s[i + 1]) >= 0 &&
            hex_digit(s[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The length of the UTF-8 sequence at the start of `s`; 0 when it is not one (cut
// short, overlong, a surrogate or past U+10FFFF).
std::size_t utf8_length(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = byte(0);
    if (c < 0x80) return 1;
    if (c < 0xC2 || c > 0xF4) return 0;
    const std::size_t n = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (s.size() < n) return 0;
    // The second byte's range narrows where the first alone does not rule sequences out.
    const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return n;
}

}  // namespace

std::string why_not_settings(std::string_view text) {
    if (text.starts_with("RIFF")) return "it is a RIFF file (a recording), not a settings file";
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\0') return "it holds binary data (a NUL byte), not settings";
        const std::size_t n = utf8_length(text.substr(i));
        if (n == 0) return "it is not UTF-8 text, not a settings file";
        i += n;
    }
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const auto cut = text.find('\n');
        std::string_view line = text.substr(0, cut);
        text.remove_prefix(cut == std::string_view::npos ? text.size() : cut + 1);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#' ||
            line.find('=') != std::string_view::npos ||
            (line.size() >= 2 && line.front() == '[' && line.back() == ']'))
            continue;
        return "its line " + std::to_string(number) +
               " is neither a section, a key=value line, a comment nor blank, so it is not a "
               "settings file";
    }
    return {};
}

std::string decoded_value(std::string_view raw) {
    const std::string_view t = trim(raw);
    if (t.size() < 2 || t.front() != '"' || t.back() != '"') return std::string(t);
    std::string out;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i] != '\\' || i + 2 >= t.size()) {
            out += t[i];
            continue;
        }
        const char c = t[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
}

std::string encoded_value(std::string_view v) {
    const bool plain = (v.empty() || (v.front() != ' ' && v.front() != '\t' && v.front() != '"' &&
                                      v.back() != ' ' && v.back() != '\t')) &&
                       v.find_first_of("\r\n") == std::string_view::npos;
    if (plain) return std::string(v);
    std::string out = "\"";
    for (char c : v) {
        if (c == '"' || c == '\\') out += '\\';
        out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    }
    return out + "\"";
}

void Document::parse(std::string_view text) {
    lines.clear();
    keys.clear();
    sections.clear();
    bom = text.starts_with(kBom);
    if (bom) text.remove_prefix(kBom.size());
    const auto first_end = text.find('\n');
    crlf = first_end != std::string_view::npos && first_end > 0 && text[first_end - 1] == '\r';
    while (!text.empty()) {
        const auto cut = text.find('\n');
        std::string_view line = text.substr(0, cut);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        text.remove_prefix(cut == std::string_view::npos ? text.size() : cut + 1);
    }
    std::string section;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view t = trim(lines[i]);
        if (t.empty() || t.front() == ';' || t.front() == '#') continue;
        if (t.front() == '[' && t.back() == ']' && t.size() >= 2) {
            section = percent_decoded(t.substr(1, t.size() - 2));
            sections[section] = i;
            continue;
        }
        const auto eq = t.find('=');
        if (eq == std::string_view::npos) continue;
        keys.emplace(Key{section, std::string(trim(t.substr(0, eq)))}, i);
        sections[section] = i;
    }
}

std::optional<std::string> Document::get(const Key& k) const {
    const auto it = keys.find(k);
    if (it == keys.end()) return std::nullopt;
    const std::string& line = lines[it->second];
    return decoded_value(std::string_view(line).substr(line.find('=') + 1));
}

void Document::set(const Key& k, const std::string& value) {
    const std::string line = k.second + "=" + encoded_value(value);
    if (const auto it = keys.find(k); it != keys.end()) {
        lines[it->second] = line;
        return;
    }
    if (const auto it = sections.find(k.first); it != sections.end()) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(it->second + 1), line);
    } else {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + k.first + "]");
        lines.push_back(line);
    }
    parse(text());
}

std::string Document::text() const {
    std::string out(bom ? kBom : "");
    const std::string_view end = crlf ? "\r\n" : "\n";
    for (const std::string& line : lines) (out += line) += end;
    return out;
}

}  // namespace veltrane::ini
