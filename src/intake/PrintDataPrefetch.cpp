#include "intake/PrintDataPrefetch.h"

#include "intake/JobMessage.h"

namespace dravelo {

PrintDataPrefetch::PrintDataPrefetch(const QString& folder)
    : folder_(folder) {}

void PrintDataPrefetch::take(EncodedText::Encoding encoding, QByteArrayView received) {
    if (abandoned_ || encoding == EncodedText::Encoding::Utf16 ||
        (encoding_ && *encoding_ != encoding)) {
        abandoned_ = true;
        return;
    }
    encoding_ = encoding;
    if (!findField(received)) {
        return;
    }
    if (!writer_) {
        writer_.emplace(folder_);
        decodedTo_ = second_ + 1;
    }
    if (received.size() > decodedTo_) {
        writer_->feed(received.data() + decodedTo_, received.size() - decodedTo_);
        decodedTo_ = received.size();
    }
}

bool PrintDataPrefetch::findField(QByteArrayView received) {
    if (second_ >= 0) {
        return true;
    }
    if (received.size() < JobMessage::signature.size()) {
        return false;
    }
    if (!received.startsWith(JobMessage::signature)) {
        abandoned_ = true;
        return false;
    }
    for (; scanned_ < received.size(); ++scanned_) {
        if (received[scanned_] != '|') {
            continue;
        }
        if (first_ < 0) {
            first_ = scanned_;
        } else {
            second_ = scanned_;
            break;
        }
    }
    // An empty configuration field makes no job.
    if (second_ >= 0 && second_ - first_ - 1 < 1) {
        abandoned_ = true;
    }
    return second_ >= 0 && !abandoned_;
}

std::optional<Base64FileWriter::Result>
PrintDataPrefetch::finish(const EncodedText& text, qsizetype fieldStart, const QString& path) {
    if (abandoned_ || !writer_ || text.encoding() != encoding_ || fieldStart != second_ + 1) {
        return std::nullopt;
    }
    // The whole text may lack the last byte, a 0 that ended the decoding.
    const QByteArrayView bytes = text.bytes();
    if (bytes.size() > decodedTo_) {
        writer_->feed(bytes.data() + decodedTo_, bytes.size() - decodedTo_);
    }
    const Base64FileWriter::Result result = writer_->commit(path);
    writer_.reset();
    abandoned_ = true;
    return result;
}

} // namespace dravelo
