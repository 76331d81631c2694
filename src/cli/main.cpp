#include <unistd.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstring>
#include <iostream>
#include <memory>

#include "cli/cli.h"

int main(int argc, char** argv) {
    // Drawing a picture needs the toolkit's fonts, never a display.
    const bool draws = argc > 1 && std::strcmp(argv[1], "plot") == 0;
    if (draws) qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        draws ? std::make_unique<QGuiApplication>(argc, argv)
              : std::make_unique<QCoreApplication>(argc, argv);
    return veltrane::run_cli(QCoreApplication::arguments(), std::cout, std::cerr, ::isatty(2) == 1);
}
