#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>

namespace dravelo {

// A child process tied to ours: it receives SIGTERM when our process dies,
// however it dies, so it never outlives the client.
//
// The kernel sends that signal when the thread that forked the child ends,
// not the process. Each child is therefore forked by a thread of its own
// that lives exactly as long as the child: it waits for the child and reaps
// it the moment it exits, so no zombie is left behind. Any thread may start,
// wait for or stop a child.
class TiedChildProcess {
public:
    TiedChildProcess();
    // Stops a child that is still running (see stop()).
    ~TiedChildProcess();

    TiedChildProcess(const TiedChildProcess&) = delete;
    TiedChildProcess& operator=(const TiedChildProcess&) = delete;

    // Runs `program` (an absolute path) with `arguments`; the child shares
    // our stdin, stdout and stderr. With a `connection` descriptor, the
    // child also gets that one, as its descriptor 3. Returns once the
    // program has been executed, false (with a log line) when it could not
    // be started. One child per object.
    bool start(const QString& program, const QStringList& arguments, int connection = -1);

    bool isRunning() const;
    // The child's process id while it runs, else nullopt.
    std::optional<pid_t> pid() const;

    // Waits at most `timeout` for the child to end; true when it has ended
    // (or never ran).
    bool waitForExit(std::chrono::milliseconds timeout) const;

    // The exit status of a child that ended by exit(), else nullopt.
    std::optional<int> exitCode() const;
    // The signal that ended the child, else nullopt.
    std::optional<int> endingSignal() const;

    // Sends the child SIGKILL and returns at once; false when it was not
    // running.
    bool kill() const;

    // Ends the child: SIGTERM, then SIGKILL when it is still running after
    // `grace`; waits at most `grace` again. True when the child has ended.
    bool stop(std::chrono::milliseconds grace);

    // Runs a program to its end, waiting at most `timeout` (then stopping
    // it). The exit status, or nullopt when it could not be started, was
    // killed by a signal or ran out of time (each logged).
    static std::optional<int> run(const QString& program, const QStringList& arguments,
                                  std::chrono::milliseconds timeout);

    // Shared with the thread that owns the child; defined in the source.
    struct State;

private:
    bool sendSignal(int signal) const;
    // The wait status of a child that has ended, else nullopt.
    std::optional<int> endStatus() const;

    std::shared_ptr<State> state_;
};

} // namespace dravelo
