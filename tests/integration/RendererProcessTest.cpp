#include "platform/pdf/RendererProcess.h"

#include "support/LogRecorder.h"
#include "support/QtPrinting.h"
#include "support/TestPdf.h"
#include "support/pdf/RendererPrograms.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

using dravelo::RendererLimits;
using dravelo::RendererProcess;
using dravelo::RendererReply;
using dravelo::RendererRequest;
using dravelo::test::LogRecorder;
using dravelo::test::RendererPrograms;
using dravelo::test::TestPdf;

namespace {

// The smallest limits: a second of CPU time for a request, an answer
// waited for at most 4 s.
RendererLimits tight() {
    RendererLimits limits;
    limits.cpuSeconds = 1;
    return limits;
}

class RendererProcessTest : public ::testing::Test {
protected:
    // A stand-in for the renderer program: a shell script that does `body`
    // with the connection as its descriptor 3.
    QString script(const QString& body) {
        const QString path = dir.filePath(QStringLiteral("renderer"));
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(QStringLiteral("#!/bin/sh\n%1\n").arg(body).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    // A page that takes the PDF engine many seconds of CPU time: a million
    // fills of the whole page.
    QString heavyPdf() {
        const QString path = dir.filePath(QStringLiteral("heavy.pdf"));
        TestPdf::writeDrawing(path, QByteArray("0 0 595 842 re f\n").repeated(1000000));
        return path;
    }
    static RendererRequest inspect(const QString& path) {
        RendererRequest request;
        request.path = path;
        return request;
    }
    static RendererRequest draw(const QString& path) {
        RendererRequest request = inspect(path);
        request.kind = RendererRequest::Kind::Render;
        request.pageSize = QSize(794, 1123);
        request.region = QRect(0, 0, 794, 600);
        return request;
    }

    QTemporaryDir dir;
};

TEST_F(RendererProcessTest, ARendererThatDiesOrAnswersBadlyIsEndedWithALineThatSaysWhy) {
    struct Case {
        const char* what;
        QString body;
        QString failure;
    };
    const QList<Case> cases = {
        {"exits", QStringLiteral("exit 3"), QStringLiteral("it exited with status 3")},
        {"is killed", QStringLiteral("kill -9 $$"), QStringLiteral("killed by signal 9")},
        {"sends a frame too large",
         QStringLiteral("printf '\\377\\377\\377\\377' >&3; exec sleep 30"),
         QStringLiteral("malformed answer")},
        {"sends no reply", QStringLiteral("printf '\\001\\000\\000\\000\\177' >&3; exec sleep 30"),
         QStringLiteral("malformed answer")},
    };
    const QString file = dir.filePath(QStringLiteral("job.ppf"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RendererProcess renderer(script(c.body), tight());
        LogRecorder log;
        QElapsedTimer clock;
        clock.start();
        const RendererProcess::Outcome outcome = renderer.call(inspect(file));
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_FALSE(outcome.reply);
        EXPECT_TRUE(outcome.failure.contains(c.failure)) << outcome.failure.toStdString();
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines()[0].contains(QStringLiteral("opening ") + file))
            << log.lines()[0].toStdString();
    }
}

TEST_F(RendererProcessTest, ARendererThatDoesNotAnswerIsEndedAtItsDeadline) {
    RendererProcess renderer(script(QStringLiteral("exec sleep 30")), tight());
    LogRecorder log;
    QElapsedTimer clock;
    clock.start();
    const RendererProcess::Outcome outcome = renderer.call(inspect(QStringLiteral("/tmp/x.pdf")));
    EXPECT_GE(clock.elapsed(), 4000);
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(outcome.failure, QStringLiteral("the PDF renderer took longer than 4 s"));
    EXPECT_TRUE(log.contains(
        QStringLiteral("The PDF renderer took longer than 4 s opening /tmp/x.pdf and was ended.")));
}

TEST_F(RendererProcessTest, APageOverItsCpuTimeEndsOnlyThatRenderer) {
    const QString heavy = heavyPdf();
    RendererProcess renderer(RendererPrograms::path(), tight());
    LogRecorder log;
    QElapsedTimer clock;
    clock.start();
    const RendererProcess::Outcome drawn = renderer.call(draw(heavy));
    EXPECT_LT(clock.elapsed(), 4000) << "ended by its CPU time, before the deadline";
    EXPECT_FALSE(drawn.reply);
    EXPECT_EQ(drawn.failure,
              QStringLiteral("the PDF renderer ended: it used more than its 1 s of CPU time"));
    EXPECT_EQ(log.lines().size(), 1);

    const RendererProcess::Outcome next = renderer.call(inspect(heavy));
    ASSERT_TRUE(next.reply) << next.failure.toStdString();
    EXPECT_EQ(next.reply->kind, RendererReply::Kind::Facts);
    EXPECT_EQ(next.reply->facts.pageSizes, QList<QSizeF>{QSizeF(595, 842)});
}

TEST_F(RendererProcessTest, StopEndsACallUnderWayAtOnceAndEveryLaterOne) {
    const QString heavy = heavyPdf();
    RendererProcess renderer(RendererPrograms::path(), {});
    RendererProcess::Outcome drawn;
    std::thread drawing([&] { drawn = renderer.call(draw(heavy)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QElapsedTimer clock;
    clock.start();
    renderer.stop();
    drawing.join();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(drawn.failure, QStringLiteral("the PDF renderer was stopped"));
    EXPECT_FALSE(renderer.call(inspect(heavy)).reply);
}

} // namespace
