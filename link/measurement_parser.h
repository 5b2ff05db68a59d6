// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MEASUREMENT_PARSER_H
#define MEASUREMENT_PARSER_H

// Byte logic of the measurement stream, kept apart from the port so that the
// tests, the benchmarks and the fuzzer reach it directly.
//
// A measurement frame is 9 bytes: 59 59, distance low, distance high, four
// bytes not interpreted, and the low byte of the sum of bytes 0..7.

#include <QByteArray>
#include <QVector>
#include <cstdint>

// Index of the first 0x59 0x59 pair at or after `from`, or -1.
int findMeasurementHeader(const char *data, int size, int from);

// Parses the frames in `buffer`, appends the distances (cm) of those with a
// good checksum to `out` and returns how many it appended. A frame is examined
// only when 11 bytes are present from its first header byte on (the frame and
// two more); the search resumes after a good frame's nine bytes (two 0x59
// among them are no header) and one byte after a bad frame's header. Afterwards `buffer` begins at the first byte that may still
// start an unparsed frame, so no frame is parsed twice, a trailing 0x59 (half
// a header) is kept, and the buffer never holds more than 10 bytes.
int parseMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out);

// The health of the line since the counters were last cleared, kept by the
// companion overload below.
//
// Every header examined (as above) either counts or is passed over. A frame
// "covers" its nine bytes. A header at or after the end of the last counted
// frame counts: as a good frame or as a bad checksum. A header inside a
// counted bad frame (two 0x59 among its bytes) is passed over unless its own
// checksum is good: then the stream really jumped back into the middle of the
// frame before, and it counts as a good frame (the parser returns its
// distance) and as a resynchronisation. No header inside a good frame is
// examined. Bytes that leave the buffer without
// being covered by a counted frame are stray bytes; a run of them between two
// counted frames is one resynchronisation (a run before the first frame, as
// at connect time, is none).
struct LineHealth
{
    quint64 goodFrames = 0;
    quint64 badChecksums = 0;
    quint64 strayBytes = 0;
    quint64 resyncs = 0;

    // Parser state: bytes from the buffer's start on that the last counted
    // frame still covers, whether a frame has been counted, and whether stray
    // bytes have been counted since the last counted frame.
    int coveredAhead = 0;
    bool synced = false;
    bool inGap = false;

    // The share of bad checksums among the frames counted, 0 when none.
    double badShare() const
    {
        const quint64 frames = goodFrames + badChecksums;
        return frames ? double(badChecksums) / double(frames) : 0.0;
    }
    // More than 1 % of the frames with a bad checksum.
    bool poor() const { return badChecksums * 100 > goodFrames + badChecksums; }
};

// As above, returning the same distances, and counts into `health`. The
// parser state in `health` belongs to `buffer`: clear both together.
int parseMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out, LineHealth &health);

// The end of a stream (the device has gone): no byte follows what `buffer`
// holds, so the frames left in it are examined with their nine bytes alone,
// counted and returned like the others, and the buffer is emptied (what is
// left of a frame cut off is stray). After parseMeasurementFrames, at most
// one frame and a false header or two remain to be looked at here.
int finishMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out, LineHealth &health);

#endif // MEASUREMENT_PARSER_H
