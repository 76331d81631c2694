#pragma once
// The clock a run is timed by, with time taken out: what the command-line tool does
// between the steps of a run for its own reasons (explaining why a file had no silence)
// is no part of the run's time, its completion message or its statistics.
#include <string>

#include "platform/clock.h"

namespace veltrane {

class RunClock final : public Clock {
  public:
    explicit RunClock(Clock& inner) : inner_(inner) {}

    // Stops the monotonic clock while it lives; nested pauses stop it once.
    class Paused {
      public:
        explicit Paused(RunClock& clock) : clock_(clock) {
            if (clock_.paused_ == 0) clock_.paused_at_ = clock_.inner_.monotonic_seconds();
            ++clock_.paused_;
        }
        ~Paused() {
            if (clock_.paused_ == 1)
                clock_.taken_out_ += clock_.inner_.monotonic_seconds() - clock_.paused_at_;
            --clock_.paused_;
        }
        Paused(const Paused&) = delete;
        Paused& operator=(const Paused&) = delete;

      private:
        RunClock& clock_;
    };

    bool paused() const { return paused_ > 0; }
    // The time taken out so far.
    double taken_out() const { return taken_out_; }

    double monotonic_seconds() override {
        return (paused_ > 0 ? paused_at_ : inner_.monotonic_seconds()) - taken_out_;
    }
    double seconds_since_midnight() override { return inner_.seconds_since_midnight(); }
    std::string date_text() override { return inner_.date_text(); }
    std::string time_text() override { return inner_.time_text(); }
    char decimal_separator() override { return inner_.decimal_separator(); }
    void sleep(double seconds) override { inner_.sleep(seconds); }

  private:
    Clock& inner_;
    int paused_ = 0;
    double paused_at_ = 0;
    double taken_out_ = 0;
};

}  // namespace veltrane
