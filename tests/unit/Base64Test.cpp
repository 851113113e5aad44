#include "intake/Base64.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QString>

#include <optional>

using dravelo::Base64;

namespace {

std::optional<QByteArray> decode(const QString& text) {
    return Base64::dataWithBase64EncodedString(text);
}

// A text that does decode, as bytes, so that a failure shows what came out.
QByteArray decoded(const QString& text) {
    const std::optional<QByteArray> result = decode(text);
    EXPECT_TRUE(result.has_value()) << "no result for " << text.toStdString();
    return result.value_or(QByteArray("<none>"));
}

// Inserts `separator` after every `width` characters.
QString broken(const QByteArray& base64, int width, const QString& separator) {
    QString text;
    for (qsizetype i = 0; i < base64.size(); i += width) {
        text += QString::fromLatin1(base64.mid(i, width)) + separator;
    }
    return text;
}

} // namespace

TEST(Base64, PaddingAndWhiteSpaceAreOptionalAnywhere) {
    for (const char* text : {"SGk=", "SGk", "S G k =", "S\tG\nk\r\n=", "\v\fSGk\n", "=SG==k"}) {
        EXPECT_EQ(decoded(QString::fromLatin1(text)), QByteArray("Hi")) << text;
    }
    EXPECT_EQ(decoded(QStringLiteral("QQ==QQ==")), QByteArray("\x41\x04\x10"));
}

TEST(Base64, FinalGroupsOfTwoAndThreeGiveOneAndTwoBytes) {
    EXPECT_EQ(decoded(QStringLiteral("QUJD")), QByteArray("ABC"));
    EXPECT_EQ(decoded(QStringLiteral("QUJ")), QByteArray("AB"));
    EXPECT_EQ(decoded(QStringLiteral("QQ")), QByteArray("A"));
    // The low bits that fall outside the last byte are ignored, not required to be zero.
    EXPECT_EQ(decoded(QStringLiteral("QR")), QByteArray("A"));
    EXPECT_EQ(decoded(QStringLiteral("QUK")), QByteArray("AB"));
}

TEST(Base64, OneCharacterLeftOverFails) {
    for (const char* text : {"Q", "QUJDQ", "QUJD Q==", "QUJDQUJDQ\n"}) {
        EXPECT_EQ(decode(QString::fromLatin1(text)), std::nullopt) << text;
    }
}

TEST(Base64, CharactersOutsideTheAlphabetFail) {
    for (const char* text : {"QUJ-", "_", "QUJD*", "QU|JD", "QUJD.", "SGk=\x7f", "\x01SGk"}) {
        EXPECT_EQ(decode(QString::fromLatin1(text)), std::nullopt) << text;
    }
}

TEST(Base64, TextsWithoutSignificantCharactersGiveEmptyData) {
    for (const QString& text : {QString(), QStringLiteral(""), QStringLiteral("="),
                                QStringLiteral(" \t\r\n\v\f=="), QString(QChar(0))}) {
        const std::optional<QByteArray> result = decode(text);
        ASSERT_TRUE(result.has_value()) << text.toStdString();
        EXPECT_TRUE(result->isEmpty());
    }
}

TEST(Base64, NulCharacterEndsTheText) {
    EXPECT_EQ(decoded(QStringLiteral("SGk=") + QChar(0) + QStringLiteral("QUJ-")),
              QByteArray("Hi"));
    EXPECT_EQ(decoded(QStringLiteral("QUJD") + QChar(0) + QStringLiteral("Q")), QByteArray("ABC"));
    EXPECT_EQ(decode(QStringLiteral("Q") + QChar(0) + QStringLiteral("UJD")), std::nullopt);
}

TEST(Base64, NonAsciiCharacterAnywhereFails) {
    const QString texts[] = {
        QStringLiteral("SGk=\u00e9"),
        QStringLiteral("SG\u00a0k="),                                 // no-break space
        QStringLiteral("\ufeffSGk="),                                 // byte order mark
        QStringLiteral("QUJD\u0141UJD"),                              // low byte is "A"
        QStringLiteral("QUJD") + QChar(0) + QStringLiteral("\u00ff"), // after the end
        QStringLiteral("QUJD\U0001F600"),
    };
    for (const QString& text : texts) {
        EXPECT_EQ(decode(text), std::nullopt) << text.toStdString();
    }
}

TEST(Base64, RoundTripsEncodedDataInEveryLayout) {
    QRandomGenerator random(20240611);
    for (int length = 0; length < 600; length += length < 40 ? 1 : 37) {
        QByteArray data(length, Qt::Uninitialized);
        for (char& byte : data) {
            byte = static_cast<char>(random.bounded(256));
        }
        const QByteArray padded = data.toBase64();
        const QByteArray bare = data.toBase64(QByteArray::OmitTrailingEquals);
        EXPECT_EQ(decoded(QString::fromLatin1(padded)), data);
        EXPECT_EQ(decoded(QString::fromLatin1(bare)), data);
        EXPECT_EQ(decoded(broken(padded, 76, QStringLiteral("\n"))), data);
        EXPECT_EQ(decoded(broken(bare, 5, QStringLiteral(" \r\n\t"))), data);
        EXPECT_EQ(decoded(broken(padded, 3, QStringLiteral("="))), data);
    }
}
