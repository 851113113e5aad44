#pragma once

#include <functional>

namespace dravelo {

// Hands work to the UI thread's event loop and returns at once.
class MainThread {
public:
    static void run(std::function<void()> work);
};

inline void runOnMainThread(std::function<void()> work) {
    MainThread::run(std::move(work));
}

} // namespace dravelo
