// Scans ahead of the procedures: the thread that takes the scans helps with short files
// only, and whatever fails around a scan ends that file alone.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

#include "app/scan_ahead.h"
#include "fakes.h"
#include "synth.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Every file is longer than a short one here: while a's scan is held on the worker, the
// taker waits for it rather than scan b itself. A failure around a scan is that file's alone.
TEST(ScanAhead, TheTakerWaitsRatherThanScanALongFileAndAFailureAroundAScanIsThatFilesAlone) {
    const fs::path dir = make_temp_folder();
    const synth::Format format{1, 16, 22050};
    std::vector<std::string> paths;
    for (const char* name : {"a.wav", "b.wav"}) {
        paths.push_back(dir / name);
        synth::write_file(paths.back(), synth::wav_bytes(format, synth::speech_data(format, 1)));
    }
    std::promise<void> a_started;
    std::atomic<bool> let_go = false;
    std::thread::id b_scanned_on;
    const auto watch = [&](const std::string& path, ByteSource&) -> std::unique_ptr<ByteSource> {
        if (path == paths[1]) b_scanned_on = std::this_thread::get_id();
        if (path == paths[0]) a_started.set_value();
        while (path == paths[0] && !let_go) std::this_thread::sleep_for(1ms);
        return nullptr;
    };
    {
        ScanAhead ahead(2, {}, false, {}, watch, {}, 1000);
        ahead.plan(paths);
        a_started.get_future().wait();
        std::thread later([&] {
            std::this_thread::sleep_for(50ms);
            let_go = true;
        });
        const auto got_a = ahead.take(paths[0]);
        later.join();
        ASSERT_TRUE(got_a && ahead.take(paths[1]));
        EXPECT_NE(b_scanned_on, std::this_thread::get_id());
    }
    {
        ScanAhead ahead(2, {}, false, {}, {}, [](const FinishedScan&, ByteSource*) {
            throw std::runtime_error("after");
        });
        ahead.plan(paths);
        for (const std::string& path : paths) {
            std::unique_ptr<FinishedScan> got;
            EXPECT_NO_THROW(got = ahead.take(path));
            ASSERT_TRUE(got);
            EXPECT_TRUE(got->failure);
        }
    }
    fs::remove_all(dir);
}

// A recording that changed after its scan ahead is read again by the procedures, header
// and all: its GAP file is the one a run without scans ahead writes. Changed to another
// layout, or to other sound in the same layout (two bytes longer, so that the change shows
// whatever the clock's step).
TEST_F(RunTest, ARecordingChangedAfterItsScanAheadIsScannedAsItIsNow) {
    const synth::Format mono{1, 8, 8000}, stereo{2, 16, 11025};
    for (const synth::Format& now : {stereo, mono}) {
        SCOPED_TRACE(now.channels);
        const fs::path wav = put("take.wav", synth::wav_bytes(mono, synth::speech_data(mono, 2)));
        const fs::path gap = dir / "take.gap";
        fs::remove(gap);
        const FileStamp scanned = *file_stamp(wav);
        ScanAhead ahead(2, {f().Slider1.value(), f().Slider2.value(), f().Fast.ticked()}, false,
                        {});
        ahead.plan({wav.string()});
        ASSERT_TRUE(within(10s, [&] { return ahead.header_of(wav, scanned).has_value(); }));
        const std::vector<std::uint8_t> scanned_before = read_bytes(gap);
        auto bytes = synth::wav_bytes(now, synth::speech_data(now, 2, 9));
        bytes.insert(bytes.end(), 2, 0);
        write_bytes(wav, bytes);

        app->scan_ahead = &ahead;
        generate(wav);
        const std::vector<std::uint8_t> ahead_run = read_bytes(gap);
        app->scan_ahead = nullptr;
        fs::remove(gap);
        generate(wav);
        EXPECT_EQ(ahead_run, read_bytes(gap));
        EXPECT_NE(ahead_run, scanned_before);
    }
}

}  // namespace
}  // namespace veltrane::test
