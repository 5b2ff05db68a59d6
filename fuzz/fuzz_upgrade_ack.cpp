// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware transfer: the acknowledgement search fed chunk by chunk (the
// scanner the transfer uses, which keeps only a short tail so a streaming
// sensor cannot grow its buffer) and the frame builder.
//
// Input: seed word, chunk mode, frame length byte, frame index word, stream.
//
// Reference model: after each chunk the acknowledgement counts exactly when
// everything read so far holds at least 5 bytes and contains 5A 05 49 00
// anywhere; the one-buffer search says the same. A built frame is L bytes:
// 5A, L, 49, index low, index high, the first L-6 data bytes, 0x00 filler,
// and the low byte of the sum of the bytes before it.

#include "upgrade_frame.h"
#include "fuzz_input.h"

namespace {

void checkFrame(unsigned L, uint16_t index, const QByteArray &bytes)
{
    const QByteArray frame = upgradeframe::buildFrame(L, index, bytes.constData(), size_t(bytes.size()));
    if (L < 8 || L > 255) {
        fz::check(frame.isEmpty(), "frame built for a length outside 8..255");
        return;
    }
    fz::check(frame.size() == int(L), "frame length");
    fz::check(fz::u8(frame, 0) == 0x5A && fz::u8(frame, 1) == L && fz::u8(frame, 2) == 0x49,
              "frame head");
    fz::check(fz::u8(frame, 3) == (index & 0xFF) && fz::u8(frame, 4) == (index >> 8), "frame index");
    const int payload = int(L) - 6;
    unsigned sum = 0;
    for (int i = 0; i < int(L) - 1; ++i) {
        sum += fz::u8(frame, i);
        if (i >= 5) {
            const int k = i - 5;
            const uint8_t want = k < bytes.size() ? fz::u8(bytes, k) : 0;
            fz::check(fz::u8(frame, i) == want, "payload or filler byte");
        }
    }
    fz::check(fz::u8(frame, int(L) - 1) == (sum & 0xFF), "frame checksum");
    fz::check(upgradeframe::frameCount(uint64_t(bytes.size()), L)
                  == (uint64_t(bytes.size()) + uint64_t(payload) - 1) / uint64_t(payload),
              "frame count");

    const QByteArray header = upgradeframe::buildHeader(L, uint32_t(bytes.size()) * 1021u);
    const uint32_t announced = uint32_t(bytes.size()) * 1021u;
    fz::check(header.size() == int(L) && fz::u8(header, 3) == 0 && fz::u8(header, 4) == 0
                  && fz::u8(header, 5) == (announced & 0xFF) && fz::u8(header, 6) == ((announced >> 8) & 0xFF),
              "header frame");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fz::Input in(data, size);
    const uint16_t seed = in.word();
    const uint8_t mode = in.byte();
    const unsigned L = in.byte();
    const uint16_t index = in.word();
    fz::Chunker chunks(in.rest(), seed, mode);
    const QByteArray &stream = chunks.stream();

    checkFrame(L, index, stream);

    const QByteArray pattern = upgradeframe::ackPattern();
    fz::check(pattern == QByteArray("\x5A\x05\x49\x00", 4), "acknowledgement pattern");

    upgradeframe::AckScanner scanner;
    QByteArray seen, chunk;
    while (chunks.next(chunk)) {
        seen.append(chunk);
        const bool found = scanner.feed(chunk);
        const bool expected = seen.size() >= 5 && fz::find(seen, pattern) >= 0;
        fz::check(found == expected, "scanner disagrees with a search over all bytes read");
        fz::check(upgradeframe::ackFound(seen) == expected, "one-buffer search disagrees with the reference");
        fz::check(scanner.bytesSeen() == seen.size(), "scanner byte count");
        if (found)
            break;
    }
    return 0;
}
