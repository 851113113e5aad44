// The reference program for the start-up, memory and idle benchmarks: a bare
// QApplication with nothing of the client in it. It writes "ready" to stderr
// once its event loop runs and then idles until SIGTERM or SIGINT, after
// which it leaves the event loop and exits with status 0.

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler reports through this pair to the event loop.
int signalPipe[2] = {-1, -1};

void handleSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void quitOnTerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        std::perror("socketpair");
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { QApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quitOnTerminationSignals();
    QTimer::singleShot(0, &app, [] {
        std::fputs("ready\n", stderr);
        std::fflush(stderr);
    });
    return QApplication::exec();
}
