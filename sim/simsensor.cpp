// SPDX-License-Identifier: GPL-3.0-or-later
// Public face of the simulated sensor: start/stop and the test controls. Every
// setter takes the lock and wakes the thread so that it acts at once.

#include "sim_impl.h"
#include "sim_pty.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <functional>

namespace sim {

namespace {
constexpr int kMaxRate = 11111; // the line limit at 1,000,000 baud

int clampRate(int fps)
{
    return std::max(0, std::min(fps, kMaxRate));
}
} // namespace

SimSensor::SimSensor() : d(new Impl) {}

SimSensor::~SimSensor()
{
    stop();
    delete d;
}

bool SimSensor::start(int framesPerSecond)
{
    stop();
    int master = -1;
    int slave = -1;
    std::string dev;
    if (!openPty(master, slave, dev))
        return false;
    int wake[2];
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        close(master);
        close(slave);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(d->m);
        d->master = master;
        d->slave = slave;
        d->wakeRead = wake[0];
        d->wakeWrite = wake[1];
        d->dev = dev;
        d->link = makeLink(dev);
        d->lastLink = d->link;
        d->rate = clampRate(framesPerSecond);
        d->resetSession();
    }
    d->quit = false;
    d->isRunning = true;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void SimSensor::stop()
{
    if (!d->thread.joinable())
        return;
    d->quit = true;
    d->wake();
    d->thread.join();
    std::lock_guard<std::mutex> lock(d->m);
    for (int *fd : {&d->master, &d->slave, &d->wakeRead, &d->wakeWrite}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    removeLink(d->link);
    d->isRunning = false;
    d->upgFrameArrived.notify_all();
}

void SimSensor::unplug()
{
    // Both ends go at once, mid-stream, like a USB adapter pulled out.
    stop();
}

bool SimSensor::replug(int framesPerSecond)
{
    std::string name;
    int fps;
    {
        std::lock_guard<std::mutex> lock(d->m);
        name = d->lastLink;
        fps = framesPerSecond < 0 ? d->rate : framesPerSecond;
    }
    if (name.empty() || !start(fps))
        return false;
    std::lock_guard<std::mutex> lock(d->m);
    // start() made a link of its own: the device takes its old name again.
    removeLink(d->link);
    if (!makeLinkAt(name, d->dev))
        return false;
    d->link = name;
    d->lastLink = name;
    return true;
}

bool SimSensor::running() const { return d->isRunning.load(); }

void SimSensor::useManualClock()
{
    std::lock_guard<std::mutex> lock(d->m);
    if (d->manualClock)
        return;
    d->manualNow = Clock::now();
    d->manualClock = true;
    d->wake();
}

void SimSensor::advanceClock(long long us)
{
    std::unique_lock<std::mutex> lock(d->m);
    if (!d->manualClock || !d->isRunning.load())
        return;
    d->manualNow += std::chrono::microseconds(std::max(0LL, us));
    // The thread is not inside a pass while the lock is held here, so the
    // next pass to end reads the new time.
    const uint64_t seen = d->passes;
    d->wake();
    d->passDone.wait_for(lock, std::chrono::seconds(10),
                         [&] { return d->passes != seen || d->quit.load() || !d->isRunning.load(); });
}

void SimSensor::setClockStep(long long us)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->manualStep = std::chrono::microseconds(std::max(0LL, us));
}

// Waits for `done` after each pass of the thread; with `needNewPass` the
// first check comes only after a pass that began after the call.
bool SimSensor::Impl::waitForPass(int timeoutMs, const std::function<bool()> &done, bool needNewPass)
{
    std::unique_lock<std::mutex> lock(m);
    if (!isRunning.load())
        return false;
    const uint64_t seen = passes;
    wake();
    const bool ended = passDone.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)), [&] {
        if (quit.load() || !isRunning.load())
            return true;
        return (!needNewPass || passes != seen) && done();
    });
    return ended && !quit.load() && isRunning.load();
}

bool SimSensor::settle(int timeoutMs)
{
    return d->waitForPass(timeoutMs, [] { return true; }, true);
}

bool SimSensor::waitForReceived(size_t count, int timeoutMs)
{
    return d->waitForPass(timeoutMs, [this, count] { return d->receivedBytes.size() >= count; }, false);
}

std::string SimSensor::devicePath() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->dev;
}

std::string SimSensor::linkPath() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->link;
}

void SimSensor::setRate(int framesPerSecond)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->rate = clampRate(framesPerSecond);
    d->restartPacing(d->clock());
    d->wake();
}

int SimSensor::rate() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->rate;
}

void SimSensor::pauseStream(bool paused)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->paused = paused;
    d->restartPacing(d->clock());
    d->wake();
}

void SimSensor::setDistanceCm(int cm)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->fixedCm = cm < 0 ? -1 : std::min(cm, 65535);
}

void SimSensor::setVibration(double hz, double amplitudeCm)
{
    std::lock_guard<std::mutex> lock(d->m);
    const bool on = std::isfinite(hz) && std::isfinite(amplitudeCm) && hz > 0.0 && amplitudeCm > 0.0;
    d->vibrationHz = on ? hz : 0.0;
    d->vibrationCm = on ? amplitudeCm : 0.0;
}

void SimSensor::setFaults(const StreamFaults &faults)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->faults = faults;
}

uint64_t SimSensor::framesSent() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->framesSent;
}

void SimSensor::setCountingDistance(int startCm)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->countingCm = startCm < 0 ? -1 : (startCm & 0xFFFF);
}

void SimSensor::setSpikes(int everyFrames, int offsetCm)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->spikeEvery = std::max(0, everyFrames);
    d->spikeCm = offsetCm;
    d->spikeCount = 0;
}

void SimSensor::setFrameLog(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->frameLogOn = on;
    d->frameLog.clear();
    d->frameNumbers.clear();
    d->dropLog.clear();
}

std::vector<uint16_t> SimSensor::frameLog() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->frameLog;
}

std::vector<uint64_t> SimSensor::frameNumbers() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->frameNumbers;
}

uint64_t SimSensor::framesDropped() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->framesDropped;
}

double SimSensor::stalledSeconds() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->stalledSeconds;
}

std::vector<uint16_t> SimSensor::dropLog() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->dropLog;
}

uint64_t SimSensor::badFramesSent() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->badFramesSent;
}

uint64_t SimSensor::strayBytesSent() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->strayBytesSent;
}

std::vector<uint16_t> SimSensor::sentDistances() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->sentLog;
}

void SimSensor::clearSentLog()
{
    std::lock_guard<std::mutex> lock(d->m);
    d->sentLog.clear();
    d->framesSent = 0;
    d->framesDropped = 0;
    d->badFramesSent = 0;
    d->strayBytesSent = 0;
}

void SimSensor::setLineBaud(int baud)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->lineBaud = std::max(0, baud);
}

int SimSensor::lineBaud() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->lineBaud;
}

int SimSensor::hostBaud() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return speedOf(d->master);
}

void SimSensor::writeRaw(const Bytes &bytes)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->enqueue(bytes);
    d->wake();
}

int SimSensor::outputFormat() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->outputFormat;
}

void SimSensor::setOutputFormat(int format)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->outputFormat = format;
}

bool SimSensor::outputEnabled() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->outputEnabled;
}

void SimSensor::setOutputEnabled(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->outputEnabled = on;
    d->restartPacing(d->clock());
    d->wake();
}

uint32_t SimSensor::baudRate() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->baudRate;
}

void SimSensor::setAnswerMode(AnswerMode mode)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->mode = mode;
}

void SimSensor::setLateDelayMs(int ms)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->lateMs = std::max(0, ms);
}

void SimSensor::setSplitPauseMs(int ms)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->splitPauseMs = std::max(0, ms);
}

Bytes SimSensor::received() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->receivedBytes;
}

size_t SimSensor::receivedCount() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->receivedBytes.size();
}

void SimSensor::clearReceived()
{
    std::lock_guard<std::mutex> lock(d->m);
    d->receivedBytes.clear();
}

void SimSensor::setVersion(uint8_t a, uint8_t b, uint8_t c)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->version[0] = a;
    d->version[1] = b;
    d->version[2] = c;
}

void SimSensor::setFullVersion(const std::string &text)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->fullVersion = text.substr(0, 26);
}

bool SimSensor::modbusEnabled() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->mbEnabled;
}

void SimSensor::setModbusEnabled(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->mbEnabled = on;
    d->restartPacing(d->clock());
    d->wake();
}

uint8_t SimSensor::modbusAddress() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->mbAddr;
}

void SimSensor::setModbusAddress(uint8_t addr)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->mbAddr = addr;
}

void SimSensor::setStreamInModbus(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->streamInModbus = on;
    d->restartPacing(d->clock());
    d->wake();
}

void SimSensor::setModbusRegisters(uint16_t distance, const uint8_t version[4])
{
    std::lock_guard<std::mutex> lock(d->m);
    d->mbRegistersSet = true;
    d->mbDistance = distance;
    for (int i = 0; i < 4; ++i)
        d->mbVersion[i] = version[i];
}

void SimSensor::setModbusBadCrc(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->mbBadCrc = on;
}

Bytes SimSensor::upgradeImage() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->reassembledImage();
}

int SimSensor::upgradeFramesReceived() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->upgFrames;
}

void SimSensor::setUpgradeStopAckAt(int frameIndex)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->upgStopAckAt = frameIndex;
}

void SimSensor::setUpgradeWrongAck(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->upgWrongAck = on;
}

void SimSensor::setUpgradeAckLastFrame(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->upgAckLast = on;
}

bool SimSensor::upgradeError() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->upgError;
}

void SimSensor::setStreamDuringUpgrade(bool on)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->streamDuringUpgrade = on;
}

// --- Firmware-transfer faults at an exact frame, and a wait for frames ---

void SimSensor::setUpgradeFault(int frameIndex, UpgradeFault fault)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->upgFaultAt = fault == UpgradeFault::None ? -1 : frameIndex;
    d->upgFault = fault;
}

bool SimSensor::waitForUpgradeFrames(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->m);
    // A device that is gone brings no more frames: stop waiting for them.
    return d->upgFrameArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this, count] {
        return d->upgFrames >= count || !d->isRunning.load();
    }) && d->upgFrames >= count;
}

// --- end of firmware-transfer faults ---

} // namespace sim
