#include "intake/Base64FileWriter.h"

#include "platform/core/Log.h"

#include <algorithm>

namespace dravelo {
namespace {

// A text is decoded this many units at a time.
constexpr qsizetype decodePiece = 1 << 20;

} // namespace

Base64FileWriter::Base64FileWriter(const QString& folder)
    : file_(folder)
    , buffer_(static_cast<std::size_t>(Base64Decoder::maxDecodedSize(decodePiece) + 3)) {}

void Base64FileWriter::feed(const char* text, qsizetype length) {
    feedUnits(text, length);
}

void Base64FileWriter::feed(const char16_t* text, qsizetype length) {
    feedUnits(text, length);
}

template <typename Unit> void Base64FileWriter::feedUnits(const Unit* text, qsizetype length) {
    for (qsizetype at = 0; state_ == Result::Written && at < length; at += decodePiece) {
        const std::optional<qsizetype> decoded =
            decoder_.decode(text + at, std::min(decodePiece, length - at), buffer_.data());
        if (!decoded) {
            state_ = Result::NotBase64;
        } else if (!write(*decoded)) {
            state_ = Result::WriteFailed;
        }
    }
}

bool Base64FileWriter::write(qsizetype bytes) {
    if (!opened_ && !(opened_ = file_.open())) {
        return false;
    }
    return file_.write(reinterpret_cast<const char*>(buffer_.data()), bytes);
}

Base64FileWriter::Result Base64FileWriter::commit(const QString& path) {
    if (state_ == Result::Written) {
        const std::optional<qsizetype> last = decoder_.finish(buffer_.data());
        if (!last) {
            state_ = Result::NotBase64;
        } else if (!write(*last) || !file_.commit(path)) {
            state_ = Result::WriteFailed;
        }
    }
    if (state_ == Result::WriteFailed) {
        log(QStringLiteral("Cannot write %1: %2").arg(path, file_.errorString()));
    }
    return state_;
}

} // namespace dravelo
