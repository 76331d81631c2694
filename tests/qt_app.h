#pragma once
// The one Qt application of the test run, made on first use.
#include <QApplication>

namespace veltrane::test {

// Makes the application unless there is one. Never on a real screen: the tests run the
// same with or without a display.
inline void ensure_qt() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "veltrane_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives for the whole run
}

}  // namespace veltrane::test
