// The reference program for the start-up, memory and idle benchmarks: a bare
// QApplication with nothing of the client in it but the same handling of
// termination signals. It writes "ready" to stderr once its event loop runs
// and then idles until SIGTERM or SIGINT, after which it leaves the event loop
// and exits with status 0.

#include "platform/process/TerminationSignals.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    dravelo::TerminationSignals terminationSignals;
    QTimer::singleShot(0, &app, [] {
        std::fputs("ready\n", stderr);
        std::fflush(stderr);
    });
    return QApplication::exec();
}
