#include "measurement_parser.h"

#include <cstring>

namespace {
constexpr unsigned char kHeaderByte = 0x59;
constexpr unsigned kHeaderSum = 0x59 + 0x59;
} // namespace

int findMeasurementHeader(const char *data, int size, int from)
{
    if (from < 0)
        from = 0;
    while (from + 1 < size) {
        // Candidates for the first header byte lie in [from, size - 2].
        const void *hit = std::memchr(data + from, kHeaderByte, static_cast<size_t>(size - 1 - from));
        if (!hit)
            return -1;
        const int i = static_cast<int>(static_cast<const char *>(hit) - data);
        if (static_cast<unsigned char>(data[i + 1]) == kHeaderByte)
            return i;
        from = i + 2; // data[i + 1] is no header byte, so no pair starts there
    }
    return -1;
}

int parseMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out)
{
    const char *data = buffer.constData();
    const int size = buffer.size();
    int found = 0;
    int pos = findMeasurementHeader(data, size, 0);
    while (pos >= 0) {
        // Examined only with two bytes beyond the frame present.
        if (pos + 10 >= size)
            break;
        const unsigned char *f = reinterpret_cast<const unsigned char *>(data + pos);
        const unsigned sum = kHeaderSum + f[2] + f[3] + f[4] + f[5] + f[6] + f[7];
        if ((sum & 0xFF) == f[8]) {
            out.append(static_cast<uint16_t>(f[3] << 8 | f[2]));
            ++found;
        }
        pos = findMeasurementHeader(data, size, pos + 1);
    }

    if (pos > 0) {
        // Keep the frame that stopped the scan; it is examined again later.
        buffer.remove(0, pos);
    } else if (pos < 0) {
        // No header left: every byte has been tried except a trailing 0x59,
        // which may be the first half of a header still arriving.
        if (size > 0 && static_cast<unsigned char>(data[size - 1]) == kHeaderByte)
            buffer.remove(0, size - 1);
        else
            buffer.truncate(0);
    }
    return found;
}
