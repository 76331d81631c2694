#include "app/text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace veltrane {

double val(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    std::size_t start = i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    bool digits = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, digits = true;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, digits = true;
    }
    if (!digits) return 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        if (j < t.size() && t[j] >= '0' && t[j] <= '9') {
            while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j;
            i = j;
        }
    }
    std::string_view num = t.substr(start, i - start);
    if (num.front() == '+') num.remove_prefix(1);
    double x = 0;
    auto [p, ec] = std::from_chars(num.data(), num.data() + num.size(), x);
    if (ec == std::errc::result_out_of_range) return num.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    return ec == std::errc() ? x : 0;
}

static std::int64_t saturate(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (x <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(x);
}

std::int64_t whole(std::string_view text) {
    return saturate(std::nearbyint(val(text)));
}

std::int64_t floor_int(double x) {
    return saturate(std::floor(x));
}

std::string number_text(double x, char decimal_separator) {
    // Plain decimal digits, never an exponent: the shortest fixed form that reads back.
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed);
    std::string s(buf, ec == std::errc() ? end : buf);
    if (s == "-0") s = "0";
    for (char& c : s)
        if (c == '.') c = decimal_separator;
    return s;
}

std::string lower(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace veltrane
