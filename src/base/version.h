#pragma once
#include <string_view>

namespace veltrane {

// The program's version, from the build (the project version).
inline constexpr std::string_view kVersion = VELTRANE_VERSION;

}  // namespace veltrane
