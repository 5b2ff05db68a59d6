// SPDX-License-Identifier: GPL-3.0-or-later
// Command-protocol hot spots: the Modbus CRC, the acknowledgement search and
// the reply search, each fed with the measurement stream that keeps arriving
// while an exchange waits for its answer.

#include "ack_search.h"
#include "command_frame.h"
#include "modbus_frame.h"
#include "receiver.h"
#include "reply_search.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

namespace {

// `bytes` of measurement frames (a moving distance, valid checksums).
QByteArray measurementStream(int bytes)
{
    QByteArray out;
    out.reserve(bytes + 9);
    unsigned cm = 100;
    while (out.size() < bytes) {
        const char f[8] = {0x59, 0x59, char(cm & 0xFF), char(cm >> 8), 0x10, 0x27, 0x00, 0x0A};
        unsigned sum = 0;
        for (char c : f)
            sum += static_cast<unsigned char>(c);
        out.append(f, 8);
        out.append(char(sum & 0xFF));
        cm = cm >= 4000 ? 100 : cm + 1;
    }
    out.truncate(bytes);
    return out;
}

void BM_calc_crc16(benchmark::State &state)
{
    const QByteArray data = measurementStream(static_cast<int>(state.range(0)));
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData());
    for (auto _ : state)
        benchmark::DoNotOptimize(receiver::calc_crc16(p, data.size()));
    state.SetBytesProcessed(state.iterations() * data.size());
}
// 6: a request, 7/9: the read replies, 1024: a long buffer.
BENCHMARK(BM_calc_crc16)->Arg(6)->Arg(7)->Arg(9)->Arg(1024);

// One wait of read_ack: a chunk of stream with the acknowledgement at its end
// (found) or absent (the buffer is cut to the acknowledgement's length).
void BM_ack_search(benchmark::State &state)
{
    const bool present = state.range(1) != 0;
    const QByteArray ackBytes = commandframe::statusAck(commandframe::IdFrameRate);
    QByteArray chunk = measurementStream(static_cast<int>(state.range(0)));
    if (present)
        chunk.append(ackBytes);
    bool found = false;
    for (auto _ : state) {
        QByteArray buffer;
        found = acksearch::searchStep(buffer, chunk, ackBytes);
        benchmark::DoNotOptimize(found);
    }
    if (found != present)
        state.SkipWithError("acknowledgement search gave the wrong answer");
    state.SetBytesProcessed(state.iterations() * chunk.size());
}
BENCHMARK(BM_ack_search)->ArgsProduct({{256, 4096, 100000}, {0, 1}})->ArgNames({"chunk", "ack"});

// One examination pass of the Modbus distance read: a chunk of stream with
// the 7-byte reply at its end.
void BM_reply_search(benchmark::State &state)
{
    const QByteArray header = modbusframe::readReplyHeader(1, 1);
    const QByteArray replyBytes = modbusframe::buildReadReply(1, QByteArray("\x01\x23", 2));
    QByteArray chunk = measurementStream(static_cast<int>(state.range(0)));
    chunk.append(replyBytes);
    QByteArray out;
    for (auto _ : state) {
        QByteArray buffer;
        benchmark::DoNotOptimize(replysearch::searchStep(buffer, chunk, header, replyBytes.size(), &out));
    }
    if (out != replyBytes)
        state.SkipWithError("reply search missed the reply");
    state.SetBytesProcessed(state.iterations() * chunk.size());
}
BENCHMARK(BM_reply_search)->Arg(256)->Arg(4096)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
