// SPDX-License-Identifier: GPL-3.0-or-later
#include "modbus_frame.h"

namespace modbusframe {

namespace {

// The CRC of each byte value alone (reflected polynomial 0xA001), computed
// by the compiler rather than copied in as 512 numbers: one step of the
// table-driven CRC then stands for eight steps of the bitwise one.
struct CrcTable
{
    uint16_t entry[256];

    constexpr CrcTable() : entry()
    {
        for (int value = 0; value < 256; ++value) {
            uint16_t crc = uint16_t(value);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
            entry[value] = crc;
        }
    }
};

constexpr CrcTable kCrcTable;
static_assert(kCrcTable.entry[1] == 0xC0C1 && kCrcTable.entry[255] == 0x4040,
              "CRC-16/MODBUS table");

} // namespace

uint16_t crc16(const uint8_t *data, std::size_t n)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i)
        crc = uint16_t((crc >> 8) ^ kCrcTable.entry[(crc ^ data[i]) & 0xFF]);
    return crc;
}

static QByteArray request(uint8_t devAddr, uint8_t function, uint16_t reg, uint16_t word)
{
    QByteArray frame(8, '\0');
    frame[0] = char(devAddr);
    frame[1] = char(function);
    frame[2] = char(reg >> 8);
    frame[3] = char(reg & 0xFF);
    frame[4] = char(word >> 8);
    frame[5] = char(word & 0xFF);
    const uint16_t crc = crc16(reinterpret_cast<const uint8_t *>(frame.constData()), 6);
    frame[6] = char(crc & 0xFF);
    frame[7] = char(crc >> 8);
    return frame;
}

QByteArray readRequest(uint8_t devAddr, uint16_t reg, uint16_t count)
{
    return request(devAddr, FuncRead, reg, count);
}

QByteArray writeRequest(uint8_t devAddr, uint16_t reg, uint16_t value)
{
    return request(devAddr, FuncWrite, reg, value);
}

int readReplyLength(uint16_t count)
{
    return 5 + 2 * int(count);
}

QByteArray readReplyHeader(uint8_t devAddr, uint16_t count)
{
    QByteArray header(3, '\0');
    header[0] = char(devAddr);
    header[1] = char(FuncRead);
    header[2] = char((2 * count) & 0xFF);
    return header;
}

QByteArray buildReadReply(uint8_t devAddr, const QByteArray &registerBytes)
{
    QByteArray reply;
    reply.append(char(devAddr));
    reply.append(char(FuncRead));
    reply.append(char(registerBytes.size() & 0xFF));
    reply.append(registerBytes);
    const uint16_t crc = crc16(reinterpret_cast<const uint8_t *>(reply.constData()),
                               std::size_t(reply.size()));
    reply.append(char(crc & 0xFF));
    reply.append(char(crc >> 8));
    return reply;
}

bool replyCrcOk(const QByteArray &reply, uint16_t *calc, uint16_t *received)
{
    if (reply.size() < 2)
        return false;
    const auto *p = reinterpret_cast<const uint8_t *>(reply.constData());
    const std::size_t n = std::size_t(reply.size());
    const uint16_t c = crc16(p, n - 2);
    const uint16_t r = uint16_t(p[n - 1] * 256 + p[n - 2]);
    if (calc)
        *calc = c;
    if (received)
        *received = r;
    return c == r;
}

uint16_t decodeDistance(const QByteArray &reply)
{
    if (reply.size() < 5)
        return 0;
    return uint16_t(uint8_t(reply[3]) * 256 + uint8_t(reply[4]));
}

QString decodeVersion(const QByteArray &reply)
{
    if (reply.size() < 7)
        return QString();
    return QStringLiteral("%1.%2.%3")
        .arg(uint(uint8_t(reply[4])))
        .arg(uint(uint8_t(reply[5])))
        .arg(uint(uint8_t(reply[6])));
}

} // namespace modbusframe
