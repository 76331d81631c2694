#pragma once
// Playback through Qt Multimedia: a QAudioSink in the recording's own format that pulls
// the stretch from a QIODevice reading the source a block at a time.
#include <QIODevice>
#include <memory>

#include "platform/sound.h"

class QAudioSink;

namespace veltrane {

// Bytes [from, to) of a source as a sequential device.
class SourceDevice : public QIODevice {
  public:
    SourceDevice(std::shared_ptr<ByteSource> source, std::int64_t from, std::int64_t to,
                 QObject* parent = nullptr);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    // The next byte of the source to hand over.
    std::int64_t next() const { return next_; }

  protected:
    qint64 readData(char* data, qint64 max) override;
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    std::shared_ptr<ByteSource> source_;
    std::int64_t next_, to_;
};

class QtPlayback : public Playback {
  public:
    QtPlayback();
    ~QtPlayback() override;
    Fault fault() const override { return fault_; }
    bool start(std::shared_ptr<ByteSource> source, std::int64_t from, std::int64_t to,
               const PcmFormat& format) override;
    void pause() override;
    void resume() override;
    void stop() override;
    State state() const override;
    std::int64_t position() const override;

  private:
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<SourceDevice> device_;
    std::int64_t from_ = 0, to_ = 0;
    int bytes_per_second_ = 0;
    Fault fault_ = Fault::None;
};

}  // namespace veltrane
