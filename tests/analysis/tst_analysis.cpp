// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis parts on the raw stream: the ring of the last minute, the
// spectrum (windows, amplitude, the simulator's vibration found through the
// worker), the histogram and the triggered capture.

#include "batch_stream.h"
#include "capture.h"
#include "histogram.h"
#include "sample_ring.h"
#include "sample_timeline.h"
#include "simsensor.h"
#include "spectrum.h"
#include "workerharness.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace analysis;

Q_DECLARE_METATYPE(analysis::Window)
Q_DECLARE_METATYPE(analysis::TriggerEdge)
Q_DECLARE_METATYPE(analysis::CaptureMode)

struct TimelineBatches
{
    double gapBefore; // seconds the chart skipped before these batches
    int batches;
    int n;
    int rate;
};
Q_DECLARE_METATYPE(QVector<TimelineBatches>)

namespace {

QVector<double> sine(int n, double rate, double hz, double amplitude, double offset = 3.0)
{
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = offset + amplitude * std::sin(2.0 * M_PI * hz * i / rate + 0.3);
    return v;
}

// A batch of `n` samples from number `first`, the distances from `cm`, one
// millisecond apart.
MeasurementBatch batchOf(quint64 first, const QVector<uint16_t> &cm)
{
    MeasurementBatch b;
    b.first = first;
    b.cm = cm;
    b.firstUs = qint64(first) * 1000;
    b.lastUs = b.firstUs + (cm.size() - 1) * 1000;
    b.rate = 1000;
    return b;
}

} // namespace

class tst_analysis : public QObject
{
    Q_OBJECT

private slots:
    void windowGainAndAmplitude_data();
    void windowGainAndAmplitude();
    void peaksLargestFirst();
    void averagingKeepsTheSine();
    void simulatorVibrationSpectrum_data();
    void simulatorVibrationSpectrum();
    void ringHoldsTheLastSamples();
    void rateIgnoresLateArrivals_data();
    void rateIgnoresLateArrivals();
    void histogramCountsAndSpread();
    void captureExactness_data();
    void captureExactness();
    void captureModes();
    void captureCsv();
    void timelineFindsTheChartsSamples_data();
    void timelineFindsTheChartsSamples();
};

void tst_analysis::windowGainAndAmplitude_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<double>("gain");
    // A sine halfway between two bins keeps at least this share of its
    // amplitude (the window's scalloping loss).
    QTest::addColumn<double>("halfBinShare");
    QTest::newRow("none") << Window::None << 1.0 << 0.63;
    QTest::newRow("hann") << Window::Hann << 0.5 << 0.84;
    QTest::newRow("blackman-harris") << Window::BlackmanHarris << 0.35875 << 0.82;
    QTest::newRow("flat-top") << Window::FlatTop << 0.21557895 << 0.998;
}

void tst_analysis::windowGainAndAmplitude()
{
    QFETCH(Window, window);
    QFETCH(double, gain);
    QFETCH(double, halfBinShare);
    const int n = 4096;
    const double rate = 1000;
    QVERIFY(std::abs(coherentGain(window, n) - gain) < 1e-9);
    Window named;
    QVERIFY(windowFromName(windowName(window), named));
    QCOMPARE(named, window);

    // On a bin: the amplitude, corrected for the gain, is the sine's.
    SpectrumAnalyser a;
    QVERIFY(a.setSize(n));
    a.setWindow(window);
    const int bin = 300;
    const double onBin = bin * rate / n;
    Spectrum s = a.transform(sine(n, rate, onBin, 0.05).constData(), rate);
    QCOMPARE(s.amplitude.size(), n / 2 + 1);
    QVERIFY2(std::abs(s.amplitude[bin] - 0.05) < 1e-9, qPrintable(QString::number(s.amplitude[bin], 'g', 12)));
    QCOMPARE(s.peaks.first().hz, onBin);
    // The mean is gone: a distance of 3 m leaves nothing at 0 Hz.
    QVERIFY2(s.amplitude[0] < 1e-4, qPrintable(QString::number(s.amplitude[0])));

    // Half a bin off.
    a.resetAverage();
    s = a.transform(sine(n, rate, onBin + 0.5 * rate / n, 0.05).constData(), rate);
    const double share = s.peaks.first().amplitude / 0.05;
    QVERIFY2(share >= halfBinShare && share <= 1.0005, qPrintable(QString::number(share)));
}

void tst_analysis::peaksLargestFirst()
{
    const int n = 2048;
    const double rate = 2048;
    QVector<double> v(n, 1.0);
    const double hz[] = {100, 200, 300, 400, 500, 600};
    const double amp[] = {0.01, 0.06, 0.03, 0.05, 0.02, 0.04};
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 6; ++k)
            v[i] += amp[k] * std::cos(2 * M_PI * hz[k] * i / rate);
    SpectrumAnalyser a;
    QVERIFY(a.setSize(n));
    a.setWindow(Window::Hann);
    const Spectrum s = a.transform(v.constData(), rate);
    QCOMPARE(s.binHz, 1.0);
    QCOMPARE(s.peaks.size(), 5);
    const double expectHz[] = {200, 400, 600, 300, 500};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(s.peaks[i].hz, expectHz[i]);
        QVERIFY(std::abs(s.peaks[i].amplitude - amp[int(expectHz[i] / 100) - 1]) < 1e-9);
    }
    QVERIFY(!SpectrumAnalyser::validSize(1000));
    QVERIFY(!SpectrumAnalyser::validSize(512));
    QVERIFY(!SpectrumAnalyser::validSize(131072));
    QVERIFY(!a.setSize(3000));
    QCOMPARE(a.size(), n);
}

void tst_analysis::averagingKeepsTheSine()
{
    // Averaging by power: a steady sine keeps its amplitude, and the count
    // of spectra in the average stops at the chosen number.
    const int n = 1024;
    SpectrumAnalyser a;
    QVERIFY(a.setSize(n));
    a.setWindow(Window::FlatTop);
    a.setAveraging(3);
    Spectrum s;
    for (int i = 0; i < 5; ++i) {
        QVector<double> v = sine(n, 1024, 64, 0.02);
        // Noise that differs from one spectrum to the next.
        for (int k = 0; k < n; ++k)
            v[k] += 0.001 * std::sin(k * 7.1 + i * 3.3);
        s = a.transform(v.constData(), 1024);
        QCOMPARE(s.averaged, std::min(i + 1, 3));
    }
    QVERIFY2(std::abs(s.amplitude[64] - 0.02) < 0.0005, qPrintable(QString::number(s.amplitude[64])));
    a.setWindow(Window::Hann);
    s = a.transform(sine(n, 1024, 64, 0.02).constData(), 1024);
    QCOMPARE(s.averaged, 1);
}

void tst_analysis::simulatorVibrationSpectrum_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("amplitudeCm");
    // Amplitudes of many centimetres: the rounding to whole centimetres then
    // moves the sine's own amplitude by far less than the 2 % allowed.
    QTest::newRow("1000/s, 2048 points, 37.3 Hz, 20 cm") << 1000 << 2048 << 37.3 << 20.0;
    QTest::newRow("11111/s, 16384 points, 120.3 Hz, 12 cm") << 11111 << 16384 << 120.3 << 12.0;
}

void tst_analysis::simulatorVibrationSpectrum()
{
    QFETCH(int, fps);
    QFETCH(int, points);
    QFETCH(double, hz);
    QFETCH(double, amplitudeCm);
    sim::SimSensor sensor;
    sensor.setDistanceCm(400);
    sensor.setVibration(hz, amplitudeCm);
    QVERIFY(sensor.start(fps));
    WorkerHarness h;
    BatchStream stream;
    SampleRing ring;
    ring.attach(&stream);
    QObject::connect(h.worker(), &receiver::signalDistance, &stream, &BatchStream::take);
    QVERIFY(h.worker()->openPort(QString::fromStdString(sensor.devicePath()), 115200));
    // The first batches come in a burst of what waited on the line: skip them.
    QTRY_VERIFY_WITH_TIMEOUT(ring.size() >= fps / 4, 20000);
    const quint64 from = ring.endNumber();
    QTRY_VERIFY_WITH_TIMEOUT(ring.endNumber() >= from + quint64(points), 60000);

    QVector<double> metres(points);
    QVERIFY(ring.copyMetres(from, points, metres.data()));
    const double rate = ring.measuredRate(from, points);
    QVERIFY2(std::abs(rate - fps) < fps * 0.01, qPrintable(QString::number(rate)));
    SpectrumAnalyser a;
    QVERIFY(a.setSize(points));
    a.setWindow(Window::FlatTop);
    const Spectrum s = a.transform(metres.constData(), rate);
    QVERIFY(!s.peaks.isEmpty());
    const SpectrumPeak peak = s.peaks.first();
    QVERIFY2(std::abs(peak.hz - hz) <= s.binHz,
             qPrintable(QString("%1 Hz, bins of %2 Hz").arg(peak.hz).arg(s.binHz)));
    QVERIFY2(std::abs(peak.amplitude - amplitudeCm / 100) <= 0.02 * amplitudeCm / 100,
             qPrintable(QString("%1 m").arg(peak.amplitude, 0, 'f', 5)));
    QVERIFY(h.worker()->closePort());
}

void tst_analysis::ringHoldsTheLastSamples()
{
    SampleRing ring(100);
    QSignalSpy added(&ring, &SampleRing::added);
    QVector<uint16_t> cm;
    for (int i = 0; i < 70; ++i)
        cm.append(uint16_t(i));
    ring.add(batchOf(0, cm));
    ring.add(batchOf(70, cm));
    QCOMPARE(added.count(), 2);
    // 140 taken, the newest 100 kept: numbers 40..139.
    QCOMPARE(ring.size(), 100);
    QCOMPARE(ring.firstNumber(), quint64(40));
    QCOMPARE(ring.endNumber(), quint64(140));
    QCOMPARE(ring.at(40).cm, uint16_t(40));
    QCOMPARE(ring.at(139).cm, uint16_t(69));
    QCOMPARE(ring.at(139).us, qint64(139000));
    QVector<double> m(100);
    QVector<qint64> us(100);
    QVERIFY(ring.copyMetres(40, 100, m.data(), us.data()));
    QCOMPARE(m[29], 0.69);
    QCOMPARE(m[30], 0.0);
    QCOMPARE(us[99], qint64(139000));
    QVERIFY(!ring.copyMetres(39, 2, m.data()));
    QVERIFY(!ring.copyMetres(130, 11, m.data()));
    QVERIFY(std::abs(ring.measuredRate(40, 100) - 1000.0) < 1e-6);
    // While the worker's rate is unknown a batch's samples all carry its
    // arrival time: the rate still comes out right over a stretch that
    // starts and ends inside batches.
    SampleRing steps(1000);
    for (int b = 0; b < 50; ++b) {
        MeasurementBatch s = batchOf(quint64(b) * 10, QVector<uint16_t>(10, 300));
        s.firstUs = s.lastUs = (b + 1) * 10000; // 10 samples a 10 ms: 1000/s
        steps.add(s);
    }
    const double stepRate = steps.measuredRate(3, 104);
    QVERIFY2(std::abs(stepRate - 1000.0) < 1e-6, qPrintable(QString::number(stepRate, 'f', 6)));
    // A batch that does not follow (a new stream) starts the ring anew: no
    // range ever spans a hole.
    ring.add(batchOf(500, cm.mid(0, 10)));
    QCOMPARE(ring.size(), 10);
    QCOMPARE(ring.firstNumber(), quint64(500));
    QVERIFY(!ring.holds(130, 1));
    BatchStream stream;
    ring.attach(&stream);
    stream.restart();
    QVERIFY(ring.isEmpty());
}

// The frame rate from host times as a loaded machine delivers them: each
// batch of 10 frames (1,000 frames a second) arrives when the reader gets to
// it, late by `lateMs` within the late stretch of the 1,500 frames (and by a
// seeded jitter of up to `jitterMs` everywhere); with the worker's rate known
// a batch's frames spread back from its arrival, else they all carry it.
void tst_analysis::rateIgnoresLateArrivals_data()
{
    QTest::addColumn<bool>("rateKnown");
    QTest::addColumn<int>("lateFrom");   // frames [lateFrom, lateTo) arrive late
    QTest::addColumn<int>("lateTo");
    QTest::addColumn<double>("lateMs");
    QTest::addColumn<double>("jitterMs");
    QTest::addColumn<double>("tolerance"); // relative
    QTest::newRow("on time") << true << 0 << 0 << 0.0 << 0.0 << 1e-9;
    QTest::newRow("on time, rate not yet known") << false << 0 << 0 << 0.0 << 0.0 << 1e-9;
    QTest::newRow("reader 30 ms behind through the first fifth") << true << 0 << 300 << 30.0 << 0.0 << 1e-9;
    QTest::newRow("reader 30 ms behind through the last fifth") << true << 1200 << 1500 << 30.0 << 0.0 << 1e-9;
    QTest::newRow("reader 30 ms behind at the start, rate not yet known") << false << 0 << 300 << 30.0 << 0.0 << 1e-9;
    QTest::newRow("reader 200 ms behind mid-stretch") << true << 600 << 900 << 200.0 << 0.0 << 1e-9;
    QTest::newRow("every arrival up to 3 ms late") << true << 0 << 0 << 0.0 << 3.0 << 2e-3;
    QTest::newRow("up to 3 ms late, 30 ms at the start") << true << 0 << 300 << 30.0 << 3.0 << 2e-3;
}

void tst_analysis::rateIgnoresLateArrivals()
{
    QFETCH(bool, rateKnown);
    QFETCH(int, lateFrom);
    QFETCH(int, lateTo);
    QFETCH(double, lateMs);
    QFETCH(double, jitterMs);
    QFETCH(double, tolerance);
    SampleRing ring(4000);
    QRandomGenerator jitter(7);
    // 1,600 frames from number 0; the stretch measured starts and ends
    // inside batches: frames 45 to 1,544.
    for (int b = 0; b < 160; ++b) {
        MeasurementBatch batch = batchOf(quint64(b) * 10, QVector<uint16_t>(10, 300));
        const int lastOfStretch = b * 10 + 9 - 45;
        double late = jitter.generateDouble() * jitterMs;
        if (lastOfStretch >= lateFrom && lastOfStretch < lateTo)
            late += lateMs;
        batch.lastUs = (b * 10 + 9) * 1000 + qint64(late * 1000);
        batch.firstUs = rateKnown ? batch.lastUs - 9000 : batch.lastUs;
        ring.add(batch);
    }
    const double rate = ring.measuredRate(45, 1500);
    QVERIFY2(std::abs(rate - 1000.0) <= 1000.0 * tolerance, qPrintable(QString::number(rate, 'f', 6)));
}

void tst_analysis::histogramCountsAndSpread()
{
    // 1.00 m x 2, 1.01 m x 5, 1.02 m x 2, 1.05 m x 1.
    const QVector<double> v = {1.00, 1.00, 1.01, 1.01, 1.01, 1.01, 1.01, 1.02, 1.02, 1.05};
    Histogram h;
    QVERIFY(makeHistogram(v.constData(), v.size(), 0.01, h));
    QCOMPARE(h.counts, QVector<int>({2, 5, 2, 0, 0, 1}));
    QVERIFY(std::abs(h.start - 0.995) < 1e-9);
    QVERIFY(std::abs(h.mean - 1.014) < 1e-9);
    double sq = 0;
    for (double x : v)
        sq += (x - 1.014) * (x - 1.014);
    QVERIFY(std::abs(h.sigma - std::sqrt(sq / 9)) < 1e-12);
    // Wider typed bins.
    QVERIFY(makeHistogram(v.constData(), v.size(), 0.02, h));
    QCOMPARE(h.counts, QVector<int>({7, 2, 1}));
    // Chosen width: whole centimetres.
    QVERIFY(makeHistogram(v.constData(), v.size(), 0, h));
    QVERIFY(h.width >= 0.01 - 1e-12);
    QVERIFY(std::abs(h.width / 0.01 - std::round(h.width / 0.01)) < 1e-9);
    int total = 0;
    for (int c : h.counts)
        total += c;
    QCOMPARE(total, v.size());
    // Bad input leaves the last histogram.
    QVERIFY(!makeHistogram(v.constData(), v.size(), -1, h));
    QVERIFY(!makeHistogram(v.constData(), v.size(), 1e-9, h));
    QVERIFY(!makeHistogram(v.constData(), 0, 0.01, h));
    QCOMPARE(total, v.size());
}

void tst_analysis::captureExactness_data()
{
    QTest::addColumn<TriggerEdge>("edge");
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("pre");
    QTest::addColumn<int>("post");
    QTest::addColumn<int>("batchSize");
    QTest::addColumn<quint64>("trigger"); // the number of the trigger sample
    // The stream: a saw tooth 100, 101, ..., 199, 100, ... (cm), 100 samples a
    // period; crossings of 1.50 m rising at 50, 150, 250...; falling at 100,
    // 200, ... (from 1.99 m to 1.00 m).
    QTest::newRow("rising, pre 10") << TriggerEdge::Rising << 1.5 << 10 << 20 << 7 << quint64(50);
    QTest::newRow("rising, pre fills past the first") << TriggerEdge::Rising << 1.5 << 60 << 5 << 13 << quint64(150);
    QTest::newRow("rising, level on a sample") << TriggerEdge::Rising << 1.499 << 0 << 0 << 1 << quint64(50);
    QTest::newRow("falling") << TriggerEdge::Falling << 1.5 << 99 << 150 << 64 << quint64(100);
    QTest::newRow("falling, pre not yet full at 100") << TriggerEdge::Falling << 1.5 << 101 << 3 << 1000 << quint64(200);
    QTest::newRow("either") << TriggerEdge::Either << 1.2 << 25 << 40 << 33 << quint64(100);
    QTest::newRow("leaving the tolerance") << TriggerEdge::Leave << 0.0 << 5 << 5 << 9 << quint64(81);
}

void tst_analysis::captureExactness()
{
    QFETCH(TriggerEdge, edge);
    QFETCH(double, level);
    QFETCH(int, pre);
    QFETCH(int, post);
    QFETCH(int, batchSize);
    QFETCH(quint64, trigger);
    TriggeredCapture c;
    CaptureSettings cs;
    cs.edge = edge;
    cs.levelM = level;
    cs.pre = pre;
    cs.post = post;
    cs.outside = [](double m) { return m > 1.80; }; // within 1.80 m
    QVERIFY(c.setSettings(cs));
    QSignalSpy captured(&c, &TriggeredCapture::captured);
    c.arm();
    quint64 next = 0;
    while (next < 1000) {
        QVector<uint16_t> cm;
        for (int i = 0; i < batchSize; ++i)
            cm.append(uint16_t(100 + (next + quint64(i)) % 100));
        c.add(batchOf(next, cm));
        next += quint64(batchSize);
    }
    QCOMPARE(captured.count(), 1); // single
    QCOMPARE(c.triggers(), 1);
    const Capture &k = c.last();
    QCOMPARE(k.triggerNumber(), trigger);
    QCOMPARE(k.size(), pre + 1 + post);
    QCOMPARE(k.pre, pre);
    QVERIFY(!k.forced);
    for (int i = 0; i < k.size(); ++i) {
        QCOMPARE(k.cm[i], uint16_t(100 + (k.firstNumber + quint64(i)) % 100));
        QCOMPARE(k.us[i], qint64(k.firstNumber + quint64(i)) * 1000);
    }
    QCOMPARE(k.seconds(0), -pre / 1000.0);
    QCOMPARE(c.state(), TriggeredCapture::State::Idle);
}

void tst_analysis::captureModes()
{
    // A steady 1.00 m with a step to 2.00 m for samples 300..309.
    auto feed = [](TriggeredCapture &c, quint64 upTo) {
        for (quint64 first = 0; first < upTo; first += 50) {
            QVector<uint16_t> cm;
            for (quint64 i = first; i < first + 50; ++i)
                cm.append(i % 300 < 10 && i >= 300 ? 200 : 100);
            c.add(batchOf(first, cm));
        }
    };
    CaptureSettings cs;
    cs.levelM = 1.5;
    cs.pre = 20;
    cs.post = 20;
    cs.mode = CaptureMode::Normal;
    TriggeredCapture normal;
    QVERIFY(normal.setSettings(cs));
    QSignalSpy caught(&normal, &TriggeredCapture::captured);
    normal.arm();
    feed(normal, 1000); // rising at 300, 600, 900
    QCOMPARE(caught.count(), 3);
    QCOMPARE(normal.triggers(), 3);
    QCOMPARE(normal.last().triggerNumber(), quint64(900));
    QCOMPARE(normal.state(), TriggeredCapture::State::Armed);

    // Auto: without a trigger a capture is taken anyway, not counted.
    cs.mode = CaptureMode::Auto;
    cs.autoAfter = 100;
    TriggeredCapture autoMode;
    QVERIFY(autoMode.setSettings(cs));
    QSignalSpy autoCaught(&autoMode, &TriggeredCapture::captured);
    autoMode.arm();
    feed(autoMode, 250);
    QVERIFY(autoCaught.count() >= 1);
    QVERIFY(autoMode.last().forced);
    QCOMPARE(autoMode.last().size(), 41);
    QCOMPARE(autoMode.triggers(), 0);

    // A hole in the numbering: the pre part fills anew after it.
    TriggeredCapture holed;
    cs.mode = CaptureMode::Single;
    QVERIFY(holed.setSettings(cs));
    holed.arm();
    holed.add(batchOf(0, QVector<uint16_t>(290, 100)));
    holed.add(batchOf(295, QVector<uint16_t>(5, 100)));
    holed.add(batchOf(300, QVector<uint16_t>(30, 200)));
    QCOMPARE(holed.triggers(), 0); // only 5 samples before 300 since the hole
    QCOMPARE(holed.state(), TriggeredCapture::State::Armed);

    // Too long a side, or leaving a tolerance without one, is refused.
    cs.pre = TriggeredCapture::kMaxSide + 1;
    QVERIFY(!holed.setSettings(cs));
    cs.pre = 10;
    cs.edge = TriggerEdge::Leave;
    cs.outside = nullptr;
    QVERIFY(!holed.setSettings(cs));
    QCOMPARE(holed.settings().pre, 20);
}

void tst_analysis::captureCsv()
{
    Capture k;
    k.cm = {100, 101, 250, 251};
    k.us = {1000, 1090, 1180, 1270};
    k.pre = 2;
    k.firstNumber = 7;
    QBuffer buf;
    QVERIFY(buf.open(QIODevice::WriteOnly));
    QVERIFY(writeCaptureCsv(k, buf));
    QCOMPARE(buf.data(), QByteArray("index,time_s,distance_m\n"
                                    "-2,-0.000180,1.00\n"
                                    "-1,-0.000090,1.01\n"
                                    "0,0.000000,2.50\n"
                                    "1,0.000090,2.51\n"));
}

QTEST_GUILESS_MAIN(tst_analysis)
// The samples under a stretch of the chart's time axis: the chart draws
// sample k of a batch at its start + (k + 1) / rate, skips the time a device
// was away, and changes its rate with the sensor's. Every sample is listed
// here with its x and the answer checked against the list.
void tst_analysis::timelineFindsTheChartsSamples_data()
{
    QTest::addColumn<QVector<TimelineBatches>>("batches");
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<int>("entries");
    using B = QVector<TimelineBatches>;
    const B lineRate{{0, 100, 111, 11111}};
    QTest::newRow("line rate, a zoom") << lineRate << 0.3 << 0.5 << 1;
    QTest::newRow("line rate, all of it") << lineRate << -1.0 << 100.0 << 1;
    QTest::newRow("line rate, before it") << lineRate << -2.0 << -1.0 << 1;
    QTest::newRow("line rate, after it") << lineRate << 1.5 << 2.0 << 1;
    const B slow{{0, 20, 10, 1000}};
    QTest::newRow("edges on samples") << slow << 0.010 << 0.020 << 1;
    QTest::newRow("between two samples") << slow << 0.0101 << 0.0109 << 1;
    const B gap{{0, 10, 50, 1000}, {2.0, 10, 50, 1000}};
    QTest::newRow("over a skipped gap") << gap << 0.4 << 2.6 << 2;
    QTest::newRow("within a skipped gap") << gap << 0.6 << 2.4 << 2;
    const B rates{{0, 50, 10, 1000}, {0, 30, 100, 10000}};
    QTest::newRow("over a change of rate") << rates << 0.45 << 0.52 << 2;
}

void tst_analysis::timelineFindsTheChartsSamples()
{
    QFETCH(QVector<TimelineBatches>, batches);
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(int, entries);
    SampleTimeline timeline;
    double cursor = 0;
    quint64 number = 0;
    QVector<double> xs; // every sample's x, by number
    for (const TimelineBatches &b : batches) {
        cursor += b.gapBefore;
        for (int i = 0; i < b.batches; ++i) {
            timeline.add(cursor, number, b.n, b.rate);
            for (int k = 0; k < b.n; ++k)
                xs.append(cursor + double(k + 1) / b.rate);
            cursor += double(b.n) / b.rate;
            number += quint64(b.n);
        }
    }
    QCOMPARE(timeline.entries(), entries);
    quint64 from = 0, end = 0;
    for (int i = 0; i < xs.size(); ++i) {
        if (xs[i] >= x0 - 1e-12 && xs[i] <= x1 + 1e-12) {
            if (end == 0)
                from = quint64(i);
            end = quint64(i) + 1;
        }
    }
    timeline.setShown(x0, x1);
    const auto got = timeline.shownSamples();
    QCOMPARE(got.second - got.first, end - from);
    if (end > from)
        QCOMPARE(got.first, from);

    // What the ring no longer holds is forgotten; the newer samples are
    // found still.
    timeline.forgetBefore(number / 2);
    QVERIFY(timeline.entries() <= entries);
    const auto later = timeline.samplesBetween(x0, x1);
    if (end > number / 2) {
        QCOMPARE(later.second, end);
        QVERIFY(later.first >= from);
    }
}

#include "tst_analysis.moc"
