#include "base/text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace veltrane {

// Whether a number too large or too small for a double is large; it is tiny otherwise.
static bool beyond_the_largest(std::string_view num) {
    std::size_t i = num.front() == '-' ? 1 : 0;
    long long whole_digits = 0, zeros_after_point = 0;
    bool nonzero = false;
    for (; i < num.size() && num[i] >= '0' && num[i] <= '9'; ++i)
        if (nonzero || num[i] != '0') nonzero = true, ++whole_digits;
    if (i < num.size() && num[i] == '.')
        for (++i; i < num.size() && num[i] >= '0' && num[i] <= '9'; ++i)
            if (!nonzero) num[i] == '0' ? ++zeros_after_point : (nonzero = true, 0);
    long long exponent = 0;
    if (i < num.size() && (num[i] == 'e' || num[i] == 'E')) {
        const bool negative = i + 1 < num.size() && num[i + 1] == '-';
        for (i += (i + 1 < num.size() && (num[i + 1] == '-' || num[i + 1] == '+')) ? 2 : 1;
             i < num.size() && num[i] >= '0' && num[i] <= '9'; ++i)
            exponent = std::min<long long>(exponent * 10 + (num[i] - '0'), 1'000'000'000);
        if (negative) exponent = -exponent;
    }
    // The power of ten of the first digit that is not zero.
    const long long power =
        whole_digits > 0 ? whole_digits - 1 + exponent : exponent - zeros_after_point - 1;
    return power >= 0;
}

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
    if (ec == std::errc::result_out_of_range) {
        if (!beyond_the_largest(num)) return 0;  // too small to tell from 0
        return num.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    }
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
