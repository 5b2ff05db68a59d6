#include "exchange_steps.h"
#include "reply_search.h"

#include <QSerialPort>

namespace exchange {

void logFrame(const char *tag, const QByteArray &frame, bool leadingBreak,
              LogCategory category)
{
    QByteArray text = leadingBreak ? QByteArray("\n") : QByteArray();
    text.append(tag ? tag : "");
    qCDebug(category) << text.constData() << frame.toHex().constData();
}

void waitForData(QSerialPort *port, int waitMs)
{
    if (port->isOpen())
        port->waitForReadyRead(waitMs);
}

static QByteArray waitAndTake(QSerialPort *port, int waitMs, LogCategory category, QByteArray *raw)
{
    waitForData(port, waitMs);
    const QByteArray chunk = port->readAll();
    qCDebug(category) << chunk.toHex().constData();
    if (raw)
        raw->append(chunk);
    return chunk;
}

QByteArray collectReply(QSerialPort *port, const QByteArray &header, int length, int passes,
                        int waitMs, LogCategory category, QByteArray *raw)
{
    QByteArray chunk = waitAndTake(port, waitMs, category, raw);
    QByteArray buffer;
    QByteArray found;
    for (int pass = 1; pass <= passes; ++pass) {
        if (replysearch::searchStep(buffer, chunk, header, length, &found))
            return found;
        // The chunk read after the last pass is logged but not examined.
        chunk = waitAndTake(port, waitMs, category, raw);
    }
    return QByteArray();
}

} // namespace exchange
