#include "support/TestPdf.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

namespace dravelo::test {

void TestPdf::write(const QString& path, int pages) {
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) {
            writer.newPage();
        }
        painter.drawText(QPointF(200, 200), QStringLiteral("Page %1").arg(page));
    }
}

void TestPdf::writeEncrypted(const QString& path, const QString& userPassword,
                             const QString& ownerPassword, int pages, bool allowChanges) {
    QTemporaryDir scratch;
    const QString plain = scratch.filePath(QStringLiteral("plain.pdf"));
    write(plain, pages);
    QPDF pdf;
    pdf.processFile(plain.toLocal8Bit().constData());
    // QPDFWriter keeps the file name's pointer (it seeds the document ID with
    // it), so the bytes must outlive the writer.
    const QByteArray outputName = path.toLocal8Bit();
    QPDFWriter writer(pdf, outputName.constData());
    writer.setR6EncryptionParameters(userPassword.toUtf8().constData(),
                                     ownerPassword.toUtf8().constData(), true, true, allowChanges,
                                     allowChanges, allowChanges, allowChanges, qpdf_r3p_full, true);
    writer.write();
}

void TestPdf::writeDrawing(const QString& path, const QByteArray& content) {
    QPDF pdf;
    pdf.emptyPDF();
    // The writer compresses it.
    QPDFObjectHandle drawing =
        QPDFObjectHandle::newStream(&pdf, std::string(content.constData(), size_t(content.size())));
    QPDFObjectHandle page = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] /Resources << >> >>"));
    page.replaceKey("/Contents", drawing);
    pdf.addPage(page, false);
    const QByteArray outputName = path.toLocal8Bit();
    QPDFWriter writer(pdf, outputName.constData());
    writer.write();
}

} // namespace dravelo::test
