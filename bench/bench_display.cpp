// The chart's batch pass (MainWindow::slotDisplay) at 10,000 frames per
// second, with the default 10-s time window and with a full 3600-s window.
// BM_slotDisplay is the pass alone, as it runs for every batch: its cost
// should stay flat as the window grows. BM_slotDisplayRefresh adds the chart
// refresh (axes, the points to draw for the plot's width, their hand-over to
// the series), which the window does 10 to 25 times a second whatever the
// batch rate: it should stay flat too, since at most about four points per
// pixel column reach the series. Handing a whole window to the series is
// measured on its own for comparison. Drawing is not part of either (it
// happens later in the event loop); the soak measures the whole viewer.

#include "windowprobe.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPointF>
#include <QVector>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kRate = 10000;       // frames per second
MainWindow *gWindow = nullptr;

QVector<uint16_t> distances(int n, uint16_t base)
{
    QVector<uint16_t> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<uint16_t>(base + (i % 500));
    return v;
}

// Starts an empty chart with the given window (through the operator's clear
// button and time-range edit) and feeds large batches until the window is full
// (plus a margin, so that it slides from the first pass on).
void fillWindow(WindowProbe &probe, int windowSeconds)
{
    probe.ui()->groupBox_ctrl->setEnabled(true);
    probe.ui()->chartClearButton->click();
    probe.ui()->timeRangeEdit->setText(QString::number(windowSeconds));
    emit probe.ui()->timeRangeEdit->editingFinished();
    const QVector<uint16_t> tenSeconds = distances(10 * kRate, 300);
    while (probe.timeCursor() < windowSeconds + 20)
        probe.display(tenSeconds, kRate);
}

void runBatches(benchmark::State &state, bool refresh)
{
    WindowProbe probe(*gWindow);
    const int windowSeconds = static_cast<int>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    fillWindow(probe, windowSeconds);
    const QVector<uint16_t> batch = distances(n, 1200);
    for (auto _ : state) {
        if (refresh)
            probe.display(batch, kRate);
        else
            probe.batchOnly(batch, kRate);
    }
    state.counters["window_points"] = static_cast<double>(probe.displayPointCount());
    state.counters["series_points"] = static_cast<double>(probe.series()->count());
    state.counters["per_frame"] = benchmark::Counter(static_cast<double>(state.iterations()) * n,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * n);
}
void BM_slotDisplay(benchmark::State &state) { runBatches(state, false); }
void BM_slotDisplayRefresh(benchmark::State &state) { runBatches(state, true); }

// 11: the smallest batch at the default threshold; 111 and 1000: larger ones.
BENCHMARK(BM_slotDisplay)
    ->ArgsProduct({{10, 3600}, {11, 111, 1000}})
    ->ArgNames({"window_s", "batch"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_slotDisplayRefresh)
    ->ArgsProduct({{10, 3600}, {11, 111, 1000}})
    ->ArgNames({"window_s", "batch"})
    ->Unit(benchmark::kMicrosecond);

// The floor of any pass: handing a whole window of points to the series (two
// curves in turn, so that each call is a real change and nothing is copied
// here).
void BM_seriesReplace(benchmark::State &state)
{
    WindowProbe probe(*gWindow);
    const int points = static_cast<int>(state.range(0)) * 100; // 100 points per second
    QVector<QPointF> curves[2];
    for (int c = 0; c < 2; ++c) {
        curves[c].resize(points);
        for (int i = 0; i < points; ++i)
            curves[c][i] = QPointF(i * 0.01 + c * 0.005, 3.0 + (i % 100) * 0.01);
    }
    int turn = 0;
    for (auto _ : state)
        probe.series()->replace(curves[turn ^= 1]);
    state.counters["window_points"] = points;
}
BENCHMARK(BM_seriesReplace)->Arg(10)->Arg(3600)->ArgName("window_s")->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MainWindow window;
    gWindow = &window;
    // A laid-out window, so that the chart has its plot width.
    window.resize(1280, 1024);
    window.show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    std::fprintf(stderr, "plot width %.1f px\n", WindowProbe(window).chartView()->chart()->plotArea().width());

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.shutdownWorker();
    return 0;
}
