#pragma once

#include <QByteArray>
#include <QStringView>

#include <optional>

namespace dravelo {

// Decoder for Base64 texts in the standard alphabet ("A"-"Z", "a"-"z", "0"-"9", "+", "/").
// White space and "=" are skipped wherever they stand; any other character outside the
// alphabet makes the text invalid.
class Base64 {
public:
    // Returns the decoded bytes, or nothing when the text is not valid Base64: it holds a
    // character above U+007F anywhere, a character outside the alphabet before its first
    // U+0000, or one significant character left over after the last full group of four.
    // Decoding stops at the first U+0000. A text without significant characters (empty,
    // or only white space and "=") gives an empty array.
    static std::optional<QByteArray> dataWithBase64EncodedString(QStringView text);
};

} // namespace dravelo
