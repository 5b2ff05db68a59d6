// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement parser as the worker runs it on every read: append the read
// to the buffer, parse, and hand over a batch once more than 10 distances have
// gathered. Three streams (clean frames, frames with 0x59 0x59 inside every
// frame, random noise) in reads of 16, 256 and 4096 bytes. Reported: bytes per
// second, and "x_line" = that rate over the line's 100,000 bytes per second
// (1,000,000 baud, 10 bits per byte).

#include "measurement_parser.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QVector>
#include <algorithm>
#include <cstdint>
#include <random>

namespace {

constexpr double kLineBytesPerSecond = 100000.0;
constexpr int kFrames = 7282;          // about 64 KiB of frames
constexpr int kBatchThreshold = 10;    // the default batch threshold

enum Stream { Clean = 0, HeaderInside = 1, Noise = 2 };

QByteArray frame(uint16_t cm, uint8_t b4, uint8_t b5, uint8_t b6, uint8_t b7)
{
    const uint8_t f[8] = {0x59, 0x59, uint8_t(cm & 0xFF), uint8_t(cm >> 8), b4, b5, b6, b7};
    unsigned sum = 0;
    for (uint8_t b : f)
        sum += b;
    QByteArray out(reinterpret_cast<const char *>(f), 8);
    out.append(char(sum & 0xFF));
    return out;
}

QByteArray makeStream(Stream kind)
{
    QByteArray out;
    out.reserve(kFrames * 9);
    if (kind == Noise) {
        std::mt19937 rng(84);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int i = 0; i < kFrames * 9; ++i)
            out.append(char(byte(rng)));
        return out;
    }
    for (int i = 0; i < kFrames; ++i) {
        if (kind == Clean)
            out.append(frame(static_cast<uint16_t>(100 + i % 3900), 0x10, 0x27, 0x00, 0x0A));
        else // distance 0x5959 and 59 59 in the strength bytes too
            out.append(frame(0x5959, 0x59, 0x59, 0x00, 0x0A));
    }
    return out;
}

void BM_parser(benchmark::State &state)
{
    const QByteArray stream = makeStream(static_cast<Stream>(state.range(0)));
    const int readSize = static_cast<int>(state.range(1));
    QByteArray rxBuffer;
    QVector<uint16_t> distBuffer;
    long long distances = 0;
    for (auto _ : state) {
        for (int off = 0; off < stream.size(); off += readSize) {
            rxBuffer.append(stream.constData() + off, std::min(readSize, stream.size() - off));
            distances += parseMeasurementFrames(rxBuffer, distBuffer);
            if (distBuffer.size() > kBatchThreshold) {
                QVector<uint16_t> batch(distBuffer.size());
                std::copy(distBuffer.cbegin(), distBuffer.cend(), batch.begin());
                benchmark::DoNotOptimize(batch.data());
                distBuffer.resize(0);
            }
        }
    }
    const double bytes = static_cast<double>(state.iterations()) * stream.size();
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["x_line"] = benchmark::Counter(bytes / kLineBytesPerSecond, benchmark::Counter::kIsRate);
    state.counters["frames_per_pass"] = static_cast<double>(distances) / state.iterations();
}
BENCHMARK(BM_parser)
    ->ArgsProduct({{Clean, HeaderInside, Noise}, {16, 256, 4096}})
    ->ArgNames({"stream", "read"});

} // namespace

BENCHMARK_MAIN();
