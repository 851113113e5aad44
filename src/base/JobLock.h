#pragma once

#include <chrono>
#include <functional>
#include <mutex>

namespace dravelo {

// The one lock that more than one part of the client takes: whoever puts a
// job file pair into the home directory or takes one from there holds it, so
// that a pair there is never seen half written. The drop-folder watcher holds
// it for its pass over the home directory, the server session while it
// renames a downloaded pair into place (print data first). It is never held
// while waiting for the UI thread or a peer.
//
// Not recursive. Usable with std::lock_guard and std::unique_lock.
class JobLock {
public:
    // How often a waiter that may give up tries the lock again.
    static constexpr std::chrono::milliseconds pollInterval{10};

    void lock() { mutex_.lock(); }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

    // Takes the lock, trying again every pollInterval; gives up, false, once
    // `givingUp` says so (for instance when the client quits), so that the
    // waiter can always be joined.
    bool lockUnless(const std::function<bool()>& givingUp);

private:
    std::mutex mutex_;
};

} // namespace dravelo
