#pragma once
// What `generate` prints, written as the runs go: a line per file and the completion
// message of each run, or one JSON array with an object per run; a progress bar on the
// error stream when it is a terminal.
#include <iosfwd>
#include <string>

#include "app/app.h"
#include "cli/json.h"

namespace veltrane {

struct OpenFile;

class RunReport {
  public:
    RunReport(std::ostream& out, std::ostream& err, bool json, bool progress)
        : out_(out), err_(err), json_(json), progress_(progress) {}

    void progress(const OpenFile& f);
    // A run over `file` begins; `method` is its name (single, ja, folder).
    void begin(const std::string& file, const std::string& method);
    void file(const App::FileResult& r);
    void warn(const std::string& text);
    // Lines of their own on the error stream.
    void note(const std::string& text);
    // The run went through: the window's completion message, and how long it took.
    void end(const std::string& message, double seconds);
    // The run stopped on `text`.
    void fail(const std::string& text);
    // After the last run.
    void close();

  private:
    void clear();
    void put(const std::string& text);
    void put_json();

    std::ostream& out_;
    std::ostream& err_;
    bool json_, progress_;
    bool drawn_ = false;
    bool open_ = false;  // the JSON array of the runs has begun
    JsonWriter json_out_;
};

}  // namespace veltrane
