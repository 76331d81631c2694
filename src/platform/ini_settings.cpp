#include "platform/ini_settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>

#include "base/atomic_file.h"
#include "base/byte_source.h"
#include "base/error.h"
#include "platform/user_folders.h"

namespace veltrane {

namespace fs = std::filesystem;

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Section names written by other tools may have their spaces as "%20".
std::string percent_decoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex_digit(s[i + 1]) >= 0 &&
            hex_digit(s[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// A value as it stands after "=": the text itself, or a quoted text with escapes.
std::string decoded_value(std::string_view raw) {
    const std::string_view t = trim(raw);
    if (t.size() < 2 || t.front() != '"' || t.back() != '"') return std::string(t);
    std::string out;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i] != '\\' || i + 2 >= t.size()) {
            out += t[i];
            continue;
        }
        const char c = t[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
}

std::string encoded_value(std::string_view v) {
    const bool plain = (v.empty() || (v.front() != ' ' && v.front() != '\t' && v.front() != '"' &&
                                      v.back() != ' ' && v.back() != '\t')) &&
                       v.find_first_of("\r\n") == std::string_view::npos;
    if (plain) return std::string(v);
    std::string out = "\"";
    for (char c : v) {
        if (c == '"' || c == '\\') out += '\\';
        out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    }
    return out + "\"";
}

std::optional<std::int64_t> number(const std::optional<std::string>& s) {
    if (!s || s->empty()) return std::nullopt;
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(s->data(), s->data() + s->size(), n);
    if (ec != std::errc() || end != s->data() + s->size()) return std::nullopt;
    return n;
}

// theirs + (mine - was), kept inside the 64-bit range.
std::int64_t merged(std::int64_t theirs, std::int64_t mine, std::int64_t was) {
    __extension__ using Wide = __int128;
    const Wide r = Wide{theirs} + mine - was;
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    return r > most ? most : r < least ? least : static_cast<std::int64_t>(r);
}

}  // namespace

void IniSettingsStore::Document::parse(std::string_view text) {
    lines.clear();
    keys.clear();
    sections.clear();
    while (!text.empty()) {
        const auto cut = text.find('\n');
        std::string_view line = text.substr(0, cut);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        text.remove_prefix(cut == std::string_view::npos ? text.size() : cut + 1);
    }
    std::string section;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view t = trim(lines[i]);
        if (t.empty() || t.front() == ';' || t.front() == '#') continue;
        if (t.front() == '[' && t.back() == ']' && t.size() >= 2) {
            section = percent_decoded(t.substr(1, t.size() - 2));
            sections[section] = i;
            continue;
        }
        const auto eq = t.find('=');
        if (eq == std::string_view::npos) continue;
        keys.emplace(Key{section, std::string(trim(t.substr(0, eq)))}, i);
        sections[section] = i;
    }
}

std::optional<std::string> IniSettingsStore::Document::get(const Key& k) const {
    const auto it = keys.find(k);
    if (it == keys.end()) return std::nullopt;
    const std::string& line = lines[it->second];
    return decoded_value(std::string_view(line).substr(line.find('=') + 1));
}

void IniSettingsStore::Document::set(const Key& k, const std::string& value) {
    const std::string line = k.second + "=" + encoded_value(value);
    if (const auto it = keys.find(k); it != keys.end()) {
        lines[it->second] = line;
        return;
    }
    if (const auto it = sections.find(k.first); it != sections.end()) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(it->second + 1), line);
    } else {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + k.first + "]");
        lines.push_back(line);
    }
    parse(text());
}

std::string IniSettingsStore::Document::text() const {
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

IniSettingsStore::IniSettingsStore(fs::path file, std::set<std::string> counting_sections)
    : file_(std::move(file)), counting_(std::move(counting_sections)) {}

FileStamp IniSettingsStore::load(Document& doc) const {
    // A file that is missing holds nothing yet; a folder or a FIFO in its place is refused.
    const std::unique_ptr<FileSource> file = open_recording(file_);
    if (!file) {
        doc.parse("");
        return {};
    }
    std::string text(static_cast<std::size_t>(file->size()), '\0');
    text.resize(
        file->read_at(0, std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size())));
    doc.parse(text);
    return file->stamp();
}

void IniSettingsStore::reload_if_changed() {
    const FileStamp now = file_stamp(file_).value_or(FileStamp{});
    if (now == stamp_ && read_error_.empty() && now.size >= 0) return;
    try {
        stamp_ = load(doc_);
        read_error_.clear();
    } catch (const Error& e) {
        doc_.parse("");
        stamp_ = now;
        read_error_ = e.cause();
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
    // One writer at a time: the folder is locked while the file is read and replaced.
    const int lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock < 0) throw Error(Errc::Write, file_, errno_text());
    while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
    }
    try {
        Document doc;
        load(doc);
        for (const auto& [k, change] : pending_) {
            const std::optional<std::string> now = doc.get(k);
            std::string value = change.value;
            const auto was = number(change.base), mine = number(value), theirs = number(now);
            if (now != change.base && counting_.count(k.first) && was && mine && theirs)
                value = std::to_string(merged(*theirs, *mine, *was));
            doc.set(k, value);
        }
        const std::string text = doc.text();
        write_file_atomically(
            file_, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        ::close(lock);
    } catch (...) {
        ::close(lock);
        throw;
    }
    pending_.clear();
    seen_.clear();
    stamp_ = {};  // read afresh next time
}

fs::path default_settings_file() {
    if (const char* named = std::getenv("VELTRANE_SETTINGS"); named && *named) return named;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return fs::path(config) / "Veltrane" / "Veltrane.conf";
    return home_folder() / ".config" / "Veltrane" / "Veltrane.conf";
}

}  // namespace veltrane
