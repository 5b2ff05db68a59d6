#include "exchange_steps.h"
#include "reply_search.h"
#include "receiver.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QSerialPort>

namespace exchange {

void logFrame(const char *tag, const QByteArray &frame, bool leadingBreak)
{
    QByteArray text = leadingBreak ? QByteArray("\n") : QByteArray();
    text.append(tag ? tag : "");
    qDebug() << text.constData() << frame.toHex().constData();
}

void send(QSerialPort *port, const QByteArray &request, int waitMs)
{
    port->write(request);
    // A wait may end on incoming data it took first; wait again until the
    // bytes are out, the port fails or the time is up.
    QElapsedTimer elapsed;
    elapsed.start();
    while (port->isOpen() && port->bytesToWrite() > 0) {
        const qint64 left = waitMs - elapsed.elapsed();
        if (left <= 0 || !port->waitForBytesWritten(int(left)))
            break;
    }
}

void waitForData(QSerialPort *port, int waitMs)
{
    if (port->isOpen())
        port->waitForReadyRead(waitMs);
}

QByteArray waitAndTake(QSerialPort *port, int waitMs)
{
    waitForData(port, waitMs);
    const QByteArray chunk = port->readAll();
    qDebug() << chunk.toHex().constData();
    return chunk;
}

QByteArray collectReply(QSerialPort *port, const QByteArray &header, int length,
                        int passes, int waitMs)
{
    QByteArray chunk = waitAndTake(port, waitMs);
    QByteArray buffer;
    QByteArray found;
    for (int pass = 1; pass <= passes; ++pass) {
        if (replysearch::searchStep(buffer, chunk, header, length, &found))
            return found;
        // The chunk read after the last pass is logged but not examined.
        chunk = waitAndTake(port, waitMs);
    }
    return QByteArray();
}

bool writeUntilAcked(receiver &worker, const QByteArray &request, const QByteArray &ack,
                     int attempts)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        send(worker.serialPort, request, worker.protocolTiming().ackWaitMs);
        if (worker.read_ack(ack))
            return true;
    }
    return false;
}

} // namespace exchange
