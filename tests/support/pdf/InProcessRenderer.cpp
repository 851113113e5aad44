#include "support/pdf/InProcessRenderer.h"

#include "renderer/PdfEngine.h"

namespace dravelo::test {

InProcessRenderer::InProcessRenderer(std::shared_ptr<Script> script)
    : script_(std::move(script))
    , engine_(std::make_unique<PdfEngine>()) {}

InProcessRenderer::~InProcessRenderer() = default;

RendererFactory InProcessRenderer::factory(std::shared_ptr<Script> script) {
    return [script = std::move(script)] { return std::make_unique<InProcessRenderer>(script); };
}

RendererChannel::Outcome InProcessRenderer::call(const RendererRequest& request) {
    {
        std::lock_guard lock(script_->mutex);
        script_->requests.append(request);
        if (stopped_) {
            return {std::nullopt, QStringLiteral("the PDF renderer was stopped")};
        }
        if (script_->failing.contains(request.kind)) {
            return {std::nullopt, script_->failure};
        }
    }
    std::lock_guard call(callMutex_);
    return {engine_->handle(request), {}};
}

void InProcessRenderer::stop() {
    std::lock_guard lock(script_->mutex);
    script_->stops += stopped_ ? 0 : 1;
    stopped_ = true;
}

} // namespace dravelo::test
