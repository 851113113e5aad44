#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

namespace dravelo {

// What the client asks the PDF renderer. Every request names the file and
// the password that opens it, so that a renderer started afresh after the
// last one was ended can answer it.
struct RendererRequest {
    enum class Kind : quint8 {
        // Whether the file opens, and the size of its pages.
        Inspect = 1,
        // A region of a page at a scale.
        Render,
        // The text between two points of a page, and where it lies.
        Select,
        // One page as a PDF of its own and as a TIFF image.
        CopyPage,
        // The file without its encryption, written to `target`.
        WriteUnencrypted,
    };

    Kind kind = Kind::Inspect;
    QString path;
    QString password;
    int page = 0;
    // Render: the whole page in pixels at the wanted scale, and the part of
    // it to draw.
    QSize pageSize;
    QRect region;
    // Select: in points, origin at the page's top left.
    QPointF start;
    QPointF end;
    // WriteUnencrypted: the file to write.
    QString target;

    bool operator==(const RendererRequest&) const = default;
};

// What a PDF file is, as far as showing, printing and saving it go.
struct PdfFacts {
    enum class Access : quint8 { Open = 1, Locked, Unreadable };

    Access access = Access::Unreadable;
    // Why an unreadable file is unreadable, in the PDF library's words.
    QString problem;
    // Each page's size in points as it is shown: its crop box within its
    // media box, turned by its rotation.
    QList<QSizeF> pageSizes;
    QRectF firstMediaBox;

    bool operator==(const PdfFacts&) const = default;
};

// The renderer's answer to one request.
struct RendererReply {
    enum class Kind : quint8 { Facts = 1, Image, Selection, PageCopy, Done, Failed };

    Kind kind = Kind::Failed;
    PdfFacts facts;
    // Image: opaque (RGB32), the region asked for.
    QImage image;
    // Selection.
    QString text;
    QList<QPolygonF> bounds;
    // PageCopy.
    QByteArray pdf;
    QByteArray tiff;
    // Failed: what went wrong, in words for a log line.
    QString error;
};

// The renderer's wire format. Each message is a frame: its length as four
// bytes, least significant first, then that many bytes of body. A body is
// the message's kind as one byte and the fields that kind has, in a fixed
// order, with nothing left over. Decoding checks every length, count and
// value, so that neither side can be made to allocate more than a frame
// holds or to accept a message that does not make sense.
class RendererProtocol {
public:
    static constexpr qsizetype maxFrameSize = qsizetype(128) << 20;
    static constexpr qint64 maxImagePixels = qint64(16) << 20;
    static constexpr qsizetype maxPageCount = qsizetype(1) << 20;
    // Pages larger than this (about 350 m) are shown at this size.
    static constexpr double maxPagePoints = 1e6;
    // The largest page in pixels a render may ask for.
    static constexpr int maxPagePixels = 1 << 26;

    enum class Take { Incomplete, Frame, Malformed };

    static QByteArray frame(const RendererRequest& request);
    static QByteArray frame(const RendererReply& reply);

    // Takes the first whole frame off the front of `pending` into `body`.
    // Incomplete: more bytes are needed. Malformed: the stream is unusable.
    static Take takeFrame(QByteArray& pending, QByteArray& body);

    static QByteArray encode(const RendererRequest& request);
    static QByteArray encode(const RendererReply& reply);
    static std::optional<RendererRequest> decodeRequest(QByteArrayView body);
    static std::optional<RendererReply> decodeReply(QByteArrayView body);
};

} // namespace dravelo
