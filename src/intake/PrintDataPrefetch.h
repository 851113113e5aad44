#pragma once

#include "intake/Base64FileWriter.h"
#include "platform/text/EncodedText.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace dravelo {

// Decodes a job message's print data while the message still arrives in
// pieces, so that decoding and writing overlap with the transfer. It follows
// only what a whole message would give: once the whole text is known, the
// job message takes the result for the same field, or decodes it afresh
// when the prefetch did not follow the message to its print data.
class PrintDataPrefetch {
public:
    // The print data's file goes to `folder` (the staging directory).
    explicit PrintDataPrefetch(const QString& folder);

    // Takes everything received so far, in an 8-bit encoding; each call's
    // bytes begin with the last call's.
    void take(EncodedText::Encoding encoding, QByteArrayView received);

    // For the whole message whose print data starts at `fieldStart`, read
    // from the same transfer: decodes the rest and puts the file at `path`.
    // None, with nothing done, when the prefetch did not follow this field.
    std::optional<Base64FileWriter::Result> finish(const EncodedText& text, qsizetype fieldStart,
                                                   const QString& path);

private:
    // Finds the two separators in what arrived; false when the bytes cannot
    // be a job message with a print data field.
    bool findField(QByteArrayView received);

    QString folder_;
    std::optional<EncodedText::Encoding> encoding_;
    bool abandoned_ = false;
    qsizetype scanned_ = 0;
    qsizetype first_ = -1;
    qsizetype second_ = -1;
    qsizetype decodedTo_ = 0;
    std::optional<Base64FileWriter> writer_;
};

} // namespace dravelo
