// The worker's exchange procedures: read_ack, the command exchange and the
// query exchange, and the detaching of the measurement parser around them.

#include "receiver.h"
#include "ack_search.h"
#include "exchange_steps.h"

#include <QDebug>
#include <QSerialPort>

void receiver::detachParser()
{
    disconnect(serialPort, &QSerialPort::readyRead, this, &receiver::slotReceiver);
}

void receiver::attachParser()
{
    // Unique, so that a stray second attach never makes the parser run twice.
    connect(serialPort, &QSerialPort::readyRead, this, &receiver::slotReceiver,
            Qt::ConnectionType(Qt::AutoConnection | Qt::UniqueConnection));
}

bool receiver::read_ack(QByteArray ack)
{
    qDebug() << "ack" << ack.toHex().constData();
    QByteArray buffer;
    const int waitMs = protocolTiming().ackWaitMs;

    exchange::waitForData(serialPort, waitMs);
    QByteArray chunk = serialPort->readAll();
    qDebug() << "read" << (buffer + chunk).toHex().constData();
    bool result = acksearch::searchStep(buffer, chunk, ack);

    if (!result) {
        // The buffer now keeps only its last ack.size() bytes, so an
        // acknowledgement split across the two reads is still found.
        exchange::waitForData(serialPort, waitMs);
        chunk = serialPort->readAll();
        qDebug() << "read" << (buffer + chunk).toHex().constData();
        result = acksearch::searchStep(buffer, chunk, ack);
    }

    qDebug() << "receiver::read_ack" << result;
    return result;
}

void receiver::runCommandExchange(const QByteArray &frame, const QByteArray &ack,
                                  const char *tag, bool &result)
{
    result = false;
    detachParser();
    if (tag)
        exchange::logFrame(tag, frame, true);
    result = exchange::writeUntilAcked(*this, frame, ack, exchange::kCommandAttempts);
    attachParser();
}

QByteArray receiver::runQueryExchange(const QByteArray &frame, const QByteArray &header,
                                      int replyLength, int passes, int waitMs, const char *tag)
{
    detachParser();
    exchange::logFrame(tag, frame, false);
    exchange::send(serialPort, frame, waitMs);   // a query is never re-sent
    const QByteArray reply = exchange::collectReply(serialPort, header, replyLength, passes, waitMs);
    attachParser();
    return reply;
}
