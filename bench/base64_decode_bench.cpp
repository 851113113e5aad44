// Throughput of the Base64 decoder. Decodes the Base64 text in the file named by
// DRAVELO_BASE64_FILE (as written by a Base64 encoder: ASCII, line breaks allowed), or,
// without it, 16 MiB of random bytes encoded with a line break every 76 characters.
// Bytes per second are counted in decoded bytes.

#include "intake/Base64.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <cstdlib>

namespace {

QByteArray generatedText() {
    QByteArray data(16 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(1);
    for (char& byte : data) {
        byte = static_cast<char>(random.bounded(256));
    }
    const QByteArray encoded = data.toBase64();
    QByteArray text;
    for (qsizetype i = 0; i < encoded.size(); i += 76) {
        text += encoded.mid(i, 76) + '\n';
    }
    return text;
}

// The encoded input as read from disk (ASCII bytes), loaded once.
const QByteArray& inputText() {
    static const QByteArray text = [] {
        const char* path = std::getenv("DRAVELO_BASE64_FILE");
        if (path == nullptr) {
            return generatedText();
        }
        QFile file(QString::fromLocal8Bit(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return text;
}

// Decodes `text` and accounts for the decoded bytes; false (and the benchmark skipped)
// when the text does not decode.
bool decodeInto(benchmark::State& state, const QString& text, qsizetype& decodedBytes) {
    const std::optional<QByteArray> result = dravelo::Base64::dataWithBase64EncodedString(text);
    if (!result || result->isEmpty()) {
        state.SkipWithError("input is not valid Base64 text");
        return false;
    }
    decodedBytes += result->size();
    benchmark::DoNotOptimize(result->constData());
    return true;
}

// Decoding alone: the text is converted to UTF-16 before the timed region.
void Decode(benchmark::State& state) {
    const QString text = QString::fromLatin1(inputText());
    qsizetype decodedBytes = 0;
    for (auto _ : state) {
        if (!decodeInto(state, text, decodedBytes)) {
            return;
        }
    }
    state.SetBytesProcessed(decodedBytes);
}

// What a caller holding the file's bytes pays: conversion to UTF-16, then decoding.
void ConvertAndDecode(benchmark::State& state) {
    const QByteArray& raw = inputText();
    qsizetype decodedBytes = 0;
    for (auto _ : state) {
        if (!decodeInto(state, QString::fromLatin1(raw), decodedBytes)) {
            return;
        }
    }
    state.SetBytesProcessed(decodedBytes);
}

} // namespace

BENCHMARK(Decode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ConvertAndDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
