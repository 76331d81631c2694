#pragma once
#include <sys/types.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace veltrane {

// Every failure the program reports names a file and a cause, from one table of codes.
enum class Errc {
    Open,        // a file could not be opened
    Read,        // reading failed part way
    Write,       // writing failed
    Replace,     // a finished file could not be moved into place
    Start,       // another program could not be started
    BadGapFile,  // a GAP file whose length is not a whole number of records
    NoScan,      // a recording whose samples the scan cannot read (the command-line tool)
    Internal,    // anything unexpected
};

// The language a message of the program's own is written in.
enum class Wording { English, German };

const char* errc_text(Errc code);

class Error : public std::runtime_error {
  public:
    Error(Errc code, std::filesystem::path file, std::string cause);
    Errc code() const { return code_; }
    const std::filesystem::path& file() const { return file_; }
    const std::string& cause() const { return cause_; }

  private:
    Errc code_;
    std::filesystem::path file_;
    std::string cause_;
};

// Thrown at a yield when the program is ending during a run: the run stops there,
// leaving every file it had not finished as it was. It is no failure and is not shown.
struct RunStopped {};

// The text shown for an error, the same in the window and on the command line; the
// cause stays as the system gave it. what() is the English text.
std::string describe(const Error& e, Wording wording = Wording::English);
// The text for the exception being handled (call only inside a catch block), worded
// the same wherever a failure is reported.
std::string current_failure_text(Wording wording = Wording::English);

// Why a path that exists is not a regular file: "is a directory", "is a FIFO", "is a
// socket", "is a device" ("is not a regular file" for anything else); empty for a
// regular file.
const char* not_regular_cause(mode_t mode);
// The cause when a file cannot be made or renamed in `folder` because the folder may not
// be written to: the folder is named, as the file itself may well be writable.
std::string folder_cause(const std::filesystem::path& folder, const std::string& cause);

// The cause text of the last failed C library or system call.
std::string errno_text();

}  // namespace veltrane
