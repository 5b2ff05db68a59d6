// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef QUICK_BOUNDS_H
#define QUICK_BOUNDS_H

// Short protocol bounds for the exchanges in which no usable answer comes
// (silence, noise, wrong answers, a device that is gone): the worker then
// gives up after its usual number of waits without the test waiting out the
// protocol's seconds. Never for an exchange that is expected to succeed on
// an answer the test does not control: a loaded machine could make that
// answer miss a short wait. The protocol's own bounds are checked once, at
// their real value, in the tests of the bounds themselves.

#include "protocol_timing.h"

#include <QtGlobal>

namespace quick {

inline ProtocolTiming bounds()
{
    ProtocolTiming t;
    t.ackWaitMs = 40;
    t.replyWaitMs = 40;
    t.triggerWaitMs = 20;
    return t;   // the firmware transfer's bounds stay as they are
}

// The longest an exchange can take without a usable answer under `t`,
// before any margin for slow builds.
inline qint64 commandMs(const ProtocolTiming &t) { return 2 * 2 * qint64(t.ackWaitMs); }      // 2 attempts x 2 waits
inline qint64 queryMs(const ProtocolTiming &t) { return 3 * qint64(t.replyWaitMs); }          // 3 waits
inline qint64 triggerMs(const ProtocolTiming &t) { return 11 * qint64(t.triggerWaitMs); }     // 11 waits
inline qint64 modbusReadMs(const ProtocolTiming &t) { return 3 * qint64(t.replyWaitMs); }     // 3 waits
inline qint64 modbusWriteMs(const ProtocolTiming &t) { return 2 * 2 * qint64(t.ackWaitMs); }  // 2 attempts
inline qint64 modbusBaudMs(const ProtocolTiming &t) { return 2 * modbusWriteMs(t); }          // two writes
inline qint64 modbusFrameMs(const ProtocolTiming &t) { return 5 * 2 * qint64(t.ackWaitMs); }  // 5 attempts

} // namespace quick

#endif // QUICK_BOUNDS_H
