// Compares the Base64 decoder's block path with its one-character-at-a-time path on the
// same text. The first input byte chooses how the rest is read (even: bytes, odd: UTF-16,
// little-endian) and where the fast side splits the text into two pieces; the exact side
// takes it whole.

#include "intake/Base64Decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using dravelo::Base64Decoder;

template <typename Unit>
std::optional<std::vector<std::uint8_t>> decode(const std::vector<Unit>& text,
                                                Base64Decoder::Speed speed, std::size_t split) {
    Base64Decoder decoder(speed);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(Base64Decoder::maxDecodedSize(
                                      static_cast<qsizetype>(text.size()))) +
                                  3);
    std::size_t written = 0;
    for (const auto [begin, end] :
         {std::pair{std::size_t{0}, split}, std::pair{split, text.size()}}) {
        const std::optional<qsizetype> piece = decoder.decode(
            text.data() + begin, static_cast<qsizetype>(end - begin), out.data() + written);
        if (!piece) {
            return std::nullopt;
        }
        written += static_cast<std::size_t>(*piece);
    }
    const std::optional<qsizetype> last = decoder.finish(out.data() + written);
    if (!last) {
        return std::nullopt;
    }
    out.resize(written + static_cast<std::size_t>(*last));
    return out;
}

template <typename Unit> void compare(const std::vector<Unit>& text, std::size_t split) {
    const auto exact = decode(text, Base64Decoder::Speed::Exact, text.size());
    const auto fast = decode(text, Base64Decoder::Speed::Fast, split);
    if (exact != fast) {
        std::fprintf(stderr, "Base64 block path differs from the exact path: %s against %s\n",
                     fast ? "bytes" : "none", exact ? "bytes" : "none");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    if (mode % 2 == 0) {
        const std::vector<char> text(rest, rest + restSize);
        compare(text, text.empty() ? 0 : (mode / 2) % (text.size() + 1));
    } else {
        std::vector<char16_t> text(restSize / 2);
        if (!text.empty()) {
            std::memcpy(text.data(), rest, text.size() * sizeof(char16_t));
        }
        compare(text, text.empty() ? 0 : (mode / 2) % (text.size() + 1));
    }
    return 0;
}
