#pragma once

#include "intake/Base64Decoder.h"
#include "platform/files/AtomicFile.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace dravelo {

// Decodes one Base64 text, given in pieces, straight into a file that
// appears whole under its name once committed, or not at all: a large text
// is never held decoded in memory.
class Base64FileWriter {
public:
    enum class Result { Written, NotBase64, WriteFailed };

    // Writes into a file to be put in `folder`.
    explicit Base64FileWriter(const QString& folder);

    // Decodes the next piece of the text. Once the text has shown itself not
    // to be Base64, or a write failed, the rest is not looked at.
    void feed(const char* text, qsizetype length);
    void feed(const char16_t* text, qsizetype length);

    // Ends the text and puts the file at `path`; a text that is not Base64
    // writes nothing, and a failed write is logged.
    Result commit(const QString& path);

private:
    template <typename Unit> void feedUnits(const Unit* text, qsizetype length);
    bool write(qsizetype bytes);

    Base64Decoder decoder_;
    AtomicFile file_;
    std::vector<std::uint8_t> buffer_;
    Result state_ = Result::Written;
    bool opened_ = false;
};

} // namespace dravelo
