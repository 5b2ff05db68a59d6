// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement_judge.h"

#include "batch_stream.h"


MeasurementJudge::MeasurementJudge(QObject *parent) : QObject(parent), trail(kTrail)
{
    qRegisterMetaType<JudgedBatch>();
    qRegisterMetaType<JudgeState>();
    // Fires once a second has passed without a batch: a stream that stopped
    // sends nothing that could tell the judge so.
    silence.setSingleShot(true);
    silence.setInterval(int(Judge::kSilenceUs / 1000) + 50);
    connect(&silence, &QTimer::timeout, this, &MeasurementJudge::silenceOver);
}

void MeasurementJudge::attach(BatchStream *stream)
{
    connect(stream, &BatchStream::batch, this, &MeasurementJudge::take);
    connect(stream, &BatchStream::restarted, this, &MeasurementJudge::streamRestarted);
}

void MeasurementJudge::setLimits(const JudgeLimits &limits)
{
    judge.setLimits(limits);
    emit limitsChanged(judge.limits());
}

bool MeasurementJudge::outsideTolerance(double rawM) const
{
    const JudgeLimits &l = judge.limits();
    if (!l.on)
        return false;
    const double v = ref.apply(rawM);
    return v < l.low || v > l.high;
}

void MeasurementJudge::setFilter(const FilterSettings &settings)
{
    hostFilter.configure(settings);
}

void MeasurementJudge::setFilterFeedsJudgement(bool on)
{
    filterJudged = on;
}

bool MeasurementJudge::zeroOnLast(int n)
{
    double mean = 0;
    if (!recent.meanOfLast(n, mean))
        return false;
    ref.setZero(mean);
    return true;
}

bool MeasurementJudge::masterOnLast(double masterM, int n)
{
    double mean = 0;
    if (!recent.meanOfLast(n, mean))
        return false;
    ref.setMaster(masterM, mean);
    return true;
}

void MeasurementJudge::setReference(const ZeroReference &reference)
{
    ref = reference;
}

void MeasurementJudge::clearReference()
{
    ref.clear();
}

void MeasurementJudge::reset()
{
    const JudgeState before = judge.state();
    judge.reset();
    missedSamples = 0;
    gapCount = 0;
    if (before != judge.state())
        emit stateChanged(judge.state());
}

bool MeasurementJudge::sampleAt(quint64 number, double &filteredM, JudgeState &state) const
{
    if (number >= trailEnd || trailEnd - number > quint64(kTrail))
        return false;
    const Trail &t = trail.at(int(number % kTrail));
    filteredM = t.filtered;
    state = t.state;
    return true;
}

bool MeasurementJudge::annotate(quint64 number, double &filteredM, const char *&state) const
{
    JudgeState s = JudgeState::NoMeasurement;
    if (!sampleAt(number, filteredM, s))
        return false;
    state = judge.limits().on ? judgeStateName(s) : "";
    return true;
}

void MeasurementJudge::take(const MeasurementBatch &b)
{
    if (b.isEmpty())
        return;
    if (numbered && b.first != expected) {
        if (b.first > expected) {
            ++gapCount;
            missedSamples += b.first - expected;
        }
        // A gap or a renumbered stream: the filter starts afresh rather than
        // smoothing across samples that do not follow each other.
        hostFilter.reset();
    }
    numbered = true;
    expected = b.end();

    const JudgeState before = judge.state();
    QVector<QPair<quint64, JudgeState>> changes;
    JudgedBatch out;
    out.first = b.first;
    out.rate = b.rate;
    out.value.resize(b.size());
    out.filtered.resize(b.size());
    out.state.resize(b.size());
    const qint64 frameUs = b.rate > 0 ? qint64(1e6 / b.rate) : 0;
    for (int i = 0; i < b.size(); ++i) {
        const qint64 t = b.timeUs(i);
        const double filteredM = hostFilter.take(b.cm.at(i)) / 100.0;
        const double raw = b.metres(i);
        const double reading = filterJudged ? filteredM : raw;
        recent.add(reading);
        const double v = ref.apply(reading);
        const qint64 span = frameUs > 0 ? frameUs : (lastUs >= 0 ? t - lastUs : 0);
        const JudgeState previous = judge.state();
        const JudgeState s = judge.judge(v, t, span);
        if (s != previous)
            changes.append({b.first + quint64(i), s});
        lastUs = t;
        out.value[i] = v;
        out.filtered[i] = filteredM;
        out.state[i] = s;
        trail[int((b.first + quint64(i)) % kTrail)] = Trail{filteredM, s};
    }
    trailEnd = b.end();
    last = out.value.last();
    silence.start();
    emit judged(out);
    for (const auto &change : std::as_const(changes))
        emit transition(change.first, change.second);
    if (judge.state() != before)
        emit stateChanged(judge.state());
}

void MeasurementJudge::checkSilence(qint64 nowUs)
{
    if (judge.checkSilence(nowUs)) {
        emit transition(trailEnd, judge.state());
        emit stateChanged(judge.state());
    }
}

void MeasurementJudge::streamRestarted()
{
    numbered = false;
    lastUs = -1;
    hostFilter.reset();
    trailEnd = 0;
}

void MeasurementJudge::silenceOver()
{
    // The timer ran a second past the last batch, whose last frame came at
    // lastUs: that is more than a second without a frame.
    if (lastUs >= 0)
        checkSilence(lastUs + Judge::kSilenceUs + 1);
}
