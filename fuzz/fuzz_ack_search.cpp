// SPDX-License-Identifier: GPL-3.0-or-later
// Acknowledgement search of read_ack, fed the way a port delivers bytes.
//
// Input: seed word, chunk mode, ack selector, [ack bytes], stream.
// The selector picks one of the acknowledgements the worker really waits for
// (status acks, echoed command frames, Modbus echoes) or, with its top bit
// set, takes (selector & 0x3F) bytes from the input as the acknowledgement
// (0 gives the empty one, which must never match).
//
// Reference model: a step finds the acknowledgement exactly when the bytes
// read so far contain it; a step that does not find it leaves only the last
// ack.size() bytes of what was read; and the two-read search equals a search
// over both reads joined.

#include "ack_search.h"
#include "command_frame.h"
#include "modbus_frame.h"
#include "fuzz_input.h"

namespace {

QByteArray knownAck(uint8_t sel)
{
    switch (sel % 12) {
    case 0: return commandframe::statusAck(commandframe::IdSoftReset);              // 5A 05 02 00 61
    case 1: return commandframe::statusAck(commandframe::IdSaveSettings);
    case 2: return commandframe::frameU16(commandframe::IdFrameRate, 100);          // echoed frame rate
    case 3: return commandframe::frameU32(commandframe::IdBaudRate, 115200);        // 5A 08 06 00 C2 01 00 2B
    case 4: return commandframe::frameU8(commandframe::IdOutputFormat, 1);
    case 5: return commandframe::frameU16Pair(commandframe::IdIoDelay, 100, 200);   // 5A 08 62 64 00 C8 00 F0
    case 6: return commandframe::statusAck(commandframe::IdModbusEnable);           // 5A 05 6F 00 CE
    case 7: return commandframe::statusAck(commandframe::IdModbusDevAddr);          // 5A 05 70 00 CF
    case 8: return modbusframe::writeRequest(1, modbusframe::RegPower, 1);          // 01 06 00 81 00 01 18 22
    case 9: return modbusframe::writeRequest(1, modbusframe::RegBaudLow, 0xC200);
    case 10: return QByteArray("\x59\x59", 2);                    // half a measurement header
    default: return QByteArray("\x5A", 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fz::Input in(data, size);
    const uint16_t seed = in.word();
    const uint8_t mode = in.byte();
    const uint8_t sel = in.byte();
    const QByteArray ackBytes = (sel & 0x80) ? in.bytes(sel & 0x3F) : knownAck(sel);
    fz::Chunker chunks(in.rest(), seed, mode);
    const QByteArray &stream = chunks.stream();

    // Chunk by chunk, as read_ack would if it had more than two waits.
    QByteArray buffer, seen, chunk, first;
    bool haveFirst = false;
    while (chunks.next(chunk)) {
        if (!haveFirst) {
            first = chunk;
            haveFirst = true;
        }
        seen.append(chunk);
        const bool found = acksearch::searchStep(buffer, chunk, ackBytes);
        const bool expected = fz::find(seen, ackBytes) >= 0;
        fz::check(found == expected, "searchStep disagrees with a search over all bytes read");
        fz::check(acksearch::contains(seen, ackBytes) == expected, "contains disagrees with the reference search");
        if (found)
            break;
        fz::check(buffer.size() <= ackBytes.size(), "buffer kept more than the acknowledgement's length");
        fz::check(buffer == fz::tail(seen, ackBytes.size()), "buffer is not the tail of what was read");
    }

    // The real two waits: the first chunk, then everything after it at once.
    const QByteArray second = stream.mid(first.size());
    const bool two = acksearch::searchTwoReads(first, second, ackBytes);
    fz::check(two == (fz::find(first + second, ackBytes) >= 0),
              "two-read search misses an acknowledgement across the reads");
    return 0;
}
