// The floor for the command-line tool's start: a Qt Core program that prints one line.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    std::puts(qPrintable(QCoreApplication::applicationDirPath()));
    return 0;
}
