// SPDX-License-Identifier: GPL-3.0-or-later
// The judge, the host filters and the zero and master arithmetic on their
// own, without a port: the state machine edge by edge, the counters of the
// judge on the stream against a plain count over random streams, the filters
// against a direct computation of each output.

#include "batch_stream.h"
#include "host_filter.h"
#include "judge.h"
#include "measurement_judge.h"
#include "zero_reference.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>

Q_DECLARE_METATYPE(FilterSettings::Kind)
Q_DECLARE_METATYPE(JudgeLimits)
Q_DECLARE_METATYPE(QVector<QVector<uint16_t>>)

namespace {

char letter(JudgeState s)
{
    switch (s) {
    case JudgeState::NoMeasurement:
        return 'N';
    case JudgeState::Ok:
        return 'O';
    case JudgeState::Above:
        return 'A';
    case JudgeState::Below:
        return 'B';
    }
    return '?';
}

JudgeLimits limits(double low, double high, double hysteresis)
{
    JudgeLimits l;
    l.low = low;
    l.high = high;
    l.hysteresis = hysteresis;
    l.on = true;
    return l;
}

// What the judge should count, by the definitions and nothing else: a sample
// is above when greater than the upper limit; a violation begins when the
// value leaves the limits while none is under way, or crosses to the other
// side, and it lasts until the value is back inside by the hysteresis.
struct Reference
{
    quint64 above = 0, below = 0, violations = 0, outSamples = 0, longest = 0;
    double mean = 0, std = 0;

    Reference(const QVector<double> &v, const JudgeLimits &l)
    {
        int side = 0;       // +1 above, -1 below, 0 none
        quint64 run = 0;
        for (const double x : v) {
            above += x > l.high;
            below += x < l.low;
            int now = side;
            if (x > l.high)
                now = 1;
            else if (x < l.low)
                now = -1;
            else if (side == 1 && x <= l.high - l.hysteresis)
                now = 0;
            else if (side == -1 && x >= l.low + l.hysteresis)
                now = 0;
            if (now != 0 && now != side) {
                ++violations;
                run = 0;
            }
            side = now;
            if (side != 0) {
                ++outSamples;
                longest = std::max(longest, ++run);
            }
        }
        double sum = 0;
        for (const double x : v)
            sum += x;
        mean = sum / v.size();
        double squares = 0;
        for (const double x : v)
            squares += (x - mean) * (x - mean);
        std = std::sqrt(squares / (v.size() - 1));
    }
};

} // namespace

class tst_judge : public QObject
{
    Q_OBJECT

private slots:
    // Each edge of the hysteresis, and the silence that is no measurement.
    // Values are exact binary fractions, so that an edge is an edge.
    void stateMachine_data()
    {
        QTest::addColumn<JudgeLimits>("lim");
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<QVector<qint64>>("times");     // µs; empty: 1 ms apart
        QTest::addColumn<QString>("states");            // after each value
        QTest::addColumn<int>("violations");

        const JudgeLimits l = limits(0.5, 1.0, 0.125);
        QTest::newRow("inside") << l << QVector<double>{0.75, 0.5, 1.0} << QVector<qint64>{} << "OOO" << 0;
        QTest::newRow("the upper limit itself is inside")
            << l << QVector<double>{1.0, 1.0 + 1.0 / 1024} << QVector<qint64>{} << "OA" << 1;
        QTest::newRow("the lower limit itself is inside")
            << l << QVector<double>{0.5, 0.5 - 1.0 / 1024} << QVector<qint64>{} << "OB" << 1;
        QTest::newRow("above holds within the hysteresis")
            << l << QVector<double>{1.25, 1.0, 0.9375, 0.875 + 1.0 / 1024, 0.875, 0.9375}
            << QVector<qint64>{} << "AAAAOO" << 1;
        QTest::newRow("below holds within the hysteresis")
            << l << QVector<double>{0.25, 0.5, 0.5625, 0.625 - 1.0 / 1024, 0.625, 0.5625}
            << QVector<qint64>{} << "BBBBOO" << 1;
        QTest::newRow("back out within the hysteresis is the same violation")
            << l << QVector<double>{1.25, 0.9375, 1.25, 0.875, 1.25} << QVector<qint64>{} << "AAAOA" << 2;
        QTest::newRow("above straight to below is a new violation")
            << l << QVector<double>{1.25, 0.25, 0.75} << QVector<qint64>{} << "ABO" << 2;
        QTest::newRow("no hysteresis")
            << limits(0.5, 1.0, 0) << QVector<double>{1.25, 1.0, 1.25, 0.5, 0.25, 0.5}
            << QVector<qint64>{} << "AOAOBO" << 3;
        QTest::newRow("a second without a frame is still a measurement")
            << l << QVector<double>{1.25, 1.25} << QVector<qint64>{0, 1000000} << "AA" << 1;
        QTest::newRow("over a second without a frame ends the violation")
            << l << QVector<double>{1.25, 1.25} << QVector<qint64>{0, 1000001} << "AA" << 2;
        QTest::newRow("over a second without a frame forgets the hysteresis")
            << l << QVector<double>{1.25, 0.9375} << QVector<qint64>{0, 2000000} << "AO" << 1;
        QTest::newRow("no limits: all inside")
            << JudgeLimits() << QVector<double>{-5, 0, 700} << QVector<qint64>{} << "OOO" << 0;
    }

    void stateMachine()
    {
        QFETCH(JudgeLimits, lim);
        QFETCH(QVector<double>, values);
        QFETCH(QVector<qint64>, times);
        QFETCH(QString, states);
        QFETCH(int, violations);

        Judge judge;
        judge.setLimits(lim);
        QCOMPARE(judge.state(), JudgeState::NoMeasurement);
        QString seen;
        for (int i = 0; i < values.size(); ++i)
            seen += QLatin1Char(letter(judge.judge(values[i], times.isEmpty() ? i * 1000 : times[i], 1000)));
        QCOMPARE(seen, states);
        QCOMPARE(judge.counters().violations, quint64(violations));

        // Silence after the last frame: at one second still the last state,
        // just past it no measurement; a new frame is judged afresh.
        const qint64 lastUs = times.isEmpty() ? (values.size() - 1) * 1000 : times.last();
        QVERIFY(!judge.checkSilence(lastUs + Judge::kSilenceUs));
        QCOMPARE(letter(judge.state()), states.back().toLatin1());
        QVERIFY(judge.checkSilence(lastUs + Judge::kSilenceUs + 1));
        QCOMPARE(judge.state(), JudgeState::NoMeasurement);
        QCOMPARE(judge.judge(lim.on ? lim.high : 1.0, lastUs + 3 * Judge::kSilenceUs, 1000), JudgeState::Ok);
    }

    // The judge on the stream counts every sample of random streams in
    // batches of random sizes as a plain count over all values does.
    void countsAgainstReference_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<double>("hysteresis");
        QTest::addColumn<int>("spikeEvery");    // 0: noise only

        QTest::newRow("noise at the limits") << 1u << 0.02 << 0;
        QTest::newRow("noise, no hysteresis") << 2u << 0.0 << 0;
        QTest::newRow("wide hysteresis") << 3u << 0.3 << 0;
        QTest::newRow("lone spikes between plotted points") << 4u << 0.02 << 37;
        QTest::newRow("lone spikes, no hysteresis") << 5u << 0.0 << 101;
    }

    void countsAgainstReference()
    {
        QFETCH(quint32, seed);
        QFETCH(double, hysteresis);
        QFETCH(int, spikeEvery);

        QRandomGenerator random(seed);
        const int total = 50000;
        QVector<uint16_t> cm(total);
        for (int i = 0; i < total; ++i) {
            if (spikeEvery > 0)
                cm[i] = i % spikeEvery == spikeEvery - 1 ? uint16_t(i % 2 ? 1400 : 1000) : uint16_t(1200);
            else
                cm[i] = uint16_t(1200 + random.bounded(-30, 31));
        }
        const JudgeLimits l = limits(11.80, 12.20, hysteresis);

        BatchStream stream;
        MeasurementJudge judge;
        judge.attach(&stream);
        judge.setLimits(l);
        qint64 nowUs = 0;
        for (int at = 0; at < total;) {
            const int n = std::min(total - at, 1 + int(random.bounded(300)));
            nowUs += n * 90;
            stream.takeAt(cm.mid(at, n), 11111, nowUs);
            at += n;
        }

        QVector<double> metres(total);
        for (int i = 0; i < total; ++i)
            metres[i] = cm[i] / 100.0;
        const Reference want(metres, l);
        const JudgeCounters &c = judge.counters();
        QCOMPARE(c.samples, quint64(total));
        QCOMPARE(c.above, want.above);
        QCOMPARE(c.below, want.below);
        QCOMPARE(c.violations, want.violations);
        QCOMPARE(c.outSamples, want.outSamples);
        QCOMPARE(c.longestSamples, want.longest);
        QCOMPARE(c.outUs, qint64(want.outSamples) * qint64(1e6 / 11111));
        if (spikeEvery > 0) {
            QCOMPARE(c.above + c.below, quint64(total / spikeEvery));
            QCOMPARE(c.violations, quint64(total / spikeEvery));
        }
        QVERIFY(std::fabs(judge.stats().mean() - want.mean) < 1e-9);
        QVERIFY(std::fabs(judge.stats().stdDev() - want.std) < 1e-9);
        QVERIFY(std::fabs(judge.cp() - (l.high - l.low) / (6 * want.std)) < 1e-6);
        QVERIFY(std::fabs(judge.cpk() - std::min(l.high - want.mean, want.mean - l.low) / (3 * want.std)) < 1e-6);
        QCOMPARE(judge.missed(), quint64(0));
    }

    // A batch that never reached the judge is a gap in the numbering: counted,
    // and the samples that did come are all judged.
    void gapsCounted()
    {
        MeasurementJudge judge;
        MeasurementBatch b;
        b.cm = {100, 100, 100};
        b.rate = 100;
        judge.take(b);
        b.first = 10;
        judge.take(b);
        b.first = 13;
        judge.take(b);
        QCOMPARE(judge.counters().samples, quint64(9));
        QCOMPARE(judge.gaps(), quint64(1));
        QCOMPARE(judge.missed(), quint64(7));
    }

    // Every change of the state is told at its sample, in order, also when
    // a violation starts and ends within one batch (a plant's state topic
    // must not miss a two-sample excursion at the line's rate).
    void transitionsAtTheirSamples_data()
    {
        QTest::addColumn<QVector<QVector<uint16_t>>>("batches");
        QTest::addColumn<double>("hysteresis");
        QTest::addColumn<QString>("told"); // "number:state ..."
        using B = QVector<QVector<uint16_t>>;
        QTest::newRow("a spike inside a batch")
            << B{{150, 150, 250, 250, 150, 150}} << 0.0 << "0:ok 2:above 4:ok";
        QTest::newRow("over a batch boundary")
            << B{{150, 250}, {250, 50}, {150}} << 0.0 << "0:ok 1:above 3:below 4:ok";
        QTest::newRow("hysteresis holds the state")
            << B{{150, 201, 199, 201, 190}} << 0.05 << "0:ok 1:above 4:ok";
        QTest::newRow("no change") << B{{150}, {160, 170}} << 0.0 << "0:ok";
    }

    void transitionsAtTheirSamples()
    {
        QFETCH(QVector<QVector<uint16_t>>, batches);
        QFETCH(double, hysteresis);
        QFETCH(QString, told);
        MeasurementJudge judge;
        judge.setLimits(limits(1.0, 2.0, hysteresis));
        QSignalSpy transitions(&judge, &MeasurementJudge::transition);
        QSignalSpy changed(&judge, &MeasurementJudge::stateChanged);
        MeasurementBatch b;
        b.rate = 100;
        int batchesThatChanged = 0;
        for (const QVector<uint16_t> &cm : batches) {
            const JudgeState before = judge.state();
            b.cm = cm;
            judge.take(b);
            b.first += quint64(cm.size());
            batchesThatChanged += judge.state() != before;
        }
        QStringList seen;
        for (const QList<QVariant> &t : transitions)
            seen << QStringLiteral("%1:%2").arg(t.at(0).toULongLong()).arg(
                QLatin1String(judgeStateName(t.at(1).value<JudgeState>())));
        QCOMPARE(seen.join(QLatin1Char(' ')), told);
        // The display's signal: once per batch that left another state.
        QCOMPARE(changed.count(), batchesThatChanged);
    }

    // A stream that stops says nothing more: a second after its last batch
    // the judge on the stream goes to no measurement by itself.
    void streamThatStopsIsNoMeasurement()
    {
        BatchStream stream;
        MeasurementJudge judge;
        judge.attach(&stream);
        judge.setLimits(limits(1.0, 2.0, 0));
        QSignalSpy changed(&judge, &MeasurementJudge::stateChanged);
        stream.take({250, 250}, 100);
        QCOMPARE(judge.state(), JudgeState::Above);
        QCOMPARE(changed.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(judge.state(), JudgeState::NoMeasurement, 10000);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.last().at(0).value<JudgeState>(), JudgeState::NoMeasurement);
        // The next violation is a new one.
        stream.take({250}, 100);
        QCOMPARE(judge.counters().violations, quint64(2));
    }

    // The filtered value and the state of each sample, by its number, for a
    // recording that writes them beside the raw distance.
    void perSampleTrail()
    {
        BatchStream stream;
        MeasurementJudge judge;
        judge.attach(&stream);
        judge.setLimits(limits(1.0, 2.0, 0));
        FilterSettings f;
        f.kind = FilterSettings::Average;
        f.length = 2;
        judge.setFilter(f);
        QSignalSpy judged(&judge, &MeasurementJudge::judged);
        stream.takeAt({150, 250, 150}, 100, 30000);
        stream.takeAt({50}, 100, 40000);
        QCOMPARE(judged.count(), 2);
        const JudgedBatch second = judged.at(1).at(0).value<JudgedBatch>();
        QCOMPARE(second.first, quint64(3));
        QCOMPARE(second.filtered, QVector<double>{1.0});

        const double filtered[] = {1.5, 2.0, 2.0, 1.0};
        const JudgeState states[] = {JudgeState::Ok, JudgeState::Above, JudgeState::Ok, JudgeState::Below};
        for (int i = 0; i < 4; ++i) {
            double f = 0;
            JudgeState s = JudgeState::NoMeasurement;
            QVERIFY(judge.sampleAt(quint64(i), f, s));
            QCOMPARE(f, filtered[i]);
            QCOMPARE(s, states[i]);
        }
        double f2 = 0;
        JudgeState s2;
        QVERIFY(!judge.sampleAt(4, f2, s2));
    }

    // Average and median against the direct computation over the window of
    // each output (the values so far while fewer), over a rough stream.
    void filtersAgainstDirect_data()
    {
        QTest::addColumn<FilterSettings::Kind>("kind");
        QTest::addColumn<int>("length");

        QTest::newRow("average 1") << FilterSettings::Average << 1;
        QTest::newRow("average 2") << FilterSettings::Average << 2;
        QTest::newRow("average 100") << FilterSettings::Average << 100;
        QTest::newRow("average 256") << FilterSettings::Average << 256;
        QTest::newRow("median 1") << FilterSettings::Median << 1;
        QTest::newRow("median 3") << FilterSettings::Median << 3;
        QTest::newRow("median 21") << FilterSettings::Median << 21;
    }

    void filtersAgainstDirect()
    {
        QFETCH(FilterSettings::Kind, kind);
        QFETCH(int, length);

        FilterSettings s;
        s.kind = kind;
        s.length = length;
        QVERIFY(s.valid());
        HostFilter filter;
        filter.configure(s);
        QRandomGenerator random(uint(length) * 7 + uint(kind));
        QVector<double> in;
        for (int i = 0; i < 3000; ++i) {
            // Repeated values too: the median's window holds duplicates.
            in << double(1000 + random.bounded(20) * (random.bounded(10) == 0 ? 50 : 1));
            const int from = std::max(0, int(in.size()) - length);
            QVector<double> window = in.mid(from);
            double want = 0;
            if (kind == FilterSettings::Average) {
                for (const double v : window)
                    want += v;
                want /= window.size();
            } else {
                std::sort(window.begin(), window.end());
                const int n = window.size();
                want = n % 2 ? window[n / 2] : (window[n / 2 - 1] + window[n / 2]) / 2;
            }
            const double got = filter.take(in.last());
            QVERIFY2(std::fabs(got - want) < 1e-9, qPrintable(QStringLiteral("sample %1: %2, not %3").arg(i).arg(got).arg(want)));
        }
    }

    void filterSettingsChecked_data()
    {
        QTest::addColumn<FilterSettings::Kind>("kind");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("valid");

        QTest::newRow("average 0") << FilterSettings::Average << 0 << false;
        QTest::newRow("average 256") << FilterSettings::Average << 256 << true;
        QTest::newRow("average 257") << FilterSettings::Average << 257 << false;
        QTest::newRow("median 21") << FilterSettings::Median << 21 << true;
        QTest::newRow("median 23") << FilterSettings::Median << 23 << false;
        QTest::newRow("median even") << FilterSettings::Median << 4 << false;
    }

    void filterSettingsChecked()
    {
        QFETCH(FilterSettings::Kind, kind);
        QFETCH(int, length);
        QFETCH(bool, valid);
        FilterSettings s;
        s.kind = kind;
        s.length = length;
        QCOMPARE(s.valid(), valid);
    }

    // A step larger than D that lasts fewer than T samples is dropped (the
    // last accepted value held through it); one that lasts T is taken from
    // its T-th sample on.
    void jumpRejection_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("samples");
        QTest::addColumn<QVector<double>>("in");
        QTest::addColumn<QVector<double>>("out");

        QTest::newRow("a spike of one sample")
            << 5.0 << 3 << QVector<double>{10, 11, 50, 12, 10} << QVector<double>{10, 11, 11, 12, 10};
        QTest::newRow("a step of T - 1 samples")
            << 5.0 << 3 << QVector<double>{10, 50, 50, 10} << QVector<double>{10, 10, 10, 10};
        QTest::newRow("a step of T samples")
            << 5.0 << 3 << QVector<double>{10, 50, 50, 50, 51} << QVector<double>{10, 10, 10, 50, 51};
        QTest::newRow("a step of D exactly is no jump")
            << 5.0 << 3 << QVector<double>{10, 15, 10, 5} << QVector<double>{10, 15, 10, 5};
        QTest::newRow("a spike downwards")
            << 5.0 << 2 << QVector<double>{10, 0, 10, 0, 0} << QVector<double>{10, 10, 10, 10, 0};
        QTest::newRow("T of one drops nothing")
            << 5.0 << 1 << QVector<double>{10, 50, 10} << QVector<double>{10, 50, 10};
    }

    void jumpRejection()
    {
        QFETCH(double, step);
        QFETCH(int, samples);
        QFETCH(QVector<double>, in);
        QFETCH(QVector<double>, out);
        FilterSettings s;
        s.jumpCm = step;
        s.jumpSamples = samples;
        HostFilter filter;
        filter.configure(s);
        QVector<double> got;
        for (const double v : in)
            got << filter.take(v);
        QCOMPARE(got, out);
    }

    // Zero and master: from the mean of the last N readings; the limits then
    // apply to the relative value; back to absolute reads the distance again.
    void zeroAndMaster_data()
    {
        QTest::addColumn<int>("mode");          // ZeroReference::Mode
        QTest::addColumn<int>("n");
        QTest::addColumn<double>("master");
        QTest::addColumn<uint16_t>("next");     // the next distance, cm
        QTest::addColumn<double>("reads");      // what it reads, m
        QTest::addColumn<double>("zeroPoint");

        // The readings before: 100 of 10.00 m, then 100 of 12.00 m.
        QTest::newRow("zero on the last 100") << int(ZeroReference::Zero) << 100 << 0.0 << uint16_t(1250) << 0.5 << 12.0;
        QTest::newRow("zero on the last 200") << int(ZeroReference::Zero) << 200 << 0.0 << uint16_t(1100) << 0.0 << 11.0;
        QTest::newRow("zero on the last 1") << int(ZeroReference::Zero) << 1 << 0.0 << uint16_t(1150) << -0.5 << 12.0;
        QTest::newRow("master 25 mm") << int(ZeroReference::Master) << 100 << 0.025 << uint16_t(1210) << 0.125 << 11.975;
        QTest::newRow("master 0 is a zero") << int(ZeroReference::Master) << 50 << 0.0 << uint16_t(1200) << 0.0 << 12.0;
        QTest::newRow("absolute") << int(ZeroReference::Absolute) << 100 << 0.0 << uint16_t(1250) << 12.5 << 0.0;
    }

    void zeroAndMaster()
    {
        QFETCH(int, mode);
        QFETCH(int, n);
        QFETCH(double, master);
        QFETCH(uint16_t, next);
        QFETCH(double, reads);
        QFETCH(double, zeroPoint);

        BatchStream stream;
        MeasurementJudge judge;
        judge.attach(&stream);
        QVERIFY(!judge.zeroOnLast(1));  // nothing to take a zero from yet
        stream.takeAt(QVector<uint16_t>(100, 1000), 100, 1000000);
        stream.takeAt(QVector<uint16_t>(100, 1200), 100, 2000000);
        QVERIFY(!judge.zeroOnLast(201));
        QCOMPARE(judge.reference().mode(), ZeroReference::Absolute);
        if (mode == ZeroReference::Zero)
            QVERIFY(judge.zeroOnLast(n));
        else if (mode == ZeroReference::Master)
            QVERIFY(judge.masterOnLast(master, n));
        QCOMPARE(int(judge.reference().mode()), mode);
        QVERIFY(std::fabs(judge.reference().zeroPoint() - zeroPoint) < 1e-9);

        // The tolerance is relative: 0.1 above the reading of the reference.
        const double at = mode == ZeroReference::Master ? master : 0.0;
        judge.setLimits(limits(at - 0.1, at + 0.1, 0));
        stream.takeAt({next}, 100, 3000000);
        QVERIFY2(std::fabs(judge.lastValue() - reads) < 1e-9, qPrintable(QString::number(judge.lastValue())));
        if (mode != ZeroReference::Absolute)
            QCOMPARE(judge.state(), reads - at > 0.1 + 1e-9 ? JudgeState::Above
                                    : reads - at < -0.1 - 1e-9 ? JudgeState::Below : JudgeState::Ok);

        // Stored and restored as the window remembers it.
        ZeroReference copy;
        copy.restore(judge.reference().mode(), judge.reference().zeroPoint(), judge.reference().masterValue());
        QVERIFY(std::fabs(copy.apply(next / 100.0) - reads) < 1e-9);
        judge.clearReference();
        stream.takeAt({next}, 100, 4000000);
        QCOMPARE(judge.lastValue(), next / 100.0);
    }
};

QTEST_GUILESS_MAIN(tst_judge)
#include "tst_judge.moc"
