// SPDX-License-Identifier: GPL-3.0-or-later
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

#include "chart_model.h"
#include "curve_raster.h"
#include "measurement_judge.h"
#include "record_format.h"
#include "windowprobe.h"

#include <benchmark/benchmark.h>

#include <algorithm>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPointF>
#include <QTemporaryDir>
#include <QVector>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cmath>

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

// The curve's picture of an hour's window at the line rate over the soak's
// target (1 to 40 m, a new place every 20 s, noise): a solid band. "full" is
// a picture from scratch (another size, vertical range or column width),
// "refresh" the picture after one more batch of 11 frames (the newest
// column changes), "lines" the same picture from scratch with one QPainter
// line per pair of points (what a line series draws).
void BM_curvePicture(benchmark::State &state)
{
    const int mode = static_cast<int>(state.range(0));
    const int rate = 11111;
    ChartModel model;
    QVector<uint16_t> batch(rate);
    qint64 frame = 0;
    auto fill = [&](int n) {
        batch.resize(n);
        for (int i = 0; i < n; ++i, ++frame)
            batch[i] = static_cast<uint16_t>(100 + (frame / (20 * rate)) * 7919 % 40 * 100 + (frame * 2654435761u >> 7) % 37);
        model.addBatch(batch, rate, 3600);
    };
    while (model.timeCursor() < 3620)
        fill(rate);
    CurveRaster raster;
    CurveRaster::Geometry g;
    g.size = QSize(482, 865);
    g.columnWidth = ChartModel::columnWidth(3600, 482);
    g.firstColumn = qint64(std::floor(model.axisStart() / g.columnWidth));
    g.yTop = model.maxDistance() / 0.9;
    g.plotHeight = 865;
    g.pen = QPen(QColor(32, 159, 223), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    raster.update(model.windowCurve(3600, 482), g);
    QImage lines(g.size, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        if (mode == 1) {
            fill(11);
            raster.update(model.windowCurve(3600, 482), g);
        } else if (mode == 0) {
            raster.invalidate();
            raster.update(model.windowCurve(3600, 482), g);
        } else {
            lines.fill(Qt::transparent);
            CurveRaster::drawAllSegments(lines, model.windowCurve(3600, 482), g);
        }
    }
    state.counters["columns_drawn"] = raster.lastColumnsDrawn();
}
BENCHMARK(BM_curvePicture)->Arg(0)->Arg(1)->Arg(2)->ArgName("full_refresh_lines")->Unit(benchmark::kMicrosecond);

// Repainting part of the chart's viewport, as a refresh asks for: a strip of
// the plot a few pixel columns wide (the newest columns of an hour's
// window), the whole plot (a scroll), and the whole chart.
void BM_chartRepaint(benchmark::State &state)
{
    WindowProbe probe(*gWindow);
    QWidget *viewport = probe.chartView()->viewport();
    const QRectF plot = probe.chartView()->chart()->plotArea();
    QRegion area;
    const QRect newest(int(plot.right()) - 12, int(plot.top()), 9, int(plot.height()));
    switch (state.range(0)) {
    case 0: area = newest; break;
    case 1: area = QRegion(newest) + QRect(int(plot.left()), int(plot.top()), 9, int(plot.height())); break;
    case 2: area = plot.toAlignedRect(); break;
    default: area = viewport->rect(); break;
    }
    for (auto _ : state)
        viewport->repaint(area);
    double pixels = 0;
    for (const QRect &r : area)
        pixels += double(r.width()) * r.height();
    state.counters["pixels"] = pixels;
}
BENCHMARK(BM_chartRepaint)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->ArgName("strip_2strips_plot_all")->Unit(benchmark::kMicrosecond);

// Opening a recording for replay: an hour at 100 frames a second (360,000
// lines) read, parsed, handed to the chart model and drawn, plain text and
// CSV.
void BM_replayOpen(benchmark::State &state)
{
    WindowProbe probe(*gWindow);
    const bool csv = state.range(0) == 1;
    static QTemporaryDir dir;
    const QString path = dir.filePath(csv ? "20261207_101500.csv" : "20261207_101500.txt");
    if (!QFile::exists(path)) {
        QVector<uint16_t> hour(360000);
        qint64 level = 2000;
        quint32 h = 12345;
        for (uint16_t &d : hour) {
            h = h * 1664525u + 1013904223u;
            level = std::clamp<qint64>(level + qint64(h >> 28) - 8, 0, 65535);
            d = uint16_t(level);
        }
        QByteArray out;
        if (csv) {
            out = recordformat::csvHeader();
            recordformat::CsvClock clock;
            recordformat::appendCsvLines(out, hour, 100, clock);
        } else {
            recordformat::appendPlainLines(out, hour);
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size()) {
            state.SkipWithError("cannot write the recording");
            return;
        }
    }
    for (auto _ : state) {
        if (!probe.openRecording(path, 100)) {
            state.SkipWithError("the recording did not open");
            return;
        }
        QCoreApplication::processEvents();   // the picture's paint
    }
    state.counters["points"] = probe.frozenPoints().size();
    // Back to live for whatever runs next.
    WindowProbe(*gWindow).ui()->suspendButton->click();
}
BENCHMARK(BM_replayOpen)->Arg(0)->Arg(1)->ArgName("csv")->Unit(benchmark::kMillisecond)->UseRealTime();

// The judge on a batch of the top rate (111 frames, 10 ms of the stream):
// filter, zero, state, counters and the per-sample trail; arg 0 plain, 1 a
// moving average of 256, 2 a median of 21 after a jump rejection. Divide by
// 111 for a sample; 100 such batches a second are the line's top rate.
void BM_judgeBatch(benchmark::State &state)
{
    MeasurementJudge judge;
    JudgeLimits limits;
    limits.low = 10;
    limits.high = 30;
    limits.hysteresis = 0.05;
    limits.on = true;
    judge.setLimits(limits);
    FilterSettings f;
    if (state.range(0) == 1) {
        f.kind = FilterSettings::Average;
        f.length = 256;
    } else if (state.range(0) == 2) {
        f.kind = FilterSettings::Median;
        f.length = 21;
        f.jumpCm = 50;
        f.jumpSamples = 3;
    }
    judge.setFilter(f);
    MeasurementBatch b;
    b.rate = 11111;
    b.cm.resize(111);
    quint32 noise = 1;
    for (auto _ : state) {
        for (uint16_t &cm : b.cm) {
            noise = noise * 1664525u + 1013904223u;
            cm = uint16_t(1000 + (noise >> 20) % 2100);
        }
        b.firstUs = b.lastUs + 90;
        b.lastUs += 10000;
        judge.take(b);
        b.first = b.end();
    }
    state.SetItemsProcessed(state.iterations() * b.size());
}
BENCHMARK(BM_judgeBatch)->Arg(0)->Arg(1)->Arg(2)->ArgName("plain_avg256_median21")->Unit(benchmark::kMicrosecond);

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
