#include "platform/qt/qt_playback.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace veltrane {

SourceDevice::SourceDevice(std::shared_ptr<ByteSource> source, std::int64_t from, std::int64_t to,
                           QObject* parent)
    : QIODevice(parent), source_(std::move(source)), next_(from), to_(to) {
    open(QIODevice::ReadOnly);
}

qint64 SourceDevice::bytesAvailable() const {
    return std::max<qint64>(0, to_ - next_) + QIODevice::bytesAvailable();
}

qint64 SourceDevice::readData(char* data, qint64 max) {
    // The sink asks for what its buffer lacks, some kilobytes at a time.
    const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(to_ - next_, 0, max));
    if (wanted == 0) return 0;
    std::size_t got = 0;
    try {
        got = source_->read_at(next_, std::span(reinterpret_cast<std::uint8_t*>(data), wanted));
    } catch (...) {
        got = 0;  // a file that can no longer be read ends the stretch
    }
    if (got == 0) to_ = next_;
    next_ += static_cast<std::int64_t>(got);
    return static_cast<qint64>(got);
}

QtPlayback::QtPlayback() {
    if (QMediaDevices::defaultAudioOutput().isNull()) fault_ = Fault::NoDevice;
}

QtPlayback::~QtPlayback() {
    stop();
}

bool QtPlayback::start(std::shared_ptr<ByteSource> source, std::int64_t from, std::int64_t to,
                       const PcmFormat& format) {
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        fault_ = Fault::NoDevice;
        return false;
    }
    QAudioFormat f;
    f.setSampleRate(format.sample_rate);
    f.setChannelCount(format.channels);
    f.setSampleFormat(format.sample_bytes == 1 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    if (!device.isFormatSupported(f)) {
        fault_ = Fault::Refused;
        return false;
    }
    fault_ = Fault::None;
    from_ = from;
    to_ = to;
    bytes_per_second_ = format.sample_rate * format.frame_bytes();
    device_ = std::make_unique<SourceDevice>(std::move(source), from, to);
    sink_ = std::make_unique<QAudioSink>(device, f);
    QObject::connect(sink_.get(), &QAudioSink::stateChanged, sink_.get(), [this](QAudio::State s) {
        // All handed over: the sink idles while the output still plays what it holds.
        // Stopped at once, the end of the stretch would go unheard.
        if (s != QAudio::IdleState || !device_ || device_->bytesAvailable() > 0) return;
        const qint64 held_ms = sink_->bufferSize() * 1000 / std::max(1, bytes_per_second_);
        QTimer::singleShot(static_cast<int>(held_ms) + 100, sink_.get(), [this] {
            if (sink_ && sink_->state() == QAudio::IdleState) sink_->stop();
        });
    });
    sink_->start(device_.get());
    if (sink_->error() == QAudio::OpenError || sink_->state() == QAudio::StoppedState) {
        fault_ = Fault::Failed;
        sink_.reset();
        device_.reset();
        return false;
    }
    return true;
}

void QtPlayback::pause() {
    if (sink_ && sink_->state() != QAudio::StoppedState) sink_->suspend();
}

void QtPlayback::resume() {
    if (sink_ && sink_->state() == QAudio::SuspendedState) sink_->resume();
}

void QtPlayback::stop() {
    if (!sink_) return;
    sink_->disconnect();
    sink_->stop();
    sink_.reset();
    device_.reset();
}

Playback::State QtPlayback::state() const {
    if (!sink_) return State::Stopped;
    switch (sink_->state()) {
        case QAudio::SuspendedState:
            return State::Paused;
        case QAudio::StoppedState:
            return State::Stopped;
        default:
            return State::Playing;
    }
}

std::int64_t QtPlayback::position() const {
    if (state() == State::Stopped) return -1;
    // What the output has played, not what it has been handed: the buffer is ahead.
    const std::int64_t played = sink_->processedUSecs() * bytes_per_second_ / 1000000;
    return std::clamp(from_ + played, from_, to_);
}

}  // namespace veltrane
