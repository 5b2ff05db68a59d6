// SPDX-License-Identifier: GPL-3.0-or-later
// What tests learn from the simulator about the line, and what it does at the
// moment a request arrives: count it, let answers held back go, or vanish.
// Tests act on these events instead of guessing them with timers.

#include "sim_impl.h"
#include "sim_pty.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace sim {

bool SimSensor::Impl::takeRequest()
{
    ++requestsTaken;
    requestTaken.notify_all();
    if (unplugArmed) {
        unplugArmed = false;
        vanishing = true;
        return false;
    }
    // Answers held for this moment go out before this request is handled.
    std::vector<std::pair<Bytes, AnswerKind>> release;
    release.swap(heldAnswers);
    for (auto &held : release)
        answerNow(std::move(held.first), held.second);
    return true;
}

int SimSensor::requestsTaken() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->requestsTaken;
}

void SimSensor::unplugOnNextRequest()
{
    std::lock_guard<std::mutex> lock(d->m);
    d->unplugArmed = true;
}

void SimSensor::setAnswersHeldUntilNextRequest(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->holdAnswers = on;
    if (!on)
        d->heldAnswers.clear();
}

void SimSensor::setModbusReplyAddress(int addr)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->mbReplyAddr = addr < 0 ? -1 : (addr & 0xFF);
}

size_t SimSensor::bytesTowardsHost() const
{
    std::lock_guard<std::mutex> lock(d->m);
    size_t n = d->out.size() - d->outPos + d->splitQueue.size();
    int unread = 0;
    if (d->slave >= 0 && ioctl(d->slave, TIOCINQ, &unread) == 0 && unread > 0)
        n += static_cast<size_t>(unread);
    return n;
}

size_t SimSensor::bytesUnreadByHost() const
{
    std::lock_guard<std::mutex> lock(d->m);
    int unread = 0;
    if (d->slave >= 0 && ioctl(d->slave, TIOCINQ, &unread) == 0 && unread > 0)
        return static_cast<size_t>(unread);
    return 0;
}

bool SimSensor::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->m);
    return d->requestTaken.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return d->requestsTaken >= count; });
}

uint64_t SimSensor::bytesWritten() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->bytesWritten;
}

} // namespace sim
