#pragma once
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/byte_source.h"
#include "platform/settings_store.h"

namespace veltrane {

// The settings store as a text file of sections and keys, one store per user:
//
//   [Startup Values]
//   Method=1
//
// A value is plain text, read back exactly as it was written; a value that would not
// survive a line of its own (line breaks, blanks at either end, a leading quote) is
// written in double quotes with backslash escapes. Hand-written lines are read as the
// text they hold, comments (";" or "#") and unknown lines are kept.
//
// Every read sees what another program wrote to the file before it. Writes are kept in
// memory (and seen by later reads) until flush(), which writes the file once, whole,
// under a lock. In the sections that hold counts, a number that this program read and
// changed while another program changed it too is merged by the difference this program
// made, so that two programs counting at once lose no count; elsewhere the last write
// wins.
class IniSettingsStore : public SettingsStore {
  public:
    IniSettingsStore(std::filesystem::path file, std::set<std::string> counting_sections);

    std::string read(std::string_view application, std::string_view section, std::string_view key,
                     std::string_view def) override;
    void write(std::string_view application, std::string_view section, std::string_view key,
               std::string_view value) override;
    void flush() override;

    const std::filesystem::path& file() const { return file_; }

  private:
    using Key = std::pair<std::string, std::string>;  // section, key

    // The file as lines, with where each section and key stands.
    struct Document {
        std::vector<std::string> lines;
        std::map<Key, std::size_t> keys;              // the line of each key
        std::map<std::string, std::size_t> sections;  // the last line of each section
        void parse(std::string_view text);
        std::optional<std::string> get(const Key& k) const;
        void set(const Key& k, const std::string& value);
        std::string text() const;
    };
    struct Pending {
        std::optional<std::string> base;  // the value on file when this program changed it
        std::string value;
    };

    void reload_if_changed();
    // Reads the file as it is now into `doc`; returns its stamp. Throws Error.
    FileStamp load(Document& doc) const;

    std::filesystem::path file_;
    std::set<std::string> counting_;
    Document doc_;
    FileStamp stamp_;
    std::string read_error_;  // why the file could not be read, if it could not
    std::map<Key, Pending> pending_;
    std::map<Key, std::optional<std::string>> seen_;  // what reads returned since the last flush
};

// The user's settings file: the file named by VELTRANE_SETTINGS when it is set, else
// Veltrane/Veltrane.conf in the user's configuration folder ($XDG_CONFIG_HOME, by
// default ~/.config).
std::filesystem::path default_settings_file();

}  // namespace veltrane
