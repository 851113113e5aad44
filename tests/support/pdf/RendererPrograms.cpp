#include "support/pdf/RendererPrograms.h"

#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererClient.h"
#include "platform/pdf/RendererProcess.h"

namespace dravelo::test {

QString RendererPrograms::path() {
    return QStringLiteral(DRAVELO_TEST_RENDERER);
}

RendererFactory RendererPrograms::factory(const RendererLimits& limits) {
    return RendererProcess::factory(path(), limits);
}

std::shared_ptr<PdfDocument> RendererPrograms::open(const QString& file, const QString& password) {
    return PdfDocument::open(file, std::make_shared<RendererClient>(factory()()), password);
}

} // namespace dravelo::test
