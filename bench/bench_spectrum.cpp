// SPDX-License-Identifier: GPL-3.0-or-later
// What the signal views cost: the spectrum of N points (FFTW, the window, the
// amplitudes and the peaks), the ring taking a second of the line's top rate,
// and the spectrum view's whole refresh (copy, rate, transform, the curve
// handed to the chart). At four refreshes a second, the CPU share of a core
// is four times the time of one refresh per second.
//
//   xvfb-run -a bench/bench_spectrum   (or QT_QPA_PLATFORM=offscreen)

#include "batch_stream.h"
#include "sample_ring.h"
#include "sample_timeline.h"
#include "spectrum.h"
#include "spectrum_view.h"

#include <QApplication>
#include <QComboBox>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

QVector<uint16_t> vibration(int n, int first, double rate)
{
    QVector<uint16_t> cm(n);
    for (int i = 0; i < n; ++i)
        cm[i] = uint16_t(std::lround(300 + 20 * std::sin(2 * M_PI * 37.3 * (first + i) / rate)));
    return cm;
}

void BM_Spectrum(benchmark::State &state)
{
    const int n = int(state.range(0));
    analysis::SpectrumAnalyser a;
    a.setSize(n);
    a.setWindow(analysis::Window::FlatTop);
    QVector<double> metres(n);
    const QVector<uint16_t> cm = vibration(n, 0, 11111);
    for (int i = 0; i < n; ++i)
        metres[i] = cm[i] / 100.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(a.transform(metres.constData(), 11111));
}
BENCHMARK(BM_Spectrum)->Arg(1024)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);

// One second at 11,111 frames a second in batches of 111 (10 ms), as the
// window's stream hands them on.
void BM_RingSecondAtLineRate(benchmark::State &state)
{
    SampleRing ring;
    BatchStream stream;
    ring.attach(&stream);
    QVector<QVector<uint16_t>> batches;
    for (int b = 0; b < 100; ++b)
        batches.append(vibration(111, b * 111, 11111));
    qint64 us = 0;
    for (auto _ : state) {
        for (const QVector<uint16_t> &b : batches) {
            us += 10000;
            stream.takeAt(b, 11111, us);
        }
    }
}
BENCHMARK(BM_RingSecondAtLineRate)->Unit(benchmark::kMicrosecond);

void BM_SpectrumViewRefresh(benchmark::State &state)
{
    const int n = int(state.range(0));
    SampleRing ring;
    BatchStream stream;
    ring.attach(&stream);
    SampleTimeline chart;
    SpectrumView view(&ring, &chart);
    view.findChild<QComboBox *>(QStringLiteral("comboBox_spectrum_size"))->setCurrentText(QString::number(n));
    qint64 us = 0;
    int first = 0;
    auto feed = [&] {
        us += 10000;
        stream.takeAt(vibration(111, first, 11111), 11111, us);
        first += 111;
    };
    while (ring.size() < n)
        feed();
    for (auto _ : state) {
        feed(); // something new, or the view keeps its picture
        benchmark::DoNotOptimize(view.refresh());
    }
}
BENCHMARK(BM_SpectrumViewRefresh)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
