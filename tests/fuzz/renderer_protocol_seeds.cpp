// Writes one frame of each kind of renderer message into the folder given,
// as the seed corpus of renderer_protocol_fuzz: made by the encoder itself,
// so the seeds follow the wire format as it is.
//
// Usage: renderer_protocol_seeds FOLDER

#include "platform/pdf/RendererProtocol.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using dravelo::PdfFacts;
using dravelo::RendererProtocol;
using dravelo::RendererReply;
using dravelo::RendererRequest;

namespace {

QList<RendererRequest> requests() {
    RendererRequest inspect;
    inspect.path = QStringLiteral("/home/user/.dravelo/job.ppf");
    inspect.password = QStringLiteral("s\u00e9cret");
    RendererRequest render = inspect;
    render.kind = RendererRequest::Kind::Render;
    render.page = 2;
    render.pageSize = QSize(816, 1056);
    render.region = QRect(0, 100, 16, 8);
    RendererRequest select = inspect;
    select.kind = RendererRequest::Kind::Select;
    select.start = QPointF(10.5, 20.25);
    select.end = QPointF(300, 40);
    RendererRequest copy = inspect;
    copy.kind = RendererRequest::Kind::CopyPage;
    copy.page = 1;
    RendererRequest write = inspect;
    write.kind = RendererRequest::Kind::WriteUnencrypted;
    write.target = QStringLiteral("/home/user/.dravelo/.job-copy.pdf");
    return {inspect, render, select, copy, write};
}

QList<RendererReply> replies() {
    RendererReply facts;
    facts.kind = RendererReply::Kind::Facts;
    facts.facts.access = PdfFacts::Access::Open;
    facts.facts.pageSizes = {QSizeF(612, 792), QSizeF(842, 595)};
    facts.facts.firstMediaBox = QRectF(0, 0, 612, 792);
    RendererReply unreadable;
    unreadable.kind = RendererReply::Kind::Facts;
    unreadable.facts.problem = QStringLiteral("not a PDF file");
    RendererReply image;
    image.kind = RendererReply::Kind::Image;
    image.image = QImage(3, 2, QImage::Format_RGB32);
    image.image.fill(Qt::white);
    RendererReply selection;
    selection.kind = RendererReply::Kind::Selection;
    selection.text = QStringLiteral("Page 1");
    selection.bounds = {QPolygonF(QRectF(10, 10, 40, 12))};
    RendererReply copy;
    copy.kind = RendererReply::Kind::PageCopy;
    copy.pdf = "%PDF-1.4\n%%EOF\n";
    copy.tiff = "II*\0";
    RendererReply done;
    done.kind = RendererReply::Kind::Done;
    RendererReply failed;
    failed.error = QStringLiteral("the file is not open");
    return {facts, unreadable, image, selection, copy, done, failed};
}

bool write(const QDir& folder, const QString& name, const QByteArray& frame) {
    QFile file(folder.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(frame) == frame.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: renderer_protocol_seeds FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    bool written = true;
    int number = 0;
    for (const RendererRequest& request : requests()) {
        written &= write(folder, QStringLiteral("request-%1").arg(++number),
                         RendererProtocol::frame(request));
    }
    for (const RendererReply& reply : replies()) {
        written &=
            write(folder, QStringLiteral("reply-%1").arg(++number), RendererProtocol::frame(reply));
    }
    return written ? 0 : 1;
}
