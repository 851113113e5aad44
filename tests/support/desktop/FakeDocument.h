#pragma once

#include "platform/desktop/Document.h"

namespace dravelo::test {

// A document type that reads any existing file and counts its closings.
class FakeDocument : public Document {
    Q_OBJECT

public:
    explicit FakeDocument(const QString& filePath, int* closings = nullptr);

    bool read() override;
    void close() override;

private:
    int* closings_;
};

} // namespace dravelo::test
