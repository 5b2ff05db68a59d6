#include "exchange_steps.h"
#include "reply_search.h"
#include "receiver.h"

#include <QDebug>
#include <QSerialPort>

namespace exchange {

void logFrame(const char *tag, const QByteArray &frame, bool leadingBreak)
{
    QByteArray text = leadingBreak ? QByteArray("\n") : QByteArray();
    text.append(tag ? tag : "");
    qDebug() << text.constData() << frame.toHex().constData();
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
        worker.serialPort->write(request);
        if (worker.read_ack(ack))
            return true;
    }
    return false;
}

} // namespace exchange
