#pragma once
// A strict check of one JSON document (RFC 8259), its strings valid UTF-8: what a script
// that reads the tool's output would accept. Returns an empty text when valid, else where
// and why not.
#include <cctype>
#include <string>
#include <string_view>

namespace veltrane::test {

class JsonCheck {
  public:
    static std::string check(std::string_view text) {
        JsonCheck c(text);
        c.blank();
        if (!c.value()) return c.why();
        c.blank();
        if (c.at_ != c.s_.size()) return c.fail("text after the document"), c.why();
        return "";
    }

  private:
    explicit JsonCheck(std::string_view s) : s_(s) {}

    bool fail(const char* what) {
        if (error_.empty()) error_ = std::string(what) + " at byte " + std::to_string(at_);
        return false;
    }
    std::string why() const { return error_.empty() ? "invalid" : error_; }
    bool more() const { return at_ < s_.size(); }
    unsigned char peek() const { return static_cast<unsigned char>(s_[at_]); }
    void blank() {
        while (more() && (peek() == ' ' || peek() == '\n' || peek() == '\r' || peek() == '\t'))
            ++at_;
    }
    bool word(std::string_view w) {
        if (s_.substr(at_, w.size()) != w) return fail("unknown word");
        at_ += w.size();
        return true;
    }
    bool value() {
        if (!more()) return fail("end of text");
        switch (peek()) {
            case '{':
                return members('}', true);
            case '[':
                return members(']', false);
            case '"':
                return string();
            case 't':
                return word("true");
            case 'f':
                return word("false");
            case 'n':
                return word("null");
            default:
                return number();
        }
    }
    bool members(char close, bool object) {
        ++at_;
        blank();
        if (more() && peek() == static_cast<unsigned char>(close)) return ++at_, true;
        for (;;) {
            blank();
            if (object) {
                if (!more() || peek() != '"') return fail("expected a key");
                if (!string()) return false;
                blank();
                if (!more() || peek() != ':') return fail("expected ':'");
                ++at_;
                blank();
            }
            if (!value()) return false;
            blank();
            if (!more()) return fail("unclosed");
            if (peek() == static_cast<unsigned char>(close)) return ++at_, true;
            if (peek() != ',') return fail("expected ','");
            ++at_;
        }
    }
    bool digits() {
        const std::size_t from = at_;
        while (more() && peek() >= '0' && peek() <= '9') ++at_;
        return at_ > from;
    }
    bool number() {
        if (more() && peek() == '-') ++at_;
        if (more() && peek() == '0')
            ++at_;
        else if (!digits())
            return fail("not a value");
        if (more() && peek() == '.' && (++at_, !digits())) return fail("bad fraction");
        if (more() && (peek() == 'e' || peek() == 'E')) {
            ++at_;
            if (more() && (peek() == '+' || peek() == '-')) ++at_;
            if (!digits()) return fail("bad exponent");
        }
        return true;
    }
    bool string() {
        ++at_;
        while (more()) {
            const unsigned char c = peek();
            if (c == '"') return ++at_, true;
            if (c < 0x20) return fail("control character in a string");
            if (c == '\\') {
                ++at_;
                if (!more()) break;
                const char e = s_[at_];
                if (e == 'u') {
                    for (int i = 1; i <= 4; ++i)
                        if (at_ + i >= s_.size() ||
                            !std::isxdigit(static_cast<unsigned char>(s_[at_ + i])))
                            return fail("bad \\u escape");
                    at_ += 5;
                } else if (std::string_view("\"\\/bfnrt").find(e) != std::string_view::npos) {
                    ++at_;
                } else {
                    return fail("bad escape");
                }
                continue;
            }
            if (!utf8()) return false;
        }
        return fail("unclosed string");
    }
    bool utf8() {
        const unsigned char c = peek();
        std::size_t n = c < 0x80                 ? 1
                        : c >= 0xC2 && c <= 0xDF ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
        if (n == 0 || at_ + n > s_.size()) return fail("not UTF-8");
        const unsigned char c1 = n > 1 ? static_cast<unsigned char>(s_[at_ + 1]) : 0x80;
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) ||
            (c == 0xF4 && c1 > 0x8F))
            return fail("not UTF-8");
        for (std::size_t i = 1; i < n; ++i) {
            const auto b = static_cast<unsigned char>(s_[at_ + i]);
            if (b < 0x80 || b > 0xBF) return fail("not UTF-8");
        }
        at_ += n;
        return true;
    }

    std::string_view s_;
    std::size_t at_ = 0;
    std::string error_;
};

}  // namespace veltrane::test
