#pragma once

namespace dravelo {

class RendererLimits;

// The renderer's bounds on itself, set through the kernel's resource limits
// so that they hold whatever the PDF engine does.
class ProcessLimits {
public:
    // Caps the address space and turns core dumps off. False (with a line
    // on stderr) when a limit could not be set.
    static bool apply(const RendererLimits& limits);

    // Lets the process spend `seconds` more CPU time from now on; the
    // kernel ends it (SIGXCPU) once it has spent them.
    static void allowCpuSeconds(int seconds);
};

} // namespace dravelo
