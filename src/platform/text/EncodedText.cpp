#include "platform/text/EncodedText.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace dravelo {
namespace {

// Texts are checked in pieces, so that a large one is never held twice.
constexpr qsizetype checkPiece = 1 << 20;

// Whether no byte has its high bit set; word by word, which the compiler
// turns into vector instructions.
bool isAscii(QByteArrayView bytes) {
    constexpr std::uint64_t highBits = 0x8080808080808080u;
    constexpr qsizetype block = 64;
    const char* data = bytes.data();
    qsizetype at = 0;
    for (; at + block <= bytes.size(); at += block) {
        std::uint64_t words[block / 8];
        std::memcpy(words, data + at, block);
        std::uint64_t any = 0;
        for (const std::uint64_t word : words) {
            any |= word;
        }
        if (any & highBits) {
            return false;
        }
    }
    return std::none_of(data + at, data + bytes.size(),
                        [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
}

// Where a piece of the text that starts at `from` may end: at most
// checkPiece bytes on, and never inside a character.
qsizetype pieceEnd(QStringConverter::Encoding encoding, QByteArrayView bytes, qsizetype from) {
    qsizetype end = std::min(from + checkPiece, bytes.size());
    if (end == bytes.size()) {
        return end;
    }
    if (encoding == QStringConverter::Utf8) {
        // Back over the continuation bytes of a character and its first byte.
        const qsizetype limit = std::max(from + 1, end - 4);
        qsizetype cut = end;
        while (cut > limit && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        return cut;
    }
    // A high surrogate goes with the low one after it.
    const auto unitAt = [&](qsizetype at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return encoding == QStringConverter::Utf16BE ? first << 8 | second : second << 8 | first;
    };
    const int last = unitAt(end - 2);
    return last >= 0xD800 && last < 0xDC00 ? end - 2 : end;
}

// Whether the decoder takes all of `bytes` without an error. Each piece ends
// between two characters and is checked as a whole.
bool decodesCleanly(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString scratch(decoder.requiredSpace(checkPiece), Qt::Uninitialized);
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype end = pieceEnd(encoding, bytes, at);
        decoder.appendToBuffer(scratch.data(), bytes.sliced(at, end - at));
        if (decoder.hasError()) {
            return false;
        }
        at = end;
    }
    return true;
}

qsizetype utf8BomLength(QByteArrayView bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

} // namespace

EncodedText::EncodedText(Encoding encoding, QByteArray bytes, qsizetype start)
    : encoding_(encoding)
    , bytes_(std::move(bytes))
    , start_(start) {}

QByteArrayView EncodedText::textPart(Encoding encoding, QByteArrayView bytes) {
    const bool utf8 = encoding == Encoding::Utf8 || encoding == Encoding::LenientUtf8;
    return bytes.sliced(utf8 ? utf8BomLength(bytes) : 0);
}

std::optional<EncodedText> EncodedText::fromUtf8(QByteArray bytes) {
    const qsizetype start = utf8BomLength(bytes);
    const QByteArrayView text = QByteArrayView(bytes).sliced(start);
    // The usual case, and much quicker to tell.
    if (!isAscii(text) && !decodesCleanly(QStringConverter::Utf8, text)) {
        return std::nullopt;
    }
    return EncodedText(Encoding::Utf8, std::move(bytes), start);
}

EncodedText EncodedText::fromLenientUtf8(QByteArray bytes) {
    const qsizetype start = utf8BomLength(bytes);
    return EncodedText(Encoding::LenientUtf8, std::move(bytes), start);
}

EncodedText EncodedText::fromLatin1(QByteArray bytes) {
    return EncodedText(Encoding::Latin1, std::move(bytes), 0);
}

std::optional<EncodedText> EncodedText::fromUtf16(QByteArray bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    const bool bigEndian = bytes.startsWith("\xFE\xFF");
    const bool marked = bigEndian || bytes.startsWith("\xFF\xFE");
    const qsizetype start = marked ? 2 : 0;
    const QByteArrayView text = QByteArrayView(bytes).sliced(start);
    if (!decodesCleanly(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE, text)) {
        return std::nullopt;
    }
    if (bigEndian) {
        char* data = bytes.data();
        for (qsizetype i = 0; i < bytes.size(); i += 2) {
            std::swap(data[i], data[i + 1]);
        }
    }
    return EncodedText(Encoding::Utf16, std::move(bytes), start);
}

EncodedText EncodedText::fromString(const QString& text) {
    QByteArray units(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return EncodedText(Encoding::Utf16, std::move(units), 0);
}

QByteArrayView EncodedText::bytes() const {
    return QByteArrayView(bytes_).sliced(start_);
}

QStringView EncodedText::units() const {
    const QByteArrayView stored = bytes();
    return QStringView(reinterpret_cast<const char16_t*>(stored.data()), stored.size() / 2);
}

qsizetype EncodedText::size() const {
    return isUtf16() ? units().size() : bytes().size();
}

qsizetype EncodedText::indexOf(char ascii, qsizetype from) const {
    return isUtf16() ? units().indexOf(QLatin1Char(ascii), from) : bytes().indexOf(ascii, from);
}

bool EncodedText::startsWith(QByteArrayView ascii) const {
    return isUtf16() ? units().startsWith(QLatin1StringView(ascii.data(), ascii.size()))
                     : bytes().startsWith(ascii);
}

QString EncodedText::toString(qsizetype from, qsizetype to) const {
    switch (encoding_) {
    case Encoding::Utf8:
    case Encoding::LenientUtf8:
        return QString::fromUtf8(bytes().sliced(from, to - from));
    case Encoding::Latin1:
        return QString::fromLatin1(bytes().sliced(from, to - from));
    case Encoding::Utf16:
        return units().sliced(from, to - from).toString();
    }
    return {};
}

} // namespace dravelo
