// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FUZZ_INPUT_H
#define FUZZ_INPUT_H

// Shared plumbing of the fuzz targets: reading a few parameter bytes off the
// front of an input, cutting the rest into the chunks a serial port would
// deliver, and a byte search that does not go through Qt, so that the
// reference models check the code under test against something independent.

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fz {

// Aborts with a message: libFuzzer records the input as a crash.
[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}

// Reads parameters from the front of the input, zero once it runs out.
class Input
{
public:
    Input(const uint8_t *data, std::size_t size) : p(data), n(size) {}

    uint8_t byte() { return n ? (--n, *p++) : 0; }
    uint16_t word()
    {
        const uint16_t lo = byte();
        return uint16_t(lo | (byte() << 8));
    }
    // Up to `count` bytes, fewer when the input runs out.
    QByteArray bytes(std::size_t count)
    {
        count = std::min(count, n);
        QByteArray out(reinterpret_cast<const char *>(p), int(count));
        p += count;
        n -= count;
        return out;
    }
    QByteArray rest() { return bytes(n); }

private:
    const uint8_t *p;
    std::size_t n;
};

// Cuts the rest of an input into the chunks a serial port would deliver.
// Mode byte with the top bit clear: the bytes are the stream, and a small
// generator seeded by the seed word cuts it into chunks of 0..(mode + 1)
// bytes, so one word picks among thousands of ways to split the same bytes.
// Top bit set: the chunk lengths are in the input, each chunk being one length
// byte and that many stream bytes, which lets the fuzzer place every boundary
// itself. Empty chunks stand for waits that brought nothing.
class Chunker
{
public:
    Chunker(const QByteArray &raw, uint16_t seed, uint8_t mode)
        : state(0x9E3779B9u ^ (uint32_t(seed) * 0x85EBCA6Bu)), max(1u + (mode & 0x7F)),
          explicitLengths(mode & 0x80)
    {
        if (!state)
            state = 1;
        if (!explicitLengths) {
            data = raw;
        } else {
            for (int i = 0; i < raw.size();) {
                const int len = std::min(int(uint8_t(raw[i])), raw.size() - i - 1);
                ends.push_back(data.size() + len);
                data.append(raw.constData() + i + 1, len);
                i += 1 + len;
            }
        }
        budget = 2 * data.size() + 8;
    }

    // Bytes that arrive after everything else, as one more chunk.
    void appendChunk(const QByteArray &bytes)
    {
        data.append(bytes);
        if (explicitLengths)
            ends.push_back(data.size());
        budget += 2 * bytes.size();
    }

    // Everything the chunks carry, joined: the stream the models look at.
    const QByteArray &stream() const { return data; }

    // False once the stream is used up (or, against endless empty chunks,
    // once the chunk budget is spent; the remainder then comes in one piece).
    bool next(QByteArray &chunk)
    {
        if (explicitLengths) {
            if (chunkIndex >= ends.size())
                return false;
            const int end = ends[chunkIndex++];
            chunk = data.mid(pos, end - pos);
            pos = end;
            return true;
        }
        if (pos >= data.size())
            return false;
        int len = int(nextRandom() % (max + 1));
        if (--budget <= 0)
            len = data.size() - pos;
        len = std::min(len, data.size() - pos);
        chunk = data.mid(pos, len);
        pos += len;
        return true;
    }

private:
    uint32_t nextRandom()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }

    QByteArray data;
    std::vector<int> ends;
    std::size_t chunkIndex = 0;
    int pos = 0;
    uint32_t state;
    unsigned max;
    bool explicitLengths;
    int budget = 0;
};

// Index of the first occurrence of `needle` in `hay` at or after `from`, or -1;
// an empty needle is never found (the protocol never searches for nothing).
inline int find(const QByteArray &hay, const QByteArray &needle, int from = 0)
{
    if (needle.isEmpty() || from < 0 || from > hay.size())
        return -1;
    const char *b = hay.constData();
    const char *e = b + hay.size();
    const char *it = std::search(b + from, e, needle.constData(), needle.constData() + needle.size());
    return it == e ? -1 : int(it - b);
}

// The last `count` bytes (all of them when there are fewer), copied by hand.
inline QByteArray tail(const QByteArray &bytes, int count)
{
    const int n = std::min(count, bytes.size());
    return QByteArray(bytes.constData() + (bytes.size() - n), n);
}

// CRC-16/MODBUS bit by bit (reflected polynomial 0xA001, initial 0xFFFF):
// the textbook form, to check the table-driven one against.
inline uint16_t crc16Bitwise(const uint8_t *data, std::size_t n)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

inline uint8_t u8(const QByteArray &bytes, int i)
{
    return uint8_t(bytes.at(i));
}

} // namespace fz

#endif // FUZZ_INPUT_H
