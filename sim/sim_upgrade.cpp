// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware transfer: frames 5A L 49 idx_lo idx_hi payload cs. Frame 0 announces
// the image size (low 16 bits), frames 1..N carry the image in order.

#include "sim_impl.h"

namespace sim {

void SimSensor::Impl::handleUpgrade(const Bytes &frame)
{
    if (frame.size() < 6)
        return;
    const int index = frame[3] | frame[4] << 8;
    const int payload = static_cast<int>(frame.size()) - 6;
    const auto first = frame.begin() + 5;
    const auto last = frame.end() - 1;

    if (index == 0) {
        upgActive = true;
        upgError = false;
        upgNextIndex = 1;
        upgFrames = 1;
        upgPayload = payload;
        upgData.clear();
        upgAnnounced = payload >= 2 ? static_cast<uint16_t>(frame[5] | frame[6] << 8) : 0;
    } else if (!upgActive || index != upgNextIndex || payload != upgPayload) {
        // Out of order or a different framing: the image is spoilt and the
        // sensor keeps quiet, so the host runs into its acknowledgement bound.
        upgError = true;
        upgActive = false;
        return;
    } else {
        upgData.insert(upgData.end(), first, last);
        ++upgNextIndex;
        ++upgFrames;
    }

    // Whoever waits for this frame learns of it now, before the answer.
    upgFrameArrived.notify_all();

    const bool struck = upgFault != UpgradeFault::None && upgFaultAt >= 0 && index >= upgFaultAt;
    if (struck && upgFault == UpgradeFault::Vanish) {
        upgFault = UpgradeFault::None; // a device that comes back does not vanish again
        vanishing = true;              // the thread drops the line after this frame
        return;
    }
    if (struck && upgFault == UpgradeFault::StopAck)
        return;
    const bool wrong = upgWrongAck || (struck && upgFault == UpgradeFault::WrongAck);

    const bool complete = upgData.size() >= upgAnnounced;
    if (upgStopAckAt >= 0 && index >= upgStopAckAt)
        return;
    if (complete && !upgAckLast)
        return;
    Bytes ack = {0x5A, 0x05, 0x49, static_cast<uint8_t>(wrong ? 0x01 : 0x00)};
    appendSum(ack);
    answer(ack, AnswerKind::UpgradeAck);
}

Bytes SimSensor::Impl::reassembledImage() const
{
    // The header carries only the low 16 bits of the size. The true size is
    // the one congruent to it that lies within the last frame's payload.
    const size_t total = upgData.size();
    if (total == 0 || upgPayload <= 0)
        return upgData;
    size_t size = upgAnnounced;
    while (size + 65536 <= total)
        size += 65536;
    if (size > total || size + static_cast<size_t>(upgPayload) <= total)
        return upgData; // incomplete or inconsistent: keep every payload byte
    return Bytes(upgData.begin(), upgData.begin() + static_cast<long>(size));
}

} // namespace sim
