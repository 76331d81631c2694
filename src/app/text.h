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

// A number in its shortest decimal form ("12.5", "3", "0.01"), with the given separator.
std::string number_text(double x, char decimal_separator = '.');

std::string lower(std::string_view text);

}  // namespace veltrane
