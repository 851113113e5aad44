#include "renderer/ProcessLimits.h"

#include "platform/pdf/RendererLimits.h"

#include <sys/resource.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace dravelo {
namespace {

// AddressSanitizer reserves terabytes of address space for its shadow
// memory: its builds go without the address space cap.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool capAddressSpace = false;
#else
constexpr bool capAddressSpace = true;
#endif

bool setLimit(int resource, rlim_t value, const char* what) {
    const rlimit limit{value, value};
    if (::setrlimit(resource, &limit) == 0) {
        return true;
    }
    std::fprintf(stderr, "dravelo-renderer: cannot limit %s: %s\n", what, std::strerror(errno));
    return false;
}

double cpuSecondsUsed() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

bool ProcessLimits::apply(const RendererLimits& limits) {
    bool applied = setLimit(RLIMIT_CORE, 0, "core dumps");
    if (capAddressSpace) {
        applied = setLimit(RLIMIT_AS, rlim_t(limits.addressSpaceMiB) << 20, "the address space") &&
                  applied;
    }
    return applied;
}

void ProcessLimits::allowCpuSeconds(int seconds) {
    rlimit limit{};
    ::getrlimit(RLIMIT_CPU, &limit);
    // Only the soft limit moves: an unprivileged process cannot raise its
    // hard limit again once lowered.
    const rlim_t wanted = rlim_t(std::ceil(cpuSecondsUsed())) + rlim_t(seconds);
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
    ::setrlimit(RLIMIT_CPU, &limit);
}

} // namespace dravelo
