// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement_parser.h"

#include <cstring>

namespace {
constexpr unsigned char kHeaderByte = 0x59;
constexpr unsigned kHeaderSum = 0x59 + 0x59;
// Gap that is scanned byte by byte before handing over to memchr: in a clean
// stream the next header is found within one frame.
constexpr int kShortScan = 16;
} // namespace

int findMeasurementHeader(const char *data, int size, int from)
{
    if (from < 0)
        from = 0;
    const unsigned char *d = reinterpret_cast<const unsigned char *>(data);
    const int shortEnd = from + kShortScan < size - 1 ? from + kShortScan : size - 1;
    int i = from;
    while (i < shortEnd) {
        if (d[i + 1] != kHeaderByte)
            i += 2; // d[i + 1] starts no pair and ends none that starts at i
        else if (d[i] == kHeaderByte)
            return i;
        else
            ++i;
    }
    while (i + 1 < size) {
        // Candidates for the first header byte lie in [i, size - 2].
        const void *hit = std::memchr(d + i, kHeaderByte, static_cast<size_t>(size - 1 - i));
        if (!hit)
            return -1;
        i = static_cast<int>(static_cast<const unsigned char *>(hit) - d);
        if (d[i + 1] == kHeaderByte)
            return i;
        i += 2; // d[i + 1] is no header byte, so no pair starts there
    }
    return -1;
}

namespace {

// Health bookkeeping for one examined header at `pos`; a no-op without health.
inline void countHeader(LineHealth *health, int pos, bool good, int &covered)
{
    if (!health)
        return;
    if (pos < covered) {
        // Inside the frame counted before: a false header, or the stream
        // jumped back into that frame when this one is good.
        if (!good)
            return;
        ++health->goodFrames;
        ++health->resyncs;
        health->inGap = false;
    } else {
        health->strayBytes += quint64(pos - covered);
        if (health->synced && (pos > covered || health->inGap))
            ++health->resyncs;
        if (good)
            ++health->goodFrames;
        else
            ++health->badChecksums;
        health->inGap = false;
    }
    health->synced = true;
    covered = pos + 9;
}

// Bytes [0, removed) leave the buffer: those the last counted frame does not
// cover are stray.
inline void countRemoved(LineHealth *health, int removed, int &covered)
{
    if (!health)
        return;
    if (removed > covered) {
        health->strayBytes += quint64(removed - covered);
        if (health->synced)
            health->inGap = true;
        covered = 0;
    } else {
        covered -= removed;
    }
    health->coveredAhead = covered;
}

// `atEnd`: no byte follows, so a frame is examined once its nine bytes are
// there, and the buffer is emptied.
int parseFrames(QByteArray &buffer, QVector<uint16_t> &out, LineHealth *health, bool atEnd = false)
{
    const char *data = buffer.constData();
    const int size = buffer.size();
    // Room for the worst case (a header at every position) written through a
    // pointer, trimmed to what was found afterwards.
    const int base = out.size();
    const int tail = atEnd ? 8 : 10;
    const int room = size > tail ? size - tail : 0;
    out.resize(base + room);
    uint16_t *w = out.data() + base;
    int found = 0;
    int covered = health ? health->coveredAhead : 0;
    int pos = findMeasurementHeader(data, size, 0);
    while (pos >= 0) {
        // Examined only with two bytes beyond the frame present.
        if (pos + (atEnd ? 9 : 11) > size)
            break;
        const unsigned char *f = reinterpret_cast<const unsigned char *>(data + pos);
        const unsigned sum = kHeaderSum + f[2] + f[3] + f[4] + f[5] + f[6] + f[7];
        const bool good = (sum & 0xFF) == f[8];
        if (good)
            w[found++] = static_cast<uint16_t>(f[3] << 8 | f[2]);
        countHeader(health, pos, good, covered);
        // Two 0x59 among a good frame's bytes are no header: were their
        // "frame" to reach a fitting checksum in the next frame's first
        // byte, it would be a reading the sensor never sent. After a bad
        // frame the next one may begin inside it (bytes were lost).
        pos = findMeasurementHeader(data, size, good ? pos + 9 : pos + 1);
    }
    out.resize(base + found);

    if (atEnd) {
        countRemoved(health, size, covered);
        buffer.truncate(0);
    } else if (pos > 0) {
        // Keep the frame that stopped the scan; it is examined again later.
        countRemoved(health, pos, covered);
        buffer.remove(0, pos);
    } else if (pos < 0) {
        // No header left: every byte has been tried except a trailing 0x59,
        // which may be the first half of a header still arriving.
        if (size > 0 && static_cast<unsigned char>(data[size - 1]) == kHeaderByte) {
            countRemoved(health, size - 1, covered);
            buffer.remove(0, size - 1);
        } else {
            countRemoved(health, size, covered);
            buffer.truncate(0);
        }
    } else {
        countRemoved(health, 0, covered);
    }
    return found;
}

} // namespace

int parseMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out)
{
    return parseFrames(buffer, out, nullptr);
}

int parseMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out, LineHealth &health)
{
    return parseFrames(buffer, out, &health);
}

int finishMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out, LineHealth &health)
{
    return parseFrames(buffer, out, &health, true);
}
