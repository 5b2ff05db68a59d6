// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UPGRADE_WAIT_H
#define UPGRADE_WAIT_H

// The firmware transfer's wait for one frame's acknowledgement, as decisions
// without a port: how long the next single wait may last, and what follows
// from what a wait left behind. `awaitUpgradeAck` (protocol/upgrade.cpp) runs
// them on the real port.

#include <QSerialPort>
#include <QtGlobal>

namespace upgradeframe {

enum class AckWait {
    Acknowledged, // the acknowledgement is in: the frame is taken
    KeepWaiting,  // nothing yet, time is left: wait again
    PortFailed,   // the port is closed or reported an error: no acknowledgement can come
    Cancelled,    // the transfer was asked to stop (the window closes)
    OutOfTime,    // the frame's bound is used up
};

// What one wait left behind.
struct AckWaitState {
    bool acknowledged = false;
    bool cancelRequested = false;
    bool portOpen = true;
    // The port's error after the wait (cleared before it). A wait that runs
    // out reports TimeoutError; that is no fault of the port.
    QSerialPort::SerialPortError portError = QSerialPort::NoError;
    qint64 elapsedMs = 0; // since the frame was written
};

// True for every error but NoError and TimeoutError. A port in error makes
// each further wait return at once without data, so waiting on would only
// spin until the bound.
bool portErrorEndsWait(QSerialPort::SerialPortError error);

// The decision after a wait. An acknowledgement that arrived counts even if
// the port failed or a cancel came in after it; otherwise a cancel comes
// first, then a failed port, then the bound.
AckWait afterWait(const AckWaitState &state, int boundMs);

// Length of the next single wait: what is left of the bound, at most
// `stepMs` (so that a cancel is seen within one step), 0 when nothing is left.
int nextWaitMs(qint64 elapsedMs, int boundMs, int stepMs);

} // namespace upgradeframe

#endif // UPGRADE_WAIT_H
