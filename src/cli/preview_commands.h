#pragma once
// The preview on the command line.
//   preview [--json] [--filter MS] FILE...
//   plot [--width W] [--height H] [--preset P | --sensitivity S --filter F]
//        [--double-speed | --normal-speed] -o OUT.png FILE
#include <QStringList>
#include <iosfwd>
#include <string>

namespace veltrane {

struct OpenFile;

// `args` as the whole command line (program, command, options and files). Return the
// exit status: 0 done, 1 a file could not be read or written (named on `err`), 2 usage.
int preview_command(const QStringList& args, std::ostream& out, std::ostream& err);
int plot_command(const QStringList& args, std::ostream& out, std::ostream& err);

// The usage lines of both commands.
extern const char* const kPreviewUsage;

// Why a generation recorded nothing in the file at `path`, with the window's settings
// and in its language: a line naming the file and the settings, then the reasons, each
// indented, each line ending in a line break.
std::string why_nothing_text(const std::string& path, const OpenFile& window);

}  // namespace veltrane
