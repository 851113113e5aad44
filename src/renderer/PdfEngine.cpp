#include "renderer/PdfEngine.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QPdfSelection>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <new>

namespace dravelo {
namespace {

using Reply = RendererReply;
using Request = RendererRequest;

// What QImageWriter's TIFF plugin takes as its LZW compression.
constexpr int tiffLzwCompression = 1;
// A copied page's image is drawn smaller when it would be larger than this.
constexpr qint64 maxCopyPixels = qint64(16) << 20;
// What the PDF engine shows for a page whose media box is missing: Letter.
const QRectF defaultMediaBox(0, 0, 612, 792);

Reply failed(const QString& error) {
    Reply reply;
    reply.kind = Reply::Kind::Failed;
    reply.error = error;
    return reply;
}

bool isPasswordError(const std::exception& error) {
    const auto* pdfError = dynamic_cast<const QPDFExc*>(&error);
    return pdfError && pdfError->getErrorCode() == qpdf_e_password;
}

// The password as the document may store it: UTF-8 for the newer
// encryption, Latin-1 (close to the older PDFDocEncoding) for the older.
QList<QByteArray> passwordEncodings(const QString& password) {
    QList<QByteArray> encodings{password.toUtf8()};
    const QByteArray latin1 = password.toLatin1();
    if (latin1 != encodings.first() && QString::fromLatin1(latin1) == password) {
        encodings.append(latin1);
    }
    return encodings;
}

QRectF rectangleOf(QPDFObjectHandle box) {
    if (!box.isRectangle()) {
        return {};
    }
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    const QRectF rectangle = QRectF(QPointF(r.llx, r.lly), QPointF(r.urx, r.ury)).normalized();
    const bool finite = std::isfinite(rectangle.x()) && std::isfinite(rectangle.y()) &&
                        std::isfinite(rectangle.width()) && std::isfinite(rectangle.height());
    return finite ? rectangle : QRectF();
}

QRectF mediaBoxOf(QPDFPageObjectHelper& page) {
    const QRectF media = rectangleOf(page.getMediaBox());
    return media.isEmpty() ? defaultMediaBox : media;
}

// Quarter turns clockwise, as the PDF engine reads /Rotate.
int quarterTurns(QPDFPageObjectHelper& page) {
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    if (!rotate.isNumber()) {
        return 0;
    }
    const double turns = std::fmod(std::trunc(rotate.getNumericValue() / 90), 4);
    return std::isfinite(turns) ? (int(turns) + 4) % 4 : 0;
}

// The page's size as the PDF engine shows it: its crop box within its media
// box, turned by its rotation; kept within the sizes the client lays out.
QSizeF shownSize(QPDFPageObjectHelper page) {
    const QRectF media = mediaBoxOf(page);
    const QRectF crop = rectangleOf(page.getCropBox()).intersected(media);
    QSizeF size = crop.isEmpty() ? media.size() : crop.size();
    if (quarterTurns(page) % 2 == 1) {
        size.transpose();
    }
    const auto bounded = [](double points) {
        return std::clamp(points, 1.0, RendererProtocol::maxPagePoints);
    };
    return {bounded(size.width()), bounded(size.height())};
}

QImage onWhite(const QImage& drawn) {
    // Pages are drawn onto transparency; paper is white.
    QImage paper(drawn.size(), QImage::Format_RGB32);
    if (paper.isNull()) {
        return paper;
    }
    paper.fill(Qt::white);
    QPainter painter(&paper);
    painter.drawImage(0, 0, drawn);
    return paper;
}

QByteArray tiffOf(const QImage& image) {
    QByteArray tiff;
    QBuffer buffer(&tiff);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(tiffLzwCompression);
    return writer.write(image) ? tiff : QByteArray();
}

} // namespace

PdfEngine::PdfEngine() = default;
PdfEngine::~PdfEngine() = default;

RendererReply PdfEngine::handle(const RendererRequest& request) {
    try {
        return answer(request);
    } catch (const std::bad_alloc&) {
        // Past the renderer's memory bound; what was open may be half made.
        opened_ = false;
        display_.reset();
        pdf_.reset();
        return failed(QStringLiteral("the renderer ran out of memory"));
    } catch (const std::exception& error) {
        return failed(QString::fromLocal8Bit(error.what()));
    }
}

RendererReply PdfEngine::answer(const RendererRequest& request) {
    open(request.path, request.password);
    switch (request.kind) {
    case Request::Kind::Inspect:
        return inspect();
    case Request::Kind::Render:
        return render(request);
    case Request::Kind::Select:
        return select(request);
    case Request::Kind::CopyPage:
        return copyPage(request.page);
    case Request::Kind::WriteUnencrypted:
        return writeUnencrypted(request.target);
    }
    return failed(QStringLiteral("unknown request"));
}

void PdfEngine::open(const QString& path, const QString& password) {
    if (opened_ && path == path_ && password == password_) {
        return;
    }
    display_.reset();
    displayProblem_.clear();
    pdf_.reset();
    path_ = path;
    password_ = password;
    opened_ = true;
    access_ = PdfFacts::Access::Unreadable;
    problem_.clear();
    const QByteArray file = QFile::encodeName(path);
    for (const QByteArray& encoded : passwordEncodings(password)) {
        auto pdf = std::make_unique<QPDF>();
        pdf->setSuppressWarnings(true);
        try {
            pdf->processFile(file.constData(), encoded.constData());
            // A page tree that loops or is broken leaves nothing to show.
            pdf->getAllPages();
            access_ = PdfFacts::Access::Open;
            pdf_ = std::move(pdf);
            return;
        } catch (const std::exception& error) {
            if (!isPasswordError(error)) {
                problem_ = QString::fromLocal8Bit(error.what());
                return;
            }
            access_ = PdfFacts::Access::Locked;
        }
    }
}

RendererReply PdfEngine::inspect() const {
    Reply reply;
    reply.kind = Reply::Kind::Facts;
    reply.facts.access = access_;
    reply.facts.problem = problem_;
    if (!pdf_) {
        return reply;
    }
    const std::vector<QPDFObjectHandle>& pages = pdf_->getAllPages();
    if (qsizetype(pages.size()) > RendererProtocol::maxPageCount) {
        reply.facts.access = PdfFacts::Access::Unreadable;
        reply.facts.problem = QStringLiteral("it has %1 pages, more than %2")
                                  .arg(pages.size())
                                  .arg(RendererProtocol::maxPageCount);
        return reply;
    }
    reply.facts.pageSizes.reserve(qsizetype(pages.size()));
    for (const QPDFObjectHandle& page : pages) {
        reply.facts.pageSizes.append(shownSize(QPDFPageObjectHelper(page)));
    }
    if (!pages.empty()) {
        QPDFPageObjectHelper first(pages.front());
        reply.facts.firstMediaBox = mediaBoxOf(first);
    }
    return reply;
}

QPdfDocument* PdfEngine::display() {
    if (!display_ && displayProblem_.isEmpty()) {
        if (access_ != PdfFacts::Access::Open) {
            displayProblem_ = QStringLiteral("the file is not open");
            return nullptr;
        }
        auto loaded = std::make_unique<QPdfDocument>();
        loaded->setPassword(password_);
        const QPdfDocument::Error error = loaded->load(path_);
        if (error != QPdfDocument::Error::None || loaded->status() != QPdfDocument::Status::Ready) {
            displayProblem_ =
                QStringLiteral("the PDF engine cannot load the file (error %1)").arg(int(error));
            return nullptr;
        }
        display_ = std::move(loaded);
    }
    return display_.get();
}

RendererReply PdfEngine::render(const RendererRequest& request) {
    QPdfDocument* document = display();
    if (!document) {
        return failed(displayProblem_);
    }
    if (request.page >= document->pageCount()) {
        return failed(QStringLiteral("the PDF engine finds no page %1").arg(request.page + 1));
    }
    QPdfDocumentRenderOptions options;
    options.setScaledSize(request.pageSize);
    options.setScaledClipRect(request.region);
    const QImage drawn = document->render(request.page, request.region.size(), options);
    Reply reply;
    reply.kind = Reply::Kind::Image;
    reply.image = drawn.isNull() ? QImage() : onWhite(drawn);
    if (reply.image.isNull()) {
        return failed(
            QStringLiteral("the renderer ran out of memory drawing page %1").arg(request.page + 1));
    }
    return reply;
}

RendererReply PdfEngine::select(const RendererRequest& request) {
    QPdfDocument* document = display();
    if (!document) {
        return failed(displayProblem_);
    }
    const QPdfSelection selection =
        document->getSelection(request.page, request.start, request.end);
    Reply reply;
    reply.kind = Reply::Kind::Selection;
    if (selection.isValid()) {
        reply.text = selection.text();
        reply.bounds = selection.bounds();
    }
    return reply;
}

RendererReply PdfEngine::copyPage(int page) {
    if (!pdf_) {
        return failed(QStringLiteral("the file is not open"));
    }
    const std::vector<QPDFObjectHandle>& pages = pdf_->getAllPages();
    if (page >= int(pages.size())) {
        return failed(QStringLiteral("there is no page %1").arg(page + 1));
    }
    QPDF single;
    single.emptyPDF();
    QPDFPageDocumentHelper(single).addPage(QPDFPageObjectHelper(pages.at(size_t(page))), false);
    QPDFWriter writer(single);
    writer.setOutputMemory();
    writer.write();
    const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    Reply reply;
    reply.kind = Reply::Kind::PageCopy;
    reply.pdf = QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                           qsizetype(buffer->getSize()));
    const QImage image = copyImage(page);
    reply.tiff = image.isNull() ? QByteArray() : tiffOf(image);
    if (reply.pdf.size() + reply.tiff.size() > RendererProtocol::maxFrameSize - 64) {
        return failed(QStringLiteral("page %1 is too large to copy").arg(page + 1));
    }
    return reply;
}

QImage PdfEngine::copyImage(int page) {
    QPdfDocument* document = display();
    if (!document || page >= document->pageCount()) {
        return {};
    }
    double dotsPerInch = copyDotsPerInch;
    const QSizeF points = document->pagePointSize(page);
    const double pixels = points.width() * points.height() * std::pow(dotsPerInch / 72.0, 2);
    if (pixels > double(maxCopyPixels)) {
        dotsPerInch *= std::sqrt(double(maxCopyPixels) / pixels);
    }
    const QSize size = (points * dotsPerInch / 72.0).toSize();
    if (size.isEmpty()) {
        return {};
    }
    QImage image = onWhite(document->render(page, size));
    const int dotsPerMeter = qRound(dotsPerInch / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

RendererReply PdfEngine::writeUnencrypted(const QString& target) const {
    if (!pdf_) {
        return failed(QStringLiteral("the file is not open"));
    }
    // A temporary file next to the target is made owner-only; the copy then
    // takes the target's name in one step.
    QTemporaryFile scratch(QFileInfo(target).absolutePath() + QStringLiteral("/.pdf-XXXXXX"));
    if (!scratch.open()) {
        return failed(QStringLiteral("cannot write %1: %2").arg(target, scratch.errorString()));
    }
    // QPDFWriter keeps the file name's pointer and reads it again in write()
    // (it seeds the document ID with it): the bytes must outlive the writer.
    const QByteArray scratchName = QFile::encodeName(scratch.fileName());
    {
        QPDFWriter writer(*pdf_, scratchName.constData());
        writer.setPreserveEncryption(false);
        writer.write();
    }
    if (std::rename(scratchName.constData(), QFile::encodeName(target).constData()) != 0) {
        return failed(QStringLiteral("cannot write %1: %2").arg(target, qt_error_string(errno)));
    }
    scratch.setAutoRemove(false);
    Reply reply;
    reply.kind = Reply::Kind::Done;
    return reply;
}

} // namespace dravelo
