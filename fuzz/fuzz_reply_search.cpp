// SPDX-License-Identifier: GPL-3.0-or-later
// Reply search of the query exchange (version, full version, triggered
// measurement), run pass by pass over chunks as the exchange reads them.
//
// Input: seed word, chunk mode, query selector, pass limit, [header bytes,
// length], stream. Selectors 0..2 are the three real queries with their pass
// limits (2, 2, 10); with the top bit set the header (1..4 bytes) and the
// reply length (header length .. +63) come from the input, with 1..12 passes.
//
// Reference model: pass k finds the reply exactly when, in everything read so
// far, the first occurrence p of the header has at least `length` bytes from
// p on; the reply is then those bytes. Before the reply is found the buffer is
// always a tail of what was read (bytes are dropped only from the front).
// The decoders of the three replies are checked byte for byte.

#include "query_reply.h"
#include "reply_search.h"
#include "fuzz_input.h"

#include <vector>

namespace {

struct Query {
    QByteArray header;
    int length;
    int passes;
};

void checkDecoders(const QByteArray &reply, uint8_t sel)
{
    if (sel == 0) {
        // Exactly three bytes of room: ASan reports any write past them.
        std::vector<unsigned char> out(3);
        queryreply::decodeVersion(reply, out.data());
        fz::check(out[0] == fz::u8(reply, 5) && out[1] == fz::u8(reply, 4) && out[2] == fz::u8(reply, 3),
                  "version bytes decoded out of order");
        const QString text = queryreply::versionText(out.data());
        fz::check(text == QStringLiteral("%1.%2.%3").arg(out[0]).arg(out[1]).arg(out[2]),
                  "version text");
    } else if (sel == 1) {
        std::vector<unsigned char> out(queryreply::kFullVersionTextBytes);
        queryreply::decodeFullVersion(reply, out.data());
        for (int i = 0; i < queryreply::kFullVersionTextBytes; ++i)
            fz::check(out[size_t(i)] == fz::u8(reply, 3 + i), "full version bytes");
        const QString text = queryreply::fullVersionText(out.data(), int(out.size()));
        fz::check(text.size() <= queryreply::kFullVersionTextBytes, "full version text longer than its bytes");
    } else if (sel == 2) {
        const uint16_t dist = queryreply::decodeTrigger(reply);
        fz::check(dist == fz::u8(reply, 2) + 256 * fz::u8(reply, 3), "triggered distance");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fz::Input in(data, size);
    const uint16_t seed = in.word();
    const uint8_t mode = in.byte();
    const uint8_t sel = in.byte();
    const uint8_t passSel = in.byte();

    Query q;
    if (sel & 0x80) {
        q.header = in.bytes(1 + (sel & 0x03));
        if (q.header.isEmpty())
            return 0;
        q.length = q.header.size() + in.byte() % 64;
        q.passes = 1 + passSel % 12;
    } else if (sel % 3 == 0) {
        q = { queryreply::versionHeader(), queryreply::kVersionLength, queryreply::kVersionPasses };
    } else if (sel % 3 == 1) {
        q = { queryreply::fullVersionHeader(), queryreply::kFullVersionLength, queryreply::kFullVersionPasses };
    } else {
        q = { queryreply::triggerHeader(), queryreply::kTriggerLength, queryreply::kTriggerPasses };
    }
    fz::Chunker chunks(in.rest(), seed, mode);

    QByteArray buffer, seen, chunk, found;
    for (int pass = 1; pass <= q.passes && chunks.next(chunk); ++pass) {
        seen.append(chunk);
        const bool hit = replysearch::searchStep(buffer, chunk, q.header, q.length, &found);

        const int p = fz::find(seen, q.header);
        const bool expected = p >= 0 && seen.size() - p >= q.length;
        fz::check(hit == expected, "reply search disagrees with the first-header rule");
        if (hit) {
            fz::check(found.size() == q.length, "reply has the wrong length");
            fz::check(found == seen.mid(p, q.length), "reply is not cut at the first header");
            if (!(sel & 0x80))
                checkDecoders(found, sel % 3);
            break;
        }
        fz::check(buffer.size() <= seen.size() && buffer == fz::tail(seen, buffer.size()),
                  "buffer is not a tail of the bytes read");
        // Bytes are dropped only once a header was seen, and never the header.
        if (buffer.size() < seen.size())
            fz::check(p >= 0 && buffer.size() == seen.size() - p, "dropped bytes other than those before the first header");
    }
    return 0;
}
