#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace dravelo {

// A text kept in the encoding it came in: UTF-8 or Latin-1 bytes, or UTF-16
// code units, so that a large text is read without first being turned into a
// second copy of itself. Positions count the units it is stored in (bytes,
// or UTF-16 code units). A leading byte order mark is not part of the text.
class EncodedText {
public:
    enum class Encoding {
        // Checked to be valid UTF-8.
        Utf8,
        // UTF-8 read leniently: a byte that does not belong to a character
        // stands for U+FFFD, as X11 programs' UTF8_STRING texts are read.
        LenientUtf8,
        Latin1,
        Utf16,
    };

    // Bytes that are valid UTF-8; none otherwise.
    static std::optional<EncodedText> fromUtf8(QByteArray bytes);
    static EncodedText fromLenientUtf8(QByteArray bytes);
    static EncodedText fromLatin1(QByteArray bytes);
    // UTF-16 in the byte order its byte order mark gives, else
    // little-endian; none for an odd number of bytes or invalid UTF-16. Big-
    // endian bytes are turned around in place.
    static std::optional<EncodedText> fromUtf16(QByteArray bytes);
    static EncodedText fromString(const QString& text);

    // The text part of bytes in an 8-bit encoding: without a UTF-8 byte
    // order mark.
    static QByteArrayView textPart(Encoding encoding, QByteArrayView bytes);

    Encoding encoding() const { return encoding_; }
    bool isUtf16() const { return encoding_ == Encoding::Utf16; }
    // The stored units: bytes for the 8-bit encodings, code units for UTF-16.
    QByteArrayView bytes() const;
    QStringView units() const;
    qsizetype size() const;

    // Where an ASCII character first stands at or after `from`; -1 if nowhere.
    qsizetype indexOf(char ascii, qsizetype from = 0) const;
    // Whether the text starts with these ASCII characters.
    bool startsWith(QByteArrayView ascii) const;

    // The units from `from` up to `to`, as text.
    QString toString(qsizetype from, qsizetype to) const;
    QString toString() const { return toString(0, size()); }

private:
    EncodedText(Encoding encoding, QByteArray bytes, qsizetype start);

    Encoding encoding_;
    QByteArray bytes_;
    // Where the text begins in bytes_ (after a byte order mark).
    qsizetype start_ = 0;
};

} // namespace dravelo
