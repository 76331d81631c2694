#include "cli/run_report.h"

#include <algorithm>
#include <ostream>

#include "cli/commands.h"
#include "cli/format.h"
#include "model/open_file.h"

namespace veltrane {

void RunReport::progress(const OpenFile& f) {
    if (!progress_) return;
    const ProgressBar& bar = f.ProgressBar1;
    const double span = bar.max - bar.min;
    const double share = span > 0 ? std::clamp((bar.value - bar.min) / span, 0.0, 1.0) : 1.0;
    const int filled = static_cast<int>(share * 30);
    err_ << "\r" << shown_name(f.Text1.caption) << " [" << std::string(filled, '#')
         << std::string(30 - filled, ' ') << "] " << static_cast<int>(share * 100) << "%"
         << std::flush;
    drawn_ = true;
}

void RunReport::begin(const std::string& file, const std::string& method) {
    if (!json_) return;
    if (!open_) json_out_.begin_array(JsonWriter::Lines);
    open_ = true;
    json_out_.begin_object()
        .member("file", file)
        .member("method", method)
        .key("files")
        .begin_array(JsonWriter::Lines);
    put_json();
}

void RunReport::file(const App::FileResult& r) {
    if (!json_) return put(file_result_text(r));
    file_result_json(json_out_, r);
    put_json();
}

void RunReport::warn(const std::string& text) {
    clear();
    report(err_, "warning: " + text);
}

void RunReport::note(const std::string& text) {
    clear();
    err_ << text << std::flush;
}

void RunReport::end(const std::string& message, double seconds) {
    if (!json_) return put(message + "\n");
    json_out_.end_array()
        .member("elapsed_seconds", seconds)
        .member("message", message)
        .key("error")
        .null()
        .end_object();
    put_json();
}

void RunReport::fail(const std::string& text) {
    clear();
    report(err_, text);
    if (!json_) return;
    json_out_.end_array()
        .key("elapsed_seconds")
        .null()
        .key("message")
        .null()
        .member("error", text)
        .end_object();
    put_json();
}

void RunReport::close() {
    clear();
    if (!json_) return;
    if (!open_) json_out_.begin_array(JsonWriter::Lines);
    json_out_.end_array();
    put_json();
}

void RunReport::clear() {
    if (drawn_) err_ << "\r\033[K" << std::flush;
    drawn_ = false;
}

void RunReport::put(const std::string& text) {
    clear();
    out_ << text << std::flush;
}

void RunReport::put_json() {
    put(json_out_.take());
}

}  // namespace veltrane
