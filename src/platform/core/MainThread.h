#pragma once

#include <functional>

namespace dravelo {

// The UI thread: the thread of the application object and its event loop.
class MainThread {
public:
    // Hands work to the UI thread's event loop and returns at once.
    static void run(std::function<void()> work);
    // Whether the caller runs on the UI thread; false without an application.
    static bool isCurrent();
};

inline void runOnMainThread(std::function<void()> work) {
    MainThread::run(std::move(work));
}

} // namespace dravelo
