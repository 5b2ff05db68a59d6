// SPDX-License-Identifier: GPL-3.0-or-later
#include "query_reply.h"

namespace queryreply {

QByteArray versionHeader()
{
    return QByteArray("\x5A\x07\x01", 3);
}

QByteArray fullVersionHeader()
{
    return QByteArray("\x5A\x1E\x14", 3);
}

QByteArray triggerHeader()
{
    return QByteArray("\x59\x59", 2);
}

void decodeVersion(const QByteArray &reply, unsigned char *out)
{
    if (!out || reply.size() < 6)
        return;
    out[0] = uchar(reply[5]);
    out[1] = uchar(reply[4]);
    out[2] = uchar(reply[3]);
}

void decodeFullVersion(const QByteArray &reply, unsigned char *out)
{
    if (!out || reply.size() < 3 + kFullVersionTextBytes)
        return;
    for (int i = 0; i < kFullVersionTextBytes; ++i)
        out[i] = uchar(reply[3 + i]);
}

uint16_t decodeTrigger(const QByteArray &reply)
{
    if (reply.size() < 4)
        return 0;
    return uint16_t(uchar(reply[2]) + 256u * uchar(reply[3]));
}

QString versionText(const unsigned char *version)
{
    return QStringLiteral("%1.%2.%3").arg(uint(version[0])).arg(uint(version[1])).arg(uint(version[2]));
}

QString fullVersionText(const unsigned char *buffer, int size)
{
    int n = 0;
    while (n < size && buffer[n] != 0)
        ++n;
    return QString::fromUtf8(reinterpret_cast<const char *>(buffer), n);
}

} // namespace queryreply
