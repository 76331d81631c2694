#include "platform/ini_settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>

#include "base/atomic_file.h"
#include "base/byte_source.h"
#include "base/error.h"
#include "platform/user_folders.h"

namespace veltrane {

namespace fs = std::filesystem;

namespace {

std::optional<std::int64_t> number(const std::optional<std::string>& s) {
    if (!s || s->empty()) return std::nullopt;
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(s->data(), s->data() + s->size(), n);
    if (ec != std::errc() || end != s->data() + s->size()) return std::nullopt;
    return n;
}

// A count as a merge takes it: a missing or empty one is 0, other text none.
std::optional<std::int64_t> count_of(const std::optional<std::string>& s) {
    return !s || s->empty() ? std::optional<std::int64_t>(0) : number(s);
}

// How long a writer waits for the lock before it says so, and how often it tries.
constexpr auto kQuietWait = std::chrono::seconds(1);
constexpr auto kLockRetry = std::chrono::milliseconds(20);

// A folder locked against the other writers of `file` in it for as long as this lives.
// Taking it waits for another program's lock; `stop` ends the wait (Error).
class FolderLock {
  public:
    FolderLock(const fs::path& folder, const fs::path& file,
               const std::function<void(const std::string&)>& notice,
               const std::function<bool()>& stop)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) throw Error(Errc::Write, file, errno_text());
        const auto start = std::chrono::steady_clock::now();
        bool told = false;
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) fail(file, errno_text());
            if (stop && stop())
                fail(file, "stopped while waiting for the lock on \"" + folder.string() +
                               "\" that another program holds");
            if (!told && notice && std::chrono::steady_clock::now() - start >= kQuietWait) {
                notice("Waiting for the lock on \"" + folder.string() +
                       "\" that another program holds, to write \"" + file.string() + "\"...");
                told = true;
            }
            std::this_thread::sleep_for(kLockRetry);
        }
    }
    ~FolderLock() { ::close(fd_); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    [[noreturn]] void fail(const fs::path& file, const std::string& cause) {
        ::close(fd_);
        throw Error(Errc::Write, file, cause);
    }

    int fd_;
};

// theirs + (mine - was), kept inside the 64-bit range.
std::int64_t merged(std::int64_t theirs, std::int64_t mine, std::int64_t was) {
    __extension__ using Wide = __int128;
    const Wide r = Wide{theirs} + mine - was;
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    return r > most ? most : r < least ? least : static_cast<std::int64_t>(r);
}

}  // namespace

IniSettingsStore::IniSettingsStore(fs::path file, std::set<std::string> counting_sections)
    : file_(std::move(file)), counting_(std::move(counting_sections)) {}

void IniSettingsStore::on_lock_wait(std::function<void(const std::string&)> notice,
                                    std::function<bool()> stop) {
    wait_notice_ = std::move(notice);
    stop_waiting_ = std::move(stop);
}

FileStamp IniSettingsStore::load(Document& doc, Errc refused, std::string* text_read) const {
    // A file that is missing holds nothing yet; a folder or a FIFO in its place is refused.
    const std::unique_ptr<FileSource> file = open_recording(file_);
    if (!file) {
        doc.parse("");
        if (text_read) text_read->clear();
        return {};
    }
    std::string text(static_cast<std::size_t>(file->size()), '\0');
    text.resize(
        file->read_at(0, std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size())));
    // A recording being scanned is one of these too: its header holds NUL bytes.
    if (std::string cause = ini::why_not_settings(text); !cause.empty())
        throw Error(refused, file_, std::move(cause));
    doc.parse(text);
    if (text_read) *text_read = std::move(text);
    return file->stamp();
}

void IniSettingsStore::reload_if_changed() {
    const auto looked_at = std::chrono::steady_clock::now();
    if (checked_at_ && looked_at - *checked_at_ < recheck_) return;
    checked_at_ = looked_at;
    // Nothing read yet (or no file then): read it, without looking first.
    if (stamp_.size >= 0 && !read_failure_ && file_stamp(file_) == stamp_) return;
    try {
        stamp_ = load(doc_, Errc::Read);
        read_failure_.reset();
    } catch (const Error& e) {
        doc_.parse("");
        stamp_ = {};
        read_failure_ = e;
    }
}

std::string IniSettingsStore::read(std::string_view, std::string_view section, std::string_view key,
                                   std::string_view def) {
    const Key k{std::string(section), std::string(key)};
    if (const auto it = pending_.find(k); it != pending_.end()) return it->second.value;
    reload_if_changed();
    const std::optional<std::string> value = doc_.get(k);
    seen_[k] = value;
    return value ? *value : std::string(def);
}

void IniSettingsStore::write(std::string_view, std::string_view section, std::string_view key,
                             std::string_view value) {
    const Key k{std::string(section), std::string(key)};
    auto it = pending_.find(k);
    if (it == pending_.end()) {
        // The value this change was made from: what a read returned, else what is on file.
        std::optional<std::string> base;
        if (const auto s = seen_.find(k); s != seen_.end()) {
            base = s->second;
        } else {
            reload_if_changed();
            base = doc_.get(k);
        }
        it = pending_.emplace(k, Pending{std::move(base), {}}).first;
    }
    it->second.value = value;
}

void IniSettingsStore::flush() {
    if (pending_.empty()) return;
    const fs::path folder = file_.has_parent_path() ? file_.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw Error(Errc::Write, file_, ec.message());
    {
        // One writer at a time: the folder is locked while the file is read and replaced.
        const FolderLock lock(folder, file_, wait_notice_, stop_waiting_);
        Document doc;
        std::string on_file;
        load(doc, Errc::Write, &on_file);
        // The new file takes the old one's name: its other names would keep the old one.
        struct stat st {};
        if (::stat(file_.c_str(), &st) == 0 && st.st_nlink > 1)
            throw Error(Errc::Write, file_,
                        "it has " + std::to_string(st.st_nlink) +
                            " hard links, and writing it would part them into different files; "
                            "it is left as it is");
        for (const auto& [k, change] : pending_) {
            const std::optional<std::string> now = doc.get(k);
            std::string value = change.value;
            const auto was = count_of(change.base), theirs = count_of(now);
            const auto mine = number(value);
            if (now != change.base && counting_.count(k.first) && was && mine && theirs)
                value = std::to_string(merged(*theirs, *mine, *was));
            doc.set(k, value);
        }
        // Read under the lock, the file holds `on_file` until it is replaced here: a text
        // that is the same needs no new file, and another is not compared again.
        const std::string text = doc.text();
        if (text != on_file)
            AtomicFile(file_).commit_whole(
                std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), true);
    }
    pending_.clear();
    seen_.clear();
    stamp_ = {};  // read afresh next time
    checked_at_.reset();
}

fs::path default_settings_file() {
    if (const char* named = std::getenv("VELTRANE_SETTINGS"); named && *named) return named;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return fs::path(config) / "Veltrane" / "Veltrane.conf";
    return home_folder() / ".config" / "Veltrane" / "Veltrane.conf";
}

}  // namespace veltrane
