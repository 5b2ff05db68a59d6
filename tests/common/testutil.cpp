// SPDX-License-Identifier: GPL-3.0-or-later
#include "testutil.h"

QByteArray hexBytes(const QString &text)
{
    QString compact = text;
    compact.remove(QLatin1Char(' '));
    return QByteArray::fromHex(compact.toLatin1());
}
