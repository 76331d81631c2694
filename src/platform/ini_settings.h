#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/byte_source.h"
#include "platform/ini_codec.h"
#include "platform/settings_store.h"

namespace veltrane {

// The settings store as a text file of sections and keys (platform/ini_codec.h), one
// store per user.
//
// Every read sees what another program wrote to the file before it. Writes are kept in
// memory (and seen by later reads) until flush(), which writes the file once, whole,
// under a lock. In the sections that hold counts, a number that this program read and
// changed while another program changed it too is merged by the difference this program
// made, so that two programs counting at once lose no count; a count that was missing
// when it was read counts from 0. Elsewhere the last write wins.
//
// A file that is not a settings file this program wrote or could have written (a
// recording, binary data, text of another kind) is neither read nor written: reads give
// the defaults and report why (read_failure), flush() throws. Nor is a file with more
// than one hard link written: it would become two files. The file keeps its byte-order
// mark and line ends.
class IniSettingsStore : public SettingsStore {
  public:
    IniSettingsStore(std::filesystem::path file, std::set<std::string> counting_sections);

    std::string read(std::string_view application, std::string_view section, std::string_view key,
                     std::string_view def) override;
    void write(std::string_view application, std::string_view section, std::string_view key,
               std::string_view value) override;
    void flush() override;

    std::optional<Error> read_failure() const override { return read_failure_; }

    // While flush() waits for the lock another program holds, `notice` hears once, after a
    // second, what it waits for; the wait ends as soon as `stop` says so, and flush()
    // throws Error with the changes kept. Without them it waits silently for as long as
    // it takes.
    void on_lock_wait(std::function<void(const std::string&)> notice, std::function<bool()> stop);

    const std::filesystem::path& file() const { return file_; }

    // Reads look at the file for another program's changes at most once per `interval`
    // (0, the default: at every read); a flush makes the next read look again. Counts
    // stay merged whatever the interval.
    void set_recheck_interval(std::chrono::milliseconds interval) { recheck_ = interval; }

  private:
    using Key = ini::Key;
    using Document = ini::Document;
    struct Pending {
        std::optional<std::string> base;  // the value on file when this program changed it
        std::string value;
    };

    void reload_if_changed();
    // Reads the file as it is now into `doc`; returns its stamp. Throws Error, with the
    // code `refused` for a file that is not a settings file. `text`, when given, receives
    // the file's text as read.
    FileStamp load(Document& doc, Errc refused, std::string* text = nullptr) const;

    std::filesystem::path file_;
    std::set<std::string> counting_;
    Document doc_;
    FileStamp stamp_;
    std::optional<Error> read_failure_;  // why the file could not be read, if it could not
    std::map<Key, Pending> pending_;
    std::map<Key, std::optional<std::string>> seen_;  // what reads returned since the last flush
    std::function<void(const std::string&)> wait_notice_;
    std::function<bool()> stop_waiting_;
    std::chrono::milliseconds recheck_{0};
    std::optional<std::chrono::steady_clock::time_point> checked_at_;  // the last look
};

// The user's settings file: the file named by VELTRANE_SETTINGS when it is set, else
// Veltrane/Veltrane.conf in the user's configuration folder ($XDG_CONFIG_HOME, by
// default ~/.config).
std::filesystem::path default_settings_file();

}  // namespace veltrane
