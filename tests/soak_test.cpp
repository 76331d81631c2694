// Random user actions, many of them, through the window model over fakes and a real
// settings file: after every action no failure escaped a handler, a finished run has
// given its buttons back, the settings file reads, and no temporary file is left.
// VELTRANE_SOAK_ACTIONS sets how many (make soak runs many); the seeds are fixed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "app/examine.h"
#include "app/handlers.h"
#include "app/startup.h"
#include "fakes.h"
#include "platform/ini_settings.h"
#include "preview/session.h"
#include "synth.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;

int soak_actions() {
    const char* n = std::getenv("VELTRANE_SOAK_ACTIONS");
    return n && std::atoi(n) > 0 ? std::atoi(n) : 600;
}

class SoakTest : public ::testing::TestWithParam<std::uint32_t>, protected FakeServices {
  protected:
    SoakTest()
        : dir(make_temp_folder()),
          store(dir / "settings.ini", {std::string(kStatsSection)}),
          rng(GetParam()) {
        process.folder = dir / "program";
        process.data_folder = dir / "data";
        fs::create_directories(process.folder);
        fs::create_directories(dir / "takes");
        app = std::make_unique<App>(platform(store, windows));
        clock.step = 0.01;
        make_files();
    }
    ~SoakTest() override { fs::remove_all(dir); }

    void make_files() {
        const fs::path takes = dir / "takes";
        int n = 1;
        for (const synth::Format format :
             {synth::Format{1, 8, 8000}, {1, 16, 22050}, {2, 8, 11025}, {2, 16, 16000}}) {
            good.push_back(takes / ("take00" + std::to_string(n) + ".wav"));
            write_bytes(good.back(),
                        synth::wav_bytes(format, synth::speech_data(format, 1.5, n++)));
        }
        good.push_back(takes / "worked.wav");
        write_bytes(good.back(), worked_example());
        auto truncated = worked_example();
        truncated.resize(30);
        write_bytes(takes / "truncated.wav", truncated);
        write_bytes(takes / "empty.wav", {});
        write_text(takes / "notes.wav", "hello");
        for (const char* name :
             {"truncated.wav", "empty.wav", "notes.wav", "missing.wav", "rook.wav", "debug.wav"})
            bad.push_back(takes / name);
        bad.push_back(takes);  // a folder
    }

    const fs::path& pick(const std::vector<fs::path>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    }
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    void act(int what) {
        OpenFile& f = app->f();
        switch (what) {
            case 0:
            case 1: {  // Load File, a good or a bad choice, or none
                const fs::path& p = pick(what == 0 ? good : bad);
                dialog.choices.push_back(ChosenFile{p.string(), p.filename().string()});
                if (between(0, 9) == 0) dialog.choices.back() = std::nullopt;
                dispatch(*app, f.Command1.on_click);
                break;
            }
            case 2:  // Generate with a method chosen by focus
                dispatch(*app, (between(0, 2) == 0   ? f.ch5
                                : between(0, 1) == 0 ? f.ch6
                                                     : f.ch7)
                                   .on_focus);
                if (f.Command3.enabled) dispatch(*app, f.Command3.on_click);
                break;
            case 3: {
                Control* options[] = {&f.Option1, &f.Option2, &f.Option3, &f.Option4};
                dispatch(*app, options[between(0, 3)]->on_focus);
                break;
            }
            case 4: {
                Slider& slider = between(0, 1) ? f.Slider1 : f.Slider2;
                dispatch(*app, [&] { slider.set_value(between(slider.min, slider.max)); });
                break;
            }
            case 5: {
                CheckBox* ticks[] = {&f.Fast, &f.multi, &f.notify, &f.Check1, &f.lg};
                CheckBox& box = *ticks[between(0, 4)];
                dispatch(*app, [&box] { box.set_value(box.ticked() ? 0 : 1); });
                break;
            }
            case 6:
                if (f.Command5.enabled) dispatch(*app, f.Command5.on_click);
                break;
            case 7:  // leave Rook/Debug mode when in it
                if (f.Command7.visible && f.Command7.enabled) dispatch(*app, f.Command7.on_click);
                break;
            case 8: {  // the preview: open, zoom, follow the sliders, close
                preview::Session s(between(1, 900));
                try {
                    s.open(pick(good), {f.Slider1.value(), f.Slider2.value(), f.Fast.ticked()});
                    const std::int64_t frames = s.layout().frames;
                    const std::int64_t a = between(0, static_cast<int>(frames));
                    s.detail(a, std::min<std::int64_t>(frames, a + between(1, 5000)),
                             between(1, 400));
                    s.update({between(1, 50), between(20, 500), between(0, 1) == 1});
                    s.why(between(0, 1) ? preview::Language::German : preview::Language::English);
                } catch (const Error&) {
                    // a recording the preview cannot read says so; nothing else may escape
                }
                break;
            }
            case 9: {  // dropping files
                std::vector<std::string> paths;
                for (int i = between(0, 3); i > 0; --i)
                    paths.push_back(pick(between(0, 1) ? good : bad).string());
                files_dropped(*app, paths);
                break;
            }
            default:
                if (f.Command4.enabled) dispatch(*app, f.Command4.on_click);
                break;
        }
    }

    void check_after(int step, int what) {
        const OpenFile& f = app->f();
        ASSERT_FALSE(app->running()) << "step " << step << " action " << what;
        for (const Control* b : {&f.Command1, &f.Command2, &f.Command5, &f.Command6})
            ASSERT_TRUE(b->enabled)
                << "a finished run gives its buttons back: step " << step << " action " << what;
        IniSettingsStore reread(dir / "settings.ini", {std::string(kStatsSection)});
        ASSERT_NO_THROW(reread.read(kAppName, kStatsSection, "002", "")) << "step " << step;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            ASSERT_FALSE(e.path().filename().string().starts_with(".veltrane-"))
                << e.path() << " left at step " << step;
    }

    fs::path dir;
    IniSettingsStore store;
    FakeWindows windows;
    std::unique_ptr<App> app;
    std::mt19937 rng;
    std::vector<fs::path> good, bad;
};

TEST_P(SoakTest, RandomActionsLeaveTheProgramWhole) {
    Main(*app);
    const int actions = soak_actions();
    for (int step = 0; step < actions; ++step) {
        boxes.answer = between(0, 1) ? Answer::Ok : Answer::Cancel;
        const int what = between(0, 10);
        ASSERT_NO_THROW(act(what)) << "step " << step << " action " << what;
        check_after(step, what);
        if (HasFatalFailure()) return;
        // Messages are answered as they come; keep the list short.
        boxes.shown.clear();
        boxes.titles.clear();
    }
    // The actions reached the runs: files were counted and GAP files written.
    EXPECT_GT(std::atoi(store.read(kAppName, kStatsSection, "002", "0").c_str()), 10);
    EXPECT_TRUE(fs::exists(dir / "takes" / "take002.gap"));
}

INSTANTIATE_TEST_SUITE_P(Seeds, SoakTest, ::testing::Values(1u, 2u, 3u));

}  // namespace
}  // namespace veltrane::test
