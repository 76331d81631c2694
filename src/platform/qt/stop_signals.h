#pragma once
// SIGTERM, SIGHUP and SIGINT as a request to end the program. The handler only records
// the signal and wakes the event loop through a pipe; the loop then calls `on_signal`.
// A run that lets no events through sees the record through `raised()`.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace veltrane {

class StopSignals : public QObject {
  public:
    // Catches the signals from now on; one that arrives before a StopSignals object
    // exists is kept until there is one. Call it first thing, before the toolkit starts.
    static void catch_signals();
    // One of the signals has arrived since catch_signals().
    static bool raised();

    // Calls `on_signal` from the event loop once a signal has arrived (also one that
    // came earlier). Needs the toolkit's application object.
    explicit StopSignals(std::function<void()> on_signal);
    ~StopSignals() override;

  private:
    std::function<void()> on_signal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace veltrane
