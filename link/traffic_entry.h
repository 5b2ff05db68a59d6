// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRAFFIC_ENTRY_H
#define TRAFFIC_ENTRY_H

// One command exchange as it went over the line: what the worker wrote and
// what came back while it waited, for the operator's traffic view. The
// measurement stream is not recorded; a firmware transfer is one summary
// entry (its header frame and the number of frames).

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

// What kind of exchange an entry is; with its id and values it names the
// exchange without words, so that the panel can say it in the operator's
// language (the worker has no translations).
enum class TrafficKind : uint8_t {
    Other,         // only `name` says what it was
    Command,       // an acknowledged command frame: `id` is the command id
    Query,         // a query frame answered by a reply: `id` is the command id
    ModbusWrite,   // a Modbus register write: `id` is the register
    ModbusRead,    // a Modbus register read: `id` is the first register
    Upgrade,       // a firmware transfer, summarised
};

struct TrafficEntry
{
    QDateTime time;        // when the exchange ended
    QString name;          // the exchange's log tag without the class (for logs)
    TrafficKind kind = TrafficKind::Other;
    uint16_t id = 0;       // command id or Modbus register (see TrafficKind)
    int valueCount = 0;    // how many of the values the exchange carried
    uint32_t values[2] = {0, 0};   // as they went on the wire
    QByteArray sent;       // every byte written, attempts one after the other
    QByteArray received;   // every byte read while waiting for the answer
    bool ok = false;       // answered as expected
    int frames = 0;        // a firmware transfer: frames sent (0 otherwise)
};

#endif // TRAFFIC_ENTRY_H
