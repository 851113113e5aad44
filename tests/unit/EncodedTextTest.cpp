#include "platform/text/EncodedText.h"

#include <gtest/gtest.h>

#include <QStringDecoder>

#include <optional>

using dravelo::EncodedText;

namespace {

// What a strict decoder of the whole text gives, the reference.
std::optional<QString> strictly(QStringConverter::Encoding encoding, const QByteArray& bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? std::nullopt : std::optional(text);
}

std::optional<QString> asString(const std::optional<EncodedText>& text) {
    return text ? std::optional(text->toString()) : std::nullopt;
}

} // namespace

// Texts are checked a megabyte at a time: a character or an error that
// straddles a piece's end must count as in the whole text.
TEST(EncodedText, Utf8IsCheckedAsAWholeTextWouldBe) {
    const QByteArray filler(1024 * 1024 - 1, 'a');
    const QByteArray cases[] = {
        "plain ASCII",
        "Gr\xc3\xbc\xc3\x9f"
        "e \xf0\x9f\x98\x80",
        "\xef\xbb\xbfwith a byte order mark",
        "a\xff"
        "b",
        "truncated \xe2\x82",
        "\xed\xa0\x80 an encoded surrogate",
        filler + "\xc3\xbc across the first piece's end",
        filler + "\xc3 broken across it",
        filler + "a\xe2\x82\xac\xe2\x82\xac",
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.right(40).toStdString());
        EXPECT_EQ(asString(EncodedText::fromUtf8(bytes)), strictly(QStringConverter::Utf8, bytes));
    }
}

TEST(EncodedText, Utf16TakesItsOrderFromItsMarkAndKeepsItsUnits) {
    const struct {
        QByteArray bytes;
        std::optional<QString> text;
    } cases[] = {
        {QByteArray("h\0\xe9\0", 4), QStringLiteral(u"hé")},
        {QByteArray("\xff\xfeh\0\xe9\0", 6), QStringLiteral(u"hé")},
        {QByteArray("\xfe\xff\0h\0\xe9", 6), QStringLiteral(u"hé")},
        {QByteArray("\x3d\xd8\x00\xde", 4), QStringLiteral(u"\U0001F600")},
        {QByteArray("odd", 3), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        const std::optional<EncodedText> text = EncodedText::fromUtf16(c.bytes);
        EXPECT_EQ(asString(text), c.text);
        if (text) {
            EXPECT_EQ(text->size(), c.text->size());
        }
    }
}

TEST(EncodedText, LenientUtf8AndLatin1ReadAsQtReadsX11Texts) {
    const QByteArray bytes("\xef\xbb\xbf"
                           "a\xff|b\xc3\xbc");
    const EncodedText lenient = EncodedText::fromLenientUtf8(bytes);
    EXPECT_EQ(lenient.toString(), QString::fromUtf8(bytes));
    EXPECT_EQ(lenient.indexOf('|'), 2);
    EXPECT_EQ(EncodedText::fromLatin1(bytes).toString(), QString::fromLatin1(bytes));
}
