#include "intake/Base64.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <string_view>

namespace dravelo {

namespace {

// Table entries below 64 are the 6-bit values of the alphabet characters; the others
// classify the remaining character codes. All of them have bit 6 set, so "entry >= 64"
// tells a significant character from everything else in one test.
constexpr std::uint8_t kSkip = 0x40;
constexpr std::uint8_t kEnd = 0x41;
constexpr std::uint8_t kInvalid = 0x7F;

constexpr char16_t kLastAscii = 0x7F;

constexpr std::array<std::uint8_t, 256> makeTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kInvalid);
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    }
    for (char skipped : std::string_view("\t\n\v\f\r =")) {
        table[static_cast<unsigned char>(skipped)] = kSkip;
    }
    table[0] = kEnd;
    return table;
}

constexpr std::array<std::uint8_t, 256> kTable = makeTable();

void putBytes(std::uint8_t*& out, std::uint32_t bits, int count) {
    out[0] = static_cast<std::uint8_t>(bits >> 16);
    if (count > 1) {
        out[1] = static_cast<std::uint8_t>(bits >> 8);
    }
    if (count > 2) {
        out[2] = static_cast<std::uint8_t>(bits);
    }
    out += count;
}

// Decodes whole groups of four alphabet characters for as long as they come without
// anything else between them (the bulk of any text). Returns where it stopped.
const char16_t* decodeRunOfGroups(const char16_t* in, const char16_t* end, std::uint8_t*& out) {
    while (end - in >= 4) {
        if ((in[0] | in[1] | in[2] | in[3]) > kLastAscii) {
            break;
        }
        const std::uint8_t a = kTable[in[0]];
        const std::uint8_t b = kTable[in[1]];
        const std::uint8_t c = kTable[in[2]];
        const std::uint8_t d = kTable[in[3]];
        if ((a | b | c | d) >= 64) {
            break;
        }
        putBytes(out, std::uint32_t{a} << 18 | std::uint32_t{b} << 12 | std::uint32_t{c} << 6 | d,
                 3);
        in += 4;
    }
    return in;
}

bool isAscii(const char16_t* in, const char16_t* end) {
    return std::all_of(in, end, [](char16_t c) { return c <= kLastAscii; });
}

} // namespace

std::optional<QByteArray> Base64::dataWithBase64EncodedString(QStringView text) {
    if (text.isEmpty()) {
        return QByteArray();
    }
    QByteArray result;
    try {
        result = QByteArray((text.size() + 3) / 4 * 3, Qt::Uninitialized);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    auto* const begin = reinterpret_cast<std::uint8_t*>(result.data());
    std::uint8_t* out = begin;
    const char16_t* in = text.utf16();
    const char16_t* const end = in + text.size();
    std::uint32_t bits = 0;
    int count = 0;
    while (in != end) {
        if (count == 0) {
            in = decodeRunOfGroups(in, end, out);
            if (in == end) {
                break;
            }
        }
        const char16_t c = *in++;
        const std::uint8_t value = c > kLastAscii ? kInvalid : kTable[c];
        if (value < 64) {
            bits = bits << 6 | value;
            if (++count == 4) {
                putBytes(out, bits, 3);
                bits = 0;
                count = 0;
            }
        } else if (value == kEnd) {
            if (!isAscii(in, end)) {
                return std::nullopt;
            }
            break;
        } else if (value != kSkip) {
            return std::nullopt;
        }
    }
    if (count == 1) {
        return std::nullopt;
    }
    if (count > 1) {
        putBytes(out, bits << (6 * (4 - count)), count - 1);
    }
    result.truncate(out - begin);
    return result;
}

} // namespace dravelo
