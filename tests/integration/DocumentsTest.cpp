#include "support/DocumentHarness.h"
#include "support/TestPdf.h"
#include "support/pdf/RendererPrograms.h"

#include "documents/MyNSApplication.h"
#include "documents/MyPDFView.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/SystemPasteboard.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererClient.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QMimeData>
#include <QPdfDocument>
#include <QSettings>
#include <QTest>
#include <QtEndian>

using dravelo::Attention;
using dravelo::DocumentContext;
using dravelo::MyNSApplication;
using dravelo::MyPDFView;
using dravelo::Pasteboard;
using dravelo::PdfDocument;
using dravelo::PdfView;
using dravelo::RendererClient;
using dravelo::SystemPasteboard;
using dravelo::test::DocumentHarness;
using dravelo::test::RendererPrograms;
using dravelo::test::TestPdf;

namespace {

// The compression a TIFF's first image is stored with (tag 259); 0 when the
// data is no little- or big-endian TIFF.
int tiffCompression(const QByteArray& tiff) {
    if (tiff.size() < 8) {
        return 0;
    }
    const bool little = tiff.startsWith("II*");
    if (!little && !tiff.startsWith("MM")) {
        return 0;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(tiff.constData());
    const auto read16 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint16>(bytes + at)
                      : qFromBigEndian<quint16>(bytes + at);
    };
    const auto read32 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint32>(bytes + at)
                      : qFromBigEndian<quint32>(bytes + at);
    };
    const qsizetype directory = read32(4);
    if (directory + 2 > tiff.size()) {
        return 0;
    }
    const int entries = read16(directory);
    for (int entry = 0; entry < entries; ++entry) {
        const qsizetype at = directory + 2 + entry * 12;
        if (at + 12 <= tiff.size() && read16(at) == 259) {
            return read16(at + 8);
        }
    }
    return 0;
}

// A view in a shown window over a real PDF drawn by the renderer program,
// copying to the real clipboard.
class PdfViewCopy : public ::testing::Test {
protected:
    PdfViewCopy()
        : context{*h.defaults, h.attention, clipboard, h.printPanel, h.modalQueue, {}, {}, {}} {
        view.setContext(&context);
        // Wider than a page at zoom 1, which is centred in it.
        view.resize(1000, 800);
        view.show();
    }

    void open(int pages) {
        const QString path = h.stagingFile("job.ppf");
        TestPdf::write(path, pages);
        view.setDocument(PdfDocument::open(
            path, std::make_shared<RendererClient>(RendererPrograms::factory()())));
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return view.pageState(0) == PdfView::PageState::Shown; }, 10000));
    }
    static bool clipboardHas(const QString& format) {
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        return copied && copied->hasFormat(format);
    }

    DocumentHarness h;
    SystemPasteboard clipboard;
    DocumentContext context;
    MyPDFView view;
};

TEST_F(PdfViewCopy, DrawsThePagesTheRendererSends) {
    open(1);
    const QImage shown = view.viewport()->grab().toImage();
    const QRect page =
        QRect((view.viewport()->width() - int(view.rowSizeForPage(0).width())) / 2, 6,
              int(view.rowSizeForPage(0).width()), int(view.rowSizeForPage(0).height()) - 3)
            .intersected(shown.rect());
    int ink = 0;
    for (int y = page.top(); y <= page.bottom(); y += 2) {
        for (int x = page.left(); x <= page.right(); x += 2) {
            ink += qGray(shown.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    EXPECT_EQ(shown.pixelColor(page.right() - 4, page.bottom() - 4), QColor(Qt::white));
    EXPECT_GT(ink, 10) << "the page's text is drawn";
}

TEST_F(PdfViewCopy, WithoutASelectionCopiesTheCurrentPageAsPdfThenTiff) {
    open(5);
    view.goToPage(2);
    QCoreApplication::processEvents();
    ASSERT_EQ(view.currentPage(), 2);
    QGuiApplication::clipboard()->clear();
    view.copy();
    ASSERT_TRUE(QTest::qWaitFor([] { return clipboardHas("application/pdf"); }, 10000));

    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(copied->formats(), QStringList({"application/pdf", "image/tiff"}));

    QByteArray pdf = copied->data("application/pdf");
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument page;
    page.load(&buffer);
    ASSERT_EQ(page.status(), QPdfDocument::Status::Ready);
    EXPECT_EQ(page.pageCount(), 1);
    EXPECT_EQ(page.getAllText(0).text().trimmed(), "Page 3");
    EXPECT_EQ(tiffCompression(copied->data("image/tiff")), 5) << "LZW";
}

TEST_F(PdfViewCopy, WithASelectionCopiesOnlyTheSelectedText) {
    open(2);
    // Drag across the words on the first page, from inside their first glyph.
    QPdfDocument pdf;
    pdf.load(h.stagingFile("job.ppf"));
    const QRectF words = pdf.getAllText(0).boundingRectangle();
    const qreal scale = view.rowSizeForPage(0).width() / pdf.pagePointSize(0).width();
    const QPoint pageOrigin((view.viewport()->width() - int(view.rowSizeForPage(0).width())) / 2,
                            6);
    const QPoint start =
        pageOrigin + (QPointF(words.left() + 2, words.center().y()) * scale).toPoint();
    const QPoint end =
        pageOrigin + (QPointF(words.right() + 4, words.center().y()) * scale).toPoint();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(end), view.viewport()->mapToGlobal(QPointF(end)),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, end);
    ASSERT_TRUE(QTest::qWaitFor([this] { return view.hasSelection(); }, 10000));
    view.copy();

    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    EXPECT_FALSE(copied->hasFormat("application/pdf"));
    EXPECT_TRUE(copied->text().contains("age 1")) << copied->text().toStdString();
}

TEST(AttentionGate, DropsEveryRequestWhileNotificationsAreNone) {
    auto* application = static_cast<MyNSApplication*>(QCoreApplication::instance());
    DocumentHarness h;
    application->setDefaults(h.defaults.get());
    h.setSetting("notificationPrintJob", "None");
    EXPECT_EQ(application->requestUserAttention(Attention::Request::Critical), 0);
    EXPECT_EQ(application->requestUserAttention(Attention::Request::Informational), 0);
    h.setSetting("notificationPrintJob", "Infinite Notification");
    EXPECT_GT(application->requestUserAttention(Attention::Request::Critical), 0);
    application->setDefaults(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    MyNSApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
