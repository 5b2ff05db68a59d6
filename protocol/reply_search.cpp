// SPDX-License-Identifier: GPL-3.0-or-later
#include "reply_search.h"

namespace replysearch {

bool searchStep(QByteArray &buffer, const QByteArray &chunk, const QByteArray &header,
                int length, QByteArray *out)
{
    buffer.append(chunk);
    if (header.isEmpty() || length < header.size() || buffer.size() < length)
        return false;
    const int p = buffer.indexOf(header);
    if (p < 0)
        return false;
    if (buffer.size() - p >= length) {
        if (out)
            *out = buffer.mid(p, length);
        return true;
    }
    // Bytes before a header are dropped only once a header has been seen.
    buffer.remove(0, p);
    return false;
}

} // namespace replysearch
