#pragma once
// The preview on the command line: the commands `preview` and `plot` (rows of the command
// table), and the reasons `generate` gives when it finds nothing.
#include <string>

#include "preview/recording.h"
#include "preview/why.h"

namespace veltrane {

struct OpenFile;
namespace preview {
struct PassAnswers;
}

// What `plot` draws, checked and completed from the stored settings; drawn by the
// program folder's drawing tool (veltrane-plot), which alone loads the toolkit's GUI part.
struct PlotRequest {
    std::string path;    // the recording
    std::string target;  // the PNG to write
    int width = 0, height = 0;
    preview::Settings settings;
    preview::Language language = preview::Language::English;
    bool find_chunks = false;  // scan by the located chunks
};

// Why a generation recorded nothing in the file at `path`, with the window's settings
// and in its language: a line naming the file and the settings, then the reasons, each
// indented, each line ending in a line break. `gathered`, when given, is what a pass
// along the file's scan found out (with these settings), so that the file is not read
// again.
std::string why_nothing_text(const std::string& path, const OpenFile& window,
                             const preview::PassAnswers* gathered = nullptr);
// The same with the settings and the language given (from any thread).
std::string why_nothing_text(const std::string& path, const preview::Settings& settings,
                             preview::Language language,
                             const preview::PassAnswers* gathered = nullptr);

}  // namespace veltrane
