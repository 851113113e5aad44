#include "platform/text/TextDecoder.h"

#include <QStringDecoder>

namespace dravelo {

std::optional<QString> TextDecoder::utf8(const QByteArray& bytes) {
    return decode(QStringConverter::Utf8, bytes);
}

std::optional<QString> TextDecoder::utf16(const QByteArray& bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    const bool bigEndian = bytes.startsWith("\xFE\xFF");
    return decode(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE, bytes);
}

std::optional<QString> TextDecoder::decode(QStringConverter::Encoding encoding,
                                           const QByteArray& bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

} // namespace dravelo
