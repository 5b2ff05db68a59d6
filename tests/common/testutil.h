// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <QByteArray>
#include <QString>

// Parses "5A 04 02 60" (spaces optional) into bytes.
QByteArray hexBytes(const QString &text);

#endif
