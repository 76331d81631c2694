#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrane {

// The leading decimal number of a text ("12 Kb" reads 12, "-3.5x" reads -3.5);
// an empty text, or one that does not begin with a number, reads as 0.
double val(std::string_view text);

// val() rounded to the nearest whole number (halves to even), saturated to 64 bits.
std::int64_t whole(std::string_view text);

// Int(x): the greatest whole number not above x.
std::int64_t floor_int(double x);

// a / b rounded down (towards minus infinity); b must not be 0.
constexpr std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// A number in its shortest decimal form ("12.5", "3", "0.01"), with the given separator.
std::string number_text(double x, char decimal_separator = '.');

std::string lower(std::string_view text);

}  // namespace veltrane
