// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade_wait.h"

namespace upgradeframe {

bool portErrorEndsWait(QSerialPort::SerialPortError error)
{
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

AckWait afterWait(const AckWaitState &state, int boundMs)
{
    if (state.acknowledged)
        return AckWait::Acknowledged;
    if (state.cancelRequested)
        return AckWait::Cancelled;
    if (!state.portOpen || portErrorEndsWait(state.portError))
        return AckWait::PortFailed;
    if (state.elapsedMs >= boundMs)
        return AckWait::OutOfTime;
    return AckWait::KeepWaiting;
}

int nextWaitMs(qint64 elapsedMs, int boundMs, int stepMs)
{
    const qint64 left = qint64(boundMs) - elapsedMs;
    if (left <= 0)
        return 0;
    return int(qMin<qint64>(left, qMax(stepMs, 1)));
}

} // namespace upgradeframe
