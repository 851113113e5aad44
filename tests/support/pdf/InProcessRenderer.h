#pragma once

#include "platform/pdf/RendererChannel.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>

namespace dravelo {
class PdfEngine;
}

namespace dravelo::test {

// A renderer that runs the renderer program's engine in the test's own
// process, on the calling thread. It keeps the requests it was given, and
// gives no answer, as a renderer that overran or died, when told to.
class InProcessRenderer final : public RendererChannel {
public:
    // What every renderer made by a factory shares with the test.
    struct Script {
        std::mutex mutex;
        // Requests of these kinds get no answer, with this failure.
        QList<RendererRequest::Kind> failing;
        QString failure = QStringLiteral("the PDF renderer ended: it was killed by signal 9");
        QList<RendererRequest> requests;
        // Renderers that were stopped.
        int stops = 0;
    };

    explicit InProcessRenderer(std::shared_ptr<Script> script);
    ~InProcessRenderer() override;

    Outcome call(const RendererRequest& request) override;
    void stop() override;
    void endIfIdle() override {}

    static RendererFactory factory(std::shared_ptr<Script> script);

private:
    std::shared_ptr<Script> script_;
    std::unique_ptr<PdfEngine> engine_;
    std::mutex callMutex_;
    bool stopped_ = false;
};

} // namespace dravelo::test
