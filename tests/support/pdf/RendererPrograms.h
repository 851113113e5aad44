#pragma once

#include "platform/pdf/RendererChannel.h"
#include "platform/pdf/RendererLimits.h"

#include <QString>

#include <memory>

namespace dravelo {
class PdfDocument;
}

namespace dravelo::test {

// The renderer program built with the tests, started as the client starts
// it.
class RendererPrograms {
public:
    static QString path();
    static RendererFactory factory(const RendererLimits& limits = {});
    // The file opened (with the password) through a renderer of its own.
    static std::shared_ptr<PdfDocument> open(const QString& file, const QString& password = {});
};

} // namespace dravelo::test
