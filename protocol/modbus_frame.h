// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODBUS_FRAME_H
#define MODBUS_FRAME_H

// Modbus RTU frames for the sensor: CRC-16/MODBUS, the 8-byte requests of
// functions 0x03 and 0x06, and the checks and decoders of read replies.
// Pure byte logic, no port.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace modbusframe {

// Sensor register map.
enum : uint16_t {
    RegDistance = 0x0000,
    RegVersion = 0x0006,
    RegSaveConfig = 0x0080,
    RegPower = 0x0081,       // 1 = reboot, 0 = shut down
    RegModbusOff = 0x0082,
    RegBaudHigh = 0x0083,
    RegBaudLow = 0x0084,
    RegDevAddr = 0x0085,
    RegFrameRate = 0x0086,
};

enum : uint8_t { FuncRead = 0x03, FuncWrite = 0x06 };

// CRC-16/MODBUS of n bytes (one table step per byte); the low byte of the
// result is the one sent first. Check value over "123456789": 0x4B37.
uint16_t crc16(const uint8_t *data, std::size_t n);

// 8-byte requests with the CRC of bytes 0..5 appended, low byte first.
QByteArray readRequest(uint8_t devAddr, uint16_t reg, uint16_t count);
QByteArray writeRequest(uint8_t devAddr, uint16_t reg, uint16_t value);

// Read replies: devAddr, 0x03, byte count, registers, CRC; 5 + 2 * count bytes.
int readReplyLength(uint16_t count);
QByteArray readReplyHeader(uint8_t devAddr, uint16_t count);

// Builds a read reply (for peers in tests and the simulated sensor).
QByteArray buildReadReply(uint8_t devAddr, const QByteArray &registerBytes);

// CRC check of a whole reply: crc16 over all but the last two bytes against
// reply[n-1] * 256 + reply[n-2]. `calc` and `received` get both values.
bool replyCrcOk(const QByteArray &reply, uint16_t *calc = nullptr, uint16_t *received = nullptr);

// Decoders of the two read replies (callers pass a reply of full length).
uint16_t decodeDistance(const QByteArray &reply);   // reply[3] * 256 + reply[4]
QString decodeVersion(const QByteArray &reply);     // reply[4].reply[5].reply[6]

} // namespace modbusframe

#endif // MODBUS_FRAME_H
