#pragma once
#include <string>

namespace veltrane {

class Clock {
  public:
    virtual ~Clock() = default;
    // Time of day in seconds since midnight (restarts at 0 at midnight).
    virtual double seconds_since_midnight() = 0;
    // A clock that never jumps, for measuring durations.
    virtual double monotonic_seconds() = 0;
    // Today's date as "dd/mm/yy" and the time as "hh:mm:ss", with the locale's separators.
    virtual std::string date_text() = 0;
    virtual std::string time_text() = 0;
    // The locale's decimal separator, for numbers shown to the user.
    virtual char decimal_separator() = 0;
    // Holds the thread for a while without processing events.
    virtual void sleep(double seconds) = 0;
};

}  // namespace veltrane
