#include "intake/JobMessage.h"
#include "intake/PrintDataPrefetch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

using dravelo::EncodedText;
using dravelo::JobMessage;
using dravelo::PrintDataPrefetch;

namespace {

const QByteArray signature("\x05\x09\x06\x08\x07");

// What unpacking a message wrote: each field's outcome and file.
struct Unpacked {
    QString name;
    JobMessage::Written printData = JobMessage::Written::WriteFailed;
    QByteArray printDataFile;
    JobMessage::Written configuration = JobMessage::Written::WriteFailed;
    QByteArray configurationFile;

    bool operator==(const Unpacked&) const = default;
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

std::optional<Unpacked> unpack(const EncodedText& text, const QString& folder,
                               PrintDataPrefetch* prefetch = nullptr) {
    QString refusal;
    const std::optional<JobMessage> message = JobMessage::parse(text, refusal);
    if (!message) {
        return std::nullopt;
    }
    const QString printData = folder + QStringLiteral("/data");
    const QString configuration = folder + QStringLiteral("/configuration");
    QFile::remove(printData);
    QFile::remove(configuration);
    Unpacked unpacked{message->name(), message->writePrintData(printData, prefetch),
                      contents(printData), message->writeConfiguration(configuration),
                      contents(configuration)};
    return unpacked;
}

} // namespace

// A message read from its UTF-8 or Latin-1 bytes, with its print data decoded
// while it arrives or afterwards, unpacks exactly as the same message read as
// UTF-16 text.
TEST(JobMessage, UnpacksFromItsBytesAsFromItsText) {
    const QByteArray cases[] = {
        "a.ppf|QUJDx|SGk=",
        "a.ppf|QUJD|SGk=",
        "job|Q|",
        "n\xc3\xa4me.ppf|QUJD\xc3\xa9|SGk=",
        "a.ppf|QUJD\xf0\x9f\x98\x80|SGk=",
        "a.ppf|QUJD\xe2\x82|SGk=",
        "a.ppf|QU\xc3\xa9JDx|SGk=",
        "a.ppf|QUJDx|SGk=\xc3\xa9",
        "a.ppf|QUJDx|S G\nk=\r\n",
        QByteArray("a.ppf|QUJDx|SGk=\0garbage", 24),
        "a.ppf|QUJDx|SGk-",
        "a.ppf|QUJDx|" + QByteArray("0123456789abcdef").repeated(70000).toBase64(),
    };
    QTemporaryDir folder;
    for (const QByteArray& body : cases) {
        SCOPED_TRACE(body.left(40).toStdString());
        const QByteArray bytes = signature + body;
        const std::optional<Unpacked> expected =
            unpack(EncodedText::fromString(QString::fromUtf8(bytes)), folder.path());
        ASSERT_TRUE(expected);
        const EncodedText lenient = EncodedText::fromLenientUtf8(bytes);
        EXPECT_EQ(unpack(lenient, folder.path()), expected);
        if (const std::optional<EncodedText> strict = EncodedText::fromUtf8(bytes)) {
            EXPECT_EQ(unpack(*strict, folder.path()), expected);
        }
        EXPECT_EQ(unpack(EncodedText::fromLatin1(bytes), folder.path()),
                  unpack(EncodedText::fromString(QString::fromLatin1(bytes)), folder.path()));
        for (const qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(65536)}) {
            PrintDataPrefetch prefetch(folder.path());
            for (qsizetype received = piece; received < bytes.size(); received += piece) {
                prefetch.take(EncodedText::Encoding::LenientUtf8,
                              QByteArrayView(bytes).first(received));
            }
            prefetch.take(EncodedText::Encoding::LenientUtf8, bytes);
            EXPECT_EQ(unpack(lenient, folder.path(), &prefetch), expected) << piece;
        }
    }
    // No temporary file is left behind.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("configuration"), QStringLiteral("data")}));
}
