#include "platform/process/TiedChildProcess.h"

#include "platform/core/Log.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace dravelo {

struct TiedChildProcess::State {
    enum class Phase { Idle, Starting, Running, Ended };

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    Phase phase = Phase::Idle;
    QString commandLine;
    pid_t pid = -1;
    int startError = 0;
    std::optional<int> waitStatus;
};

namespace {

using State = TiedChildProcess::State;
using Phase = State::Phase;

constexpr auto stopGrace = std::chrono::seconds(2);

QString describe(const QString& program, const QStringList& arguments) {
    return (QStringList{program} + arguments).join(QLatin1Char(' '));
}

// The descriptor a child is handed its connection as.
constexpr int connectionInChild = 3;

// Closes every descriptor above stderr except `keep` and `alsoKeep` (-1 for
// none). Runs in the forked child, so only async-signal-safe calls.
void closeInheritedDescriptors(int keep, int alsoKeep) {
    int kept[2] = {std::min(keep, alsoKeep), std::max(keep, alsoKeep)};
    unsigned from = 3;
    for (const int descriptor : kept) {
        if (descriptor >= static_cast<int>(from)) {
            if (static_cast<unsigned>(descriptor) > from) {
                ::close_range(from, static_cast<unsigned>(descriptor) - 1, 0);
            }
            from = static_cast<unsigned>(descriptor) + 1;
        }
    }
    ::close_range(from, UINT_MAX, 0);
}

// Puts `connection` at descriptor 3 of the forked child, moving the error
// pipe out of the way first; returns where the error pipe is now.
int placeConnection(int connection, int errorFd) {
    if (errorFd == connectionInChild) {
        errorFd = ::fcntl(errorFd, F_DUPFD_CLOEXEC, connectionInChild + 1);
    }
    if (connection == connectionInChild) {
        ::fcntl(connection, F_SETFD, 0);
    } else {
        ::dup2(connection, connectionInChild);
    }
    return errorFd;
}

// The forked child: ties itself to the forking thread, restores default
// signal handling and runs the program. An exec failure is reported to the
// parent as errno over `errorFd` (closed on exec, so silence means success).
// The child gets a process group of its own, so keyboard signals from a
// terminal (Ctrl-C) reach the client alone, which then ends it in order.
[[noreturn]] void execChild(char* const* argv, pid_t parent, int errorFd, int connection) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) {
        ::_exit(127);
    }
    ::setpgid(0, 0);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        ::signal(signal, SIG_DFL);
    }
    if (connection >= 0) {
        errorFd = placeConnection(connection, errorFd);
        closeInheritedDescriptors(connectionInChild, errorFd);
    } else {
        closeInheritedDescriptors(errorFd, -1);
    }
    ::execv(argv[0], argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(errorFd, &error, sizeof error);
    ::_exit(127);
}

void publishStart(State& state, pid_t pid, int startError) {
    {
        std::lock_guard lock(state.mutex);
        state.pid = pid;
        state.startError = startError;
        state.phase = pid > 0 ? Phase::Running : Phase::Ended;
    }
    state.changed.notify_all();
}

// Reads the exec result: 0 when the program runs, else the child's errno.
int readExecError(int readFd) {
    int error = 0;
    ssize_t count = 0;
    do {
        count = ::read(readFd, &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    ::close(readFd);
    return count == sizeof error ? error : 0;
}

// Waits for the child to end and reaps it. The child is first waited for
// without reaping; it is reaped under the lock, so a signal sent under the
// lock can never reach a process that took over its id.
void reapWhenEnded(State& state, pid_t pid) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
    {
        std::lock_guard lock(state.mutex);
        int status = 0;
        pid_t reaped = -1;
        do {
            reaped = ::waitpid(pid, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        state.waitStatus = reaped == pid ? std::optional<int>(status) : std::nullopt;
        state.phase = Phase::Ended;
        state.pid = -1;
    }
    state.changed.notify_all();
}

// Body of the thread that owns one child: forks it, reports whether the
// program started, then lives until the child ends.
void superviseChild(std::shared_ptr<State> state, std::vector<QByteArray> arguments,
                    int connection) {
    std::vector<char*> argv;
    for (QByteArray& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        publishStart(*state, -1, errno);
        return;
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(errorPipe[0]);
        execChild(argv.data(), parent, errorPipe[1], connection);
    }
    const int forkError = errno;
    ::close(errorPipe[1]);
    if (child < 0) {
        ::close(errorPipe[0]);
        publishStart(*state, -1, forkError);
        return;
    }
    publishStart(*state, child, readExecError(errorPipe[0]));
    reapWhenEnded(*state, child);
}

} // namespace

TiedChildProcess::TiedChildProcess()
    : state_(std::make_shared<State>()) {}

TiedChildProcess::~TiedChildProcess() {
    if (isRunning()) {
        stop(stopGrace);
    }
}

bool TiedChildProcess::start(const QString& program, const QStringList& arguments, int connection) {
    std::vector<QByteArray> encoded{QFile::encodeName(program)};
    for (const QString& argument : arguments) {
        encoded.push_back(QFile::encodeName(argument));
    }
    {
        std::lock_guard lock(state_->mutex);
        if (state_->phase != Phase::Idle) {
            log(QStringLiteral("Cannot start %1: this object ran a child already.").arg(program));
            return false;
        }
        state_->phase = Phase::Starting;
        state_->commandLine = describe(program, arguments);
    }
    try {
        std::thread(superviseChild, state_, std::move(encoded), connection).detach();
    } catch (const std::system_error& error) {
        publishStart(*state_, -1, error.code().value());
    }
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [this] { return state_->phase != Phase::Starting; });
    if (state_->startError != 0) {
        log(QStringLiteral("Cannot start %1: %2")
                .arg(state_->commandLine,
                     QString::fromLocal8Bit(std::strerror(state_->startError))));
        return false;
    }
    return true;
}

bool TiedChildProcess::isRunning() const {
    std::lock_guard lock(state_->mutex);
    return state_->phase == Phase::Running;
}

std::optional<pid_t> TiedChildProcess::pid() const {
    std::lock_guard lock(state_->mutex);
    return state_->phase == Phase::Running ? std::optional<pid_t>(state_->pid) : std::nullopt;
}

bool TiedChildProcess::waitForExit(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [this] {
        return state_->phase == Phase::Ended || state_->phase == Phase::Idle;
    });
}

std::optional<int> TiedChildProcess::endStatus() const {
    std::lock_guard lock(state_->mutex);
    return state_->phase == Phase::Ended ? state_->waitStatus : std::nullopt;
}

std::optional<int> TiedChildProcess::exitCode() const {
    const std::optional<int> status = endStatus();
    return status && WIFEXITED(*status) ? std::optional(WEXITSTATUS(*status)) : std::nullopt;
}

std::optional<int> TiedChildProcess::endingSignal() const {
    const std::optional<int> status = endStatus();
    return status && WIFSIGNALED(*status) ? std::optional(WTERMSIG(*status)) : std::nullopt;
}

bool TiedChildProcess::sendSignal(int signal) const {
    std::lock_guard lock(state_->mutex);
    if (state_->phase != Phase::Running) {
        return false;
    }
    ::kill(state_->pid, signal);
    return true;
}

bool TiedChildProcess::kill() const {
    return sendSignal(SIGKILL);
}

bool TiedChildProcess::stop(std::chrono::milliseconds grace) {
    if (!sendSignal(SIGTERM) || waitForExit(grace)) {
        return true;
    }
    log(QStringLiteral("%1 did not end on SIGTERM; killing it.").arg(state_->commandLine));
    kill();
    if (waitForExit(grace)) {
        return true;
    }
    log(QStringLiteral("%1 did not end on SIGKILL.").arg(state_->commandLine));
    return false;
}

std::optional<int> TiedChildProcess::run(const QString& program, const QStringList& arguments,
                                         std::chrono::milliseconds timeout) {
    TiedChildProcess child;
    if (!child.start(program, arguments)) {
        return std::nullopt;
    }
    if (!child.waitForExit(timeout)) {
        log(QStringLiteral("%1 did not finish within %2 ms; stopping it.")
                .arg(describe(program, arguments))
                .arg(timeout.count()));
        child.stop(stopGrace);
        return std::nullopt;
    }
    const std::optional<int> code = child.exitCode();
    if (!code) {
        log(QStringLiteral("%1 was ended by a signal.").arg(describe(program, arguments)));
    }
    return code;
}

} // namespace dravelo
