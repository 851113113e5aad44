#include "platform/pdf/PdfDocument.h"

#include "platform/core/Log.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>

namespace dravelo {
namespace {

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

} // namespace

PdfDocument::PdfDocument(const QString& path)
    : path_(path) {
    open(QString());
}

PdfDocument::~PdfDocument() = default;
PdfDocument::PdfDocument(PdfDocument&&) noexcept = default;
PdfDocument& PdfDocument::operator=(PdfDocument&&) noexcept = default;

void PdfDocument::open(const QString& password) {
    const QByteArray file = QFile::encodeName(path_);
    for (const QByteArray& encoded : passwordEncodings(password)) {
        auto pdf = std::make_unique<QPDF>();
        pdf->setSuppressWarnings(true);
        try {
            pdf->processFile(file.constData(), encoded.constData());
            readable_ = true;
            pdf_ = std::move(pdf);
            password_ = password;
            return;
        } catch (const std::exception& error) {
            if (!isPasswordError(error)) {
                return;
            }
            readable_ = true;
        }
    }
}

bool PdfDocument::unlockWithPassword(const QString& password) {
    if (!isLocked()) {
        return pdf_ != nullptr;
    }
    open(password);
    return pdf_ != nullptr;
}

int PdfDocument::pageCount() const {
    if (!pdf_) {
        return 0;
    }
    try {
        return static_cast<int>(pdf_->getAllPages().size());
    } catch (const std::exception& error) {
        log(QStringLiteral("Cannot read the pages of %1: %2").arg(path_, error.what()));
        return 0;
    }
}

QRectF PdfDocument::mediaBox(int pageIndex) const {
    if (pageIndex < 0 || pageIndex >= pageCount()) {
        return {};
    }
    try {
        QPDFPageObjectHelper page(pdf_->getAllPages().at(pageIndex));
        QPDFObjectHandle box = page.getMediaBox();
        if (!box.isRectangle()) {
            return {};
        }
        const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
        return QRectF(QPointF(r.llx, r.lly), QPointF(r.urx, r.ury)).normalized();
    } catch (const std::exception& error) {
        log(QStringLiteral("Cannot read the media box of %1: %2").arg(path_, error.what()));
        return {};
    }
}

bool PdfDocument::writeToPath(const QString& target) const {
    QFile source(path_);
    QSaveFile output(target);
    if (!source.open(QIODevice::ReadOnly) || !output.open(QIODevice::WriteOnly)) {
        log(QStringLiteral("Cannot copy %1 to %2: %3")
                .arg(path_, target, source.isOpen() ? output.errorString() : source.errorString()));
        return false;
    }
    constexpr qint64 chunk = 1 << 20;
    while (!source.atEnd()) {
        const QByteArray data = source.read(chunk);
        if (data.isEmpty() || output.write(data) != data.size()) {
            log(QStringLiteral("Cannot copy %1 to %2").arg(path_, target));
            output.cancelWriting();
            return false;
        }
    }
    return output.commit();
}

bool PdfDocument::writeUnencryptedCopy(const QString& target) const {
    if (!pdf_) {
        log(QStringLiteral("Cannot write an unencrypted copy of %1: it is not open").arg(path_));
        return false;
    }
    // A temporary file next to the target is made owner-only; the copy then
    // takes the target's name in one step.
    QTemporaryFile scratch(QFileInfo(target).absolutePath() + QStringLiteral("/.pdf-XXXXXX"));
    if (!scratch.open()) {
        log(QStringLiteral("Cannot write %1: %2").arg(target, scratch.errorString()));
        return false;
    }
    // QPDFWriter keeps the file name's pointer and reads it again in write()
    // (it seeds the document ID with it): the bytes must outlive the writer.
    const QByteArray scratchName = QFile::encodeName(scratch.fileName());
    try {
        QPDFWriter writer(*pdf_, scratchName.constData());
        writer.setPreserveEncryption(false);
        writer.write();
    } catch (const std::exception& error) {
        log(QStringLiteral("Cannot write %1: %2").arg(target, error.what()));
        return false;
    }
    if (std::rename(scratchName.constData(), QFile::encodeName(target).constData()) != 0) {
        log(QStringLiteral("Cannot write %1: %2").arg(target, qt_error_string(errno)));
        return false;
    }
    scratch.setAutoRemove(false);
    return true;
}

QByteArray PdfDocument::pageAsPdf(int pageIndex) const {
    if (pageIndex < 0 || pageIndex >= pageCount()) {
        return {};
    }
    try {
        QPDF single;
        single.emptyPDF();
        QPDFPageDocumentHelper(single).addPage(
            QPDFPageObjectHelper(pdf_->getAllPages().at(pageIndex)), false);
        QPDFWriter writer(single);
        writer.setOutputMemory();
        writer.write();
        const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                          static_cast<qsizetype>(buffer->getSize()));
    } catch (const std::exception& error) {
        log(QStringLiteral("Cannot copy page %1 of %2: %3")
                .arg(pageIndex + 1)
                .arg(path_, error.what()));
        return {};
    }
}

} // namespace dravelo
