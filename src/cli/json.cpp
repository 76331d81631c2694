#include "cli/json.h"

#include <cstdio>

#include "base/error.h"
#include "base/text.h"

namespace veltrane {

namespace {

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

int JsonWriter::lines_depth() const {
    int n = 0;
    for (const Open& o : open_) n += o.array && o.layout == Lines;
    return n;
}

void JsonWriter::before_value() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (open_.empty()) return;
    Open& o = open_.back();
    if (!o.array) throw Error(Errc::Internal, "JSON", "a value in an object without its key");
    if (o.layout == Lines)
        out_ += (o.empty ? "\n" : ",\n") + std::string(2 * lines_depth(), ' ');
    else if (!o.empty)
        out_ += ", ";
    o.empty = false;
}

void JsonWriter::scalar(std::string_view text) {
    before_value();
    out_ += text;
    if (open_.empty()) out_ += "\n";
}

JsonWriter& JsonWriter::begin_object() {
    before_value();
    out_ += "{";
    open_.push_back({false, Inline});
    return *this;
}

JsonWriter& JsonWriter::begin_array(Layout layout) {
    before_value();
    out_ += "[";
    open_.push_back({true, layout});
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view k) {
    if (open_.empty() || open_.back().array || after_key_)
        throw Error(Errc::Internal, "JSON", "a key outside an object");
    Open& o = open_.back();
    out_ += (o.empty ? "" : ", ") + json_string(k) + ": ";
    o.empty = false;
    after_key_ = true;
    return *this;
}

JsonWriter& JsonWriter::end_object() {
    if (open_.empty() || open_.back().array || after_key_)
        throw Error(Errc::Internal, "JSON", "no object to end");
    open_.pop_back();
    out_ += "}";
    if (open_.empty()) out_ += "\n";
    return *this;
}

JsonWriter& JsonWriter::end_array() {
    if (open_.empty() || !open_.back().array)
        throw Error(Errc::Internal, "JSON", "no array to end");
    const Open o = open_.back();
    if (o.layout == Lines && !o.empty) out_ += "\n" + std::string(2 * (lines_depth() - 1), ' ');
    open_.pop_back();
    out_ += "]";
    if (open_.empty()) out_ += "\n";
    return *this;
}

JsonWriter& JsonWriter::null() {
    scalar("null");
    return *this;
}
JsonWriter& JsonWriter::value(bool b) {
    scalar(b ? "true" : "false");
    return *this;
}
JsonWriter& JsonWriter::value(std::int64_t n) {
    scalar(std::to_string(n));
    return *this;
}
JsonWriter& JsonWriter::value(std::uint64_t n) {
    scalar(std::to_string(n));
    return *this;
}
JsonWriter& JsonWriter::value(double x) {
    scalar(json_number(x));
    return *this;
}
JsonWriter& JsonWriter::value(std::string_view s) {
    scalar(json_string(s));
    return *this;
}

std::string JsonWriter::take() {
    std::string text = std::move(out_);
    out_.clear();
    return text;
}

}  // namespace veltrane
