#include "intake/Base64.h"

#include "intake/Base64Decoder.h"

#include <new>

namespace dravelo {
namespace {

template <typename Unit> std::optional<QByteArray> decodeWhole(const Unit* text, qsizetype length) {
    if (length == 0) {
        return QByteArray();
    }
    QByteArray result;
    try {
        result = QByteArray(Base64Decoder::maxDecodedSize(length), Qt::Uninitialized);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    auto* const out = reinterpret_cast<std::uint8_t*>(result.data());
    Base64Decoder decoder;
    const std::optional<qsizetype> decoded = decoder.decode(text, length, out);
    const std::optional<qsizetype> last = decoded ? decoder.finish(out + *decoded) : std::nullopt;
    if (!last) {
        return std::nullopt;
    }
    result.truncate(*decoded + *last);
    return result;
}

} // namespace

std::optional<QByteArray> Base64::dataWithBase64EncodedString(QStringView text) {
    return decodeWhole(text.utf16(), text.size());
}

} // namespace dravelo
