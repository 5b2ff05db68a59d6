// Measurement stream parser fed a byte stream in arbitrary chunks, as reads on
// the port deliver it, checked after every chunk against a reference model.
//
// Input: seed word, chunk mode byte, stream.
//
// Reference model, over the whole stream S: a header is any position h with
// S[h] = S[h+1] = 0x59. Once c bytes have arrived, exactly the headers with
// h + 11 <= c have been examined (the frame and two more bytes), each once, in
// order; those whose byte h+8 equals the low byte of the sum of bytes h..h+7
// gave the distance S[h+3]*256 + S[h+2]. The parser's buffer is then S from
// the first header not yet examined, or, when there is none, only a trailing
// 0x59 (half a header) or nothing: never more than 10 bytes.

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

    const std::vector<Header> headers = modelHeaders(stream);

    // The header search itself, from the starts the parser uses (0 and one
    // byte after each header) and from a few others, against the model.
    auto firstFrom = [&](int from) {
        const auto it = std::lower_bound(headers.begin(), headers.end(), from,
                                         [](const Header &h, int f) { return h.at < f; });
        return it == headers.end() ? -1 : it->at;
    };
    auto checkSearch = [&](int from) {
        fz::check(findMeasurementHeader(stream.constData(), stream.size(), from) == firstFrom(from),
                  "header search");
    };
    checkSearch(0);
    checkSearch(stream.size() / 2);
    checkSearch(stream.size());
    for (const Header &h : headers)
        checkSearch(h.at + 1);

    QByteArray buffer;
    QVector<uint16_t> out;
    std::vector<uint16_t> expected;
    size_t examined = 0;   // headers examined so far, in the model
    int arrived = 0;
    QByteArray chunk;
    while (chunks.next(chunk)) {
        arrived += chunk.size();
        buffer.append(chunk);
        const int before = out.size();
        const int n = parseMeasurementFrames(buffer, out);

        int expectedNew = 0;
        while (examined < headers.size() && headers[examined].at + 11 <= arrived) {
            if (headers[examined].good) {
                expected.push_back(headers[examined].dist);
                ++expectedNew;
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
        fz::check(buffer == stream.mid(start, arrived - start), "buffer does not begin at the first unparsed frame");
    }
    return 0;
}
