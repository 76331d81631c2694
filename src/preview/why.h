#pragma once
// Why a scan recorded nothing, in words the user can act on.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "audio/wav_header.h"
#include "base/byte_source.h"
#include "preview/facts_pass.h"
#include "preview/recording.h"
#include "preview/sweep.h"

namespace veltrane::preview {

enum class Language { English, German };
// The language of the main window's marker `lan`: "2" German, anything else English.
Language language_of(const std::string& lan);

// What depends only on the Filter: the smallest Sensitivity that records a silence at
// either speed, and the quietest stretch of the sound.
struct FilterFacts {
    int filter_ms = 0;
    std::optional<int> smallest_normal;
    std::optional<int> smallest_double;
    std::optional<QuietStretch> quietest;
};
FilterFacts filter_facts(ByteSource& source, const WavInfo& header, const SampleLayout& layout,
                         int filter_ms, const KeepGoing& keep_going = {});

struct Explanation {
    Settings settings;
    WavInfo header;
    HeaderShape shape;
    SampleLayout layout;
    ScanParams params;  // the scan of the settings
    FilterFacts facts;
    // A 16-bit recording at normal speed: the silences Double Speed records at the same
    // Sensitivity and Filter.
    std::optional<std::size_t> double_speed_finds;
};

// What the reasons for an empty scan with `settings` need to know, asked of one pass
// over the file (a FactsGatherer, on its own or riding along with the scan), and the
// explanation made of the answers.
PassQuestions reasons_questions(const WavInfo& header, const SampleLayout& layout,
                                const Settings& settings);
Explanation explanation_of(const WavInfo& header, const HeaderShape& shape,
                           const SampleLayout& layout, const Settings& settings,
                           const PassAnswers& answers);

// Looks into a file in which the scan of `settings` recorded nothing. `facts`, when
// given, are those of the same Filter worked out before. Throws Stopped when
// `keep_going` says so.
Explanation explain_nothing(ByteSource& source, const WavInfo& header, const HeaderShape& shape,
                            const SampleLayout& layout, const Settings& settings,
                            const FilterFacts* facts = nullptr, const KeepGoing& keep_going = {});

// The explanation as lines of text, without line breaks.
std::vector<std::string> why_lines(const Explanation& e, Language language);

// Looks into the file at `path` and explains; the lines say so when it cannot be read.
// `gathered`: the answers of a pass with reasons_questions() for these settings, made
// already (along with the scan); the file's header is all that is read then.
std::vector<std::string> why_nothing_found(const std::string& path, const Settings& settings,
                                           Language language,
                                           const PassAnswers* gathered = nullptr);

}  // namespace veltrane::preview
