// Scans ahead of the procedures: the thread that takes the scans helps with short files
// only, and whatever fails around a scan ends that file alone.
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "app/scan_ahead.h"
#include "fakes.h"
#include "synth.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;

TEST(ScanAhead, TheTakerWaitsRatherThanScanALongFileAndAFailureAroundAScanIsThatFilesAlone) {
    const fs::path dir = make_temp_folder();
    const synth::Format format{1, 16, 22050};
    for (const char* name : {"a.wav", "b.wav"})
        synth::write_file(dir / name, synth::wav_bytes(format, synth::speech_data(format, 1)));
    const std::string a = dir / "a.wav", b = dir / "b.wav";

    // a's scan starts on the worker and waits there until it is let go.
    std::promise<void> a_started;
    std::mutex mutex;
    std::condition_variable changed;
    bool let_go = false;
    std::thread::id b_scanned_on;
    const auto watch = [&](const std::string& path, ByteSource&) -> std::unique_ptr<ByteSource> {
        std::unique_lock lock(mutex);
        if (path == b) b_scanned_on = std::this_thread::get_id();
        if (path == a) {
            a_started.set_value();
            changed.wait(lock, [&] { return let_go; });
        }
        return nullptr;
    };
    {
        // Every file is longer than a short one here.
        ScanAhead ahead(2, {}, false, {}, watch, {}, 1000);
        ahead.plan({a, b});
        a_started.get_future().wait();
        std::thread later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const std::lock_guard lock(mutex);
            let_go = true;
            changed.notify_all();
        });
        const auto got_a = ahead.take(a);
        later.join();
        ASSERT_TRUE(got_a && ahead.take(b));
        EXPECT_FALSE(got_a->failure);
        EXPECT_NE(b_scanned_on, std::this_thread::get_id());
    }
    {
        ScanAhead ahead(2, {}, false, {}, {}, [](const FinishedScan&, ByteSource*) {
            throw std::runtime_error("after");
        });
        ahead.plan({a, b});
        for (const std::string& path : {a, b}) {
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
        for (int waited = 0; !ahead.header_of(wav, scanned) && waited < 10000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(ahead.header_of(wav, scanned));
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
