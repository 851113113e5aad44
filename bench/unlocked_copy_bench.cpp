// What printing a password-protected job costs the client before `lp` runs:
// opening the PDF, unlocking it, and writing the unencrypted private copy,
// each through a renderer started for the job, as the client does it. The
// input comes from unlocked-copy-vs-qpdf.sh (DRAVELO_LOCKED_PDF, with the
// password in DRAVELO_LOCKED_PDF_PASSWORD).
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererClient.h"
#include "platform/pdf/RendererProcess.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QString input() {
    return qEnvironmentVariable("DRAVELO_LOCKED_PDF");
}

QString password() {
    return qEnvironmentVariable("DRAVELO_LOCKED_PDF_PASSWORD");
}

std::shared_ptr<dravelo::PdfDocument> openLocked() {
    auto renderer =
        std::make_shared<dravelo::RendererClient>(std::make_unique<dravelo::RendererProcess>(
            QStringLiteral(DRAVELO_RENDERER), dravelo::RendererLimits{}));
    return dravelo::PdfDocument::open(input(), std::move(renderer));
}

void OpenAndUnlock(benchmark::State& state) {
    for (auto _ : state) {
        const auto pdf = openLocked();
        if (!pdf->unlockWithPassword(password())) {
            state.SkipWithError("the password does not open the input");
            return;
        }
        benchmark::DoNotOptimize(pdf->pageCount());
    }
}

void OpenUnlockAndWriteCopy(benchmark::State& state) {
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("copy.pdf"));
    for (auto _ : state) {
        const auto pdf = openLocked();
        if (!pdf->unlockWithPassword(password()) || !pdf->writeUnencryptedCopy(copy)) {
            state.SkipWithError("no unencrypted copy");
            return;
        }
        QFile::remove(copy);
    }
}

BENCHMARK(OpenAndUnlock)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OpenUnlockAndWriteCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
