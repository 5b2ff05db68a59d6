// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade_frame.h"
#include "command_frame.h"

namespace upgradeframe {

unsigned payloadSize(unsigned frameLength)
{
    return frameLength > 6 ? frameLength - 6 : 0;
}

uint64_t frameCount(uint64_t size, unsigned frameLength)
{
    const unsigned p = payloadSize(frameLength);
    if (p == 0)
        return 0;
    return size / p + (size % p ? 1 : 0);
}

QByteArray buildFrame(unsigned frameLength, uint16_t index, const char *data, std::size_t n)
{
    if (frameLength < kMinFrameLength || frameLength > kMaxFrameLength)
        return QByteArray();
    const unsigned p = payloadSize(frameLength);
    QByteArray frame(int(frameLength), kFiller);
    frame[0] = char(commandframe::kHeader);
    frame[1] = char(frameLength & 0xFF);
    frame[2] = char(commandframe::IdUpgrade);
    frame[3] = char(index & 0xFF);
    frame[4] = char(index >> 8);
    const std::size_t carried = n < p ? n : p;
    for (std::size_t i = 0; i < carried; ++i)
        frame[int(5 + i)] = data[i];
    frame[int(frameLength - 1)] = char(commandframe::checksum(
        reinterpret_cast<const uint8_t *>(frame.constData()), frameLength - 1));
    return frame;
}

QByteArray buildHeader(unsigned frameLength, uint32_t imageSize)
{
    const char size[2] = { char(imageSize & 0xFF), char((imageSize >> 8) & 0xFF) };
    return buildFrame(frameLength, 0, size, 2);
}

qint64 maxImageSize(unsigned frameLength)
{
    return qint64(kMaxDataFrames) * payloadSize(frameLength);
}

QString refusalReason(qint64 size, unsigned frameLength)
{
    if (frameLength < kMinFrameLength || frameLength > kMaxFrameLength)
        return QStringLiteral("frame length %1 outside %2..%3")
            .arg(frameLength).arg(kMinFrameLength).arg(kMaxFrameLength);
    if (size < 0)
        return QStringLiteral("size unknown");
    if (size > maxImageSize(frameLength))
        return QStringLiteral("%1 bytes need %2 frames, at most %3 fit the frame index")
            .arg(size).arg(frameCount(uint64_t(size), frameLength)).arg(kMaxDataFrames);
    return QString();
}

bool isProgressPoint(uint32_t index, uint32_t total)
{
    if (index == 0 || index > total)
        return false;
    const uint32_t m = total <= 10000 ? 10 : 100;
    return index % m == 0 || uint64_t(index) + 10 > total;
}

float progressValue(uint32_t index, uint32_t total)
{
    if (total == 0)
        return 1.0f;
    return float(double(index) / double(total));
}

QByteArray ackPattern()
{
    return QByteArray("\x5A\x05\x49\x00", 4);
}

bool ackFound(const QByteArray &buffer)
{
    return buffer.size() >= 5 && buffer.indexOf(ackPattern()) >= 0;
}

bool AckScanner::feed(const QByteArray &chunk)
{
    tail.append(chunk);
    seen += chunk.size();
    // The pattern alone does not count yet: a fifth byte has to have arrived.
    if (seen >= 5 && tail.indexOf(ackPattern()) >= 0)
        return true;
    // Keep what may still become (or, before the fifth byte, already is) a
    // pattern: its last four bytes.
    if (tail.size() > 4)
        tail = tail.right(4);
    return false;
}

void AckScanner::reset()
{
    tail.clear();
    seen = 0;
}

} // namespace upgradeframe
