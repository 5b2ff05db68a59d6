// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's thread: one poll() loop that reads what the host writes,
// answers it, paces the measurement stream and writes everything out through
// the non-blocking pty master.

#include "sim_impl.h"
#include "sim_pacing.h"
#include "sim_pty.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
// A reader that leaves the line discipline full this long, taking nothing,
// is not reading (the port is closed, or the program hangs): the stream's
// frames then go into the void, as a sensor's UART sends them, instead of
// queueing up as stale readings for whoever opens the port next. Long
// enough that a reader starved of the processor on a busy machine still
// counts as reading.
constexpr auto kStallLimit = std::chrono::milliseconds(1000);
constexpr int kStallQueue = 3072;

int msUntil(Clock::time_point now, Clock::time_point when)
{
    if (when <= now)
        return 0;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(when - now).count();
    return static_cast<int>((us + 999) / 1000);
}
} // namespace

void SimSensor::Impl::wake()
{
    if (wakeWrite >= 0) {
        const char c = 1;
        ssize_t n = ::write(wakeWrite, &c, 1);
        (void)n;
    }
}

void SimSensor::Impl::enqueue(const Bytes &bytes)
{
    if (outPos > 0 && outPos == out.size()) {
        out.clear();
        outPos = 0;
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
    queuedTotal += bytes.size();
}

void SimSensor::Impl::frameSent(uint16_t cm, uint64_t number, bool binary)
{
    if (frameLogOn) {
        frameLog.push_back(cm);
        frameNumbers.push_back(number);
    }
    if (!binary)
        return;
    ++framesSent;
    if (sentLog.size() < kMaxSentLog)
        sentLog.push_back(cm);
}

void SimSensor::Impl::frameDropped(uint16_t cm)
{
    ++framesDropped;
    if (frameLogOn)
        dropLog.push_back(cm);
}

void SimSensor::Impl::taken(size_t count)
{
    outPos += count;
    takenTotal += count;
    while (!queuedFrames.empty() && queuedFrames.front().end <= takenTotal) {
        frameSent(queuedFrames.front().cm, queuedFrames.front().number, queuedFrames.front().binary);
        queuedFrames.pop_front();
    }
}

void SimSensor::Impl::dropWaiting()
{
    for (const QueuedFrame &f : queuedFrames)
        frameDropped(f.cm);
    queuedFrames.clear();
    takenTotal = queuedTotal;
    out.clear();
    outPos = 0;
}

void SimSensor::Impl::dropQueuedFrames()
{
    // The frames are in `out` in order; the first may have begun to leave.
    Bytes kept(out.begin() + static_cast<long>(outPos), out.end());
    std::deque<QueuedFrame> keptFrames;
    uint64_t removed = 0;
    Bytes rest;
    rest.reserve(kept.size());
    uint64_t pos = takenTotal;   // position of kept[0]
    size_t i = 0;
    for (const QueuedFrame &f : queuedFrames) {
        if (f.start < takenTotal) {
            keptFrames.push_back(f);
            continue;
        }
        const size_t from = static_cast<size_t>(f.start - pos);
        rest.insert(rest.end(), kept.begin() + static_cast<long>(i), kept.begin() + static_cast<long>(from));
        i = static_cast<size_t>(f.end - pos);
        removed += f.end - f.start;
        frameDropped(f.cm);
    }
    rest.insert(rest.end(), kept.begin() + static_cast<long>(i), kept.end());
    out.swap(rest);
    outPos = 0;
    queuedTotal -= removed;
    queuedFrames.swap(keptFrames);
}

void SimSensor::Impl::schedule(int delayMs, const Bytes &bytes)
{
    scheduled.push_back({clock() + std::chrono::milliseconds(delayMs), bytes});
}

void SimSensor::Impl::releaseDue(Clock::time_point now)
{
    // Keep the order in which delayed answers were scheduled.
    for (auto it = scheduled.begin(); it != scheduled.end();) {
        if (it->due <= now) {
            enqueue(it->bytes);
            it = scheduled.erase(it);
        } else {
            ++it;
        }
    }
    if (!splitQueue.empty() && now >= nextPiece) {
        static const size_t pieces[] = {1, 4, 7, 2, 9, 3, 11, 5};
        const size_t n = std::min(splitQueue.size(), pieces[splitStep++ % 8]);
        enqueue(Bytes(splitQueue.begin(), splitQueue.begin() + static_cast<long>(n)));
        splitQueue.erase(splitQueue.begin(), splitQueue.begin() + static_cast<long>(n));
        nextPiece = now + std::chrono::microseconds(700);
    }
}

void SimSensor::Impl::flushOut(Clock::time_point now)
{
    // A reader that took anything since the last pass is reading, however
    // full the line is after each write (a fast stream fills it every pass).
    int queuedBefore = 0;
    if (slave >= 0 && ioctl(slave, TIOCINQ, &queuedBefore) == 0 && queuedBefore < queuedAfterWrite) {
        stalled = false;
        notReading = false;
    }
    // Bytes that leave while the host listens at another rate arrive as
    // noise, whenever they were made.
    if (master >= 0 && outPos < out.size() && !hostRateMatches()) {
        // No frame reaches a host that listens at another rate.
        for (const QueuedFrame &f : queuedFrames)
            frameDropped(f.cm);
        queuedFrames.clear();
        std::uniform_int_distribution<int> anyByte(0, 255);
        for (size_t i = outPos; i < out.size(); ++i) {
            const int b = anyByte(rng);
            out[i] = static_cast<uint8_t>(b == 0x59 ? 0x58 : b);
        }
    }
    while (master >= 0 && outPos < out.size()) {
        const ssize_t n = ::write(master, out.data() + outPos, out.size() - outPos);
        if (n > 0) {
            taken(static_cast<size_t>(n));
            bytesWritten += static_cast<uint64_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                dropWaiting(); // line gone
            break;
        }
    }
    if (outPos == out.size()) {
        out.clear();
        outPos = 0;
    } else if (outPos > 65536) {
        out.erase(out.begin(), out.begin() + static_cast<long>(outPos));
        outPos = 0;
    }

    int queued = 0;
    const bool measured = slave >= 0 && ioctl(slave, TIOCINQ, &queued) == 0;
    queuedAfterWrite = measured ? queued : 0;
    if (measured && queued >= kStallQueue) {
        if (!stalled) {
            stalled = true;
            stalledSince = now;
        } else if (!notReading && now - stalledSince >= kStallLimit) {
            // What is on the line stays there (the host discards it when it
            // opens the port); what waits here never leaves.
            notReading = true;
            dropQueuedFrames();
        }
    } else {
        stalled = false;
        notReading = false;
    }
}

void SimSensor::Impl::readFromLine(Clock::time_point now)
{
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
            receivedBytes.insert(receivedBytes.end(), buf, buf + n);
            rx.insert(rx.end(), buf, buf + n);
            lastRx = now;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
}

int SimSensor::Impl::pollTimeoutMs(Clock::time_point now) const
{
    int timeout = 200;
    if (streaming()) {
        const pacing::Duration after = pacing::dueAfter(framesSinceEpoch + 1, rate);
        // At least 1 ms: high rates are written in batches, never spun for.
        if (after <= Clock::time_point::max() - epoch)
            timeout = std::min(timeout, std::max(1, msUntil(now, epoch + after)));
    }
    for (const Scheduled &s : scheduled)
        timeout = std::min(timeout, msUntil(now, s.due));
    if (!splitQueue.empty())
        timeout = std::min(timeout, std::max(1, msUntil(now, nextPiece)));
    if (!rx.empty())
        timeout = std::min(timeout, std::max(1, msUntil(now, lastRx + kRxIdleLimit)));
    if (stalled && !notReading)
        timeout = std::min(timeout, std::max(1, msUntil(now, stalledSince + kStallLimit)));
    return timeout;
}

void SimSensor::Impl::run()
{
    std::unique_lock<std::mutex> lock(m);
    while (!quit.load()) {
        Clock::time_point now = clock();
        // A stopped clock moves only by advanceClock(), which wakes the
        // thread: nothing can fall due before that.
        const int timeout = manualClock ? -1 : pollTimeoutMs(now);
        pollfd fds[2];
        fds[0].fd = master;
        fds[0].events = static_cast<short>(POLLIN | (outPos < out.size() ? POLLOUT : 0));
        fds[0].revents = 0;
        fds[1].fd = wakeRead;
        fds[1].events = POLLIN;
        fds[1].revents = 0;
        lock.unlock();
        const int ready = ::poll(fds, 2, timeout);
        lock.lock();
        if (quit.load())
            break;
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            char drain[64];
            while (::read(wakeRead, drain, sizeof drain) > 0) {
            }
        }
        now = clock();
        // Read whether or not poll() saw input: bytes the host has written
        // may still wait in the kernel's hand-over to this side, which a read
        // on an empty line completes first. A request written before the
        // next frame is then answered before that frame, however busy the
        // machine, as a sensor that listens while it streams does.
        readFromLine(now);
        if (ready > 0 && (fds[0].revents & (POLLERR | POLLNVAL))) {
            // Should not happen while the slave descriptor is held; never spin.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            lock.lock();
        }
        processRx(now);
        if (vanishing) {
            vanish();
            break;
        }
        releaseDue(now);
        produceStream(now);
        flushOut(now);
        ++passes;
        passDone.notify_all();
    }
    passDone.notify_all();
}

void SimSensor::Impl::vanish()
{
    // Not running from the moment the line goes: whoever sees the line gone
    // sees that too. Both ends go at once, like an adapter pulled out: the
    // viewer's side of the line hangs up. stop() (or start()) joins the
    // thread and tidies up; the wake pipe stays for it.
    isRunning = false;
    for (int *fd : {&master, &slave}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    removeLink(link);
    dropWaiting();
    scheduled.clear();
    splitQueue.clear();
    heldAnswers.clear();
    vanishing = false;
    upgFrameArrived.notify_all();
}

void SimSensor::Impl::resetSession()
{
    vanishing = false;
    dropWaiting();
    scheduled.clear();
    splitQueue.clear();
    rx.clear();
    stalled = false;
    notReading = false;
    mbEnabled = false;
    // A sensor that restarts forgets a transfer in progress.
    upgActive = false;
    upgError = false;
    upgNextIndex = 0;
    upgFrames = 0;
    upgAnnounced = 0;
    upgPayload = 0;
    upgData.clear();
    // Answers held for a device that went away do not come from the new one.
    heldAnswers.clear();
    framesSinceEpoch = 0;
    startTime = clock();
    epoch = startTime;
    stalledSeconds = 0.0;
}

} // namespace sim
