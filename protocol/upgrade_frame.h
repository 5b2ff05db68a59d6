// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UPGRADE_FRAME_H
#define UPGRADE_FRAME_H

// Firmware transfer frames: 5A, L, 49, frame index (little-endian), L - 6
// payload bytes, additive checksum. Frame 0 announces the image size, frames
// 1..N carry the image. Pure byte logic, no port.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace upgradeframe {

constexpr unsigned kMinFrameLength = 8;
constexpr unsigned kMaxFrameLength = 255;
constexpr uint32_t kMaxDataFrames = 65535;   // the frame index is 16 bits
constexpr char kFiller = 0x00;

// Payload bytes per frame (L - 6); 0 for a length below 7.
unsigned payloadSize(unsigned frameLength);

// Number of data frames: size / P rounded up. 0 when P is 0.
uint64_t frameCount(uint64_t size, unsigned frameLength);

// Builds a frame of exactly `frameLength` bytes carrying the first P of the
// n given bytes, filler after them. Empty for a length outside 8..255.
QByteArray buildFrame(unsigned frameLength, uint16_t index, const char *data, std::size_t n);

// Frame 0: the image size in payload bytes 0 and 1, low byte first (only the
// low 16 bits of the size fit), filler after them.
QByteArray buildHeader(unsigned frameLength, uint32_t imageSize);

// Why an image of `size` bytes cannot be sent with frames of `frameLength`
// bytes; empty when it can.
QString refusalReason(qint64 size, unsigned frameLength);

// Largest image that fits 65535 data frames of this length.
qint64 maxImageSize(unsigned frameLength);

// Progress is reported after every M-th frame (M = 10 up to 10000 frames,
// 100 above) and after each of the last ten frames.
bool isProgressPoint(uint32_t index, uint32_t total);
float progressValue(uint32_t index, uint32_t total);

// The acknowledgement 5A 05 49 00 (its checksum byte is not examined).
QByteArray ackPattern();

// Plain search over one collected buffer: at least 5 bytes must be there,
// then 5A 05 49 00 anywhere counts.
bool ackFound(const QByteArray &buffer);

// The same search fed chunk by chunk, keeping only the bytes that could still
// start an acknowledgement, so a sensor that streams measurement frames for a
// long time cannot grow the buffer.
class AckScanner
{
public:
    bool feed(const QByteArray &chunk);
    void reset();
    qint64 bytesSeen() const { return seen; }

private:
    QByteArray tail;
    qint64 seen = 0;
};

} // namespace upgradeframe

#endif // UPGRADE_FRAME_H
