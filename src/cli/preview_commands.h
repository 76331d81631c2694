#pragma once
// The preview on the command line: the commands `preview` and `plot` (rows of the command
// table), and the reasons `generate` gives when it finds nothing.
#include <string>

namespace veltrane {

struct OpenFile;
namespace preview {
struct PassAnswers;
}

// Why a generation recorded nothing in the file at `path`, with the window's settings
// and in its language: a line naming the file and the settings, then the reasons, each
// indented, each line ending in a line break. `gathered`, when given, is what a pass
// along the file's scan found out (with these settings), so that the file is not read
// again.
std::string why_nothing_text(const std::string& path, const OpenFile& window,
                             const preview::PassAnswers* gathered = nullptr);

}  // namespace veltrane
