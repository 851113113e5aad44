// The Dravelo PDF renderer: the client starts one for each job window and
// asks it, over the connection it hands over as descriptor 3, about the
// job's PDF. It runs within the limits its command line gives, so that no
// PDF can take the client's memory or time.
#include "platform/pdf/RendererLimits.h"
#include "renderer/ProcessLimits.h"
#include "renderer/RendererServer.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <signal.h>

#include <cstdio>

using namespace dravelo;

namespace {

constexpr int connection = 3;

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<RendererLimits> limits =
        RendererLimits::fromArguments(argumentsOf(argc, argv));
    if (!limits || ::fcntl(connection, F_GETFD) < 0) {
        std::fprintf(stderr, "dravelo-renderer is started by the Dravelo client, which hands it "
                             "a connection as descriptor 3.\n");
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    // The CPU time limit ends the renderer through this signal's default.
    ::signal(SIGXCPU, SIG_DFL);
    if (!ProcessLimits::apply(*limits)) {
        return 2;
    }
    // For the image plugins (TIFF) and the PDF engine's own setup.
    const QCoreApplication application(argc, argv);
    return RendererServer(connection, *limits).run();
}
