// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's exchange procedures: read_ack, the command exchange and the
// query exchange of the command table's entries, and the detaching of the
// measurement parser around them.

#include "receiver.h"
#include "ack_search.h"
#include "exchange_steps.h"
#include "log_categories.h"

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
    qCDebug(lcProtocol) << "ack" << ack.toHex().constData();
    QByteArray buffer;
    const int waitMs = protocolTiming().ackWaitMs;

    // As long as two waits take, over every chunk that arrives meanwhile (a
    // streaming sensor brings one every few milliseconds). The buffer keeps
    // only its last ack.size() bytes between reads, so an acknowledgement
    // split across reads is still found.
    const bool result = exchange::readUntil(serialPort, 2 * waitMs, waitMs, [&](const QByteArray &chunk) {
        trafficReceived.append(chunk);
        qCDebug(lcProtocol) << "read" << (buffer + chunk).toHex().constData();
        return acksearch::searchStep(buffer, chunk, ack);
    });

    qCDebug(lcProtocol) << "receiver::read_ack" << result;
    return result;
}

bool receiver::writeUntilAcked(const QByteArray &request, const QByteArray &ack, int attempts)
{
    trafficSent.clear();
    trafficReceived.clear();
    for (int attempt = 0; attempt < attempts; ++attempt) {
        exchange::send(serialPort, request, protocolTiming().ackWaitMs);
        trafficSent.append(request);
        if (read_ack(ack))
            return true;
    }
    return false;
}

bool receiver::runCommand(const commandtable::Command &command, uint32_t first, uint32_t second)
{
    const ParserDetached detached(*this);
    const QByteArray frame = commandtable::frameOf(command, first, second);
    if (command.logTag)
        exchange::logFrame(command.logTag, frame, true, lcProtocol);
    const bool ok = writeUntilAcked(frame, commandtable::answerOf(command, frame), command.attempts);
    // The values as the frame carries them, cut to the payload's width.
    int count = 1;
    switch (command.payload) {
    case commandtable::Payload::None: count = 0; break;
    case commandtable::Payload::U8: first &= 0xFFu; break;
    case commandtable::Payload::U16: first &= 0xFFFFu; break;
    case commandtable::Payload::U32: break;
    case commandtable::Payload::U16Pair:
        count = 2;
        first &= 0xFFFFu;
        second &= 0xFFFFu;
        break;
    }
    recordTraffic(command.logTag, TrafficKind::Command, command.id, trafficSent, ok, count, first, second);
    return ok;
}

QByteArray receiver::runQuery(const commandtable::Query &query)
{
    const ProtocolTiming timing = protocolTiming();
    const int waitMs = query.wait == commandtable::ReplyWait::Trigger ? timing.triggerWaitMs
                                                                      : timing.replyWaitMs;
    const ParserDetached detached(*this);
    const QByteArray frame = commandtable::frameOf(query);
    exchange::logFrame(query.logTag, frame, false, lcProtocol);
    exchange::send(serialPort, frame, waitMs);   // a query is never re-sent
    trafficReceived.clear();
    const QByteArray reply = exchange::collectReply(serialPort, query.header(), query.replyLength, query.passes,
                                                    waitMs, lcProtocol, &trafficReceived);
    recordTraffic(query.logTag, TrafficKind::Query, query.id, frame, !reply.isEmpty());
    return reply;
}
