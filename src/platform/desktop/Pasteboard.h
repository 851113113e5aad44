#pragma once

#include "platform/text/EncodedText.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

namespace dravelo {

// The desktop's general clipboard. Its contents are named by type identifiers
// ("public.utf8-plain-text", "TEXT", or any other name a program uses); each
// implementation says how these map onto what its clipboard holds.
// Every operation may be called from any thread.
class Pasteboard {
public:
    // The identifier under which setPlainText places its text.
    static constexpr QLatin1StringView plainTextType{"public.utf8-plain-text"};
    // The other identifiers that stand for text.
    static constexpr QLatin1StringView utf16PlainTextType{"public.utf-16-plain-text"};
    static constexpr QLatin1StringView utf16ExternalPlainTextType{
        "public.utf16-external-plain-text"};
    static constexpr QLatin1StringView textType{"TEXT"};
    static constexpr QLatin1StringView macPlainTextType{"com.apple.traditional-mac-plain-text"};
    // A PDF document, and an image in TIFF.
    static constexpr QLatin1StringView pdfType{"application/pdf"};
    static constexpr QLatin1StringView tiffType{"image/tiff"};

    // The contents of one type, as placed by setContents.
    using Entry = std::pair<QString, QByteArray>;

    virtual ~Pasteboard() = default;

    // Changes every time the clipboard's contents are replaced, by another
    // program or by this one. Never 0, so a count of 0 kept from before the
    // first look always differs from it.
    virtual qint64 changeCount() const = 0;

    // The first identifier of `types`, in their order, that the clipboard
    // holds contents for.
    virtual std::optional<QString> availableTypeFromArray(const QStringList& types) = 0;

    // The identifiers the clipboard holds contents for.
    virtual QStringList types() = 0;

    // Told of a text's bytes while it arrives, before the whole text is
    // known: everything received so far, in the encoding given (a byte order
    // mark left out); the view holds until the next call. Implementations
    // may never call it.
    using TextArrival =
        std::function<void(EncodedText::Encoding encoding, QByteArrayView received)>;

    // The contents of one type as text, kept in the encoding they came in;
    // none when the clipboard lacks the type or its contents are not text.
    virtual std::optional<EncodedText> stringForType(const QString& type,
                                                     const TextArrival& arrival = {}) = 0;

    // The contents of one type as the bytes the clipboard holds.
    virtual std::optional<QByteArray> dataForType(const QString& type) = 0;

    // Replaces the whole clipboard with one plain text; false when that
    // could not be done.
    virtual bool setPlainText(const QString& text) = 0;

    // Replaces the whole clipboard with the given types, announced in the
    // order given, each holding its bytes; false when that could not be done.
    virtual bool setContents(const QList<Entry>& entries) = 0;
};

} // namespace dravelo
