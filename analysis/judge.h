// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_JUDGE_H
#define ZN84_JUDGE_H

// Judging distances against a tolerance: the state of every sample (within,
// above, below, or no measurement at all), with a hysteresis so that a
// reading hovering at a limit does not flicker between states, and the
// counters an operator reads off a run. Pure arithmetic, no Qt objects: the
// window and zn84ctl feed it sample by sample.

#include <QtGlobal>

#include <limits>

enum class JudgeState : quint8 {
    NoMeasurement = 0,  // nothing judged yet, or no frame for over a second
    Ok = 1,
    Above = 2,
    Below = 3,
};

// The state's name in files and messages: "ok", "above", "below", "none".
inline const char *judgeStateName(JudgeState s)
{
    switch (s) {
    case JudgeState::Ok: return "ok";
    case JudgeState::Above: return "above";
    case JudgeState::Below: return "below";
    case JudgeState::NoMeasurement: break;
    }
    return "none";
}

inline bool isViolation(JudgeState s)
{
    return s == JudgeState::Above || s == JudgeState::Below;
}

// Limits in metres (relative to the zero when one is set). A value above
// `high` is above, below `low` is below; a violation ends only once the
// value is back inside by at least `hysteresis`.
struct JudgeLimits
{
    double low = 0;
    double high = 0;
    double hysteresis = 0;
    bool on = false;        // false: every sample is OK

    bool valid() const { return !on || (low < high && hysteresis >= 0); }
};

// The state after `previous` when a sample of value `v` comes.
JudgeState nextJudgeState(JudgeState previous, double v, const JudgeLimits &limits);

// Mean, standard deviation (of the samples, n - 1), minimum and maximum,
// updated one value at a time (Welford's method: no loss of precision over
// a run of millions of samples).
class RunningStats
{
public:
    void reset() { *this = RunningStats(); }
    void add(double v)
    {
        ++n;
        const double d = v - m;
        m += d / double(n);
        m2 += d * (v - m);
        if (v < lo)
            lo = v;
        if (v > hi)
            hi = v;
    }
    quint64 count() const { return n; }
    double mean() const { return n ? m : 0.0; }
    double stdDev() const;
    double min() const { return n ? lo : 0.0; }
    double max() const { return n ? hi : 0.0; }

private:
    quint64 n = 0;
    double m = 0;
    double m2 = 0;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
};

// Process capability; NaN when there are no limits or no spread to speak of.
double processCp(const JudgeLimits &limits, double stdDev);
double processCpk(const JudgeLimits &limits, double mean, double stdDev);

struct JudgeCounters
{
    quint64 samples = 0;        // samples judged
    quint64 above = 0;          // samples greater than the upper limit
    quint64 below = 0;          // samples less than the lower limit
    quint64 violations = 0;     // entries into a violation state
    quint64 outSamples = 0;     // samples judged in a violation state
    qint64 outUs = 0;           // time in a violation state
    qint64 longestUs = 0;       // the longest violation
    quint64 longestSamples = 0;
    qint64 currentUs = 0;       // the violation under way
    quint64 currentSamples = 0;
};

class Judge
{
public:
    // More than this without a sample is no measurement.
    static constexpr qint64 kSilenceUs = 1000000;

    void setLimits(const JudgeLimits &limits);
    const JudgeLimits &limits() const { return lim; }
    // Counters and statistics from zero; the state back to no measurement.
    void reset();

    // Judges one sample taken at host time `tUs` that stands for `spanUs`
    // of the stream (one frame time).
    JudgeState judge(double v, qint64 tUs, qint64 spanUs);
    // No sample up to `nowUs`: after more than a second, no measurement
    // (which also ends a violation under way). True when the state changed.
    bool checkSilence(qint64 nowUs);

    JudgeState state() const { return st; }
    const JudgeCounters &counters() const { return c; }
    const RunningStats &stats() const { return s; }

private:
    JudgeLimits lim;
    JudgeState st = JudgeState::NoMeasurement;
    JudgeCounters c;
    RunningStats s;
    qint64 lastUs = -1;
};

#endif // ZN84_JUDGE_H
