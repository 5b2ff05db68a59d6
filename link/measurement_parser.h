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
// two more); after each frame, good or bad, the search resumes one byte after
// its header. Afterwards `buffer` begins at the first byte that may still
// start an unparsed frame, so no frame is parsed twice, a trailing 0x59 (half
// a header) is kept, and the buffer never holds more than 10 bytes.
int parseMeasurementFrames(QByteArray &buffer, QVector<uint16_t> &out);

#endif // MEASUREMENT_PARSER_H
