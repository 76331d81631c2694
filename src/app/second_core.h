#pragma once
// A second processor for the scan of one long file, on a thread of its own: what the
// command-line tool gives a run of one file when it may use more than one processor.
#include <functional>
#include <thread>
#include <utility>

#include "audio/scan.h"

namespace veltrane {

class ThreadCore final : public SecondCore {
  public:
    ThreadCore() = default;
    ThreadCore(const ThreadCore&) = delete;
    ThreadCore& operator=(const ThreadCore&) = delete;
    ~ThreadCore() override { wait(); }

    void start(std::function<void()> task) override {
        wait();
        thread_ = std::thread(std::move(task));
    }
    void wait() override {
        if (thread_.joinable()) thread_.join();
    }

  private:
    std::thread thread_;
};

}  // namespace veltrane
