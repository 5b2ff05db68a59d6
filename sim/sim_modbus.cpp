// SPDX-License-Identifier: GPL-3.0-or-later
// Modbus RTU slave: function 0x03 for the distance and version registers and
// function 0x06 for the control registers 0x0080..0x0086, at the sensor's own
// device address, once the protocol has been switched on.

#include "sim_impl.h"

namespace sim {

uint16_t crc16Modbus(const uint8_t *data, size_t n)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

namespace {
void appendCrc(Bytes &frame, bool corrupt)
{
    uint16_t crc = crc16Modbus(frame.data(), frame.size());
    if (corrupt)
        crc ^= 0x5A5A;
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}
} // namespace

Parse SimSensor::Impl::parseModbus(size_t &used)
{
    // A request is 8 bytes with function 0x03 or 0x06 and a valid CRC; the CRC
    // is what tells it apart from the 5A frames that share the line.
    if (rx.size() >= 2 && rx[1] != 0x03 && rx[1] != 0x06)
        return Parse::Invalid;
    if (rx.size() < 8)
        return Parse::NeedMore;
    const uint16_t crc = crc16Modbus(rx.data(), 6);
    if (rx[6] != (crc & 0xFF) || rx[7] != (crc >> 8))
        return Parse::Invalid;
    used = 8;
    handleModbus(Bytes(rx.begin(), rx.begin() + 8));
    return Parse::Consumed;
}

void SimSensor::Impl::handleModbus(const Bytes &req)
{
    if (!takeRequest())
        return;
    if (req[0] != mbAddr)
        return; // another device's request: stay quiet
    const uint8_t fn = req[1];
    const uint16_t reg = static_cast<uint16_t>(req[2] << 8 | req[3]);
    const uint16_t value = static_cast<uint16_t>(req[4] << 8 | req[5]);
    // Tests may have the replies come from another slave address.
    const uint8_t from = mbReplyAddr >= 0 ? static_cast<uint8_t>(mbReplyAddr) : req[0];

    if (fn == 0x03) {
        Bytes reply = {from, 0x03};
        if (reg == 0x0000 && value == 1) {
            const uint16_t cm = mbRegistersSet ? mbDistance : currentDistance(clock());
            reply.insert(reply.end(), {0x02, static_cast<uint8_t>(cm >> 8), static_cast<uint8_t>(cm & 0xFF)});
        } else if (reg == 0x0006 && value == 2) {
            reply.push_back(0x04);
            reply.insert(reply.end(), mbVersion, mbVersion + 4);
        } else {
            reply = {from, 0x83, 0x02}; // illegal data address
        }
        appendCrc(reply, mbBadCrc);
        answer(reply, AnswerKind::Modbus);
        return;
    }

    if (reg < 0x0080 || reg > 0x0086) {
        Bytes reply = {from, 0x86, 0x02};
        appendCrc(reply, mbBadCrc);
        answer(reply, AnswerKind::Modbus);
        return;
    }
    Bytes echo(req.begin(), req.begin() + 6);
    echo[0] = from;
    appendCrc(echo, mbBadCrc);
    answer(echo, AnswerKind::Modbus);
    // The effect follows the echo, which still carries the old address.
    switch (reg) {
    case 0x0082:
        if (value == 1)
            mbEnabled = false;
        break;
    case 0x0083:
        mbBaudHigh = value;
        baudRate = mbBaudHigh << 16 | mbBaudLow;
        break;
    case 0x0084:
        mbBaudLow = value;
        baudRate = mbBaudHigh << 16 | mbBaudLow;
        break;
    case 0x0085:
        mbAddr = static_cast<uint8_t>(value & 0xFF);
        break;
    case 0x0086:
        rate = std::min<int>(value, 11111);
        restartPacing(clock());
        break;
    default: // 0x0080 save, 0x0081 reboot / shut down: nothing to simulate
        break;
    }
}

} // namespace sim
