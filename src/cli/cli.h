#pragma once
#include <QStringList>
#include <iosfwd>

namespace veltrane {

// veltrane-cli: the program's procedures over a headless platform.
//   info [--json] FILE...
//   generate [options] FILE
//   dump [--json | --csv | --labels] FILE.gap
// Returns the exit status: 0 done, 1 a file could not be read or processed, 2 usage.
int run_cli(const QStringList& args, std::ostream& out, std::ostream& err, bool progress_on_err);

}  // namespace veltrane
