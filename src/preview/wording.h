#pragma once
// Numbers as the preview writes them for people: a point in English, a comma in
// German, never the locale's choice.
#include <cstdint>
#include <string>

namespace veltrane::preview {

enum class Language;

// x with `places` decimals.
std::string fixed(double x, int places, Language language);
// Whole milliseconds as seconds with three decimals ("12.345").
std::string seconds(std::int64_t ms, Language language);
// A level in dBFS with one decimal ("-18.6"); "-inf" for minus infinity.
std::string decibels(double db, Language language);

}  // namespace veltrane::preview
