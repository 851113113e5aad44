#include "intake/Base64Decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string_view>

#if defined(__x86_64__)
#include <immintrin.h>
#define DRAVELO_BASE64_BLOCKS 1
#endif

namespace dravelo {
namespace {

// Table entries below 64 are the 6-bit values of the alphabet characters; the others
// classify the remaining character codes. All of them have bit 6 set, so "entry >= 64"
// tells a significant character from everything else in one test.
constexpr std::uint8_t kSkip = 0x40;
constexpr std::uint8_t kEnd = 0x41;
constexpr std::uint8_t kInvalid = 0x7F;

constexpr std::uint32_t kLastAscii = 0x7F;

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

// A text unit as a character code: bytes are unsigned.
std::uint32_t code(char16_t unit) {
    return unit;
}
std::uint32_t code(char unit) {
    return static_cast<unsigned char>(unit);
}

std::uint8_t valueOf(std::uint32_t c) {
    return c > kLastAscii ? kInvalid : kTable[c];
}

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

template <typename Unit> bool isAscii(const Unit* in, const Unit* end) {
    return std::all_of(in, end, [](Unit c) { return code(c) <= kLastAscii; });
}

#ifdef DRAVELO_BASE64_BLOCKS

// 32 characters as bytes: characters above U+00FF become 0xFF or 0x00, both
// outside the alphabet.
__attribute__((target("avx2"))) __m256i loadBlock(const char* in) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
}
__attribute__((target("avx2"))) __m256i loadBlock(const char16_t* in) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 16));
    // Packing works per 128-bit lane; the permutation puts the four
    // quarters back in order.
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8);
}

// A bit for each of the 32 characters that is not in the alphabet. The
// characters are classified by their high and low nibbles: each lookup gives
// a set of bits, and the two sets share a bit exactly for the characters
// outside the alphabet.
__attribute__((target("avx2"))) std::uint32_t outsideAlphabet(__m256i text) {
    const __m256i lowTable =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i highTable =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    // Keeps a nibble and clears bit 7, which would make the lookups give 0.
    const __m256i nibble = _mm256_set1_epi8(0x2F);
    const __m256i high =
        _mm256_shuffle_epi8(highTable, _mm256_and_si256(_mm256_srli_epi32(text, 4), nibble));
    const __m256i low = _mm256_shuffle_epi8(lowTable, _mm256_and_si256(text, nibble));
    const __m256i inside = _mm256_cmpeq_epi8(_mm256_and_si256(low, high), _mm256_setzero_si256());
    return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(inside));
}

// Decodes 32 alphabet characters into 24 bytes.
__attribute__((target("avx2"))) void decodeAlphabet(__m256i text, std::uint8_t* out) {
    // What to add to a character to get its value, by its high nibble ("/"
    // one place lower).
    const __m256i offsets =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i slash = _mm256_set1_epi8(0x2F);
    const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(text, 4), slash);
    const __m256i isSlash = _mm256_cmpeq_epi8(text, slash);
    const __m256i values =
        _mm256_add_epi8(text, _mm256_shuffle_epi8(offsets, _mm256_add_epi8(isSlash, highNibbles)));
    // Four 6-bit values to one 24-bit number per 32 bits, then the bytes of
    // each number high first, then the 12 bytes of each lane together.
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i groups = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i bytes = _mm256_shuffle_epi8(
        groups, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                                 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    const __m256i packed =
        _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(packed, 1));
}

template <typename Unit> bool isSkipped(Unit unit) {
    return valueOf(code(unit)) == kSkip;
}

// The 32 alphabet characters at `in` with one line break (one or two
// characters that are skipped, "\n" or "\r\n") taken out: the characters
// after it move up, and the block takes as many more. Gives how many
// characters the block took, or 0 when it is anything else.
template <typename Unit>
__attribute__((target("avx2"))) int withoutLineBreak(const Unit* in, __m256i& text,
                                                     std::uint32_t outside) {
    const int at = std::countr_zero(outside);
    const int skipped = at < 31 && (outside >> (at + 1) & 1) ? 2 : 1;
    if (!isSkipped(in[at]) || (skipped == 2 && !isSkipped(in[at + 1]))) {
        return 0;
    }
    const __m256i positions =
        _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m256i after = _mm256_cmpgt_epi8(positions, _mm256_set1_epi8(static_cast<char>(at - 1)));
    text = _mm256_blendv_epi8(text, loadBlock(in + skipped), after);
    return outsideAlphabet(text) == 0 ? 32 + skipped : 0;
}

template <typename Unit>
__attribute__((target("avx2"))) const Unit* decodeBlocks(const Unit* in, const Unit* end,
                                                         std::uint8_t*& out) {
    constexpr int blockLength = 32;
    // A local pointer: stores through `out` itself could alias the bytes.
    std::uint8_t* to = out;
    while (end - in >= blockLength) {
        __m256i text = loadBlock(in);
        const std::uint32_t outside = outsideAlphabet(text);
        int taken = blockLength;
        if (outside != 0) {
            // A block with a line break needs up to two more characters.
            taken = end - in >= blockLength + 2 ? withoutLineBreak(in, text, outside) : 0;
            if (taken == 0) {
                break;
            }
        }
        decodeAlphabet(text, to);
        in += taken;
        to += 24;
    }
    out = to;
    return in;
}

bool processorDecodesBlocks() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

#endif

} // namespace

Base64Decoder::Base64Decoder(Speed speed)
#ifdef DRAVELO_BASE64_BLOCKS
    : blocks_(speed == Speed::Fast && processorDecodesBlocks()){}
#else
    : blocks_(false) {
    static_cast<void>(speed);
}
#endif

    std::optional<qsizetype> Base64Decoder::decode(const char16_t* text, qsizetype length,
                                                   std::uint8_t* out) {
    return decodePiece(text, text + length, out);
}

std::optional<qsizetype> Base64Decoder::decode(const char* text, qsizetype length,
                                               std::uint8_t* out) {
    return decodePiece(text, text + length, out);
}

std::optional<qsizetype> Base64Decoder::finish(std::uint8_t* out) {
    if (invalid_ || count_ == 1) {
        invalid_ = true;
        return std::nullopt;
    }
    std::uint8_t* const begin = out;
    if (count_ > 1) {
        putBytes(out, bits_ << (6 * (4 - count_)), count_ - 1);
    }
    bits_ = 0;
    count_ = 0;
    return out - begin;
}

// Decodes whole groups of four alphabet characters for as long as they come
// without anything else between them (the bulk of any text). Returns where it
// stopped.
template <typename Unit>
const Unit* Base64Decoder::decodeRunOfGroups(const Unit* in, const Unit* end,
                                             std::uint8_t*& out) const {
#ifdef DRAVELO_BASE64_BLOCKS
    if (blocks_) {
        in = decodeBlocks(in, end, out);
    }
#endif
    while (end - in >= 4) {
        const std::uint8_t a = valueOf(code(in[0]));
        const std::uint8_t b = valueOf(code(in[1]));
        const std::uint8_t c = valueOf(code(in[2]));
        const std::uint8_t d = valueOf(code(in[3]));
        if ((a | b | c | d) >= 64) {
            break;
        }
        putBytes(out, std::uint32_t{a} << 18 | std::uint32_t{b} << 12 | std::uint32_t{c} << 6 | d,
                 3);
        in += 4;
    }
    return in;
}

template <typename Unit>
std::optional<qsizetype> Base64Decoder::decodePiece(const Unit* in, const Unit* end,
                                                    std::uint8_t* out) {
    if (!invalid_ && ended_ && !isAscii(in, end)) {
        invalid_ = true;
    }
    if (invalid_) {
        return std::nullopt;
    }
    std::uint8_t* const begin = out;
    while (!ended_ && in != end) {
        if (count_ == 0) {
            in = decodeRunOfGroups(in, end, out);
            if (in == end) {
                break;
            }
        }
        const std::uint8_t value = valueOf(code(*in++));
        if (value < 64) {
            bits_ = bits_ << 6 | value;
            if (++count_ == 4) {
                putBytes(out, bits_, 3);
                bits_ = 0;
                count_ = 0;
            }
        } else if (value == kEnd) {
            ended_ = true;
            if (!isAscii(in, end)) {
                invalid_ = true;
                return std::nullopt;
            }
        } else if (value != kSkip) {
            invalid_ = true;
            return std::nullopt;
        }
    }
    return out - begin;
}

} // namespace dravelo
