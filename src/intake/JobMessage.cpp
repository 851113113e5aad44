#include "intake/JobMessage.h"

#include "intake/PrintDataPrefetch.h"

#include <QFileInfo>

#include <algorithm>

namespace dravelo {
namespace {

// The longest UTF-8 sequence of one UTF-16 code unit.
constexpr qsizetype longestOneUnitSequence = 3;

} // namespace

JobMessage::JobMessage(const EncodedText& text, qsizetype first, qsizetype second)
    : text_(text)
    , first_(first)
    , second_(second) {}

std::optional<JobMessage> JobMessage::parse(const EncodedText& text, QString& refusal) {
    const qsizetype first = text.indexOf('|');
    const qsizetype second = first < 0 ? -1 : text.indexOf('|', first + 1);
    if (second < 0) {
        refusal = QStringLiteral("the message lacks its two \"|\" separators.");
        return std::nullopt;
    }
    if (second - first - 1 < 1) {
        refusal = QStringLiteral("its configuration field is empty.");
        return std::nullopt;
    }
    return JobMessage(text, first, second);
}

QString JobMessage::name() const {
    return text_.toString(signature.size(), first_);
}

JobMessage::Written JobMessage::writePrintData(const QString& path,
                                               PrintDataPrefetch* prefetch) const {
    if (prefetch) {
        if (const std::optional<Written> written =
                prefetch->finish(text_, printDataStart(), path)) {
            return *written;
        }
    }
    return writeRange(printDataStart(), text_.size(), path);
}

JobMessage::Written JobMessage::writeConfiguration(const QString& path) const {
    const auto range = configurationRange();
    return range ? writeRange(range->first, range->second, path) : Written::NotBase64;
}

std::optional<std::pair<qsizetype, qsizetype>> JobMessage::configurationRange() const {
    const qsizetype from = first_ + 1;
    if (text_.encoding() == EncodedText::Encoding::Latin1 || text_.isUtf16()) {
        return std::pair(from, second_ - 1);
    }
    // In UTF-8 the last character may take several bytes. Base64 is ASCII:
    // the field decodes only when everything before its last UTF-16 code
    // unit is ASCII, that is when whatever is not ASCII is that one unit.
    const QByteArrayView field = text_.bytes().sliced(from, second_ - from);
    const auto firstNonAscii = std::find_if(
        field.begin(), field.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
    const qsizetype ascii = firstNonAscii - field.begin();
    if (ascii == field.size()) {
        return std::pair(from, second_ - 1);
    }
    const qsizetype tail = field.size() - ascii;
    if (tail > longestOneUnitSequence || text_.toString(from + ascii, second_).size() != 1) {
        return std::nullopt;
    }
    return std::pair(from, from + ascii);
}

JobMessage::Written JobMessage::writeRange(qsizetype from, qsizetype to,
                                           const QString& path) const {
    Base64FileWriter writer(QFileInfo(path).absolutePath());
    if (text_.isUtf16()) {
        writer.feed(text_.units().utf16() + from, to - from);
    } else {
        writer.feed(text_.bytes().data() + from, to - from);
    }
    return writer.commit(path);
}

} // namespace dravelo
