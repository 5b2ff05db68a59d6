// SPDX-License-Identifier: GPL-3.0-or-later
// Measurement stream parser fed a byte stream in arbitrary chunks, as reads on
// the port deliver it, checked after every chunk against a reference model.
//
// Input: seed word, chunk mode byte, stream.
//
// Reference model, over the whole stream S: a header is any position h with
// S[h] = S[h+1] = 0x59 that does not lie inside a good frame (one examined
// before it, h' < h < h' + 9, whose checksum holds). Once c bytes have
// arrived, exactly the headers with h + 11 <= c have been examined (the frame
// and two more bytes), each once, in order; those whose byte h+8 equals the low byte of the sum of bytes h..h+7
// gave the distance S[h+3]*256 + S[h+2]. The parser's buffer is then S from
// the first header not yet examined, or, when there is none, only a trailing
// 0x59 (half a header) or nothing: never more than 10 bytes.
//
// Line health, on the same examined headers in order: a header at or after the
// end of the last counted frame counts (good or bad checksum) and covers nine
// bytes; one inside it counts only when good (and is a resynchronisation).
// Stray bytes are the uncovered bytes before the buffer's start; a run of them
// after the first counted frame, ended by a counted frame, is a
// resynchronisation. A second parser, fed the same chunks through the
// counting overload, must return exactly what the first returns. At the end
// of the input the stream ends (finishMeasurementFrames): the headers left with
// their nine bytes are examined by the same rules and the rest is stray.

#include "measurement_parser.h"
#include "fuzz_input.h"

#include <algorithm>
#include <vector>

namespace {

struct Header {
    int at;
    bool good;
    uint16_t dist;
};

std::vector<Header> modelHeaders(const QByteArray &s)
{
    std::vector<Header> headers;
    for (int h = 0; h + 1 < s.size(); ++h) {
        if (fz::u8(s, h) != 0x59 || fz::u8(s, h + 1) != 0x59)
            continue;
        Header hd{h, false, 0};
        if (h + 9 <= s.size()) {
            unsigned sum = 0;
            for (int i = 0; i < 8; ++i)
                sum += fz::u8(s, h + i);
            hd.good = (sum & 0xFF) == fz::u8(s, h + 8);
            hd.dist = uint16_t(fz::u8(s, h + 3) * 256 + fz::u8(s, h + 2));
        }
        headers.push_back(hd);
    }
    return headers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fz::Input in(data, size);
    const uint16_t seed = in.word();
    const uint8_t mode = in.byte();
    fz::Chunker chunks(in.rest(), seed, mode);
    const QByteArray &stream = chunks.stream();

    const std::vector<Header> allHeaders = modelHeaders(stream);
    // Those the parser examines: none inside a good frame.
    std::vector<Header> headers;
    int goodEnd = 0;
    for (const Header &h : allHeaders) {
        if (h.at < goodEnd)
            continue;
        headers.push_back(h);
        if (h.good)
            goodEnd = h.at + 9;
    }

    // The header search itself, from the starts the parser uses (0 and one
    // byte after each header) and from a few others, against the model.
    auto firstFrom = [&](int from) {
        const auto it = std::lower_bound(allHeaders.begin(), allHeaders.end(), from,
                                         [](const Header &h, int f) { return h.at < f; });
        return it == allHeaders.end() ? -1 : it->at;
    };
    auto checkSearch = [&](int from) {
        fz::check(findMeasurementHeader(stream.constData(), stream.size(), from) == firstFrom(from),
                  "header search");
    };
    checkSearch(0);
    checkSearch(stream.size() / 2);
    checkSearch(stream.size());
    for (const Header &h : headers)
        checkSearch(h.at + (h.good ? 9 : 1));

    QByteArray buffer;
    QVector<uint16_t> out;
    QByteArray countedBuffer;
    QVector<uint16_t> countedOut;
    LineHealth health;
    struct {
        quint64 good = 0, bad = 0, stray = 0, resyncs = 0;
        int covered = 0, accounted = 0;
        bool synced = false, inGap = false;
    } m;
    auto accountUpTo = [&m](int x) {
        const int from = std::max(m.accounted, m.covered);
        if (x > from) {
            m.stray += quint64(x - from);
            if (m.synced)
                m.inGap = true;
        }
        m.accounted = std::max(m.accounted, x);
    };
    std::vector<uint16_t> expected;
    size_t examined = 0;   // headers examined so far, in the model
    int arrived = 0;
    QByteArray chunk;
    while (chunks.next(chunk)) {
        arrived += chunk.size();
        buffer.append(chunk);
        const int before = out.size();
        const int n = parseMeasurementFrames(buffer, out);
        countedBuffer.append(chunk);
        const int counted = parseMeasurementFrames(countedBuffer, countedOut, health);
        fz::check(counted == n && countedOut == out && countedBuffer == buffer,
                  "the counting parser returns other distances");

        int expectedNew = 0;
        while (examined < headers.size() && headers[examined].at + 11 <= arrived) {
            const Header &hd = headers[examined];
            if (hd.good) {
                expected.push_back(hd.dist);
                ++expectedNew;
            }
            if (hd.at < m.covered) {
                if (hd.good) {
                    ++m.good;
                    ++m.resyncs;
                    m.inGap = false;
                    m.synced = true;
                    m.covered = hd.at + 9;
                }
            } else {
                const bool gap = hd.at > std::max(m.accounted, m.covered);
                accountUpTo(hd.at);
                if (m.synced && (gap || m.inGap))
                    ++m.resyncs;
                ++(hd.good ? m.good : m.bad);
                m.inGap = false;
                m.synced = true;
                m.covered = hd.at + 9;
            }
            ++examined;
        }
        fz::check(n == expectedNew && out.size() - before == n, "count of distances in one read");
        fz::check(size_t(out.size()) == expected.size(), "total count of distances");
        for (size_t i = size_t(before); i < expected.size(); ++i)
            fz::check(out[int(i)] == expected[i], "distance value or order");

        // What the buffer must hold now.
        int start;
        if (examined < headers.size() && headers[examined].at + 2 <= arrived)
            start = headers[examined].at;
        else if (arrived > 0 && fz::u8(stream, arrived - 1) == 0x59)
            start = arrived - 1;
        else
            start = arrived;
        fz::check(buffer.size() <= 10, "buffer holds more than 10 bytes");
        accountUpTo(start);
        fz::check(health.goodFrames == m.good && health.badChecksums == m.bad, "frame counts");
        fz::check(health.strayBytes == m.stray, "stray byte count");
        fz::check(health.resyncs == m.resyncs, "resynchronisation count");
        fz::check(buffer == stream.mid(start, arrived - start), "buffer does not begin at the first unparsed frame");
    }

    // The end of the stream: the headers not yet examined that have their nine
    // bytes are examined now, and every byte left leaves the buffer.
    QVector<uint16_t> last;
    finishMeasurementFrames(countedBuffer, last, health);
    QVector<uint16_t> expectedLast;
    for (; examined < headers.size() && headers[examined].at + 9 <= arrived; ++examined) {
        const Header &hd = headers[examined];
        if (hd.good)
            expectedLast.push_back(hd.dist);
        if (hd.at < m.covered) {
            if (hd.good) {
                ++m.good;
                ++m.resyncs;
                m.inGap = false;
                m.synced = true;
                m.covered = hd.at + 9;
            }
            continue;
        }
        const bool gap = hd.at > std::max(m.accounted, m.covered);
        accountUpTo(hd.at);
        if (m.synced && (gap || m.inGap))
            ++m.resyncs;
        ++(hd.good ? m.good : m.bad);
        m.inGap = false;
        m.synced = true;
        m.covered = hd.at + 9;
    }
    accountUpTo(arrived);
    fz::check(last == expectedLast, "distances at the end of the stream");
    fz::check(countedBuffer.isEmpty(), "buffer left at the end of the stream");
    fz::check(health.goodFrames == m.good && health.badChecksums == m.bad, "frame counts at the end");
    fz::check(health.strayBytes == m.stray, "stray byte count at the end");
    fz::check(health.resyncs == m.resyncs, "resynchronisation count at the end");
    return 0;
}
