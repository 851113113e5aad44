#pragma once

#include <QByteArrayView>
#include <QString>

namespace dravelo {

// Decodes text in the Mac OS Roman encoding, the classic single-byte text of
// older Mac programs. Every byte value stands for a character, so any bytes
// decode.
class MacRomanDecoder {
public:
    static QString decode(QByteArrayView bytes);
};

} // namespace dravelo
