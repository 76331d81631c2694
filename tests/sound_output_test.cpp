// The real sound output: a private sound server with a null sink of its own, a stretch
// of a recording played through the playback the preview uses, and the sink's monitor
// recorded meanwhile; the stretch's samples must be found in what was recorded. Skipped
// where no sound server can be started.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "base/byte_source.h"
#include "fakes.h"
#include "platform/qt/qt_platform.h"
#include "preview/listening.h"
#include "qt_app.h"
#include "synth.h"

namespace veltrane::test {
namespace {

constexpr int kRate = 16000;

// The child's part: plays bytes FROM..TO of FILE (given in the environment) to the
// default output and ends when it has been played out. 0: played; 3: no output.
[[noreturn]] void play_as_child(const char* request) {
    ensure_qt();
    char file[4096] = {};
    long long from = 0, to = 0;
    if (std::sscanf(request, "%lld:%lld:%4095s", &from, &to, file) != 3) std::_Exit(2);
    QtSound sound;
    std::unique_ptr<Playback> out = sound.playback();
    if (!out || out->fault() != Playback::Fault::None) std::_Exit(3);
    if (!out->start(open_recording(file), from, to, {kRate, 1, 2})) std::_Exit(3);
    QElapsedTimer t;
    t.start();
    std::int64_t last = -1;
    bool advanced = true;
    while (out->state() != Playback::State::Stopped && t.elapsed() < 15000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const std::int64_t at = out->position();
        if (at >= 0 && at < last) advanced = false;  // the position never goes back
        last = std::max(last, at);
        QThread::msleep(5);
    }
    std::_Exit(out->state() == Playback::State::Stopped && advanced ? 0 : 4);
}

TEST(SoundOutput, PlaysAStretchOfARecordingIntoARealSink) {
    if (const char* request = std::getenv("VELTRANE_PLAY_CHILD")) play_as_child(request);

    const QString server = QStandardPaths::findExecutable("pulseaudio");
    const QString recorder = QStandardPaths::findExecutable("parec");
    if (server.isEmpty() || recorder.isEmpty())
        GTEST_SKIP() << "no pulseaudio or parec here (make deps installs them)";

    // A server of the test's own, its runtime folder and cookie in a folder of the test's
    // own: nothing of the machine's sound is touched. It warns when started as root, and
    // runs all the same.
    const std::filesystem::path dir = make_temp_folder();
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    const QString run = QString::fromStdString(dir.string()), socket = run + "/native";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", run);
    env.insert("HOME", run);
    env.insert("PULSE_SERVER", "unix:" + socket);
    QProcess pulse;
    pulse.setProcessEnvironment(env);
    pulse.setProcessChannelMode(QProcess::MergedChannels);
    pulse.start(server, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                         "--use-pid-file=no", "--disable-shm=yes", "-L",
                         "module-null-sink sink_name=veltrane_null rate=16000 channels=1 "
                         "format=s16le",
                         "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    QElapsedTimer waited;
    waited.start();
    while (!std::filesystem::exists(socket.toStdString()) && waited.elapsed() < 5000 &&
           pulse.state() != QProcess::NotRunning)
        pulse.waitForFinished(50);
    if (!std::filesystem::exists(socket.toStdString())) {
        pulse.kill();
        pulse.waitForFinished(2000);
        const std::string said = pulse.readAll().toStdString();
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no sound server could be started: " << said;
    }

    // 1.3 s of noise from a fixed seed: every tenth of a second unlike any other.
    std::vector<std::int16_t> samples(kRate * 13 / 10);
    std::mt19937 random(12345);
    for (auto& x : samples)
        x = static_cast<std::int16_t>(static_cast<int>(random() % 16000) - 8000);
    std::vector<std::uint8_t> data(samples.size() * 2);
    std::memcpy(data.data(), samples.data(), data.size());
    const std::filesystem::path wav = dir / "noise.wav";
    write_bytes(wav, synth::wav_bytes({1, 16, kRate}, data));
    // From 0.2 s to 1.1 s (the 44-byte header takes 1.375 ms).
    const preview::SampleLayout layout{44, std::ssize(samples), 2, 1, 2, kRate};
    const preview::ByteRange range = preview::frames_between(layout, kRate * 2 / 1000.0, 244, 1144);

    QProcess rec;
    rec.setProcessEnvironment(env);
    rec.setStandardOutputFile(QString::fromStdString((dir / "heard.raw").string()));
    rec.start(recorder, {"-d", "veltrane_null.monitor", "--raw", "--rate=16000", "--channels=1",
                         "--format=s16le", "--latency-msec=20"});
    ASSERT_TRUE(rec.waitForStarted(5000));
    QThread::msleep(300);

    QProcess child;
    env.insert("VELTRANE_PLAY_CHILD",
               QString("%1:%2:%3").arg(range.from).arg(range.to).arg(wav.string().c_str()));
    child.setProcessEnvironment(env);
    child.start(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()),
                {"--gtest_filter=SoundOutput.PlaysAStretchOfARecordingIntoARealSink"});
    const bool ended = child.waitForFinished(30000);
    QThread::msleep(400);  // the tail through the sink
    for (QProcess* p : {&rec, &pulse}) {
        p->terminate();
        if (!p->waitForFinished(3000)) p->kill();
    }
    ASSERT_TRUE(ended) << "the playback did not end";
    if (child.exitCode() == 3) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "Qt's output does not see the server";
    }
    ASSERT_EQ(child.exitCode(), 0) << "the playback stopped early or its position went back";

    // The stretch in what the sink played, whole, from its first sample to its last, and
    // nothing of the file either side of it.
    const std::vector<std::uint8_t> raw = read_bytes(dir / "heard.raw");
    std::filesystem::remove_all(dir);
    std::vector<std::int16_t> heard(raw.size() / 2);
    std::memcpy(heard.data(), raw.data(), heard.size() * 2);
    const auto correlation = [&](std::size_t at, std::size_t from, std::size_t n) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double x = samples[from + i], y = heard[at + i];
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
    };
    // Where a twentieth of a second of the file matches best, and how well.
    const std::size_t piece = kRate / 20;
    const auto find = [&](std::size_t from) {
        std::pair<double, std::size_t> best{0, 0};
        for (std::size_t at = 0; at + piece <= heard.size(); ++at)
            best = std::max(best, {correlation(at, from, piece), at});
        return best;
    };
    const auto first = static_cast<std::size_t>((range.from - 44) / 2);
    const auto last = static_cast<std::size_t>((range.to - 44) / 2);  // one past
    // The server may let the first few hundredths of a second of a new stream go while
    // it starts it: the stretch is looked for from a tenth of a second in.
    const std::size_t lead = kRate / 10;
    ASSERT_GT(heard.size(), last - first - lead) << "too little was recorded";
    const auto [match, at] = find(first + lead);
    EXPECT_GT(match, 0.98) << "the stretch is not in what was played";
    ASSERT_LE(at + (last - first - lead), heard.size()) << "the stretch was cut short";
    EXPECT_GT(correlation(at, first + lead, last - first - lead), 0.98)
        << "not played whole and in order to its last sample";
    EXPECT_LT(find(first - piece).first, 0.5) << "played from before the stretch";
    EXPECT_LT(find(last).first, 0.5) << "played on after the stretch";
}

}  // namespace
}  // namespace veltrane::test
