#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/header_notice.h"
#include "model/open_file.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/file_dialog.h"
#include "platform/ini_settings.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "platform/sound.h"
#include "platform/windows.h"

namespace veltrane {

class ScanAhead;
class SecondCore;
class ByteSource;

inline constexpr std::string_view kAppName = "Veltrane";
inline constexpr std::string_view kStartupSection = "Startup Values";
inline constexpr std::string_view kStatsSection = "001";

struct Platform {
    SettingsStore& settings;
    MessageBoxes& boxes;
    FileDialog& dialog;
    Clock& clock;
    Sound& sound;
    Process& process;
    EventLoop& loop;
    Windows& windows;
};

// The program: its platform services, the main window's state, the command line and
// the program folder. Every procedure is a free function over one App.
struct App {
    explicit App(Platform p);

    Platform platform;
    // Shared so that a run that yields keeps the window it started on, even when a
    // restart replaces it meanwhile.
    std::shared_ptr<OpenFile> form;
    std::string command_line;
    std::filesystem::path program_folder;

    // Set once the first failed log write of this run has been reported.
    bool log_failure_reported = false;
    // Set once the first failed read or write of the settings store has been reported.
    bool settings_failure_reported = false;
    // Generation runs in progress (a run lets the window handle events while it works).
    int runs = 0;
    // The program is ending: a run stops at its next yield.
    bool ending = false;
    // Scan each file by its located "fmt " and "data" chunks instead of the plain 44-byte
    // header (the command-line tool's --find-chunks; the window never sets it). A file
    // with the plain layout is scanned exactly as without.
    bool find_chunks = false;
    // What the views say beside the window about the file loaded last (a recording whose
    // samples stand after other chunks), and a number that grows with every load. Only
    // the views read it.
    std::optional<HeaderNotice> header_notice;
    unsigned notice_serial = 0;
    // Scans the files of a run ahead on other threads (the command-line tool's --jobs;
    // the window never sets it): doit takes each file's finished scan instead of scanning.
    ScanAhead* scan_ahead = nullptr;
    // A second processor for the scan of a long file (the command-line tool's runs of one
    // file; the window never sets it).
    SecondCore* second_core = nullptr;
    // At most how often doit writes the statistics to the store, in seconds; 0: after
    // every file, as the window does. A run always writes them when it ends.
    double settings_interval = 0;
    double settings_flushed_at = 0;  // monotonic seconds
    // Rook looks for Data.Qlm in the program folder once and keeps the answer (the
    // command-line tool's runs); the window looks at every refresh.
    bool remember_data_file = false;
    std::optional<bool> data_file_located;
    // The run time of the last run, as its completion message shows it (seconds, cut to
    // hundredths).
    double run_seconds = 0;

    // Views hook in here to mirror the model (after handlers, at yields, before boxes).
    std::function<void()> on_refresh;
    // Called once per block of scanning work, with or without Allow Multitasking.
    std::function<void()> on_progress;
    // Called when a file has been processed: its path, the silences recorded and the
    // GAP file written (empty when none was).
    struct FileResult {
        std::string path;
        std::size_t gaps = 0;
        std::string gap_file;
        // Why its samples were not scanned; empty when they were.
        std::string not_scanned;
        // Nothing was recorded and a GAP file from an earlier run stands beside it,
        // left as it was.
        bool earlier_gap_file_kept = false;
        // What the user should know of how it was read (a header size past what the
        // window reads); empty when nothing.
        std::string data_size_note;
    };
    std::function<void(const FileResult&)> on_file_done;
    // Looks at the bytes of a file as its scan reads them: given the file's path and the
    // file, returns the source the scan reads instead (one that hands the bytes on), or
    // null for the file itself.
    std::function<std::unique_ptr<ByteSource>(const std::string& path, ByteSource& file)>
        watch_scan;

    OpenFile& f() { return *form; }
    // A run in progress: its window, or the one that replaced it, keeps its buttons off.
    bool running() const { return runs > 0; }
    void refresh() const {
        if (on_refresh) on_refresh();
    }
    // Mirrors the model, then lets the event loop run once. Throws RunStopped when the
    // program is ending meanwhile.
    void yield();
    // Ends the program: a run in progress stops at its next yield, and what the
    // settings store holds is written.
    void end();

    // Message boxes with the application's title; the view is brought up to date first.
    void message(std::string_view text);
    Answer ask(std::string_view text, std::string_view title);

    // The settings store under the application name.
    std::string setting(std::string_view section, std::string_view key);
    void set_setting(std::string_view section, std::string_view key, std::string_view value);
    // Writes what the store holds; a failure is reported once per run, and the program
    // goes on.
    void flush_settings();

    // Writes an ordinary log entry while the Log check box is ticked.
    void log(std::string_view text);
};

// The user's settings store (default_settings_file()); its statistics section counts.
IniSettingsStore user_settings_store();

}  // namespace veltrane
