#include "platform/process/TerminationSignals.h"

#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace dravelo {
namespace {

// The write end of the pipe the signal handler reports through.
int signalPipe[2] = {-1, -1};

void handleSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        log(QStringLiteral("Cannot watch for termination signals."));
        return;
    }
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::onSignal);

    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    // The end of the session (a logout, a closed terminal): clean up too.
    ::sigaction(SIGHUP, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
}

void TerminationSignals::onSignal() {
    char byte = 0;
    [[maybe_unused]] const ssize_t bytesRead = ::read(signalPipe[0], &byte, 1);
    log(QStringLiteral("Received signal %1, quitting.").arg(static_cast<int>(byte)));
    QCoreApplication::quit();
}

} // namespace dravelo
