#pragma once

namespace veltrane {

class EventLoop {
  public:
    virtual ~EventLoop() = default;
    // Lets the event loop process what is pending, once.
    virtual void yield() = 0;
};

}  // namespace veltrane
