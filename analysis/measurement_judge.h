// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_MEASUREMENT_JUDGE_H
#define ZN84_MEASUREMENT_JUDGE_H

// The judge on the batch stream: every raw sample goes through the host
// filter, the zero or master reference and the judgement, in order and
// without a gap going unnoticed. The window and zn84ctl use the same one.
//
// Per sample it keeps (for the last kTrail samples) the filtered distance
// and the state, looked up by sample number: what a recording writes beside
// the raw distance. The `judged` signal carries the same per batch.

#include "host_filter.h"
#include "judge.h"
#include "measurement_batch.h"
#include "record_format.h"
#include "zero_reference.h"

#include <QObject>
#include <QTimer>
#include <QVector>

class BatchStream;

struct JudgedBatch
{
    quint64 first = 0;
    double rate = 0;                // frames per second, as the batch came
    QVector<double> value;          // filtered, relative to the zero (m): what the readouts show
    QVector<double> filtered;       // filtered absolute distance (m)
    QVector<JudgeState> state;
};

class MeasurementJudge : public QObject, public recordformat::SampleAnnotator
{
    Q_OBJECT

public:
    static constexpr int kTrail = 1 << 16;

    explicit MeasurementJudge(QObject *parent = nullptr);
    // Subscribes to the stream (also to its restarts).
    void attach(BatchStream *stream);

    void setLimits(const JudgeLimits &limits);
    const JudgeLimits &limits() const { return judge.limits(); }
    // Whether a raw distance (m), taken against the present zero or master,
    // lies beyond the limits (false while none are set): what a capture
    // that triggers on leaving the tolerance asks of each sample.
    bool outsideTolerance(double rawM) const;
    void setFilter(const FilterSettings &settings);
    const FilterSettings &filter() const { return hostFilter.settings(); }
    // Whether the judgement (and the readouts) take the filtered value or
    // the raw one. The filtered value is always computed.
    void setFilterFeedsJudgement(bool on);
    bool filterFeedsJudgement() const { return filterJudged; }

    // The mean of the last n readings as zero, or as reading `masterM`;
    // false (nothing changed) with fewer than n readings so far.
    bool zeroOnLast(int n);
    bool masterOnLast(double masterM, int n);
    void setReference(const ZeroReference &reference);
    void clearReference();
    const ZeroReference &reference() const { return ref; }

    // Counters and statistics from zero (the filter and the reference stay).
    void reset();

    JudgeState state() const { return judge.state(); }
    const JudgeCounters &counters() const { return judge.counters(); }
    const RunningStats &stats() const { return judge.stats(); }
    double cp() const { return processCp(judge.limits(), judge.stats().stdDev()); }
    double cpk() const { return processCpk(judge.limits(), judge.stats().mean(), judge.stats().stdDev()); }
    // Samples the stream numbered but that never came here (a subscriber
    // that was blocked, a batch lost), and in how many gaps.
    quint64 missed() const { return missedSamples; }
    quint64 gaps() const { return gapCount; }
    // The last sample's value as the readouts show it.
    double lastValue() const { return last; }

    // The filtered distance (m) and the state of sample `number`; false when
    // it is not among the last kTrail samples.
    bool sampleAt(quint64 number, double &filteredM, JudgeState &state) const;
    // The same for a CSV recording: the state's name ("ok", "above",
    // "below", "none"), empty while no limits are set.
    bool annotate(quint64 number, double &filteredM, const char *&state) const override;

    // Judges a batch; numbering gaps are counted, never filled.
    void take(const MeasurementBatch &batch);
    // The stream's host time now (µs): no frame for over a second is no
    // measurement. The window's own timer calls it once the stream stops.
    void checkSilence(qint64 nowUs);

signals:
    void judged(const JudgedBatch &batch);
    // Each change of the state, in order, at the number of the sample that
    // made it (a silence: the number after the last sample): a violation
    // that begins and ends within one batch is two of them. stateChanged
    // tells only where a batch left the state.
    void transition(quint64 number, JudgeState state);
    // New limits were set (on or off).
    void limitsChanged(const JudgeLimits &limits);
    void stateChanged(JudgeState state);

private:
    void streamRestarted();
    void silenceOver();

    Judge judge;
    HostFilter hostFilter;
    ZeroReference ref;
    RecentSamples recent;
    bool filterJudged = false;
    quint64 expected = 0;
    bool numbered = false;
    quint64 missedSamples = 0;
    quint64 gapCount = 0;
    double last = 0;
    qint64 lastUs = -1;
    QTimer silence;

    struct Trail
    {
        double filtered;
        JudgeState state;
    };
    QVector<Trail> trail;
    quint64 trailEnd = 0;
};

Q_DECLARE_METATYPE(JudgedBatch)
Q_DECLARE_METATYPE(JudgeState)

#endif // ZN84_MEASUREMENT_JUDGE_H
