// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROTOCOL_TIMING_H
#define PROTOCOL_TIMING_H

// How long the worker waits for the sensor, in one place. The defaults are the
// protocol's own bounds and the viewer always runs with them; only tests
// shorten them, to run the no-answer cases without waiting out seconds.
struct ProtocolTiming
{
    int ackWaitMs = 1000;         // each of the two waits for an acknowledgement
    int replyWaitMs = 2000;       // each wait for a query or Modbus read reply
    int triggerWaitMs = 2000;     // each wait for a triggered measurement (11 waits: 22 s)
    int upgradeAckBoundMs = 3000; // one firmware frame's acknowledgement, over all its waits
    int upgradeWaitStepMs = 1000; // the longest single wait inside that bound

    bool operator==(const ProtocolTiming &o) const
    {
        return ackWaitMs == o.ackWaitMs && replyWaitMs == o.replyWaitMs
            && triggerWaitMs == o.triggerWaitMs && upgradeAckBoundMs == o.upgradeAckBoundMs
            && upgradeWaitStepMs == o.upgradeWaitStepMs;
    }
    bool operator!=(const ProtocolTiming &o) const { return !(*this == o); }
};

#endif // PROTOCOL_TIMING_H
