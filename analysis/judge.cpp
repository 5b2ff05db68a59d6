// SPDX-License-Identifier: GPL-3.0-or-later
#include "judge.h"

#include <algorithm>
#include <cmath>

JudgeState nextJudgeState(JudgeState previous, double v, const JudgeLimits &limits)
{
    if (!limits.on)
        return JudgeState::Ok;
    if (v > limits.high)
        return JudgeState::Above;
    if (v < limits.low)
        return JudgeState::Below;
    // Inside the limits, but a violation holds until the value is back by
    // the hysteresis.
    if (previous == JudgeState::Above && v > limits.high - limits.hysteresis)
        return JudgeState::Above;
    if (previous == JudgeState::Below && v < limits.low + limits.hysteresis)
        return JudgeState::Below;
    return JudgeState::Ok;
}

double RunningStats::stdDev() const
{
    return n > 1 ? std::sqrt(std::max(0.0, m2 / double(n - 1))) : 0.0;
}

double processCp(const JudgeLimits &limits, double stdDev)
{
    if (!limits.on || !(stdDev > 0))
        return std::nan("");
    return (limits.high - limits.low) / (6 * stdDev);
}

double processCpk(const JudgeLimits &limits, double mean, double stdDev)
{
    if (!limits.on || !(stdDev > 0))
        return std::nan("");
    return std::min(limits.high - mean, mean - limits.low) / (3 * stdDev);
}

void Judge::setLimits(const JudgeLimits &limits)
{
    lim = limits;
}

void Judge::reset()
{
    st = JudgeState::NoMeasurement;
    c = JudgeCounters();
    s.reset();
    lastUs = -1;
}

JudgeState Judge::judge(double v, qint64 tUs, qint64 spanUs)
{
    checkSilence(tUs);
    lastUs = tUs;
    const JudgeState next = nextJudgeState(st, v, lim);
    ++c.samples;
    s.add(v);
    if (lim.on) {
        if (v > lim.high)
            ++c.above;
        else if (v < lim.low)
            ++c.below;
    }
    if (isViolation(next)) {
        if (next != st) {
            // A new violation (also one side straight to the other).
            ++c.violations;
            c.currentUs = 0;
            c.currentSamples = 0;
        }
        ++c.outSamples;
        c.outUs += spanUs;
        c.currentUs += spanUs;
        ++c.currentSamples;
        if (c.currentSamples > c.longestSamples || c.currentUs > c.longestUs) {
            c.longestSamples = std::max(c.longestSamples, c.currentSamples);
            c.longestUs = std::max(c.longestUs, c.currentUs);
        }
    } else {
        c.currentUs = 0;
        c.currentSamples = 0;
    }
    st = next;
    return st;
}

bool Judge::checkSilence(qint64 nowUs)
{
    if (st == JudgeState::NoMeasurement || lastUs < 0 || nowUs - lastUs <= kSilenceUs)
        return false;
    st = JudgeState::NoMeasurement;
    c.currentUs = 0;
    c.currentSamples = 0;
    return true;
}
