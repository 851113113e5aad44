// Compares the Base64 decoder with a deliberately plain decoder that applies the decoding
// rules one character at a time. The first input byte chooses how the rest is read as a
// text: even as Latin-1 (mostly ASCII texts, many of them valid), odd as UTF-16
// (little-endian; non-ASCII characters anywhere).

#include "intake/Base64.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr std::u16string_view kAlphabet =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::u16string_view kSkipped = u"\t\n\v\f\r =";

void appendGroup(QByteArray& out, const std::vector<int>& group) {
    const auto byte = [](int value) { return static_cast<char>(value & 0xFF); };
    out += byte(group[0] << 2 | group[1] >> 4);
    if (group.size() >= 3) {
        out += byte(group[1] << 4 | group[2] >> 2);
    }
    if (group.size() == 4) {
        out += byte(group[2] << 6 | group[3]);
    }
}

std::optional<QByteArray> referenceDecode(QStringView text) {
    for (QChar c : text) {
        if (c.unicode() > 0x7F) {
            return std::nullopt;
        }
    }
    QByteArray out;
    std::vector<int> group;
    for (QChar c : text) {
        if (c.unicode() == 0) {
            break;
        }
        if (kSkipped.find(c.unicode()) != std::u16string_view::npos) {
            continue;
        }
        const std::size_t value = kAlphabet.find(c.unicode());
        if (value == std::u16string_view::npos) {
            return std::nullopt;
        }
        group.push_back(static_cast<int>(value));
        if (group.size() == 4) {
            appendGroup(out, group);
            group.clear();
        }
    }
    if (group.size() == 1) {
        return std::nullopt;
    }
    if (!group.empty()) {
        appendGroup(out, group);
    }
    return out;
}

QString textFromInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return QString();
    }
    const auto* rest = reinterpret_cast<const char*>(data + 1);
    const auto restSize = static_cast<qsizetype>(size - 1);
    if (data[0] % 2 == 0) {
        return QString::fromLatin1(rest, restSize);
    }
    QString text(restSize / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        text[i] = QChar(static_cast<char16_t>(static_cast<std::uint8_t>(rest[2 * i]) |
                                              static_cast<std::uint8_t>(rest[2 * i + 1]) << 8));
    }
    return text;
}

const char* describe(const std::optional<QByteArray>& result) {
    static thread_local QByteArray description;
    description = result ? "bytes " + result->toHex(' ') : QByteArray("none");
    return description.constData();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = textFromInput(data, size);
    const std::optional<QByteArray> expected = referenceDecode(text);
    const std::optional<QByteArray> actual = dravelo::Base64::dataWithBase64EncodedString(text);
    if (actual != expected) {
        std::fprintf(stderr, "Base64 decoder differs from the reference\n  expected %s\n",
                     describe(expected));
        std::fprintf(stderr, "  actual   %s\n", describe(actual));
        std::abort();
    }
    return 0;
}
