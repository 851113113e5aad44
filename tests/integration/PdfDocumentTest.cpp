#include "platform/pdf/PdfDocument.h"

#include "support/QtPrinting.h"
#include "support/TestPdf.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using dravelo::PdfDocument;
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
        const PdfDocument pdf(file(QString::fromLatin1(c.name)));
        EXPECT_EQ(pdf.isReadable(), c.readable);
        EXPECT_EQ(pdf.isLocked(), c.locked);
        EXPECT_EQ(pdf.pageCount(), c.pages);
        EXPECT_FALSE(pdf.wasUnlockedWithPassword());
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
        PdfDocument pdf(path);
        EXPECT_EQ(pdf.unlockWithPassword(c.password), c.opens);
        EXPECT_EQ(pdf.isLocked(), !c.opens);
        EXPECT_EQ(pdf.wasUnlockedWithPassword(), c.opens);
        EXPECT_EQ(pdf.pageCount(), c.opens ? 3 : 0);
        EXPECT_EQ(pdf.mediaBox(0).isEmpty(), !c.opens);
    }
}

TEST_F(PdfDocumentTest, WritesAPrivateUnencryptedCopyOfAnUnlockedDocument) {
    PdfDocument pdf(protectedPdf(2));
    ASSERT_TRUE(pdf.unlockWithPassword(userPassword));
    const QString copy = file(QStringLiteral("copy.pdf"));
    ASSERT_TRUE(pdf.writeUnencryptedCopy(copy));

    EXPECT_EQ(QFile::permissions(copy) & 0x7777,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    const PdfDocument reopened(copy);
    EXPECT_TRUE(reopened.isReadable());
    EXPECT_FALSE(reopened.isLocked());
    EXPECT_EQ(reopened.pageCount(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no scratch file left";
    EXPECT_FALSE(PdfDocument(pdf.path()).writeUnencryptedCopy(file(QStringLiteral("no.pdf"))))
        << "a locked document has nothing to copy";
}

TEST_F(PdfDocumentTest, WritesTheFileAsItCameWithItsEncryption) {
    PdfDocument pdf(protectedPdf());
    ASSERT_TRUE(pdf.unlockWithPassword(ownerPassword));
    const QString saved = file(QStringLiteral("saved.pdf"));
    ASSERT_TRUE(pdf.writeToPath(saved));
    EXPECT_EQ(contents(saved), contents(pdf.path()));
    EXPECT_TRUE(PdfDocument(saved).isLocked());
}

TEST_F(PdfDocumentTest, GivesOnePageAsAPdfOfItsOwn) {
    PdfDocument pdf(protectedPdf(3));
    ASSERT_TRUE(pdf.unlockWithPassword(userPassword));
    const QByteArray page = pdf.pageAsPdf(1);
    ASSERT_TRUE(page.startsWith("%PDF-"));
    const QString pagePath = file(QStringLiteral("page.pdf"));
    QFile out(pagePath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(page);
    out.close();
    const PdfDocument single(pagePath);
    EXPECT_FALSE(single.isLocked());
    EXPECT_EQ(single.pageCount(), 1);
    EXPECT_EQ(single.mediaBox(0), pdf.mediaBox(1));
    EXPECT_TRUE(pdf.pageAsPdf(3).isEmpty());
    EXPECT_TRUE(pdf.pageAsPdf(-1).isEmpty());
}

} // namespace
