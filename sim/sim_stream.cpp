// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement stream: 9-byte frames (or text lines in the ASCII output
// format) paced by a steady clock, with the faults the tests ask for.

#include "sim_impl.h"
#include "sim_pacing.h"
#include "sim_pty.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

uint8_t sum8(const uint8_t *data, size_t n)
{
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i)
        s += data[i];
    return static_cast<uint8_t>(s & 0xFF);
}

void appendSum(Bytes &frame)
{
    frame.push_back(sum8(frame.data(), frame.size()));
}

bool SimSensor::Impl::streaming() const
{
    if (rate <= 0 || paused || !outputEnabled)
        return false;
    if (mbEnabled && !streamInModbus)
        return false; // a Modbus slave speaks only when asked
    if (upgActive && upgData.size() < upgAnnounced && !streamDuringUpgrade)
        return false;
    return true;
}

bool SimSensor::Impl::hostRateMatches() const
{
    return lineBaud == 0 || speedOf(master) == lineBaud;
}

void SimSensor::Impl::restartPacing(Clock::time_point now)
{
    epoch = now;
    framesSinceEpoch = 0;
}

uint16_t SimSensor::Impl::distanceAt(double seconds) const
{
    // A fixed target, or one drifting slowly between 1 m and 40 m.
    double cm = fixedCm >= 0 ? double(fixedCm)
                             : 2050.0 + 1950.0 * std::sin(2.0 * M_PI * seconds / 20.0);
    // The vibration rides on either, at the frame's own time, so that the
    // stream samples it exactly at the frame rate (a known spectrum).
    if (vibrationHz > 0.0 && vibrationCm > 0.0)
        cm += vibrationCm * std::sin(2.0 * M_PI * vibrationHz * seconds);
    return static_cast<uint16_t>(std::clamp(std::lround(cm), 0L, 65535L));
}

uint16_t SimSensor::Impl::currentDistance(Clock::time_point now) const
{
    return distanceAt(std::chrono::duration<double>(now - startTime).count() - stalledSeconds);
}

Bytes SimSensor::Impl::measurementFrame(uint16_t cm, bool good) const
{
    // Bytes 4..7: signal strength (weaker when far) and a chip temperature.
    const unsigned strength = 60000u / (1u + cm / 50u) + 100u;
    const unsigned temperature = 0x0A00u + (cm & 0x0Fu);
    Bytes f = {0x59, 0x59,
               static_cast<uint8_t>(cm & 0xFF), static_cast<uint8_t>(cm >> 8),
               static_cast<uint8_t>(strength & 0xFF), static_cast<uint8_t>((strength >> 8) & 0xFF),
               static_cast<uint8_t>(temperature & 0xFF), static_cast<uint8_t>(temperature >> 8)};
    appendSum(f);
    if (!good)
        f[8] = static_cast<uint8_t>(f[8] ^ 0x5A);
    return f;
}

Bytes SimSensor::Impl::textLine(uint16_t cm)
{
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%u.%02um\r\n", cm / 100u, cm % 100u);
    return Bytes(text, text + n);
}

void SimSensor::Impl::produceStream(Clock::time_point now)
{
    if (!streaming())
        return;
    // A pacing period restarted during this pass may begin after `now`:
    // nothing is due then.
    const uint64_t due = pacing::framesDue(now - epoch, rate);
    if (due <= framesSinceEpoch)
        return;
    uint64_t n = due - framesSinceEpoch;
    // After a long stall do not flood the line with the missed frames; the
    // signal takes up where it was, as a sensor's would.
    const uint64_t cap = static_cast<uint64_t>(std::max(1, rate / 4));
    if (n > cap) {
        stalledSeconds += static_cast<double>(n - cap) / rate;
        framesSinceEpoch = due - cap;
        n = cap;
    }
    const size_t backlog = (out.size() - outPos) + splitQueue.size();
    const bool drop = notReading || backlog > kMaxBacklog;
    const double epochOffset = std::chrono::duration<double>(epoch - startTime).count() - stalledSeconds;

    Bytes batch;
    batch.reserve(static_cast<size_t>(n) * 10);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::uniform_int_distribution<int> anyByte(0, 255);
    if (!drop && !hostRateMatches()) {
        // The host listens at another rate: it reads noise, no frame.
        for (uint64_t k = 0; k < n * 9; ++k) {
            const int b = anyByte(rng);
            batch.push_back(static_cast<uint8_t>(b == 0x59 ? 0x58 : b));
        }
        framesSinceEpoch += n;
        enqueue(batch);
        return;
    }
    // Frames whose bytes go through `out` count as sent once written; those
    // cut into pieces first count when made.
    const bool tracked = !faults.splitFrames;
    std::deque<QueuedFrame> made;
    for (uint64_t k = 0; k < n; ++k) {
        const double t = epochOffset + static_cast<double>(framesSinceEpoch + k + 1) / rate;
        uint16_t cm = distanceAt(t);
        if (countingCm >= 0) {
            cm = static_cast<uint16_t>(countingCm);
            countingCm = (countingCm + 1) & 0xFFFF;
        }
        if (spikeEvery > 0 && ++spikeCount % uint64_t(spikeEvery) == 0)
            cm = static_cast<uint16_t>(std::clamp(int(cm) + spikeCm, 0, 65535));
        if (drop) {
            ++framesMade;
            frameDropped(cm);
            continue;
        }
        const uint64_t start = queuedTotal + batch.size();
        if (outputFormat == 0) {
            const uint64_t number = framesMade++;
            const Bytes line = textLine(cm);
            batch.insert(batch.end(), line.begin(), line.end());
            if (tracked) {
                made.push_back({start, queuedTotal + batch.size(), cm, false, number});
            } else {
                frameSent(cm, number, false);
            }
            continue;
        }
        if (faults.strayByteShare > 0.0 && share(rng) < faults.strayByteShare) {
            int b;
            do {
                b = anyByte(rng);
            } while (b == 0x59 || b == 0x5A);
            batch.push_back(static_cast<uint8_t>(b));
            ++strayBytesSent;
        }
        const bool good = !(faults.badChecksumShare > 0.0 && share(rng) < faults.badChecksumShare);
        const uint64_t frameStart = queuedTotal + batch.size();
        const Bytes f = measurementFrame(cm, good);
        batch.insert(batch.end(), f.begin(), f.end());
        if (!good) {
            ++badFramesSent;
        } else if (tracked) {
            made.push_back({frameStart, queuedTotal + batch.size(), cm, true, framesMade++});
        } else {
            frameSent(cm, framesMade++);
        }
    }
    framesSinceEpoch += n;
    if (batch.empty())
        return;
    if (faults.splitFrames) {
        splitQueue.insert(splitQueue.end(), batch.begin(), batch.end());
        return;
    }
    enqueue(batch);
    queuedFrames.insert(queuedFrames.end(), made.begin(), made.end());
}

} // namespace sim
