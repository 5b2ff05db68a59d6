// SPDX-License-Identifier: GPL-3.0-or-later
#include "ack_search.h"

namespace acksearch {

bool contains(const QByteArray &buffer, const QByteArray &ack)
{
    return !ack.isEmpty() && buffer.indexOf(ack) >= 0;
}

bool searchStep(QByteArray &buffer, const QByteArray &chunk, const QByteArray &ack)
{
    buffer.append(chunk);
    if (contains(buffer, ack))
        return true;
    if (buffer.size() > ack.size())
        buffer = buffer.right(ack.size());
    return false;
}

bool searchTwoReads(const QByteArray &first, const QByteArray &second, const QByteArray &ack)
{
    QByteArray buffer;
    if (searchStep(buffer, first, ack))
        return true;
    return searchStep(buffer, second, ack);
}

} // namespace acksearch
