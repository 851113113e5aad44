#include "platform/pdf/RendererProtocol.h"

#include <QStringDecoder>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace dravelo {
namespace {

using Request = RendererRequest;
using Reply = RendererReply;

class Writer {
public:
    void u8(quint8 value) { out_.append(char(value)); }
    void u32(quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        out_.append(bytes, 4);
    }
    void i32(qint32 value) { u32(quint32(value)); }
    void f64(double value) {
        quint64 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        char bytes[8];
        qToLittleEndian(bits, bytes);
        out_.append(bytes, 8);
    }
    void bytes(QByteArrayView data) {
        u32(quint32(data.size()));
        out_.append(data.data(), data.size());
    }
    void string(const QString& text) { bytes(text.toUtf8()); }
    void point(const QPointF& p) {
        f64(p.x());
        f64(p.y());
    }
    void raw(QByteArrayView data) { out_.append(data.data(), data.size()); }

    QByteArray take() { return std::move(out_); }

private:
    QByteArray out_;
};

// Reads a body front to back. Every read checks what is left; the first
// failing one leaves the reader failed for good.
class Reader {
public:
    explicit Reader(QByteArrayView in)
        : in_(in) {}

    bool ok() const { return ok_; }
    bool finished() const { return ok_ && at_ == in_.size(); }
    qsizetype left() const { return in_.size() - at_; }
    void fail() { ok_ = false; }

    quint8 u8() {
        if (!need(1)) {
            return 0;
        }
        return quint8(in_[at_++]);
    }
    quint32 u32() {
        if (!need(4)) {
            return 0;
        }
        const quint32 value = qFromLittleEndian<quint32>(in_.data() + at_);
        at_ += 4;
        return value;
    }
    qint32 i32() { return qint32(u32()); }
    double f64() {
        if (!need(8)) {
            return 0;
        }
        const quint64 bits = qFromLittleEndian<quint64>(in_.data() + at_);
        at_ += 8;
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    double finite() {
        const double value = f64();
        if (!std::isfinite(value)) {
            fail();
        }
        return value;
    }
    QByteArrayView raw(qsizetype size) {
        if (size < 0 || !need(size)) {
            return {};
        }
        const QByteArrayView data = in_.sliced(at_, size);
        at_ += size;
        return data;
    }
    QByteArray bytes() { return raw(qsizetype(u32())).toByteArray(); }
    QString string() {
        const QByteArrayView data = raw(qsizetype(u32()));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        QString text = utf8(data);
        // Only valid UTF-8 reads back to the same bytes.
        if (utf8.hasError()) {
            fail();
        }
        return text;
    }
    QPointF point() {
        const double x = finite();
        return {x, finite()};
    }
    // A count of items that each take at least `itemSize` bytes.
    qsizetype count(qsizetype itemSize, qsizetype limit) {
        const qsizetype value = qsizetype(u32());
        if (value > limit || value > left() / itemSize) {
            fail();
            return 0;
        }
        return value;
    }

private:
    bool need(qsizetype size) {
        if (!ok_ || left() < size) {
            ok_ = false;
        }
        return ok_;
    }

    QByteArrayView in_;
    qsizetype at_ = 0;
    bool ok_ = true;
};

QByteArray framed(const QByteArray& body) {
    Writer writer;
    writer.u32(quint32(body.size()));
    writer.raw(body);
    return writer.take();
}

// Whether a region of `length` pixels from `start` lies within `side`
// pixels, reckoned without overflow.
bool spanFits(qint64 start, qint64 length, qint64 side) {
    return start >= 0 && length > 0 && start + length <= side;
}

bool isPageSize(const QSizeF& size) {
    const auto fits = [](double value) {
        return value > 0 && value <= RendererProtocol::maxPagePoints;
    };
    return fits(size.width()) && fits(size.height());
}

void writePage(Writer& writer, const Request& request) {
    writer.i32(request.page);
    switch (request.kind) {
    case Request::Kind::Render:
        writer.i32(request.pageSize.width());
        writer.i32(request.pageSize.height());
        writer.i32(request.region.x());
        writer.i32(request.region.y());
        writer.i32(request.region.width());
        writer.i32(request.region.height());
        break;
    case Request::Kind::Select:
        writer.point(request.start);
        writer.point(request.end);
        break;
    default:
        break;
    }
}

void readPage(Reader& reader, Request& request) {
    request.page = reader.i32();
    if (request.page < 0) {
        reader.fail();
    }
    switch (request.kind) {
    case Request::Kind::Render: {
        const qint32 width = reader.i32();
        const qint32 height = reader.i32();
        const qint32 x = reader.i32();
        const qint32 y = reader.i32();
        const qint32 w = reader.i32();
        const qint32 h = reader.i32();
        const auto side = [](qint32 pixels) {
            return pixels > 0 && pixels <= RendererProtocol::maxPagePixels;
        };
        if (!side(width) || !side(height) || !spanFits(x, w, width) || !spanFits(y, h, height) ||
            qint64(w) * h > RendererProtocol::maxImagePixels) {
            reader.fail();
            break;
        }
        request.pageSize = QSize(width, height);
        request.region = QRect(x, y, w, h);
        break;
    }
    case Request::Kind::Select:
        request.start = reader.point();
        request.end = reader.point();
        break;
    default:
        break;
    }
}

void writeFacts(Writer& writer, const PdfFacts& facts) {
    writer.u8(quint8(facts.access));
    writer.string(facts.problem);
    writer.u32(quint32(facts.pageSizes.size()));
    for (const QSizeF& size : facts.pageSizes) {
        writer.f64(size.width());
        writer.f64(size.height());
    }
    writer.point(facts.firstMediaBox.topLeft());
    writer.point(QPointF(facts.firstMediaBox.width(), facts.firstMediaBox.height()));
}

PdfFacts readFacts(Reader& reader) {
    PdfFacts facts;
    const quint8 access = reader.u8();
    if (access < quint8(PdfFacts::Access::Open) || access > quint8(PdfFacts::Access::Unreadable)) {
        reader.fail();
    }
    facts.access = PdfFacts::Access(access);
    facts.problem = reader.string();
    const qsizetype pages = reader.count(16, RendererProtocol::maxPageCount);
    facts.pageSizes.reserve(pages);
    for (qsizetype page = 0; page < pages && reader.ok(); ++page) {
        const QPointF size = reader.point();
        facts.pageSizes.append(QSizeF(size.x(), size.y()));
        if (!isPageSize(facts.pageSizes.last())) {
            reader.fail();
        }
    }
    const QPointF origin = reader.point();
    const QPointF extent = reader.point();
    facts.firstMediaBox = QRectF(origin, QSizeF(extent.x(), extent.y()));
    return facts;
}

void writeImage(Writer& writer, const QImage& image) {
    const QImage opaque = image.format() == QImage::Format_RGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    writer.u32(quint32(opaque.width()));
    writer.u32(quint32(opaque.height()));
    const qsizetype row = qsizetype(opaque.width()) * 4;
    for (int y = 0; y < opaque.height(); ++y) {
        writer.raw(QByteArrayView(reinterpret_cast<const char*>(opaque.constScanLine(y)), row));
    }
}

QImage readImage(Reader& reader) {
    const qint64 width = reader.u32();
    const qint64 height = reader.u32();
    // Each side first, so that their product cannot overflow.
    constexpr qint64 most = RendererProtocol::maxImagePixels;
    if (width < 1 || height < 1 || width > most || height > most || width * height > most) {
        reader.fail();
        return {};
    }
    const qsizetype row = qsizetype(width) * 4;
    const QByteArrayView pixels = reader.raw(row * height);
    if (!reader.ok()) {
        return {};
    }
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull()) {
        reader.fail();
        return {};
    }
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(image.scanLine(y), pixels.data() + row * y, size_t(row));
    }
    return image;
}

void writeBounds(Writer& writer, const QList<QPolygonF>& bounds) {
    writer.u32(quint32(bounds.size()));
    for (const QPolygonF& polygon : bounds) {
        writer.u32(quint32(polygon.size()));
        for (const QPointF& point : polygon) {
            writer.point(point);
        }
    }
}

QList<QPolygonF> readBounds(Reader& reader) {
    QList<QPolygonF> bounds;
    const qsizetype polygons = reader.count(4, reader.left());
    for (qsizetype i = 0; i < polygons && reader.ok(); ++i) {
        QPolygonF polygon;
        const qsizetype points = reader.count(16, reader.left());
        polygon.reserve(points);
        for (qsizetype p = 0; p < points && reader.ok(); ++p) {
            polygon.append(reader.point());
        }
        bounds.append(polygon);
    }
    return bounds;
}

} // namespace

QByteArray RendererProtocol::encode(const RendererRequest& request) {
    Writer writer;
    writer.u8(quint8(request.kind));
    writer.string(request.path);
    writer.string(request.password);
    switch (request.kind) {
    case Request::Kind::Inspect:
        break;
    case Request::Kind::Render:
    case Request::Kind::Select:
    case Request::Kind::CopyPage:
        writePage(writer, request);
        break;
    case Request::Kind::WriteUnencrypted:
        writer.string(request.target);
        break;
    }
    return writer.take();
}

std::optional<RendererRequest> RendererProtocol::decodeRequest(QByteArrayView body) {
    Reader reader(body);
    Request request;
    const quint8 kind = reader.u8();
    if (kind < quint8(Request::Kind::Inspect) || kind > quint8(Request::Kind::WriteUnencrypted)) {
        return std::nullopt;
    }
    request.kind = Request::Kind(kind);
    request.path = reader.string();
    request.password = reader.string();
    if (request.path.isEmpty()) {
        reader.fail();
    }
    switch (request.kind) {
    case Request::Kind::Inspect:
        break;
    case Request::Kind::Render:
    case Request::Kind::Select:
    case Request::Kind::CopyPage:
        readPage(reader, request);
        break;
    case Request::Kind::WriteUnencrypted:
        request.target = reader.string();
        if (request.target.isEmpty()) {
            reader.fail();
        }
        break;
    }
    if (!reader.finished()) {
        return std::nullopt;
    }
    return request;
}

QByteArray RendererProtocol::encode(const RendererReply& reply) {
    Writer writer;
    writer.u8(quint8(reply.kind));
    switch (reply.kind) {
    case Reply::Kind::Facts:
        writeFacts(writer, reply.facts);
        break;
    case Reply::Kind::Image:
        writeImage(writer, reply.image);
        break;
    case Reply::Kind::Selection:
        writer.string(reply.text);
        writeBounds(writer, reply.bounds);
        break;
    case Reply::Kind::PageCopy:
        writer.bytes(reply.pdf);
        writer.bytes(reply.tiff);
        break;
    case Reply::Kind::Done:
        break;
    case Reply::Kind::Failed:
        writer.string(reply.error);
        break;
    }
    return writer.take();
}

std::optional<RendererReply> RendererProtocol::decodeReply(QByteArrayView body) {
    Reader reader(body);
    Reply reply;
    const quint8 kind = reader.u8();
    if (kind < quint8(Reply::Kind::Facts) || kind > quint8(Reply::Kind::Failed)) {
        return std::nullopt;
    }
    reply.kind = Reply::Kind(kind);
    switch (reply.kind) {
    case Reply::Kind::Facts:
        reply.facts = readFacts(reader);
        break;
    case Reply::Kind::Image:
        reply.image = readImage(reader);
        break;
    case Reply::Kind::Selection:
        reply.text = reader.string();
        reply.bounds = readBounds(reader);
        break;
    case Reply::Kind::PageCopy:
        reply.pdf = reader.bytes();
        reply.tiff = reader.bytes();
        break;
    case Reply::Kind::Done:
        break;
    case Reply::Kind::Failed:
        reply.error = reader.string();
        break;
    }
    if (!reader.finished()) {
        return std::nullopt;
    }
    return reply;
}

QByteArray RendererProtocol::frame(const RendererRequest& request) {
    return framed(encode(request));
}

QByteArray RendererProtocol::frame(const RendererReply& reply) {
    return framed(encode(reply));
}

RendererProtocol::Take RendererProtocol::takeFrame(QByteArray& pending, QByteArray& body) {
    if (pending.size() < 4) {
        return Take::Incomplete;
    }
    const qsizetype size = qsizetype(qFromLittleEndian<quint32>(pending.constData()));
    if (size < 1 || size > maxFrameSize) {
        return Take::Malformed;
    }
    if (pending.size() - 4 < size) {
        return Take::Incomplete;
    }
    body = pending.mid(4, size);
    pending.remove(0, 4 + size);
    if (pending.isEmpty()) {
        // Gives back the room a large frame took.
        pending = QByteArray();
    }
    return Take::Frame;
}

} // namespace dravelo
