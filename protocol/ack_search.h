// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ACK_SEARCH_H
#define ACK_SEARCH_H

// Acknowledgement search over the chunks an exchange reads from the port.
// Pure byte logic; `receiver::read_ack` runs it on real reads.

#include <QByteArray>

namespace acksearch {

// True when `ack` occurs as a contiguous sequence anywhere in `buffer`.
// An empty `ack` never matches.
bool contains(const QByteArray &buffer, const QByteArray &ack);

// One wait's worth of work: append `chunk` to `buffer` and search it. When the
// acknowledgement is not there, only the last ack.size() bytes are kept, so a
// partial acknowledgement at the end survives into the next read.
bool searchStep(QByteArray &buffer, const QByteArray &chunk, const QByteArray &ack);

// The whole two-read search of read_ack over two chunks.
bool searchTwoReads(const QByteArray &first, const QByteArray &second, const QByteArray &ack);

} // namespace acksearch

#endif // ACK_SEARCH_H
