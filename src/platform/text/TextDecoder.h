#pragma once

#include <QByteArray>
#include <QString>
#include <QStringConverter>

#include <optional>

namespace dravelo {

// Strict decoding of bytes into text: bytes that are not valid in the
// encoding give no text instead of replacement characters.
class TextDecoder {
public:
    static std::optional<QString> utf8(const QByteArray& bytes);

    // UTF-16 in the byte order its byte order mark gives, else little-endian.
    static std::optional<QString> utf16(const QByteArray& bytes);

private:
    static std::optional<QString> decode(QStringConverter::Encoding encoding,
                                         const QByteArray& bytes);
};

} // namespace dravelo
