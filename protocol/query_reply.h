// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef QUERY_REPLY_H
#define QUERY_REPLY_H

// Reply frames of the three queries (version, full version, triggered
// measurement): their headers, lengths and decoders. Pure byte logic.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace queryreply {

constexpr int kVersionLength = 7;
constexpr int kVersionPasses = 2;
constexpr int kFullVersionLength = 30;
constexpr int kFullVersionPasses = 2;
constexpr int kFullVersionTextBytes = 26;   // reply bytes 3..28
constexpr int kTriggerLength = 9;
constexpr int kTriggerPasses = 10;

QByteArray versionHeader();       // 5A 07 01
QByteArray fullVersionHeader();   // 5A 1E 14
QByteArray triggerHeader();       // 59 59

// Reply bytes 5, 4, 3 into out[0], out[1], out[2].
void decodeVersion(const QByteArray &reply, unsigned char *out);
// Reply bytes 3..28 into out[0..25].
void decodeFullVersion(const QByteArray &reply, unsigned char *out);
// Reply byte 2 + 256 * reply byte 3.
uint16_t decodeTrigger(const QByteArray &reply);

// "b0.b1.b2" in unsigned decimal.
QString versionText(const unsigned char *version);
// The bytes up to the first zero (or all `size` of them), decoded as UTF-8.
QString fullVersionText(const unsigned char *buffer, int size);

} // namespace queryreply

#endif // QUERY_REPLY_H
