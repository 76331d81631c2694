#include <unistd.h>
#include <QCoreApplication>
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return veltrane::run_cli(QCoreApplication::arguments(), std::cout, std::cerr, ::isatty(2) == 1);
}
