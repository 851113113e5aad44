#include "platform/text/MacRomanDecoder.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <QByteArray>

using dravelo::MacRomanDecoder;

namespace {

// The C library's own Mac Roman table, as a second opinion on ours.
QString decodeWithIconv(const QByteArray& bytes) {
    iconv_t converter = iconv_open("UTF-16LE", "MACINTOSH");
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
    QByteArray input = bytes;
    QByteArray output(bytes.size() * 4, '\0');
    char* in = input.data();
    char* out = output.data();
    size_t inLeft = input.size();
    size_t outLeft = output.size();
    EXPECT_NE(iconv(converter, &in, &inLeft, &out, &outLeft), static_cast<size_t>(-1));
    iconv_close(converter);
    output.truncate(output.size() - static_cast<qsizetype>(outLeft));
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(output.constData()),
                              output.size() / 2);
}

} // namespace

TEST(MacRomanDecoder, LowerHalfIsAsciiIncludingNul) {
    QByteArray bytes;
    for (int value = 0; value < 0x80; ++value) {
        bytes.append(static_cast<char>(value));
    }
    EXPECT_EQ(MacRomanDecoder::decode(bytes), QString::fromLatin1(bytes));
}

TEST(MacRomanDecoder, UpperHalfAgreesWithTheCLibrary) {
    for (int value = 0x80; value <= 0xFF; ++value) {
        const QByteArray byte(1, static_cast<char>(value));
        const QString ours = MacRomanDecoder::decode(byte);
        ASSERT_EQ(ours.size(), 1);
        // Two bytes where the C library keeps an older mapping than the one
        // the encoding's own table gives: the logo character, which it puts
        // elsewhere in the private use area, and the increment sign, for which
        // it gives the Greek capital delta.
        if (value == 0xF0) {
            EXPECT_EQ(ours.front().unicode(), 0xF8FF);
        } else if (value == 0xC6) {
            EXPECT_EQ(ours.front().unicode(), 0x2206);
        } else {
            EXPECT_EQ(ours, decodeWithIconv(byte)) << "byte 0x" << std::hex << value;
        }
    }
}

TEST(MacRomanDecoder, DecodesMixedText) {
    EXPECT_EQ(MacRomanDecoder::decode(QByteArray("caf\x8E \xD2ok\xD3 \xC9", 11)),
              QStringLiteral(u"café “ok” …"));
}
