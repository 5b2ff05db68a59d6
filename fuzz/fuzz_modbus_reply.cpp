// SPDX-License-Identifier: GPL-3.0-or-later
// Modbus RTU read exchange: the reply search over at most two passes, the CRC
// check of the reply found and the two decoders; plus the table-driven CRC
// against the bitwise one and the request builders.
//
// Input: seed word, chunk mode, device address, kind (bit 0: distance or
// version; bit 1: append a correct reply for the address at the end of the
// stream), register word, stream.
//
// Reference model: the reply is the first header occurrence with 7 (9) bytes
// after it in what the two passes read; the CRC is right exactly when the
// bitwise CRC-16/MODBUS of its first N-2 bytes equals reply[N-1]*256 +
// reply[N-2]; distance = reply[3]*256 + reply[4]; version text =
// reply[4].reply[5].reply[6].

#include "modbus_frame.h"
#include "reply_search.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fz::Input in(data, size);
    const uint16_t seed = in.word();
    const uint8_t mode = in.byte();
    const uint8_t devAddr = in.byte();
    const uint8_t kind = in.byte();
    const uint16_t word = in.word();
    fz::Chunker chunks(in.rest(), seed, mode);
    const QByteArray &stream = chunks.stream();

    // The table-driven CRC over arbitrary bytes equals the textbook one.
    const auto *raw = reinterpret_cast<const uint8_t *>(stream.constData());
    fz::check(modbusframe::crc16(raw, size_t(stream.size())) == fz::crc16Bitwise(raw, size_t(stream.size())),
              "table CRC differs from the bitwise CRC");

    // Requests carry the CRC of their first six bytes, low byte first.
    const QByteArray reqs[2] = { modbusframe::readRequest(devAddr, word, uint16_t(1 + (kind >> 7))),
                                 modbusframe::writeRequest(devAddr, word, uint16_t(~word)) };
    for (const QByteArray &req : reqs) {
        fz::check(req.size() == 8, "request length");
        const uint16_t c = fz::crc16Bitwise(reinterpret_cast<const uint8_t *>(req.constData()), 6);
        fz::check(fz::u8(req, 6) == (c & 0xFF) && fz::u8(req, 7) == (c >> 8), "request CRC");
        fz::check(modbusframe::replyCrcOk(req), "a request fails its own CRC check");
    }

    const uint16_t count = (kind & 1) ? 2 : 1;
    const int length = modbusframe::readReplyLength(count);
    const QByteArray header = modbusframe::readReplyHeader(devAddr, count);
    fz::check(length == 5 + 2 * count && header.size() == 3 && fz::u8(header, 0) == devAddr
                  && fz::u8(header, 1) == 0x03 && fz::u8(header, 2) == 2 * count,
              "reply header or length");
    if (kind & 2) {
        const QByteArray regs = QByteArray(reinterpret_cast<const char *>(&word), 2).repeated(count);
        const QByteArray good = modbusframe::buildReadReply(devAddr, regs);
        fz::check(good.size() == length && modbusframe::replyCrcOk(good), "built reply fails its CRC check");
        chunks.appendChunk(good);
    }

    // The read exchange: at most two examination passes.
    QByteArray buffer, seen, chunk, reply;
    bool hit = false;
    for (int pass = 1; pass <= 2 && chunks.next(chunk); ++pass) {
        seen.append(chunk);
        hit = replysearch::searchStep(buffer, chunk, header, length, &reply);
        const int p = fz::find(seen, header);
        fz::check(hit == (p >= 0 && seen.size() - p >= length), "Modbus reply search");
        if (hit) {
            fz::check(reply == seen.mid(p, length), "Modbus reply not cut at the first header");
            break;
        }
    }
    if (!hit)
        return 0;

    uint16_t calc = 0, received = 0;
    const bool ok = modbusframe::replyCrcOk(reply, &calc, &received);
    const uint16_t want = fz::crc16Bitwise(reinterpret_cast<const uint8_t *>(reply.constData()),
                                           size_t(length - 2));
    fz::check(calc == want, "computed CRC of the reply");
    fz::check(received == fz::u8(reply, length - 1) * 256 + fz::u8(reply, length - 2), "received CRC");
    fz::check(ok == (calc == received), "CRC verdict");
    if (!ok)
        return 0;
    if (count == 1) {
        fz::check(modbusframe::decodeDistance(reply) == fz::u8(reply, 3) * 256 + fz::u8(reply, 4), "distance");
    } else {
        const QString text = modbusframe::decodeVersion(reply);
        fz::check(text == QStringLiteral("%1.%2.%3").arg(fz::u8(reply, 4)).arg(fz::u8(reply, 5)).arg(fz::u8(reply, 6)),
                  "version text");
    }
    return 0;
}
