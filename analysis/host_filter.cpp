// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_filter.h"

#include <algorithm>

bool FilterSettings::valid() const
{
    if (kind == Average && (length < 1 || length > kMaxAverage))
        return false;
    if (kind == Median && (length < 1 || length > kMaxMedian || length % 2 == 0))
        return false;
    return jumpCm >= 0 && jumpSamples >= 1;
}

void MovingAverage::setLength(int n)
{
    ring.fill(0.0, std::max(1, n));
    reset();
}

void MovingAverage::reset()
{
    if (ring.isEmpty())
        ring.fill(0.0, 1);
    at = 0;
    filled = 0;
    sum = 0;
}

double MovingAverage::take(double x)
{
    if (filled == ring.size())
        sum -= ring[at];
    else
        ++filled;
    ring[at] = x;
    sum += x;
    at = (at + 1) % ring.size();
    return sum / filled;
}

void MovingMedian::setLength(int n)
{
    length = std::max(1, n);
    ring.fill(0.0, length);
    reset();
}

void MovingMedian::reset()
{
    sorted.clear();
    sorted.reserve(length);
    at = 0;
}

double MovingMedian::take(double x)
{
    if (sorted.size() == length) {
        const double out = ring[at];
        sorted.erase(std::lower_bound(sorted.begin(), sorted.end(), out));
    }
    ring[at] = x;
    at = (at + 1) % length;
    sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), x), x);
    const int n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

void JumpRejection::set(double stepCm, int n)
{
    step = stepCm;
    samples = std::max(1, n);
    reset();
}

void JumpRejection::reset()
{
    primed = false;
    pending = 0;
}

double JumpRejection::take(double x)
{
    if (!primed || step <= 0 || (x - accepted <= step && accepted - x <= step)) {
        primed = true;
        accepted = x;
        pending = 0;
        return x;
    }
    // Beyond the step: held until it has lasted long enough to be real.
    if (++pending >= samples) {
        accepted = x;
        pending = 0;
        return x;
    }
    return accepted;
}

void HostFilter::configure(const FilterSettings &settings)
{
    cfg = settings;
    jump.set(cfg.jumpCm, cfg.jumpSamples);
    average.setLength(cfg.kind == FilterSettings::Average ? cfg.length : 1);
    median.setLength(cfg.kind == FilterSettings::Median ? cfg.length : 1);
}

void HostFilter::reset()
{
    jump.reset();
    average.reset();
    median.reset();
}

double HostFilter::take(double cm)
{
    double v = cfg.jumpCm > 0 ? jump.take(cm) : cm;
    switch (cfg.kind) {
    case FilterSettings::Average:
        return average.take(v);
    case FilterSettings::Median:
        return median.take(v);
    case FilterSettings::None:
        break;
    }
    return v;
}
