#pragma once
// The reasons `generate` gives for a file in which its scan recorded nothing, gathered
// while the scan reads the file (so that it is read once) and kept off the run's clock.
#include <memory>
#include <string>

#include "app/app.h"
#include "cli/run_clock.h"
#include "preview/why.h"

namespace veltrane {

// What a gatherer riding along a scan of `file` with `settings` asks: the reasons' own
// questions, given up as soon as the scan records a silence. Throws Error when the
// header cannot be read.
preview::PassQuestions riding_questions(ByteSource& file, const preview::Settings& settings);

// A recording this short is read again for its reasons, and only when nothing was found
// in it: setting up a gatherer to ride along with its scan costs more than that.
inline constexpr std::int64_t kReadAgainUpTo = std::int64_t{1} << 20;

class ScanReasons {
  public:
    // Watches every scan of `app` from now on, of files longer than `read_again_up_to`
    // bytes; the work is timed out of `clock`, the clock of the app's runs.
    ScanReasons(App& app, RunClock& clock, std::int64_t read_again_up_to = kReadAgainUpTo);
    ~ScanReasons();
    ScanReasons(const ScanReasons&) = delete;
    ScanReasons& operator=(const ScanReasons&) = delete;

    // Why the scan of the file just done recorded nothing, with the window's settings,
    // as why_nothing_text() tells it; worked out off the run's clock.
    std::string text(const std::string& path);

  private:
    struct Watch;
    App& app_;
    RunClock& clock_;
    std::int64_t read_again_up_to_;
    std::unique_ptr<Watch> watch_;
};

}  // namespace veltrane
