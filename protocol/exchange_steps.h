// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef EXCHANGE_STEPS_H
#define EXCHANGE_STEPS_H

// Port-side steps shared by the worker's exchanges (configuration commands,
// Modbus, firmware transfer). They run in the worker's thread, on its port,
// while the measurement parser is detached. Each logs to the category of the
// exchange that runs it.

#include <QByteArray>
#include "log_categories.h"

#include <functional>

class QSerialPort;

namespace exchange {

constexpr int kModbusWriteAttempts = 2;
constexpr int kModbusReadPasses = 2;

// Frame message: optional leading line break, the tag, the bytes in hex.
void logFrame(const char *tag, const QByteArray &frame, bool leadingBreak,
              LogCategory category);

// Writes `request` and waits up to `waitMs` until it is on the line.
// QSerialPort only queues a write; inside an exchange nothing else hands it
// to the line but the waits, and a wait that finds data already waiting
// (frames of a streaming sensor) returns with it before it writes. Such a
// request would miss its answer and go out once more on the next attempt.
// The port is written once it can take the bytes (a plain flush would meet a
// full line as an error, which reads like a lost device); data arriving
// meanwhile stays in the port's buffer for the exchange to read.
void send(QSerialPort *port, const QByteArray &request, int waitMs);

// Waits up to `waitMs` for incoming data. A closed port can bring none, so
// the wait is skipped there instead of freezing the caller for nothing.
void waitForData(QSerialPort *port, int waitMs);

// Reads what arrives and hands every chunk to `examine` until it returns
// true (the answer is complete), or until `boundMs` have passed since the
// call; no single wait is longer than `stepMs`. The bound is time, not a
// number of reads: on a line that streams, a wait ends at the next chunk of
// measurement frames, a few milliseconds away, and an answer that comes a
// few chunks later is still within the protocol's bound. On a quiet line
// the waits are those of the protocol: `stepMs` each until the bound. A
// closed port or a port in error (each wait would return at once) ends it.
bool readUntil(QSerialPort *port, int boundMs, int stepMs, const std::function<bool(const QByteArray &)> &examine);

// After a request was written: the reply is looked for in every chunk read
// (each logged) for as long as one initial wait and `passes` more waits of
// `waitMs` take. Returns the `length` bytes cut out at the first `header`,
// or an empty array. Every byte read is appended to `raw` when given.
QByteArray collectReply(QSerialPort *port, const QByteArray &header, int length, int passes,
                        int waitMs, LogCategory category, QByteArray *raw = nullptr);

} // namespace exchange

#endif // EXCHANGE_STEPS_H
