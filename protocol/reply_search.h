// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REPLY_SEARCH_H
#define REPLY_SEARCH_H

// Reply search used by the query exchange (version, full version, triggered
// measurement) and by the Modbus read exchange: a reply is cut out at a fixed
// length from the first occurrence of its header. Pure byte logic.

#include <QByteArray>

namespace replysearch {

// One examination pass: append `chunk` to `buffer`. Once the buffer holds at
// least `length` bytes and contains `header`, let p be the first occurrence:
// with `length` bytes from p on, the reply is those bytes (written to `out`,
// returns true); otherwise everything before p is dropped. A shorter buffer,
// or one without the header, stays as it is.
bool searchStep(QByteArray &buffer, const QByteArray &chunk, const QByteArray &header,
                int length, QByteArray *out);

} // namespace replysearch

#endif // REPLY_SEARCH_H
