#ifndef EXCHANGE_STEPS_H
#define EXCHANGE_STEPS_H

// Port-side steps shared by the worker's exchanges (configuration commands,
// Modbus, firmware transfer). They run in the worker's thread, on its port,
// while the measurement parser is detached.

#include <QByteArray>

class QSerialPort;
class receiver;

namespace exchange {

constexpr int kCommandAttempts = 2;
constexpr int kModbusWriteAttempts = 2;
constexpr int kModbusFrameAttempts = 5;
constexpr int kModbusReadPasses = 2;

// Frame message: optional leading line break, the tag, the bytes in hex.
void logFrame(const char *tag, const QByteArray &frame, bool leadingBreak);

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

// Waits up to `waitMs` for data, takes everything available and logs it.
QByteArray waitAndTake(QSerialPort *port, int waitMs);

// After a request was written: one initial wait, then at most `passes`
// examination passes, each followed by one more wait. Returns the `length`
// bytes cut out at the first `header`, or an empty array.
QByteArray collectReply(QSerialPort *port, const QByteArray &header, int length,
                        int passes, int waitMs);

// Writes `request` up to `attempts` times, each followed by read_ack(ack);
// stops at the first acknowledgement.
bool writeUntilAcked(receiver &worker, const QByteArray &request, const QByteArray &ack,
                     int attempts);

} // namespace exchange

#endif // EXCHANGE_STEPS_H
