#pragma once

#include "intake/Base64FileWriter.h"
#include "platform/text/EncodedText.h"

#include <QString>

#include <optional>
#include <utility>

namespace dravelo {

class PrintDataPrefetch;

// A clipboard job message, read where it lies in the text's own encoding:
// the clipboard signature, the print data file's name, "|", the
// configuration in Base64 followed by one character that is not part of it,
// "|", and the print data in Base64. The Base64 fields are decoded straight
// into their files, so that a large job is never held in memory twice.
class JobMessage {
public:
    using Written = Base64FileWriter::Result;

    // The five characters a job message starts with.
    static constexpr QByteArrayView signature{"\x05\x09\x06\x08\x07"};

    // The message's fields; none, with the reason in `refusal`, when it lacks
    // its two "|" or its configuration field is empty.
    static std::optional<JobMessage> parse(const EncodedText& text, QString& refusal);

    QString name() const;
    // Decodes a field into the file, replaced atomically; a field that is not
    // Base64 writes nothing. A failed write is logged. The print data may
    // have been decoded while the message arrived.
    Written writePrintData(const QString& path, PrintDataPrefetch* prefetch) const;
    Written writeConfiguration(const QString& path) const;

    // Where the print data field starts.
    qsizetype printDataStart() const { return second_ + 1; }

private:
    JobMessage(const EncodedText& text, qsizetype first, qsizetype second);

    // The configuration's Base64: its field less the last character (one
    // UTF-16 code unit); none when what is left cannot be Base64 at all.
    std::optional<std::pair<qsizetype, qsizetype>> configurationRange() const;
    Written writeRange(qsizetype from, qsizetype to, const QString& path) const;

    const EncodedText& text_;
    // Where the two separators stand.
    qsizetype first_;
    qsizetype second_;
};

} // namespace dravelo
