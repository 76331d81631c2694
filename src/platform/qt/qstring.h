#pragma once
// Text between the program's UTF-8 strings and the toolkit's strings.
#include <QString>
#include <string_view>

namespace veltrane {

inline QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace veltrane
