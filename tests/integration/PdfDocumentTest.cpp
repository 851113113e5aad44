#include "platform/pdf/PdfDocument.h"

#include "support/QtPrinting.h"
#include "support/TestPdf.h"
#include "support/pdf/RendererPrograms.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using dravelo::PdfDocument;
using dravelo::test::RendererPrograms;
using dravelo::test::TestPdf;

namespace {

const QString userPassword = QStringLiteral("user-secret");
const QString ownerPassword = QStringLiteral("owner-secret");

class PdfDocumentTest : public ::testing::Test {
protected:
    QString file(const QString& name) const { return dir.filePath(name); }
    QString protectedPdf(int pages = 1) {
        const QString path = file(QStringLiteral("protected.pdf"));
        TestPdf::writeEncrypted(path, userPassword, ownerPassword, pages);
        return path;
    }
    static QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(PdfDocumentTest, TellsReadableAndLockedApart) {
    TestPdf::write(file(QStringLiteral("plain.pdf")), 2);
    protectedPdf(3);
    TestPdf::writeEncrypted(file(QStringLiteral("owner-only.pdf")), QString(), ownerPassword, 1,
                            false);
    QFile garbage(file(QStringLiteral("garbage.pdf")));
    garbage.open(QIODevice::WriteOnly);
    garbage.write("not a PDF at all");
    garbage.close();

    struct Case {
        const char* name;
        bool readable, locked;
        int pages;
    };
    const QList<Case> cases{
        {"plain.pdf", true, false, 2},      {"protected.pdf", true, true, 0},
        {"owner-only.pdf", true, false, 1}, {"garbage.pdf", false, false, 0},
        {"missing.pdf", false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pdf = RendererPrograms::open(file(QString::fromLatin1(c.name)));
        EXPECT_EQ(pdf->isReadable(), c.readable);
        EXPECT_EQ(pdf->isLocked(), c.locked);
        EXPECT_EQ(pdf->pageCount(), c.pages);
        EXPECT_FALSE(pdf->wasUnlockedWithPassword());
        EXPECT_EQ(pdf->failure().isEmpty(), c.readable);
    }
}

TEST_F(PdfDocumentTest, OpensWithTheUserOrTheOwnerPasswordOnly) {
    const QString path = protectedPdf(3);
    struct Case {
        QString password;
        bool opens;
    };
    const QList<Case> cases{{QString(), false},
                            {QStringLiteral("guess"), false},
                            {userPassword, true},
                            {ownerPassword, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password.toStdString());
        const auto pdf = RendererPrograms::open(path);
        EXPECT_EQ(pdf->unlockWithPassword(c.password), c.opens);
        EXPECT_EQ(pdf->isLocked(), !c.opens);
        EXPECT_EQ(pdf->wasUnlockedWithPassword(), c.opens);
        EXPECT_EQ(pdf->pageCount(), c.opens ? 3 : 0);
        EXPECT_EQ(pdf->firstPageMediaBox().isEmpty(), !c.opens);
        EXPECT_TRUE(pdf->failure().isEmpty());
    }
}

TEST_F(PdfDocumentTest, WritesAPrivateUnencryptedCopyOfAnUnlockedDocument) {
    const auto pdf = RendererPrograms::open(protectedPdf(2), userPassword);
    const QString copy = file(QStringLiteral("copy.pdf"));
    ASSERT_TRUE(pdf->writeUnencryptedCopy(copy));

    EXPECT_EQ(QFile::permissions(copy) & 0x7777,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    const auto reopened = RendererPrograms::open(copy);
    EXPECT_TRUE(reopened->isReadable());
    EXPECT_FALSE(reopened->isLocked());
    EXPECT_EQ(reopened->pageCount(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no scratch file left";
    EXPECT_FALSE(RendererPrograms::open(pdf->path())->writeUnencryptedCopy(file("no.pdf")))
        << "a locked document has nothing to copy";
}

TEST_F(PdfDocumentTest, WritesTheFileAsItCameWithItsEncryption) {
    const auto pdf = RendererPrograms::open(protectedPdf(), ownerPassword);
    const QString saved = file(QStringLiteral("saved.pdf"));
    ASSERT_TRUE(pdf->writeToPath(saved));
    EXPECT_EQ(contents(saved), contents(pdf->path()));
    EXPECT_TRUE(RendererPrograms::open(saved)->isLocked());
}

TEST_F(PdfDocumentTest, GivesOnePageAsAPdfOfItsOwn) {
    const auto pdf = RendererPrograms::open(protectedPdf(3), userPassword);
    struct Copy {
        bool done = false;
        QByteArray pdf;
        QByteArray tiff;
        QString failure;
    };
    const auto copy = [&pdf](int page) {
        auto made = std::make_shared<Copy>();
        pdf->copyPage(
            page, [made](const QByteArray& data, const QByteArray& tiff, const QString& failure) {
                *made = {true, data, tiff, failure};
            });
        EXPECT_TRUE(QTest::qWaitFor([made] { return made->done; }, 10000));
        return *made;
    };
    const Copy second = copy(1);
    ASSERT_TRUE(second.pdf.startsWith("%PDF-"));
    EXPECT_FALSE(second.tiff.isEmpty());
    const QString pagePath = file(QStringLiteral("page.pdf"));
    QFile out(pagePath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(second.pdf);
    out.close();
    const auto single = RendererPrograms::open(pagePath);
    EXPECT_FALSE(single->isLocked());
    EXPECT_EQ(single->pageCount(), 1);
    EXPECT_EQ(single->firstPageMediaBox(), pdf->firstPageMediaBox());

    const Copy beyond = copy(3);
    EXPECT_TRUE(beyond.pdf.isEmpty());
    EXPECT_FALSE(beyond.failure.isEmpty());
}

} // namespace
