#pragma once

#include "platform/pdf/RendererProtocol.h"

#include <QStringList>

#include <chrono>
#include <optional>

namespace dravelo {

// The bounds a PDF renderer works within: the address space it may take,
// and the CPU time it may spend on one request before it is ended (the PDF
// engine cannot be interrupted in the middle of a page). The client starts
// the renderer with them and waits for an answer no longer than they allow.
class RendererLimits {
public:
    int addressSpaceMiB = 1024;
    // An inspection, a page drawn at screen resolution, a selection, a copy.
    int cpuSeconds = 5;
    // Writing a whole file without its encryption.
    int writeCpuSeconds = 30;

    int cpuSecondsFor(RendererRequest::Kind kind) const;
    // How long the client waits for an answer: the CPU time twice over, as
    // the machine may be busy, and two seconds more.
    std::chrono::milliseconds deadlineFor(RendererRequest::Kind kind) const;

    // The renderer's command line, and its reading; nullopt for arguments
    // that are not such a command line.
    QStringList arguments() const;
    static std::optional<RendererLimits> fromArguments(const QStringList& arguments);
};

} // namespace dravelo
