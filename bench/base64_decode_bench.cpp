// Throughput of the Base64 decoder. Decodes the Base64 text in the file named by
// DRAVELO_BASE64_FILE (as written by a Base64 encoder: ASCII, line breaks allowed), or,
// without it, 16 MiB of random bytes encoded with a line break every 76 characters.
// Bytes per second are counted in decoded bytes.

#include "intake/Base64.h"
#include "intake/Base64Decoder.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

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

// Decoding the bytes as they are, a megabyte at a time into one buffer, as the
// clipboard's UTF-8 and Latin-1 texts are decoded into their files.
void DecodeBytes(benchmark::State& state) {
    const QByteArray& raw = inputText();
    constexpr qsizetype piece = 1 << 20;
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(dravelo::Base64Decoder::maxDecodedSize(piece) + 3));
    qsizetype decodedBytes = 0;
    for (auto _ : state) {
        dravelo::Base64Decoder decoder;
        for (qsizetype at = 0; at < raw.size(); at += piece) {
            const std::optional<qsizetype> decoded = decoder.decode(
                raw.constData() + at, std::min(piece, raw.size() - at), buffer.data());
            if (!decoded) {
                state.SkipWithError("input is not valid Base64 text");
                return;
            }
            decodedBytes += *decoded;
            benchmark::DoNotOptimize(buffer.data());
        }
        decodedBytes += decoder.finish(buffer.data()).value_or(0);
    }
    state.SetBytesProcessed(decodedBytes);
}

// What a caller holding the file's bytes paid before: conversion to UTF-16, then decoding.
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
BENCHMARK(DecodeBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ConvertAndDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
