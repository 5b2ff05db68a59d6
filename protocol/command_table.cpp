// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"

namespace commandtable {

QByteArray frameOf(const Command &c, uint32_t first, uint32_t second)
{
    switch (c.payload) {
    case Payload::None:
        return buildFrame(c.id);
    case Payload::U8:
        return frameU8(c.id, uint8_t(first));
    case Payload::U16:
        return frameU16(c.id, uint16_t(first));
    case Payload::U32:
        return frameU32(c.id, first);
    case Payload::U16Pair:
        return frameU16Pair(c.id, uint16_t(first), uint16_t(second));
    }
    return QByteArray();
}

QByteArray answerOf(const Command &c, const QByteArray &frame)
{
    return c.answer == Answer::Echo ? frame : statusAck(c.id);
}

QByteArray frameOf(const Query &q)
{
    return buildFrame(q.id);
}

QByteArray requestOf(const ModbusWrite &w, uint8_t devAddr, uint16_t value)
{
    return modbusframe::writeRequest(devAddr, w.reg, w.fixedValue >= 0 ? uint16_t(w.fixedValue) : value);
}

} // namespace commandtable
