#include "intake/Base64Decoder.h"
#include "intake/Base64.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

using dravelo::Base64;
using dravelo::Base64Decoder;

namespace {

template <typename Unit>
std::optional<QByteArray> decodeWith(Base64Decoder::Speed speed, const std::vector<Unit>& text) {
    Base64Decoder decoder(speed);
    QByteArray out(Base64Decoder::maxDecodedSize(static_cast<qsizetype>(text.size())), '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(out.data());
    const auto decoded = decoder.decode(text.data(), static_cast<qsizetype>(text.size()), bytes);
    const auto last = decoded ? decoder.finish(bytes + *decoded) : std::nullopt;
    if (!last) {
        return std::nullopt;
    }
    out.truncate(*decoded + *last);
    return out;
}

// 64 alphabet characters (two blocks) with one of them replaced by `unit`.
template <typename Unit> std::vector<Unit> blockTextWith(int position, Unit unit) {
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<Unit> text(alphabet, alphabet + 64);
    text[static_cast<std::size_t>(position)] = unit;
    return text;
}

} // namespace

// Every character code at every place of a block: the block path must take
// exactly the alphabet and hand everything else to the exact path.
TEST(Base64Decoder, BlocksGiveTheExactPathsBytesForEveryCharacter) {
    std::vector<char16_t> wide = {0x0100, 0x0141, 0x01FF, 0x7F41, 0x8000, 0x8041, 0xFF2B, 0xFFFF};
    for (int c = 0; c < 256; ++c) {
        wide.push_back(static_cast<char16_t>(c));
    }
    for (int position = 0; position < 64; ++position) {
        for (char16_t unit : wide) {
            const auto text = blockTextWith(position, unit);
            ASSERT_EQ(decodeWith(Base64Decoder::Speed::Fast, text),
                      decodeWith(Base64Decoder::Speed::Exact, text))
                << "UTF-16 unit " << int{unit} << " at " << position;
            if (unit < 256) {
                const auto bytes = blockTextWith(position, static_cast<char>(unit));
                ASSERT_EQ(decodeWith(Base64Decoder::Speed::Fast, bytes),
                          decodeWith(Base64Decoder::Speed::Exact, bytes))
                    << "byte " << int{unit} << " at " << position;
            }
        }
    }
}

TEST(Base64Decoder, PiecesDecodeLikeTheWholeText) {
    const QByteArray data = QByteArray("pieces of one text, decoded as they come ").repeated(9);
    const QByteArray text = data.toBase64();
    for (qsizetype split = 0; split <= text.size(); split += 7) {
        Base64Decoder decoder;
        QByteArray out(Base64Decoder::maxDecodedSize(text.size()) + 3, '\0');
        auto* bytes = reinterpret_cast<std::uint8_t*>(out.data());
        const auto first = decoder.decode(text.constData(), split, bytes);
        ASSERT_TRUE(first);
        const auto second =
            decoder.decode(text.constData() + split, text.size() - split, bytes + *first);
        ASSERT_TRUE(second);
        const auto last = decoder.finish(bytes + *first + *second);
        ASSERT_TRUE(last);
        EXPECT_EQ(out.left(*first + *second + *last), data) << split;
    }
}

TEST(Base64Decoder, BytesFollowTheRulesOfTexts) {
    const QByteArray texts[] = {"SGk=",
                                "S\tG\nk\r\n=",
                                "QQ==QQ==",
                                "QUJD",
                                "QUJ",
                                "Q",
                                "QUJDQ",
                                "QUJ-",
                                "",
                                "=",
                                " \t\r\n\v\f==",
                                "SGk=\xc3\xa9",
                                "SG\xc2\xa0k=",
                                QByteArray("QUJD\0Q", 6),
                                QByteArray("QUJD\0\xc3\xa9", 7)};
    for (const QByteArray& text : texts) {
        const QString asText = QString::fromUtf8(text);
        EXPECT_EQ(
            decodeWith(Base64Decoder::Speed::Fast, std::vector<char>(text.begin(), text.end())),
            Base64::dataWithBase64EncodedString(asText))
            << text.toStdString();
    }
}
