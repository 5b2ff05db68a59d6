#ifndef EXCHANGE_STEPS_H
#define EXCHANGE_STEPS_H

// Port-side steps shared by the worker's exchanges (configuration commands,
// Modbus, firmware transfer). They run in the worker's thread, on its port,
// while the measurement parser is detached. Each logs to the category of the
// exchange that runs it.

#include <QByteArray>
#include "log_categories.h"

class QSerialPort;

namespace exchange {

constexpr int kModbusWriteAttempts = 2;
constexpr int kModbusReadPasses = 2;

// Frame message: optional leading line break, the tag, the bytes in hex.
void logFrame(const char *tag, const QByteArray &frame, bool leadingBreak,
              LogCategory category);

// Waits up to `waitMs` for incoming data. A closed port can bring none, so
// the wait is skipped there instead of freezing the caller for nothing.
void waitForData(QSerialPort *port, int waitMs);

// After a request was written: one initial wait, then at most `passes`
// examination passes, each followed by one more wait; every chunk read is
// logged. Returns the `length` bytes cut out at the first `header`, or an
// empty array. Every byte read is appended to `raw` when given.
QByteArray collectReply(QSerialPort *port, const QByteArray &header, int length, int passes,
                        int waitMs, LogCategory category, QByteArray *raw = nullptr);

} // namespace exchange

#endif // EXCHANGE_STEPS_H
