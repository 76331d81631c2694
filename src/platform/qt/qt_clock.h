#pragma once
// The clock over the toolkit's core alone: what the command-line tool needs of it.
#include <QElapsedTimer>
#include <QString>
#include <mutex>
#include <string>

#include "platform/clock.h"

namespace veltrane {

// The separator that a locale's date or time `format` puts between its fields, when it
// is one of the `plain` ones; `fallback` otherwise (a space, or none at all).
QChar plain_separator(const QString& format, const QString& plain, QChar fallback);

class QtClock : public Clock {
  public:
    QtClock() { timer_.start(); }
    double seconds_since_midnight() override;
    double monotonic_seconds() override { return timer_.nsecsElapsed() / 1e9; }
    std::string date_text() override;
    std::string time_text() override;
    char decimal_separator() override;
    void sleep(double seconds) override;

  private:
    // The system locale's separators, asked for once: asking costs more than a file's
    // examination, and the locale a process was started in does not change.
    struct Separators {
        QChar date, time;
        char decimal = '.';
    };
    const Separators& separators();

    QElapsedTimer timer_;
    std::once_flag asked_;
    Separators separators_;
};

}  // namespace veltrane
