// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef COMMAND_FRAME_H
#define COMMAND_FRAME_H

// Command frames of the sensor's own protocol: 5A, total length, command id,
// payload (multi-byte values least significant byte first), additive checksum.
// Pure byte logic, no port: the exchanges, the tests and the fuzzers share it.

#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace commandframe {

// Command ids.
enum : uint8_t {
    IdVersion = 0x01,
    IdSoftReset = 0x02,
    IdFrameRate = 0x03,
    IdSampleTrig = 0x04,
    IdOutputFormat = 0x05,
    IdBaudRate = 0x06,
    IdOutputEn = 0x07,
    IdFrameChecksumEn = 0x08,
    IdRestoreDefault = 0x10,
    IdSaveSettings = 0x11,
    IdFullVersion = 0x14,
    IdTransType = 0x45,
    IdUpgrade = 0x49,
    IdGainAdjust = 0x4E,
    IdCanSndId = 0x50,
    IdCanRcvId = 0x51,
    IdCanBaudrate = 0x52,
    IdCustomChoise = 0x5A,
    IdCanFrameType = 0x5D,
    IdNearIoValue = 0x61,
    IdIoDelay = 0x62,
    IdDistIoThreshold = 0x63,
    IdFogFeature = 0x64,
    IdOffset = 0x69,
    IdModbusEnable = 0x6F,
    IdModbusDevAddr = 0x70,
    IdDacMapType = 0x71,
};

constexpr uint8_t kHeader = 0x5A;

// Low 8 bits of the sum of n bytes.
uint8_t checksum(const uint8_t *data, std::size_t n);

// 5A, 4 + payload length, id, payload, checksum. A payload longer than 251
// bytes does not fit the length byte and yields an empty array.
QByteArray buildFrame(uint8_t id, const QByteArray &payload = QByteArray());

QByteArray frameU8(uint8_t id, uint8_t value);
QByteArray frameU16(uint8_t id, uint16_t value);
QByteArray frameU32(uint8_t id, uint32_t value);
QByteArray frameU16Pair(uint8_t id, uint16_t first, uint16_t second);

// The 5-byte status acknowledgement: 5A 05 id 00 checksum.
QByteArray statusAck(uint8_t id);

// True when `frame` is a well-formed command frame: header, length byte equal
// to the size, and a matching checksum.
bool isValidFrame(const QByteArray &frame);

} // namespace commandframe

#endif // COMMAND_FRAME_H
