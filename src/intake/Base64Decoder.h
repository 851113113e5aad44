#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>

namespace dravelo {

// Decodes one Base64 text that may come in pieces. The rules are those of
// Base64::dataWithBase64EncodedString: the standard alphabet; white space and
// "=" skipped wherever they stand; any other character before the first
// U+0000, a character above U+007F anywhere, or one significant character
// left over at the end makes the text invalid; decoding stops at the first
// U+0000.
//
// Runs of alphabet characters go through a block decoder that takes 32
// characters at a time where the processor has the instructions for it
// (AVX2); everything else, and every text on other processors, goes through
// the rules one character at a time. Both give the same bytes.
class Base64Decoder {
public:
    enum class Speed {
        // Blocks where the processor allows, one character at a time elsewhere.
        Fast,
        // One character at a time throughout, to check the blocks against.
        Exact,
    };

    explicit Base64Decoder(Speed speed = Speed::Fast);

    // The most bytes decoding `length` characters writes, a last group included.
    static qsizetype maxDecodedSize(qsizetype length) { return (length + 3) / 4 * 3; }

    // Decodes the next piece of the text into `out`, which has room for
    // maxDecodedSize(length) bytes. Returns the number of bytes written, or
    // nothing once the text has shown itself invalid (then and for every later
    // piece).
    std::optional<qsizetype> decode(const char16_t* text, qsizetype length, std::uint8_t* out);
    // The same for a text given as bytes: ASCII, or UTF-8, whose bytes above
    // 0x7F belong to characters above U+007F.
    std::optional<qsizetype> decode(const char* text, qsizetype length, std::uint8_t* out);

    // Ends the text: writes the bytes of a last group of two or three
    // characters (at most two bytes) and returns their number; nothing when
    // the text is invalid or one character is left over.
    std::optional<qsizetype> finish(std::uint8_t* out);

private:
    template <typename Unit>
    std::optional<qsizetype> decodePiece(const Unit* in, const Unit* end, std::uint8_t* out);
    template <typename Unit>
    const Unit* decodeRunOfGroups(const Unit* in, const Unit* end, std::uint8_t*& out) const;

    bool blocks_;
    // The values of the group under way, and how many there are.
    std::uint32_t bits_ = 0;
    int count_ = 0;
    // A U+0000 ended the text: what follows is only checked for non-ASCII.
    bool ended_ = false;
    bool invalid_ = false;
};

} // namespace dravelo
