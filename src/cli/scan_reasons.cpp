#include "cli/scan_reasons.h"

#include "base/byte_source.h"
#include "base/error.h"
#include "cli/preview_commands.h"
#include "preview/why.h"

namespace veltrane {

namespace {

// Hands the bytes a scan reads to a gatherer as well, with the run's clock stopped
// while the gatherer works.
class OffTheClock final : public TappedSource {
  public:
    OffTheClock(ByteSource& inner, preview::FactsGatherer& gatherer, RunClock& clock)
        : TappedSource(inner), gatherer_(gatherer), clock_(clock) {}
    std::span<const std::uint8_t> in_memory() const override { return inner_.in_memory(); }
    // Another thread reads past the gatherer, once it needs no more bytes: a file where
    // nothing is found is read once, here.
    ByteSource* for_another_thread() override {
        return gatherer_.done() ? inner_.for_another_thread() : nullptr;
    }

  private:
    void seen(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        if (gatherer_.done()) return;
        const RunClock::Paused off(clock_);
        gatherer_.take(offset, bytes);
    }
    preview::FactsGatherer& gatherer_;
    RunClock& clock_;
};

preview::Settings settings_of(const OpenFile& f) {
    return {f.Slider1.value(), f.Slider2.value(), f.Fast.ticked()};
}

}  // namespace

struct ScanReasons::Watch {
    std::string path;
    preview::Settings settings;
    std::unique_ptr<preview::FactsGatherer> gatherer;
};

preview::PassQuestions riding_questions(ByteSource& file, const preview::Settings& settings) {
    const WavInfo header = read_wav_header(file);
    const preview::SampleLayout layout =
        preview::sample_layout(header, preview::header_shape(file), file.size());
    preview::PassQuestions q = preview::reasons_questions(header, layout, settings);
    q.give_up_at = settings.sensitivity;
    q.give_up_fast = settings.double_speed;
    return q;
}

ScanReasons::ScanReasons(App& app, RunClock& clock, std::int64_t read_again_up_to)
    : app_(app), clock_(clock), read_again_up_to_(read_again_up_to) {
    app_.watch_scan = [this](const std::string& path,
                             ByteSource& file) -> std::unique_ptr<ByteSource> {
        const RunClock::Paused off(clock_);
        watch_.reset();
        if (file.size() <= read_again_up_to_) return nullptr;
        try {
            auto w = std::make_unique<Watch>();
            w->path = path;
            w->settings = settings_of(app_.f());
            w->gatherer = std::make_unique<preview::FactsGatherer>(
                riding_questions(file, w->settings), file.size());
            watch_ = std::move(w);
            return std::make_unique<OffTheClock>(file, *watch_->gatherer, clock_);
        } catch (const Error&) {
            return nullptr;  // the reasons read the file for themselves
        }
    };
}

ScanReasons::~ScanReasons() {
    app_.watch_scan = nullptr;
}

std::string ScanReasons::text(const std::string& path) {
    const RunClock::Paused off(clock_);
    const std::unique_ptr<Watch> w = std::move(watch_);
    std::optional<preview::PassAnswers> gathered;
    if (w && w->path == path && w->settings == settings_of(app_.f())) {
        try {
            // What the scan did not bring (or what lies beyond its part of the file).
            if (const std::unique_ptr<FileSource> file = open_recording(path))
                gathered = w->gatherer->finish(*file);
        } catch (const Error&) {
            gathered.reset();
        }
    }
    return why_nothing_text(path, app_.f(), gathered ? &*gathered : nullptr);
}

}  // namespace veltrane
