#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"

namespace veltrane {

// Per-user persistent text values addressed by (application, section, key).
// A key that was never written reads as `def`.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    virtual std::string read(std::string_view application, std::string_view section,
                             std::string_view key, std::string_view def) = 0;
    virtual void write(std::string_view application, std::string_view section, std::string_view key,
                       std::string_view value) = 0;
    // Puts what was written where it lasts. A store may keep writes until then; every
    // read still sees them. Throws Error naming the store when it cannot be written.
    virtual void flush() {}
    // Why the store could not be read the last time it was looked at, naming it; none
    // while it reads well. Reads meanwhile give the defaults.
    virtual std::optional<Error> read_failure() const { return std::nullopt; }
};

}  // namespace veltrane
