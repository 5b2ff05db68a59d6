// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_frame.h"

namespace commandframe {

uint8_t checksum(const uint8_t *data, std::size_t n)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += data[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

QByteArray buildFrame(uint8_t id, const QByteArray &payload)
{
    const int length = 4 + payload.size();
    if (length > 255)
        return QByteArray();
    // The array has its full length before the checksum is summed.
    QByteArray frame(length, '\0');
    frame[0] = char(kHeader);
    frame[1] = char(length);
    frame[2] = char(id);
    for (int i = 0; i < payload.size(); ++i)
        frame[3 + i] = payload[i];
    frame[length - 1] = char(checksum(reinterpret_cast<const uint8_t *>(frame.constData()),
                                      std::size_t(length - 1)));
    return frame;
}

static void appendLe(QByteArray &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray frameU8(uint8_t id, uint8_t value)
{
    return buildFrame(id, QByteArray(1, char(value)));
}

QByteArray frameU16(uint8_t id, uint16_t value)
{
    QByteArray payload;
    appendLe(payload, value, 2);
    return buildFrame(id, payload);
}

QByteArray frameU32(uint8_t id, uint32_t value)
{
    QByteArray payload;
    appendLe(payload, value, 4);
    return buildFrame(id, payload);
}

QByteArray frameU16Pair(uint8_t id, uint16_t first, uint16_t second)
{
    QByteArray payload;
    appendLe(payload, first, 2);
    appendLe(payload, second, 2);
    return buildFrame(id, payload);
}

QByteArray statusAck(uint8_t id)
{
    QByteArray ack(5, '\0');
    ack[0] = char(kHeader);
    ack[1] = char(5);
    ack[2] = char(id);
    ack[3] = char(0);
    ack[4] = char(checksum(reinterpret_cast<const uint8_t *>(ack.constData()), 4));
    return ack;
}

bool isValidFrame(const QByteArray &frame)
{
    if (frame.size() < 4 || frame.size() > 255)
        return false;
    const auto *p = reinterpret_cast<const uint8_t *>(frame.constData());
    return p[0] == kHeader && p[1] == frame.size()
        && checksum(p, std::size_t(frame.size() - 1)) == p[frame.size() - 1];
}

} // namespace commandframe
