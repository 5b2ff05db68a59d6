// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange_steps.h"
#include "reply_search.h"

#include <QElapsedTimer>
#include <QSerialPort>

namespace exchange {

void logFrame(const char *tag, const QByteArray &frame, bool leadingBreak,
              LogCategory category)
{
    QByteArray text = leadingBreak ? QByteArray("\n") : QByteArray();
    text.append(tag ? tag : "");
    qCDebug(category) << text.constData() << frame.toHex().constData();
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

bool readUntil(QSerialPort *port, int boundMs, int stepMs, const std::function<bool(const QByteArray &)> &examine)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = qint64(boundMs) - clock.elapsed();
        waitForData(port, int(qBound(qint64(0), left, qint64(qMax(stepMs, 1)))));
        const QByteArray chunk = port->readAll();
        if (examine(chunk))
            return true;
        if (clock.elapsed() >= boundMs || !port->isOpen())
            return false;
        // A wait that brought nothing left its error behind: TimeoutError
        // when it ran out, anything else when the port failed.
        const QSerialPort::SerialPortError error = port->error();
        if (chunk.isEmpty() && error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
            return false;
    }
}

QByteArray collectReply(QSerialPort *port, const QByteArray &header, int length, int passes,
                        int waitMs, LogCategory category, QByteArray *raw)
{
    QByteArray buffer;
    QByteArray found;
    readUntil(port, (passes + 1) * waitMs, waitMs, [&](const QByteArray &chunk) {
        qCDebug(category) << chunk.toHex().constData();
        if (raw)
            raw->append(chunk);
        return replysearch::searchStep(buffer, chunk, header, length, &found);
    });
    return found;
}

} // namespace exchange
