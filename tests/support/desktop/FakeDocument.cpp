#include "support/desktop/FakeDocument.h"

#include <QFile>

namespace dravelo::test {

FakeDocument::FakeDocument(const QString& filePath, int* closings)
    : Document(filePath)
    , closings_(closings) {}

bool FakeDocument::read() {
    return QFile::exists(filePath());
}

void FakeDocument::close() {
    if (closings_) {
        ++*closings_;
    }
    Document::close();
}

} // namespace dravelo::test
