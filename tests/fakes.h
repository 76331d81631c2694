#pragma once
// In-memory platform services and a fixture that builds an App over them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/app.h"
#include "app/handlers.h"
#include "app/startup.h"
#include "base/error.h"
#include "synth.h"

namespace veltrane::test {

class FakeSettings : public SettingsStore {
  public:
    std::map<std::string, std::string> values;  // "section/key" -> value
    std::string read(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view def) override {
        EXPECT_EQ(app, "Veltrane");
        auto it = values.find(std::string(section) + "/" + std::string(key));
        return it == values.end() ? std::string(def) : it->second;
    }
    void write(std::string_view app, std::string_view section, std::string_view key,
               std::string_view value) override {
        EXPECT_EQ(app, "Veltrane");
        values[std::string(section) + "/" + std::string(key)] = value;
    }
};

class FakeBoxes : public MessageBoxes {
  public:
    std::vector<std::string> shown;
    std::vector<std::string> titles;
    Answer answer = Answer::Ok;
    Answer show(std::string_view text, std::string_view title, Buttons) override {
        shown.emplace_back(text);
        titles.emplace_back(title);
        return answer;
    }
};

class FakeDialog : public FileDialog {
  public:
    std::deque<std::optional<ChosenFile>> choices;
    std::optional<ChosenFile> open(std::string_view) override {
        if (choices.empty()) return std::nullopt;
        auto c = choices.front();
        choices.pop_front();
        return c;
    }
};

// A clock that moves only when told to (or by `step` on every monotonic reading).
class FakeClock : public Clock {
  public:
    double time_of_day = 36000;
    double monotonic = 100;
    double step = 0;
    double seconds_since_midnight() override { return time_of_day; }
    double monotonic_seconds() override { return monotonic += step; }
    std::string date_text() override { return "04/12/26"; }
    std::string time_text() override { return "01:02:03"; }
    char decimal_separator() override { return '.'; }
    void sleep(double s) override {
        time_of_day += s;
        monotonic += s;
    }
};

// A sound output that plays only when told to: pull() takes the next bytes of the
// stretch as an output device would, and `heard` keeps every byte taken.
class FakePlayback : public Playback {
  public:
    Fault fault_now = Fault::None;
    std::vector<std::uint8_t> heard;
    std::int64_t from = -1, to = -1;
    PcmFormat format;
    int starts = 0;

    Fault fault() const override { return fault_now; }
    bool start(std::shared_ptr<ByteSource> s, std::int64_t f, std::int64_t t,
               const PcmFormat& pcm) override {
        if (fault_now != Fault::None) return false;
        source = std::move(s);
        from = next = f;
        to = t;
        format = pcm;
        heard.clear();
        state_ = State::Playing;
        ++starts;
        return true;
    }
    void pause() override {
        if (state_ == State::Playing) state_ = State::Paused;
    }
    void resume() override {
        if (state_ == State::Paused) state_ = State::Playing;
    }
    void stop() override {
        state_ = State::Stopped;
        source.reset();
    }
    State state() const override { return state_; }
    std::int64_t position() const override { return state_ == State::Stopped ? -1 : next; }
    // Takes up to `bytes` more of the stretch; the stretch played out, it stops.
    void pull(std::int64_t bytes) {
        if (state_ != State::Playing) return;
        const std::int64_t n = std::min(bytes, to - next);
        std::vector<std::uint8_t> block(static_cast<std::size_t>(n));
        const std::size_t got = source->read_at(next, block);
        heard.insert(heard.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
        next += static_cast<std::int64_t>(got);
        if (next >= to || got == 0) stop();
    }

    std::shared_ptr<ByteSource> source;
    std::int64_t next = -1;

  private:
    State state_ = State::Stopped;
};

class FakeSound : public Sound {
  public:
    std::vector<std::filesystem::path> played;
    // The output the last playback() handed out; `no_output` makes it one without a device.
    FakePlayback* output = nullptr;
    bool no_output = false;
    void play_async(const std::filesystem::path& f) override { played.push_back(f); }
    std::unique_ptr<Playback> playback() override {
        auto p = std::make_unique<FakePlayback>();
        if (no_output) p->fault_now = Playback::Fault::NoDevice;
        output = p.get();
        return p;
    }
};

class FakeProcess : public Process {
  public:
    std::string line;
    std::filesystem::path folder;
    std::filesystem::path data_folder;
    std::vector<std::filesystem::path> started;
    // When set, starting a program fails with this reason.
    std::string start_failure;
    std::string command_line() override { return line; }
    std::filesystem::path program_folder() override { return folder; }
    std::filesystem::path user_data_folder() override { return data_folder; }
    void start(const std::filesystem::path& p) override {
        if (!start_failure.empty()) throw Error(Errc::Start, p, start_failure);
        started.push_back(p);
    }
};

class FakeLoop : public EventLoop {
  public:
    int yields = 0;
    std::function<void()> during_yield;
    bool stop = false;
    void yield() override {
        ++yields;
        if (during_yield) during_yield();
    }
    bool stop_requested() const override { return stop; }
};

class FakeWindows : public Windows {
  public:
    std::vector<std::string> calls;
    void show_splash() override { calls.push_back("show_splash"); }
    void unload_splash() override { calls.push_back("unload_splash"); }
    void show_main() override { calls.push_back("show_main"); }
    void unload_main() override { calls.push_back("unload_main"); }
    void end_program() override { calls.push_back("end_program"); }
};

// The worked example: 8-bit mono at 8000 bytes per second, 800 bytes of sound, 800 of
// silence, 801 of sound; one silence, recorded as 105 to 205 ms.
inline std::vector<std::uint8_t> worked_example() {
    std::vector<std::uint8_t> data(2401, 0);
    std::fill(data.begin() + 800, data.begin() + 1600, 128);
    return synth::wav_bytes({1, 8, 8000}, data);
}
// Its GAP file.
inline const std::vector<std::uint8_t> kWorkedRecord = {0x69, 0, 0, 0, 0xCD, 0, 0, 0};

// Runs `body` in a child process as an ordinary user ("nobody" when the tests run as
// root, whose power over permission bits is set aside), so that permissions apply as
// they do to the program's users. Returns the body's exit status.
inline int as_ordinary_user(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Whether `done` comes true within `most`, asked every 10 ms.
inline bool within(std::chrono::milliseconds most, const std::function<bool()>& done) {
    for (const auto until = std::chrono::steady_clock::now() + most;
         std::chrono::steady_clock::now() < until;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The exit status of the child `pid`; -1 when a signal ended it, or when it did not end
// within `most` (it is then killed).
inline int exit_status(pid_t pid, std::chrono::milliseconds most) {
    int status = 0;
    if (within(most, [&] { return ::waitpid(pid, &status, WNOHANG) == pid; }))
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// A fresh temporary folder per test, removed afterwards.
inline std::filesystem::path make_temp_folder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "veltrane-" + std::string(info->test_suite_name()) + "-" + info->name() +
                       "-" + std::to_string(::getpid());
    // Parameterised tests have a "/" in their names: one folder, not a folder in another
    // that nothing removes and another user could not write in.
    std::replace(name.begin(), name.end(), '/', '-');
    auto dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    return dir;
}

inline void write_bytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string read_text(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_text(const std::filesystem::path& p, const std::string& text) {
    write_bytes(p, std::vector<std::uint8_t>(text.begin(), text.end()));
}

inline bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// How often `part` occurs in `text`, overlaps included.
inline std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The fakes of every platform service but the settings store and the windows, which a
// test chooses (fake or real) when it makes its App.
struct FakeServices {
    Platform platform(SettingsStore& settings, Windows& windows) {
        return {settings, boxes, dialog, clock, sound, process, loop, windows};
    }
    FakeBoxes boxes;
    FakeDialog dialog;
    FakeClock clock;
    FakeSound sound;
    FakeProcess process;
    FakeLoop loop;
};

// An App over fakes, its program folder a temporary folder, the window bound to it.
class AppTest : public ::testing::Test, protected FakeServices {
  protected:
    AppTest() : dir(make_temp_folder()) {
        process.folder = dir / "program";
        process.data_folder = dir / "data" / "Veltrane";
        std::filesystem::create_directories(process.folder);
        app = std::make_unique<App>(platform(settings, windows));
        bind_handlers(*app);
    }
    ~AppTest() override { std::filesystem::remove_all(dir); }

    OpenFile& f() { return app->f(); }
    std::string log_text() { return read_text(process.folder / "log.txt"); }
    std::string stat(const char* key) { return settings.values[std::string("001/") + key]; }
    std::string startup(const char* key) {
        return settings.values[std::string("Startup Values/") + key];
    }

    std::filesystem::path dir;
    FakeSettings settings;
    FakeWindows windows;
    std::unique_ptr<App> app;
};

// An App over fakes with files to generate: put them in the test's folder, choose one as
// Load File leaves it, press Generate.
class RunTest : public AppTest {
  protected:
    std::filesystem::path put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        write_bytes(dir / name, bytes);
        return dir / name;
    }
    void generate(const std::filesystem::path& chosen, const char* method = "1") {
        f().CommonDialog1.FileName = chosen.string();
        f().CommonDialog1.FileTitle = chosen.filename().string();
        f().Text11.caption = method;
        dispatch(*app, f().Command3.on_click);
    }
    // Keeps the path of every file processed.
    void track() {
        app->on_file_done = [this](const App::FileResult& r) { processed.push_back(r.path); };
    }
    std::vector<std::string> processed;
};

// Pointers to the strings of `v` and a null pointer after them, for argv and envp.
inline std::vector<char*> c_strings(std::vector<std::string>& v) {
    std::vector<char*> p;
    for (auto& s : v) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace veltrane::test
