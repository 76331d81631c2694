#pragma once

namespace veltrane {

class EventLoop {
  public:
    virtual ~EventLoop() = default;
    // Lets the event loop process what is pending, once.
    virtual void yield() = 0;
    // The system asked the program to end (a signal such as SIGTERM). A run checks it
    // once per block of work, also while it lets no events through.
    virtual bool stop_requested() const { return false; }
};

}  // namespace veltrane
