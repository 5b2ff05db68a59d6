// SPDX-License-Identifier: GPL-3.0-or-later
// The live chart and the readouts: decimation, the moving time window, the
// axes, suspend and resume, clear, the time-range input and the batch size.

#include "capture_view.h"
#include "grid_item.h"
#include "judge_panel.h"
#include "histogram_view.h"
#include "spectrum_view.h"
#include "mainwindow.h"
#include "dialog_answers.h"
#include "modalcatcher.h"
#include "receiver.h"
#include "windowprobe.h"

#include <QChart>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <memory>

// The points a series holds, as a vector, in either Qt version.
static QVector<QPointF> seriesPoints(const QXYSeries *series)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return series->points();
#else
    return series->pointsVector();
#endif
}

// The chart's bookkeeping written out step by step, on plain vectors, as the
// reference that the window's incremental model must match exactly. Its
// axes sit in a chart of their own, so that range requests are treated as
// the window's are. The plot's geometry (left edge, width) is the window's.
struct ReferenceChart
{
    enum Mode { Live, Suspended, Cleared };
    QVector<QPointF> series, frozen, window;
    double timeCursor = 0, maxDistance = 0, currentDistance = 0, axisStart = 0;
    int latestRate = 0, timeRange = 10, skip = 0;
    Mode mode = Cleared;
    double plotLeft = 0, plotWidth = 1000;
    QChart chart;
    QLineSeries *line = new QLineSeries;
    QValueAxis *axisX = new QValueAxis;
    QValueAxis *axisY = new QValueAxis;

    ReferenceChart()
    {
        chart.addSeries(line);
        axisX->setRange(0, 10);
        axisY->setRange(0, 350);
        chart.addAxis(axisX, Qt::AlignBottom);
        line->attachAxis(axisX);
        chart.addAxis(axisY, Qt::AlignLeft);
        line->attachAxis(axisY);
    }

    // The first, smallest, largest and last point of every pixel column
    // (columns of range / width seconds from 0 on), when there are more than
    // four points per column; else every point.
    QVector<QPointF> curve(const QVector<QPointF> &points, double range) const
    {
        if (!(range > 0) || points.size() <= 4 * plotWidth)
            return points;
        const double w = range / plotWidth;
        QVector<QPointF> out;
        for (int i = 0; i < points.size();) {
            const double column = std::floor(points.at(i).x() / w);
            int j = i, low = i, high = i;
            while (j < points.size() && std::floor(points.at(j).x() / w) == column) {
                if (points.at(j).y() < points.at(low).y())
                    low = j;
                if (points.at(j).y() > points.at(high).y())
                    high = j;
                ++j;
            }
            QVector<int> picks{i, low, high, j - 1};
            std::sort(picks.begin(), picks.end());
            picks.erase(std::unique(picks.begin(), picks.end()), picks.end());
            for (int k : picks)
                out << points.at(k);
            i = j;
        }
        return out;
    }

    void setAxis(QValueAxis *axis, double min, double max)
    {
        if (axis->min() != min || axis->max() != max)
            axis->setRange(min, max);
    }

    void refresh()
    {
        double start = axisStart;
        if (timeRange > 0 && window.size() > 4 * plotWidth) {
            // The axis starts on a column border, shifted by where the plot's
            // left edge lies in the pixels.
            const double w = timeRange / plotWidth;
            const double phase = (plotLeft - 0.5) - std::floor(plotLeft - 0.5);
            start = (std::floor(axisStart / w - phase) + phase) * w;
            if (start > axisStart)
                start -= w;
        }
        setAxis(axisX, start, start + timeRange);
        setAxis(axisY, 0, maxDistance / 0.9);
        series = curve(window, timeRange);
    }

    void batch(const QVector<uint16_t> &dist, int freq)
    {
        if (freq <= 0)
            return;
        const int n = dist.size();
        const int b = freq >= 100 ? freq / 100 : 1;
        latestRate = freq;
        skip = std::min(skip, b - 1);
        const double c = double(n) / freq + timeCursor - timeRange;
        if (mode != Suspended)
            axisStart = window.isEmpty() ? 0 : window.first().x();
        if (c >= 0) {
            int i = 0;
            while (i < window.size() && window.at(i).x() < c)
                ++i;
            window.remove(0, i);
        }
        int k = skip;
        for (; k < n; k += b) {
            currentDistance = dist.at(k) / 100.0;
            window.append(QPointF(timeCursor + double(k + 1) / freq, currentDistance));
        }
        skip = k - n;
        timeCursor += double(n) / freq;
        maxDistance = 0;
        for (const QPointF &p : window)
            maxDistance = std::max(maxDistance, p.y());
        if (mode == Cleared)
            mode = Live;
        if (mode == Live)
            refresh();
    }

    void suspendClick()
    {
        if (mode != Suspended) {
            mode = Suspended;
            frozen = window;
        } else {
            mode = window.isEmpty() ? Cleared : Live;
            frozen.clear();
            series = curve(window, axisX->max() - axisX->min());
        }
    }

    void clear()
    {
        series.clear();
        window.clear();
        frozen.clear();
        timeCursor = 0;
        skip = 0;
        if (mode == Live)
            mode = Cleared;
    }

    void connectReset()
    {
        clear();
        axisX->setRange(0, 10);
        maxDistance = currentDistance = axisStart = 0;
        latestRate = 0;
    }
};

class tst_window_display : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }

    static QVector<uint16_t> ramp(int n, int first = 100, int step = 1)
    {
        QVector<uint16_t> v;
        for (int i = 0; i < n; ++i)
            v << uint16_t(first + i * step);
        return v;
    }
    void compareWith(const ReferenceChart &ref, const QByteArray &where);
    void settleChart();
    void layOutChart();
    void enterTimeRange(const QString &text);

private slots:
    void init()
    {
        window = new MainWindow;
        window->show();
        // The chart controls are live only while connected; these tests drive
        // the display without a sensor.
        ui()->groupBox_ctrl->setEnabled(true);
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void decimation_data();
    void decimation();
    void decimationAcrossBatches_data();
    void decimationAcrossBatches();
    void rateZeroChangesNothing();
    void windowMovesWithTime();
    void peakLeavesTheWindow();
    void nonPositiveTimeRange();
    void readoutHoldsRateForTwoSeconds();
    void readoutShowsStaleData_data();
    void readoutShowsStaleData();
    void distanceReadoutFormat_data();
    void distanceReadoutFormat();
    void suspendAndResume();
    void clearRestartsAtZero();
    void clearWhileSuspended();
    void signalViewsTakeEveryBatch();
    void connectResetsDisplay_data();
    void connectResetsDisplay();
    void timeRangeInput_data();
    void timeRangeInput();
    void batchSizeReachesWorker_data();
    void batchSizeReachesWorker();
    void matchesReferenceUnderRandomUse_data();
    void matchesReferenceUnderRandomUse();
    void fastBatchesRefreshChartLater();
    void pendingRefreshAndOperator_data();
    void pendingRefreshAndOperator();
    void zoomHoldsWhileBatchesArrive_data();
    void zoomHoldsWhileBatchesArrive();
    void zoomKeepsItsPointsPastTheTimeRange_data();
    void zoomKeepsItsPointsPastTheTimeRange();
    void backToLiveAfterSuspendingAZoom();
    void zoomWithNothingShown_data();
    void zoomWithNothingShown();
    void verticalRange_data();
    void verticalRange();
    void gridOnTheAxesPixels_data();
    void gridOnTheAxesPixels();
    void curveOnDevicePixels();
    void gridLinesOnPainterPixels_data();
    void gridLinesOnPainterPixels();
    void chartFollowsADarkPalette();
    void hoverReadsNearestPoint_data();
    void hoverReadsNearestPoint();
    void statisticsOfWhatIsShown();
    void exportRoundTrips_data();
    void exportRoundTrips();
    void exportAddsTheExtension_data();
    void exportAddsTheExtension();
    void recordFormatChoice();
    void replayOfARecording_data();
    void replayOfARecording();
    void judgeCountsSpikesBetweenPlottedPoints_data();
    void judgeCountsSpikesBetweenPlottedPoints();
    void judgeZeroAndMasterRemembered_data();
    void judgeZeroAndMasterRemembered();

private:
    QPoint viewportPointOf(const QPointF &value) const;
    QPoint plotPoint(double xShare, double yShare) const;
    void sendMouse(QEvent::Type type, const QPoint &at, Qt::MouseButton button, Qt::MouseButtons buttons);
    QLabel *label(const char *name) const { return window->findChild<QLabel *>(name); }
    template <typename T> T *tool(const char *name) const { return window->findChild<T *>(name); }
};

void tst_window_display::compareWith(const ReferenceChart &ref, const QByteArray &where)
{
    WindowProbe p = probe();
    const char *at = where.constData();
    QVERIFY2(seriesPoints(p.series()) == ref.series, at);
    QVERIFY2(p.displayPoints() == ref.window, at);
    QVERIFY2(p.frozenPoints() == ref.frozen, at);
    QVERIFY2(int(p.chart().state()) == int(ref.mode), at);
    QVERIFY2(p.timeCursor() == ref.timeCursor, at);
    QVERIFY2(p.maxDistance() == ref.maxDistance, at);
    QVERIFY2(p.currentDistance() == ref.currentDistance, at);
    QVERIFY2(p.latestRate() == ref.latestRate, at);
    QVERIFY2(p.suspended() == (ref.mode == ReferenceChart::Suspended), at);
    QVERIFY2(p.axisX()->min() == ref.axisX->min() && p.axisX()->max() == ref.axisX->max(), at);
    QVERIFY2(p.axisY()->min() == ref.axisY->min() && p.axisY()->max() == ref.axisY->max(), at);
}

void tst_window_display::decimation_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("step");
    QTest::newRow("50 fps, every distance") << 50 << 1;
    QTest::newRow("99 fps, every distance") << 99 << 1;
    QTest::newRow("100 fps, every distance") << 100 << 1;
    QTest::newRow("250 fps, every second") << 250 << 2;
    QTest::newRow("1000 fps, every tenth") << 1000 << 10;
    QTest::newRow("11111 fps, every 111th") << 11111 << 111;
}

void tst_window_display::decimation()
{
    QFETCH(int, rate);
    QFETCH(int, step);
    const QVector<uint16_t> batch = ramp(240, 1000, 7);
    probe().display(batch, rate);

    // Frames 0, step, 2 step, ... are plotted, each at its own time; the
    // cursor is the time of the batch's last frame.
    const QVector<QPointF> points = seriesPoints(probe().series());
    QCOMPARE(points.size(), (batch.size() + step - 1) / step);
    for (int i = 0; i < points.size(); ++i) {
        QCOMPARE(points.at(i).x(), double(i * step + 1) / rate);
        QCOMPARE(points.at(i).y(), batch.at(i * step) / 100.0);
    }
    QCOMPARE(probe().timeCursor(), double(batch.size()) / rate);
    QCOMPARE(probe().latestRate(), rate);
    QCOMPARE(probe().currentDistance(), batch.at((points.size() - 1) * step) / 100.0);
    // The first batch starts from an empty chart: the time axis begins at 0.
    QCOMPARE(probe().axisX()->min(), 0.0);
    QCOMPARE(probe().axisX()->max(), 10.0);
    const double peak = batch.at((points.size() - 1) * step) / 100.0;
    QCOMPARE(probe().maxDistance(), peak);
    QCOMPARE(probe().axisY()->max(), peak / 0.9);
}

void tst_window_display::decimationAcrossBatches_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("batchSize");
    for (const int rate : {100, 1000, 11111})
        for (const int size : {1, 10, 1000})
            QTest::newRow(qPrintable(QString("%1 fps, batches of %2").arg(rate).arg(size))) << rate << size;
}

// Whatever the batch size, every step-th frame of the stream is plotted at
// its frame's time, and the time axis advances by the frames received over
// the rate (a batch smaller than the step plots nothing or one frame, it does
// not advance the time by a whole step).
void tst_window_display::decimationAcrossBatches()
{
    QFETCH(int, rate);
    QFETCH(int, batchSize);
    const int step = rate >= 100 ? rate / 100 : 1;
    const int frames = rate * 3 / 2;   // a second and a half of the stream
    for (int sent = 0; sent < frames; sent += batchSize) {
        QVector<uint16_t> batch;
        for (int g = sent; g < std::min(frames, sent + batchSize); ++g)
            batch << uint16_t(g % 50000);
        probe().batchOnly(batch, rate);
    }
    QVERIFY(qAbs(probe().timeCursor() - double(frames) / rate) < 1e-9);

    const QVector<QPointF> points = probe().displayPoints();
    QCOMPARE(points.size(), (frames + step - 1) / step);
    for (int j = 0; j < points.size(); ++j) {
        const int frame = j * step;
        QVERIFY2(qAbs(points.at(j).x() - double(frame + 1) / rate) < 1e-9,
                 qPrintable(QString("point %1 at %2 s").arg(j).arg(points.at(j).x(), 0, 'g', 12)));
        QCOMPARE(points.at(j).y(), (frame % 50000) / 100.0);
    }
}

void tst_window_display::rateZeroChangesNothing()
{
    probe().display(ramp(20), 50);
    const QVector<QPointF> before = seriesPoints(probe().series());
    const double cursor = probe().timeCursor();
    const double current = probe().currentDistance();
    const double axisMax = probe().axisY()->max();

    probe().display(ramp(30, 9000), 0);
    QCOMPARE(seriesPoints(probe().series()), before);
    QCOMPARE(probe().timeCursor(), cursor);
    QCOMPARE(probe().currentDistance(), current);
    QCOMPARE(probe().latestRate(), 50);
    QCOMPARE(probe().axisY()->max(), axisMax);
}

// 64 frames per second in batches of 32 keeps every time an exact binary
// fraction: each batch is half a second, each point 1/64 s after the last.
void tst_window_display::windowMovesWithTime()
{
    probe().timeRange() = 2;
    for (int j = 1; j <= 12; ++j) {
        const QVector<QPointF> before = seriesPoints(probe().series());
        probe().display(ramp(32, 100 * j), 64);
        const QVector<QPointF> points = seriesPoints(probe().series());

        QCOMPARE(probe().timeCursor(), 0.5 * j);
        // The window keeps the points at or after (end of batch - 2 s).
        const double windowStart = 0.5 * j - 2;
        QCOMPARE(points.size(), j < 5 ? 32 * j : 129);
        QVERIFY(points.first().x() >= windowStart);
        QCOMPARE(points.last().x(), 0.5 * j);
        // The time axis starts where the curve started before the cut.
        const double axisStart = before.isEmpty() ? 0 : before.first().x();
        QCOMPARE(probe().axisX()->min(), axisStart);
        QCOMPARE(probe().axisX()->max(), axisStart + 2);
    }
    QCOMPARE(probe().displayPoints(), seriesPoints(probe().series()));
}

void tst_window_display::peakLeavesTheWindow()
{
    probe().timeRange() = 1;
    QVector<uint16_t> first(32, 2000);
    first[0] = 50000;
    probe().display(first, 64);
    QCOMPARE(probe().maxDistance(), 500.0);
    QCOMPARE(probe().axisY()->max(), 500.0 / 0.9);

    probe().display(QVector<uint16_t>(32, 1500), 64);
    QCOMPARE(probe().maxDistance(), 500.0);  // the peak at 1/64 s is still inside

    probe().display(QVector<uint16_t>(32, 1500), 64);
    QCOMPARE(probe().maxDistance(), 20.0);   // the peak dropped out, the 20 m remain
    QCOMPARE(probe().axisY()->max(), 20.0 / 0.9);

    probe().display(QVector<uint16_t>(32, 1500), 64);
    probe().display(QVector<uint16_t>(32, 1500), 64);
    QCOMPARE(probe().maxDistance(), 15.0);
}

// A time window of 0 or less is refused (the chart went blank): the range
// in use stays, and so do the points in it.
void tst_window_display::nonPositiveTimeRange()
{
    probe().display(ramp(40), 50);
    const int range = probe().timeRange();
    probe().timeRange() = 0;
    QCOMPARE(probe().timeRange(), range);
    probe().display(ramp(15, 300), 50);
    QCOMPARE(probe().series()->count(), 55);
    probe().timeRange() = -3;
    QCOMPARE(probe().timeRange(), range);
    QCOMPARE(ui()->timeRangeEdit->text(), QString::number(range));
    probe().display(ramp(12, 700), 50);
    QCOMPARE(probe().series()->count(), 67);
}

void tst_window_display::readoutHoldsRateForTwoSeconds()
{
    probe().display(ramp(20, 123), 100);
    for (int refresh = 1; refresh <= 10; ++refresh) {
        probe().distUpdate();
        QCOMPARE(ui()->freqLabel->text(), QString("100"));
        QCOMPARE(ui()->distLabel->text(), QString("1.42"));
        QCOMPARE(probe().latestRate(), 0);
    }
    probe().distUpdate();
    QCOMPARE(ui()->freqLabel->text(), QString("0"));
    QCOMPARE(ui()->distLabel->text(), QString("1.42"));

    // A newer rate shows at once.
    probe().display(ramp(20), 250);
    probe().distUpdate();
    QCOMPARE(ui()->freqLabel->text(), QString("250"));
    probe().display(ramp(20), 1000);
    probe().distUpdate();
    QCOMPARE(ui()->freqLabel->text(), QString("1000"));
}

void tst_window_display::readoutShowsStaleData_data()
{
    QTest::addColumn<bool>("english");
    QTest::newRow("Chinese") << false;
    QTest::newRow("English") << true;
}

// A distance that stopped coming must not pass for a current one: once no
// batch has come for over a second the readout is greyed and its tooltip
// says why; the next batch makes it current again.
void tst_window_display::readoutShowsStaleData()
{
    QFETCH(bool, english);
    if (english)
        ui()->radioButton_english->setChecked(true);
    const auto T = [](const char *source) { return QCoreApplication::translate("MainWindow", source); };
    QLabel *readout = ui()->distLabel;
    QElapsedTimer sinceBatch;
    probe().display(ramp(20, 123), 100);
    sinceBatch.start();
    probe().distUpdate();
    QVERIFY(readout->isEnabled());
    QCOMPARE(readout->toolTip(), T("最新测量距离（米）"));
    QCOMPARE(readout->text(), QString("1.42"));

    // The refresh timer's own ticks mark it stale, not before a second.
    QTRY_VERIFY_WITH_TIMEOUT(!readout->isEnabled(), 15000);
    QVERIFY2(sinceBatch.elapsed() >= 1000, qPrintable(QString::number(sinceBatch.elapsed())));
    QCOMPARE(readout->toolTip(), T("数据已过时：超过1秒未收到测量帧"));
    QCOMPARE(readout->text(), QString("1.42"));
    if (english)
        QCOMPARE(readout->toolTip(), QString("Out of date: no measurement frame for over a second"));

    // A batch without frames does not make it current; one with frames does.
    probe().display({}, 100);
    probe().distUpdate();
    QVERIFY(!readout->isEnabled());
    probe().display(ramp(5, 300), 100);
    probe().distUpdate();
    QVERIFY(readout->isEnabled());
    QCOMPARE(readout->toolTip(), T("最新测量距离（米）"));
    QCOMPARE(readout->text(), QString("3.04"));
}

void tst_window_display::distanceReadoutFormat_data()
{
    QTest::addColumn<int>("centimetres");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("5") << 5 << "0.05";
    QTest::newRow("123") << 123 << "1.23";
    QTest::newRow("300") << 300 << "3";
    QTest::newRow("65535") << 65535 << "655.35";
}

void tst_window_display::distanceReadoutFormat()
{
    QFETCH(int, centimetres);
    QFETCH(QString, shown);
    probe().display(QVector<uint16_t>(11, uint16_t(centimetres)), 10);
    probe().distUpdate();
    QCOMPARE(ui()->distLabel->text(), shown);
}

void tst_window_display::suspendAndResume()
{
    probe().timeRange() = 1;
    probe().display(ramp(32, 100), 64);
    const QVector<QPointF> shown = seriesPoints(probe().series());
    const double axisXMin = probe().axisX()->min();
    const double axisYMax = probe().axisY()->max();

    ui()->suspendButton->click();
    QVERIFY(probe().suspended());
    QCOMPARE(ui()->suspendButton->text(), QString("恢复"));

    // Three seconds of data while suspended: the screen stays, the window moves.
    for (int j = 0; j < 6; ++j)
        probe().display(ramp(32, 5000 + j), 64);
    QCOMPARE(seriesPoints(probe().series()), shown);
    QCOMPARE(probe().axisX()->min(), axisXMin);
    QCOMPARE(probe().axisY()->max(), axisYMax);
    QCOMPARE(probe().frozenPoints(), shown);
    QCOMPARE(probe().chart().state(), ChartModel::State::Suspended);
    const QVector<QPointF> window = probe().displayPoints();
    QCOMPARE(window.size(), 65);
    QCOMPARE(window.last().x(), 3.5);
    QCOMPARE(probe().timeCursor(), 3.5);

    ui()->suspendButton->click();
    QVERIFY(!probe().suspended());
    QCOMPARE(probe().chart().state(), ChartModel::State::Live);
    QVERIFY(probe().frozenPoints().isEmpty());
    QCOMPARE(ui()->suspendButton->text(), QString("暂停"));
    QCOMPARE(seriesPoints(probe().series()), window);

    // The axes follow with the next batch.
    probe().display(ramp(32, 100), 64);
    QCOMPARE(probe().axisX()->min(), 2.5);
    QCOMPARE(probe().axisX()->max(), 3.5);
}

void tst_window_display::clearRestartsAtZero()
{
    probe().display(ramp(60, 400), 50);
    const double axisXMax = probe().axisX()->max();
    const double axisYMax = probe().axisY()->max();
    const double peak = probe().maxDistance();

    ui()->chartClearButton->click();
    QCOMPARE(probe().chart().state(), ChartModel::State::Cleared);
    QCOMPARE(probe().series()->count(), 0);
    QVERIFY(probe().displayPoints().isEmpty());
    QCOMPARE(probe().timeCursor(), 0.0);
    QCOMPARE(probe().axisX()->max(), axisXMax);
    QCOMPARE(probe().axisY()->max(), axisYMax);
    QCOMPARE(probe().maxDistance(), peak);

    probe().display(ramp(20, 100), 50);
    QCOMPARE(probe().chart().state(), ChartModel::State::Live);
    QCOMPARE(probe().series()->count(), 20);
    QCOMPARE(probe().series()->at(0).x(), 1.0 / 50);
    QCOMPARE(probe().axisX()->min(), 0.0);
}

// Cleared while suspended: the chart empties and stays suspended, and what
// resume shows is what came after the clear, from 0 s on (not the window
// from before the clear with the new points running back in time).
void tst_window_display::clearWhileSuspended()
{
    probe().timeRange() = 1;
    probe().display(ramp(60, 400), 50);
    ui()->suspendButton->click();
    ui()->chartClearButton->click();
    QCOMPARE(probe().series()->count(), 0);
    QVERIFY(probe().suspended());
    QCOMPARE(ui()->suspendButton->text(), QString("恢复"));
    // 1.2 s of data after the clear: the window's cut (at 0.2 s) falls
    // inside the time the window held before the clear.
    probe().display(ramp(60, 100), 50);
    QCOMPARE(probe().series()->count(), 0);
    QCOMPARE(probe().displayPoints().size(), 60);

    ui()->suspendButton->click();
    QVERIFY(!probe().suspended());
    const QVector<QPointF> shown = seriesPoints(probe().series());
    QCOMPARE(shown.size(), 60);
    QCOMPARE(shown.first(), QPointF(1.0 / 50, 1.0));
    QCOMPARE(shown.last(), QPointF(60.0 / 50, 1.59));
}

void tst_window_display::connectResetsDisplay_data()
{
    QTest::addColumn<bool>("suspendFirst");
    QTest::newRow("live") << false;
    QTest::newRow("suspended") << true;
}

void tst_window_display::connectResetsDisplay()
{
    QFETCH(bool, suspendFirst);
    probe().timeRange() = 30;
    probe().display(ramp(60, 400), 50);
    probe().distUpdate();
    if (suspendFirst)
        ui()->suspendButton->click();
    probe().resetDisplay();
    QCOMPARE(ui()->distLabel->text(), QString("0"));
    QCOMPARE(ui()->freqLabel->text(), QString("0"));
    QCOMPARE(probe().series()->count(), 0);
    QVERIFY(probe().displayPoints().isEmpty());
    QVERIFY(probe().frozenPoints().isEmpty());
    QCOMPARE(probe().axisX()->min(), 0.0);
    QCOMPARE(probe().axisX()->max(), 10.0);   // not the 30 s in force
    QCOMPARE(probe().timeCursor(), 0.0);
    QCOMPARE(probe().maxDistance(), 0.0);
    QCOMPARE(probe().currentDistance(), 0.0);
    QCOMPARE(probe().latestRate(), 0);
    QCOMPARE(probe().timeRange(), 30);
    // A suspended chart stays suspended (and empty); a live one waits for data.
    QCOMPARE(probe().chart().state(), suspendFirst ? ChartModel::State::Suspended : ChartModel::State::Cleared);
    QCOMPARE(probe().suspended(), suspendFirst);

    probe().display(ramp(10, 700), 50);
    QCOMPARE(probe().displayPoints().size(), 10);
    QCOMPARE(probe().displayPoints().first().x(), 1.0 / 50);
    QCOMPARE(probe().series()->count(), suspendFirst ? 0 : 10);
}

// The signal views beside the chart: one switch shows and hides them, and
// what reaches the window reaches them whole (the capture and the histogram
// see every sample, whatever the chart draws).
void tst_window_display::signalViewsTakeEveryBatch()
{
    auto *toggle = window->findChild<QLabel *>(QStringLiteral("label_signal"));
    QVERIFY(toggle);
    const QStringList docks = {"dockWidget_spectrum", "dockWidget_histogram", "dockWidget_capture"};
    for (const QString &name : docks)
        QVERIFY2(!window->findChild<QDockWidget *>(name)->isVisible(), qPrintable(name));
    emit toggle->linkActivated(QStringLiteral("#signal"));
    for (const QString &name : docks)
        QVERIFY2(!window->findChild<QDockWidget *>(name)->isHidden(), qPrintable(name));

    auto *capture = window->findChild<CaptureView *>(QStringLiteral("captureView"));
    auto *histogram = window->findChild<HistogramView *>(QStringLiteral("histogramView"));
    QVERIFY(capture && histogram);
    // Rising through 5.00 m, 0.1 s each side at 1000 frames/s.
    window->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_capture_level"))->setValue(5.0);
    window->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_capture_pre"))->setValue(0.1);
    window->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_capture_post"))->setValue(0.1);
    auto *arm = window->findChild<QPushButton *>(QStringLiteral("pushButton_capture_arm"));
    probe().display(QVector<uint16_t>(300, 400), 1000); // the rate is known from here on
    arm->click();
    QCOMPARE(capture->trigger().state(), analysis::TriggeredCapture::State::Filling);
    // Samples 300..: 4.00 m for 150, then counting up from 4.90 m by a
    // centimetre: 5.00 m is sample 460.
    probe().display(QVector<uint16_t>(150, 400), 1000);
    for (int b = 0; b < 10; ++b)
        probe().display(ramp(50, 490 + 50 * b), 1000);
    QCOMPARE(capture->trigger().triggers(), 1);
    const analysis::Capture &k = capture->trigger().last();
    QCOMPARE(k.size(), 100 + 1 + 100);
    QCOMPARE(k.triggerNumber(), quint64(460));
    QCOMPARE(k.cm.at(k.pre), uint16_t(500));
    QCOMPARE(k.cm.at(k.pre - 1), uint16_t(499));
    QCOMPARE(k.cm.first(), uint16_t(400));
    QCOMPARE(k.cm.last(), uint16_t(600));
    QCOMPARE(capture->trigger().state(), analysis::TriggeredCapture::State::Idle);
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("pushButton_capture_save"))->isEnabled());

    // The histogram of the newest 100: 8.90 m .. 9.89 m.
    window->findChild<QSpinBox *>(QStringLiteral("spinBox_histogram_count"))->setValue(100);
    QVERIFY(histogram->refresh());
    QCOMPARE(histogram->lastHistogram().n, 100);
    QVERIFY(std::abs(histogram->lastHistogram().mean - 9.395) < 1e-9);

    // Of the samples the chart shows: sample k at (k + 1) ms here, so a
    // zoom onto 0.45 s .. 0.50 s holds samples 449 (4.00 m) to 499 (the
    // ramp's 4.90 m .. 5.39 m).
    auto *chartAxis = qobject_cast<QValueAxis *>(
        window->findChild<QChartView *>(QStringLiteral("chartView"))->chart()->axes(Qt::Horizontal).first());
    QVERIFY(chartAxis);
    chartAxis->setRange(0.45, 0.50);
    window->findChild<QComboBox *>(QStringLiteral("comboBox_histogram_source"))->setCurrentIndex(1);
    QVERIFY(histogram->refresh());
    QCOMPARE(histogram->lastHistogram().n, 51);
    QVERIFY2(std::abs(histogram->lastHistogram().mean - (4.0 + (4.90 + 5.39) / 2 * 50) / 51) < 1e-9,
             qPrintable(QString::number(histogram->lastHistogram().mean, 'f', 6)));
    // The spectrum needs N of them.
    auto *spectrum = window->findChild<SpectrumView *>(QStringLiteral("spectrumView"));
    QVERIFY(spectrum);
    window->findChild<QComboBox *>(QStringLiteral("comboBox_spectrum_source"))->setCurrentIndex(1);
    window->findChild<QComboBox *>(QStringLiteral("comboBox_spectrum_size"))->setCurrentIndex(0);
    QVERIFY(!spectrum->refresh());
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("label_spectrum_peaks"))->text(),
             QStringLiteral("图表范围内有 51 个数据，少于 1024 点"));
    window->findChild<QComboBox *>(QStringLiteral("comboBox_histogram_source"))->setCurrentIndex(0);

    // Leaving the tolerance is a trigger once the judge has limits: of the
    // raw sample against the zero, the first out after one within.
    auto *edge = window->findChild<QComboBox *>(QStringLiteral("comboBox_capture_edge"));
    QCOMPARE(edge->count(), 3);
    tool<QLineEdit>("lineEdit_judge_lower")->setText(QStringLiteral("9.9"));
    tool<QLineEdit>("lineEdit_judge_upper")->setText(QStringLiteral("10.1"));
    tool<QLineEdit>("lineEdit_judge_hysteresis")->setText(QStringLiteral("0"));
    QTest::mouseClick(tool<QPushButton>("pushButton_judge_apply"), Qt::LeftButton);
    QCOMPARE(edge->count(), 4);
    QCOMPARE(edge->itemText(3), QStringLiteral("超出公差"));
    edge->setCurrentIndex(3);
    arm->click();
    // Samples 950..: 10.00 m for 150 (within), then 10.02 m up by a
    // centimetre a sample: 10.11 m, the first above 10.1 m, is sample 1109.
    probe().display(QVector<uint16_t>(150, 1000), 1000);
    probe().display(ramp(100, 1002), 1000);
    probe().display(QVector<uint16_t>(150, 1000), 1000);
    QCOMPARE(capture->trigger().triggers(), 1); // since this arming
    const analysis::Capture &out = capture->trigger().last();
    QCOMPARE(out.triggerNumber(), quint64(1109));
    QCOMPARE(out.cm.at(out.pre), uint16_t(1011));
    // Without limits the choice goes again.
    tool<QLineEdit>("lineEdit_judge_lower")->clear();
    tool<QLineEdit>("lineEdit_judge_upper")->clear();
    QTest::mouseClick(tool<QPushButton>("pushButton_judge_apply"), Qt::LeftButton);
    QCOMPARE(edge->count(), 3);
    // 1,350 samples now: the chart's range over all of them has N = 1,024.
    chartAxis->setRange(0.0, 2.0);
    QVERIFY(spectrum->refresh());
    QCOMPARE(spectrum->lastSpectrum().amplitude.size(), 1024 / 2 + 1);

    emit toggle->linkActivated(QStringLiteral("#signal"));
    for (const QString &name : docks)
        QVERIFY2(window->findChild<QDockWidget *>(name)->isHidden(), qPrintable(name));
}

void tst_window_display::enterTimeRange(const QString &text)
{
    ui()->timeRangeEdit->setText(text);
    QTest::keyClick(ui()->timeRangeEdit, Qt::Key_Return);
}

void tst_window_display::timeRangeInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("range");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("warned");
    QTest::newRow("25") << "25" << 25 << "25" << false;
    QTest::newRow("3600") << "3600" << 3600 << "3600" << false;
    QTest::newRow("3601") << "3601" << 3600 << "3600" << false;
    QTest::newRow("5000") << "5000" << 3600 << "3600" << false;
    // Refused: the range in use stays, and the field shows it again.
    QTest::newRow("0") << "0" << 7 << "7" << true;
    QTest::newRow("-5") << "-5" << 7 << "7" << true;
    QTest::newRow("letters") << "abc" << 7 << "7" << true;
    QTest::newRow("empty") << "" << 7 << "7" << true;
    QTest::newRow("decimal") << "2.5" << 7 << "7" << true;
}

void tst_window_display::timeRangeInput()
{
    QFETCH(QString, text);
    QFETCH(int, range);
    QFETCH(QString, shown);
    QFETCH(bool, warned);
    probe().timeRange() = 7;
    ModalCatcher catcher;
    enterTimeRange(text);
    QCOMPARE(probe().timeRange(), range);
    QCOMPARE(ui()->timeRangeEdit->text(), shown);
    if (warned) {
        QCOMPARE(catcher.texts, QStringList{"Please input valid time range!"});
        QCOMPARE(catcher.titles, QStringList{"Input error"});
    } else {
        QVERIFY(catcher.texts.isEmpty());
    }
}

void tst_window_display::batchSizeReachesWorker_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("57") << 57 << 57;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("1000") << 1000 << 1000;
    QTest::newRow("above the range") << 5000 << 1000;
}

void tst_window_display::batchSizeReachesWorker()
{
    QFETCH(int, value);
    QFETCH(int, expected);
    ui()->spinBox_dist_num->setValue(value);
    QCOMPARE(probe().worker()->getDistNum(), expected);
}

void tst_window_display::matchesReferenceUnderRandomUse_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("dense");
    for (quint32 seed : {1u, 2u, 3u, 42u, 2024u})
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed << false;
    // Large batches and windows of a minute or two: more points than four
    // per pixel column, so the chart gets the envelope.
    for (quint32 seed : {7u, 8u})
        QTest::newRow(qPrintable(QString("dense, seed %1").arg(seed))) << seed << true;
}

// Batches at many rates, suspend and resume, clear, connect resets and
// changes of the time window in random order: after every step the window's
// curves, cursor, maximum and axes equal the step-by-step reference.
void tst_window_display::matchesReferenceUnderRandomUse()
{
    QFETCH(quint32, seed);
    QFETCH(bool, dense);
    QRandomGenerator rng(seed);
    ReferenceChart ref;
    const int rates[] = {1, 7, 50, 64, 99, 100, 101, 250, 999, 1000, 3333, 11111};
    const int ranges[] = {10, 1, 2, 3, 0, -1, 3600};
    const int denseRanges[] = {60, 120, 10, 120, 0, 3600};
    int envelopes = 0;

    for (int op = 0; op < 1500; ++op) {
        const int pick = int(rng.bounded(100));
        QByteArray what;
        // The reference draws on the plot as the window has it after the
        // step: new axis labels can lay the chart out anew, and the picture
        // is for the plot that results.
        const auto takePlot = [&] {
            const QRectF plot = probe().chartView()->chart()->plotArea();
            ref.plotWidth = plot.width();
            ref.plotLeft = probe().chartView()->viewportTransform()
                    .map(probe().chartView()->chart()->mapToScene(plot.topLeft())).x();
        };
        takePlot();
        if (pick < 72) {
            const int rate = pick < 4 ? 0 : rates[rng.bounded(int(std::size(rates)))];
            QVector<uint16_t> batch;
            const int n = 11 + int(rng.bounded(dense ? 20000 : 150));
            const uint16_t level = uint16_t(rng.bounded(65536));
            for (int i = 0; i < n; ++i)
                batch << (rng.bounded(4) == 0 ? level : uint16_t(rng.bounded(65536)));
            probe().display(batch, rate);
            takePlot();
            ref.batch(batch, rate);
            what = "batch of " + QByteArray::number(n) + " at " + QByteArray::number(rate);
        } else if (pick < 82) {
            ui()->suspendButton->click();
            ref.suspendClick();
            what = "suspend button";
        } else if (pick < 88) {
            ui()->chartClearButton->click();
            ref.clear();
            what = "clear";
        } else if (pick < 91) {
            probe().resetDisplay();
            ref.connectReset();
            what = "connect";
        } else {
            const int range = dense ? denseRanges[rng.bounded(int(std::size(denseRanges)))]
                                    : ranges[rng.bounded(int(std::size(ranges)))];
            probe().timeRange() = range;
            // Below a second is refused: the range in use stays.
            if (range >= 1)
                ref.timeRange = range;
            what = "time range " + QByteArray::number(range);
        }
        compareWith(ref, "step " + QByteArray::number(op) + ": " + what);
        if (QTest::currentTestFailed())
            return;
        envelopes += ref.series.size() < ref.window.size() && ref.mode == ReferenceChart::Live;
    }
    if (dense)
        QVERIFY2(envelopes > 100, qPrintable(QString::number(envelopes)));
}

// Batches that follow each other closely are drawn together: the series lags
// by at most one refresh interval and then shows every point of the window.
// Lets a chart refresh that is still scheduled happen (its timer's timeout,
// within one refresh interval); with none scheduled nothing can change the
// chart any more.
void tst_window_display::settleChart()
{
    QTimer *timer = probe().chartRefreshTimer();
    if (!timer->isActive())
        return;
    QSignalSpy fired(timer, &QTimer::timeout);
    QVERIFY(fired.wait(5000));
}

// The chart lays itself out anew through posted events (the window's new
// size, labels of another width, a plot height that holds other ticks), and
// each new plot asks for a picture for it: runs them, and the refresh they
// ask for, until the plot stays as it is. How many there are and when they
// come depends on how busy the machine is, not on the test.
void tst_window_display::layOutChart()
{
    QChart *chart = probe().chartView()->chart();
    QTimer *timer = probe().chartRefreshTimer();
    for (int round = 0; round < 20; ++round) {
        const QRectF before = chart->plotArea();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (timer->isActive())
            QVERIFY(QTest::qWaitFor([timer] { return !timer->isActive(); }, 15000));
        QCoreApplication::sendPostedEvents();
        if (chart->plotArea() == before && !timer->isActive())
            return;
    }
    QFAIL("the chart does not settle");
}

void tst_window_display::fastBatchesRefreshChartLater()
{
    // The window's steady clock, stepped by hand: whether a batch comes
    // "closely" after the last picture does not depend on how fast this
    // thread runs.
    ChartClock *clock = probe().chartClock();
    QVERIFY(clock);
    clock->standAt(5000);
    probe().timeRange() = 3600;
    probe().forgetChartRefresh();   // a quiet spell: the next batch is drawn at once
    probe().batchOnly(ramp(50, 200), 50);
    QVERIFY(!probe().chartRefreshPending());
    QCOMPARE(probe().series()->count(), 50);

    clock->advance(probe().chartRefreshInterval() - 1);
    probe().batchOnly(ramp(50, 300), 50);
    probe().batchOnly(ramp(50, 400), 50);
    QVERIFY(probe().chartRefreshPending());
    QVERIFY(probe().chartRefreshTimer()->isActive());
    QCOMPARE(probe().series()->count(), 50);   // not yet

    QTRY_VERIFY_WITH_TIMEOUT(!probe().chartRefreshPending(), 15000);
    layOutChart();
    QVERIFY(!probe().chartRefreshPending());
    QCOMPARE(seriesPoints(probe().series()), probe().displayPoints());
    QCOMPARE(probe().series()->count(), 150);
    QCOMPARE(probe().axisY()->max(), 4.49 / 0.9);
    QCOMPARE(probe().axisX()->min(), 1.0 / 50);   // the first point's time

    // A whole interval after that picture the next batch is drawn at once.
    clock->advance(probe().chartRefreshInterval());
    probe().batchOnly(ramp(50, 500), 50);
    QVERIFY(!probe().chartRefreshPending());
    QVERIFY(!probe().chartRefreshTimer()->isActive());
    QCOMPARE(probe().series()->count(), 200);

    // Every window is redrawn 10 to 25 times a second: a picture costs the
    // plot's width, not the window's length.
    for (const int range : {10, 3600}) {
        probe().timeRange() = range;
        QVERIFY2(probe().chartRefreshInterval() >= 40 && probe().chartRefreshInterval() <= 100,
                 qPrintable(QString::number(probe().chartRefreshInterval())));
    }
}

// A refresh still pending must not undo what the operator did meanwhile.
void tst_window_display::pendingRefreshAndOperator_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("clear") << "clear";
    QTest::newRow("suspend") << "suspend";
    QTest::newRow("suspend and resume") << "resume";
}

void tst_window_display::pendingRefreshAndOperator()
{
    QFETCH(QString, action);
    probe().chartClock()->standAt(5000);   // a clock that stands still (see above)
    probe().timeRange() = 3600;
    probe().forgetChartRefresh();
    probe().batchOnly(ramp(50, 200), 50);
    probe().batchOnly(ramp(50, 300), 50);
    QVERIFY(probe().chartRefreshPending());
    const QVector<QPointF> newest = probe().displayPoints();

    if (action == QLatin1String("clear")) {
        ui()->chartClearButton->click();
        settleChart();
        QCOMPARE(probe().series()->count(), 0);
        return;
    }
    // Suspending freezes the newest curve, not the one drawn before it.
    ui()->suspendButton->click();
    QCOMPARE(seriesPoints(probe().series()), newest);
    probe().batchOnly(ramp(50, 500), 50);
    settleChart();
    QCOMPARE(seriesPoints(probe().series()), newest);
    if (action == QLatin1String("resume")) {
        ui()->suspendButton->click();
        settleChart();
        QCOMPARE(seriesPoints(probe().series()), probe().displayPoints());
        QCOMPARE(probe().series()->count(), 150);
    }
}

// Where a value lies on the chart, in the chart view's viewport pixels.
QPoint tst_window_display::viewportPointOf(const QPointF &value) const
{
    QChart *chart = probe().chartView()->chart();
    const QPointF inChart = chart->mapToPosition(value, probe().series());
    return probe().chartView()->mapFromScene(chart->mapToScene(inChart));
}

// A point of the plot area, as shares of its width and height.
QPoint tst_window_display::plotPoint(double xShare, double yShare) const
{
    QChart *chart = probe().chartView()->chart();
    const QRectF plot = chart->plotArea();
    const QPointF p(plot.left() + plot.width() * xShare, plot.top() + plot.height() * yShare);
    return probe().chartView()->mapFromScene(chart->mapToScene(p));
}

void tst_window_display::sendMouse(QEvent::Type type, const QPoint &at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QWidget *viewport = probe().chartView()->viewport();
    QMouseEvent event(type, at, viewport->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// A zoom (rubber band, wheel, pan) stays while batches keep coming, also
// while suspended, and shows its range at full resolution with statistics
// of that range; "back to live" brings the scrolling view back (or the
// frozen picture's axes).
void tst_window_display::zoomHoldsWhileBatchesArrive_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("suspended");
    QTest::newRow("rubber band") << "band" << false;
    QTest::newRow("wheel up") << "wheel" << false;
    QTest::newRow("wheel down (zoom out)") << "wheelOut" << false;
    QTest::newRow("shift + wheel pans") << "shiftWheel" << false;
    QTest::newRow("middle drag pans") << "pan" << false;
    QTest::newRow("rubber band while suspended") << "band" << true;
    QTest::newRow("wheel while suspended") << "wheel" << true;
}

void tst_window_display::zoomHoldsWhileBatchesArrive()
{
    QFETCH(QString, how);
    QFETCH(bool, suspended);
    probe().timeRange() = 60;
    QRandomGenerator rng(42);
    auto second = [&] {
        QVector<uint16_t> v(1000);
        for (uint16_t &d : v)
            d = uint16_t(1000 + rng.bounded(3000));
        probe().display(v, 1000);
    };
    for (int i = 0; i < 40; ++i)
        second();
    QCOMPARE(probe().displayPointCount(), 4000);
    if (suspended)
        ui()->suspendButton->click();
    const double liveMin = probe().axisX()->min(), liveMax = probe().axisX()->max();
    QCOMPARE(liveMax - liveMin, 60.0);
    auto *liveButton = tool<QPushButton>("liveViewButton");
    QVERIFY(liveButton);
    QVERIFY(!liveButton->isEnabled());

    QWidget *viewport = probe().chartView()->viewport();
    const QPoint mid = plotPoint(0.5, 0.5);
    double wantMin = 0, wantMax = 0;
    if (how == "band") {
        // The chart view's own rubber band: drag over the second quarter.
        const QPoint a = plotPoint(0.25, 0.3), b = plotPoint(0.5, 0.6);
        sendMouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
        sendMouse(QEvent::MouseMove, (a + b) / 2, Qt::NoButton, Qt::LeftButton);
        sendMouse(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
        sendMouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
        wantMin = liveMin + 15;
        wantMax = liveMin + 30;
    } else if (how.startsWith("wheel") || how == "shiftWheel") {
        const int delta = how == "wheelOut" ? -120 : 120;
        const Qt::KeyboardModifiers mods = how == "shiftWheel" ? Qt::ShiftModifier : Qt::NoModifier;
        QWheelEvent wheel(mid, viewport->mapToGlobal(mid), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        if (how == "shiftWheel") {
            wantMin = liveMin - 6;
            wantMax = liveMax - 6;
        } else {
            const double f = how == "wheelOut" ? 1.25 : 0.8;
            wantMin = liveMin + 30 - 30 * f;
            wantMax = liveMin + 30 + 30 * f;
        }
    } else {
        // Dragged 100 pixels to the right: earlier times come into view.
        const double shift = 100 * 60 / probe().chartView()->chart()->plotArea().width();
        sendMouse(QEvent::MouseButtonPress, mid, Qt::MiddleButton, Qt::MiddleButton);
        sendMouse(QEvent::MouseMove, mid + QPoint(100, 0), Qt::NoButton, Qt::MiddleButton);
        sendMouse(QEvent::MouseButtonRelease, mid + QPoint(100, 0), Qt::MiddleButton, Qt::NoButton);
        wantMin = liveMin - shift;
        wantMax = liveMax - shift;
    }
    QTRY_VERIFY(probe().zoomed());
    QVERIFY(liveButton->isEnabled());
    // New tick labels may lay the chart out anew (a posted event), and the
    // picture follows the plot's new width.
    QCoreApplication::processEvents();
    const double zoomMin = probe().axisX()->min(), zoomMax = probe().axisX()->max();
    // The rubber band's ends are pixels: within two pixels of the quarters.
    const double tolerance = 2 * 60 / probe().chartView()->chart()->plotArea().width();
    QVERIFY2(std::abs(zoomMin - wantMin) <= tolerance && std::abs(zoomMax - wantMax) <= tolerance,
             qPrintable(QString("%1 .. %2, wanted %3 .. %4").arg(zoomMin).arg(zoomMax).arg(wantMin).arg(wantMax)));

    auto checkZoom = [&](const char *where) {
        QVERIFY2(probe().axisX()->min() == zoomMin && probe().axisX()->max() == zoomMax, where);
        QVERIFY2(seriesPoints(probe().series())
                         == probe().chart().shownCurve(zoomMin, zoomMax, probe().chartView()->chart()->plotArea().width()),
                 where);
        // At 100 points a second a quarter of a minute is all there, point by point.
        const QVector<QPointF> shown = suspended ? probe().frozenPoints() : probe().displayPoints();
        int inRange = 0;
        for (const QPointF &p : shown)
            inRange += p.x() >= zoomMin && p.x() <= zoomMax;
        QVERIFY2(probe().visibleStats().count == inRange, where);
    };
    checkZoom("zoomed");
    for (int i = 0; i < 30; ++i)
        second();
    settleChart();
    checkZoom("after 30 s more");
    QVERIFY(probe().zoomed());

    liveButton->click();
    QVERIFY(!probe().zoomed());
    QVERIFY(!liveButton->isEnabled());
    if (suspended) {
        QCOMPARE(probe().axisX()->min(), liveMin);
        QCOMPARE(probe().axisX()->max(), liveMax);
        QCOMPARE(seriesPoints(probe().series()),
                 probe().chart().frozenCurve(60, probe().chartView()->chart()->plotArea().width()));
        return;
    }
    // The scrolling view: the window's newest minute, and it moves on.
    QCOMPARE(probe().axisX()->max() - probe().axisX()->min(), 60.0);
    QCOMPARE(seriesPoints(probe().series()),
             probe().chart().windowCurve(60, probe().chartView()->chart()->plotArea().width()));
    const double before = probe().axisX()->min();
    second();
    QVERIFY(probe().axisX()->min() > before);
}

void tst_window_display::zoomKeepsItsPointsPastTheTimeRange_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("suspendMeanwhile");
    QTest::newRow("rubber band") << "band" << false;
    QTest::newRow("wheel up") << "wheel" << false;
    QTest::newRow("middle drag pans") << "pan" << false;
    QTest::newRow("rubber band, suspended and resumed meanwhile") << "band" << true;
}

// A zoom held while more than the time range of data arrives keeps every
// point it shows: the curve, the statistics and the value under the cursor
// stay those of the zoomed range (at 11,111 frames a second, the operator's
// case). "Back to live" gives the window back its time range.
void tst_window_display::zoomKeepsItsPointsPastTheTimeRange()
{
    QFETCH(QString, how);
    QFETCH(bool, suspendMeanwhile);
    probe().timeRange() = 10;
    QRandomGenerator rng(23);
    auto tenth = [&] {
        QVector<uint16_t> v(1111);
        for (uint16_t &d : v)
            d = uint16_t(1000 + rng.bounded(3000));
        probe().display(v, 11111);
    };
    for (int i = 0; i < 150; ++i)
        tenth();
    settleChart();
    const double liveMin = probe().axisX()->min();
    QWidget *viewport = probe().chartView()->viewport();
    const QPoint mid = plotPoint(0.5, 0.5);
    if (how == "band") {
        const QPoint a = plotPoint(0.3, 0.3), b = plotPoint(0.6, 0.6);
        sendMouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
        sendMouse(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
        sendMouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    } else if (how == "wheel") {
        QWheelEvent wheel(plotPoint(0.3, 0.5), viewport->mapToGlobal(plotPoint(0.3, 0.5)), QPoint(), QPoint(0, 360),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    } else {
        sendMouse(QEvent::MouseButtonPress, mid, Qt::MiddleButton, Qt::MiddleButton);
        sendMouse(QEvent::MouseMove, mid + QPoint(150, 0), Qt::NoButton, Qt::MiddleButton);
        sendMouse(QEvent::MouseButtonRelease, mid + QPoint(150, 0), Qt::MiddleButton, Qt::NoButton);
    }
    QTRY_VERIFY(probe().zoomed());
    QCoreApplication::processEvents();
    const double zoomMin = probe().axisX()->min(), zoomMax = probe().axisX()->max();
    QVERIFY2(zoomMin < liveMin + 5 && zoomMax < probe().timeCursor(),
             qPrintable(QString("%1 .. %2 at %3").arg(zoomMin).arg(zoomMax).arg(probe().timeCursor())));
    QVector<QPointF> shown;
    for (const QPointF &p : probe().displayPoints())
        if (p.x() >= zoomMin && p.x() <= zoomMax)
            shown << p;
    QVERIFY(shown.size() > 100);
    const QVector<QPointF> curve = seriesPoints(probe().series());

    // Twice the time range more (a point every 0.01 s).
    if (suspendMeanwhile)
        ui()->suspendButton->click();
    for (int i = 0; i < 200; ++i)
        tenth();
    if (suspendMeanwhile)
        ui()->suspendButton->click();
    settleChart();
    QVERIFY(probe().zoomed());
    QCOMPARE(probe().axisX()->min(), zoomMin);
    QCOMPARE(probe().axisX()->max(), zoomMax);
    QVector<QPointF> still;
    for (const QPointF &p : probe().displayPoints())
        if (p.x() >= zoomMin && p.x() <= zoomMax)
            still << p;
    QCOMPARE(still, shown);
    QCOMPARE(seriesPoints(probe().series()), curve);
    probe().distUpdate();
    QCOMPARE(probe().visibleStats().count, shown.size());
    QVERIFY(label("statsLabel")->text().startsWith(QString("点数 %1 ").arg(shown.size())));
    // The value under the cursor, near either end of the plot, is one of the
    // zoomed range's points.
    QLabel *hover = label("hoverLabel");
    for (const double share : {0.01, 0.5, 0.99}) {
        sendMouse(QEvent::MouseMove, plotPoint(share, 0.5), Qt::NoButton, Qt::NoButton);
        const QStringList parts = hover->text().split(' ');
        QVERIFY2(parts.size() == 6, qPrintable(hover->text()));
        const double t = parts.at(1).toDouble();
        QVERIFY2(t >= zoomMin - 0.0005 && t <= zoomMax + 0.0005,
                 qPrintable(QString("%1 outside %2 .. %3").arg(hover->text()).arg(zoomMin).arg(zoomMax)));
    }

    // Back to live: the window holds its time range again.
    tool<QPushButton>("liveViewButton")->click();
    QVERIFY(!probe().zoomed());
    const QVector<QPointF> window = probe().displayPoints();
    QVERIFY(window.first().x() >= probe().timeCursor() - 10);
    QCOMPARE(probe().axisX()->max() - probe().axisX()->min(), 10.0);
    QCOMPARE(seriesPoints(probe().series()),
             probe().chart().windowCurve(10, probe().chartView()->chart()->plotArea().width()));
}

// Zoomed, then suspended: "back to live" shows the frozen picture on the
// live axes of the moment of the freeze (not those of an earlier pause).
void tst_window_display::backToLiveAfterSuspendingAZoom()
{
    probe().timeRange() = 10;
    for (int i = 0; i < 15; ++i)
        probe().display(ramp(1000, 1000), 1000);
    settleChart();
    const double liveMin = probe().axisX()->min(), liveMax = probe().axisX()->max();
    QVERIFY(liveMin > 4);
    probe().zoomTo(liveMin + 2, liveMin + 4);
    QVERIFY(probe().zoomed());
    ui()->suspendButton->click();
    for (int i = 0; i < 15; ++i)
        probe().display(ramp(1000, 3000), 1000);
    tool<QPushButton>("liveViewButton")->click();
    QVERIFY(!probe().zoomed());
    QVERIFY(probe().suspended());
    QCOMPARE(probe().axisX()->min(), liveMin);
    QCOMPARE(probe().axisX()->max(), liveMax);
    const QVector<QPointF> frozen = probe().frozenPoints();
    QVERIFY(!frozen.isEmpty());
    QCOMPARE(seriesPoints(probe().series()),
             probe().chart().frozenCurve(10, probe().chartView()->chart()->plotArea().width()));
    QCOMPARE(probe().visibleStats().count,
             int(std::count_if(frozen.begin(), frozen.end(),
                               [&](const QPointF &p) { return p.x() >= liveMin && p.x() <= liveMax; })));
}

void tst_window_display::zoomWithNothingShown_data()
{
    QTest::addColumn<QString>("before");
    QTest::newRow("new window") << "";
    QTest::newRow("cleared") << "clear";
    QTest::newRow("zeros only") << "zeros";
    QTest::newRow("suspended, empty") << "suspend";
}

// A zoom where no distance above 0 is shown keeps a vertical range to draw
// on (autoscale has nothing to take it from).
void tst_window_display::zoomWithNothingShown()
{
    QFETCH(QString, before);
    if (before == "clear") {
        probe().display(ramp(100, 500), 100);
        ui()->chartClearButton->click();
    } else if (before == "zeros") {
        probe().display(QVector<uint16_t>(100, 0), 100);
    } else if (before == "suspend") {
        ui()->suspendButton->click();
    }
    const double yMin = probe().axisY()->min(), yMax = probe().axisY()->max();
    QWheelEvent wheel(plotPoint(0.5, 0.5), QPoint(), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(probe().chartView()->viewport(), &wheel);
    QVERIFY(probe().zoomed());
    // (The live picture of zeros only has no range either: 0 to 0.)
    if (before != "zeros")
        QVERIFY(probe().axisY()->max() > probe().axisY()->min());
    QCOMPARE(probe().axisY()->min(), yMin);
    QCOMPARE(probe().axisY()->max(), yMax);
    QCOMPARE(probe().visibleStats().max, 0.0);
}

void tst_window_display::verticalRange_data()
{
    QTest::addColumn<bool>("zoom");
    QTest::newRow("live") << false;
    QTest::newRow("zoomed") << true;
}

// Autoscale (from 0 to a little above the largest distance shown) or the
// operator's fixed minimum and maximum.
void tst_window_display::verticalRange()
{
    QFETCH(bool, zoom);
    probe().display(ramp(100, 1000, 10), 100);   // 10 m to 19.9 m
    auto *autoScale = tool<QCheckBox>("autoScaleCheckBox");
    auto *low = tool<QDoubleSpinBox>("yMinSpinBox");
    auto *high = tool<QDoubleSpinBox>("yMaxSpinBox");
    QVERIFY(autoScale && low && high);
    QVERIFY(autoScale->isChecked());
    QVERIFY(!low->isEnabled());
    if (zoom) {
        // The first half of the second: up to 14.9 m.
        QWheelEvent wheel(plotPoint(0.05, 0.5), QPoint(), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ShiftModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(probe().chartView()->viewport(), &wheel);
        QVERIFY(probe().zoomed());
    }
    const double top = probe().visibleStats().max;
    QVERIFY(top > 10);
    QCOMPARE(probe().axisY()->min(), 0.0);
    QCOMPARE(probe().axisY()->max(), top / 0.9);

    autoScale->setChecked(false);
    QVERIFY(low->isEnabled() && high->isEnabled());
    low->setValue(12.5);
    high->setValue(17);
    emit high->editingFinished();
    QCOMPARE(probe().axisY()->min(), 12.5);
    QCOMPARE(probe().axisY()->max(), 17.0);
    probe().display(ramp(100, 3000, 10), 100);
    settleChart();
    QCOMPARE(probe().axisY()->min(), 12.5);
    QCOMPARE(probe().axisY()->max(), 17.0);
    // A maximum not above the minimum is no range: autoscale meanwhile.
    high->setValue(12);
    emit high->editingFinished();
    QCOMPARE(probe().axisY()->min(), 0.0);

    autoScale->setChecked(true);
    QCOMPARE(probe().axisY()->min(), 0.0);
    QCOMPARE(probe().axisY()->max(), probe().visibleStats().max / 0.9);
}

void tst_window_display::gridOnTheAxesPixels_data()
{
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<QSize>("size");
    QTest::newRow("first ten seconds") << 0.0 << 10.0 << 0.0 << 44.4 << QSize(1024, 600);
    QTest::newRow("scrolled") << 3.37 << 13.37 << 0.0 << 350.0 << QSize(1024, 600);
    QTest::newRow("late, odd start") << 1234.5678 << 1244.5678 << 1.25 << 3.75 << QSize(1024, 600);
    QTest::newRow("an hour") << 0.0 << 3600.0 << 0.0 << 0.7 << QSize(1024, 600);
    QTest::newRow("half a second, negative distances") << 17.25 << 17.75 << -5.0 << 5.0 << QSize(1024, 600);
    QTest::newRow("larger window") << 41.1 << 101.1 << 12.5 << 17.0 << QSize(1200, 900);
    // As wide as the test server's screen: under Qt 6 the 50-s tick lies at
    // x = 198.995625, less than 1/128 px before a pixel's edge.
    QTest::newRow("as wide as the screen") << 41.1 << 101.1 << 12.5 << 17.0 << QSize(1280, 960);
}

// The window draws the grid itself (cheaper than the axes' line items); it
// must land on the pixels of the axes' own grid, for any ranges and sizes.
void tst_window_display::gridOnTheAxesPixels()
{
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    QFETCH(QSize, size);
    window->resize(size);
    probe().display(ramp(100, 1000, 10), 100);
    probe().zoomTo(xMin, xMax);
    auto *autoScale = tool<QCheckBox>("autoScaleCheckBox");
    auto *low = tool<QDoubleSpinBox>("yMinSpinBox");
    auto *high = tool<QDoubleSpinBox>("yMaxSpinBox");
    QVERIFY(autoScale && low && high);
    autoScale->setChecked(false);
    low->setValue(yMin);
    high->setValue(yMax);
    emit high->editingFinished();
    QCoreApplication::sendPostedEvents();
    layOutChart();
    QCOMPARE(probe().axisX()->min(), xMin);
    QCOMPARE(probe().axisY()->max(), yMax);

    QChartView *view = probe().chartView();
    GridItem *grid = nullptr;
    for (QGraphicsItem *item : view->scene()->items())
        if (item->type() == GridItem::Type)
            grid = static_cast<GridItem *>(item);
    QVERIFY(grid && grid->isVisible());
    QVERIFY(!probe().axisX()->isGridLineVisible() && !probe().axisY()->isGridLineVisible());
    const QImage drawn = view->grab().toImage();

    // The same chart with the axes' own grid instead.
    grid->hide();
    probe().axisX()->setGridLineVisible(true);
    probe().axisY()->setGridLineVisible(true);
    layOutChart();
    const QImage axes = view->grab().toImage();
    grid->show();
    probe().axisX()->setGridLineVisible(false);
    probe().axisY()->setGridLineVisible(false);

    // Both grids are there: a column of the axes' grid colour across the plot.
    const QRgb gridColour = probe().axisX()->gridLineColor().rgb();
    const int middle = axes.height() / 2;
    int gridPixels = 0;
    for (int x = 0; x < axes.width(); ++x)
        gridPixels += axes.pixel(x, middle) == gridColour;
    QVERIFY2(gridPixels >= 2, qPrintable(QString::number(gridPixels)));
    QCOMPARE(drawn.size(), axes.size());
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (drawn.pixel(x, y) != axes.pixel(x, y))
                QFAIL(qPrintable(QString("differs at %1,%2: %3 drawn, %4 by the axes")
                                         .arg(x).arg(y).arg(drawn.pixel(x, y), 0, 16).arg(axes.pixel(x, y), 0, 16)));
}

// The curve is drawn on the screen's own pixels: on a high-DPI screen
// (QT_SCALE_FACTOR=2, the CTest entry tst_window_display_scale2) a step of
// less than one of the window's pixels still shows, a device pixel high. A
// staircase of 1-cm steps, each a little less than a device pixel on the
// plot, must climb one device row at a time; a curve drawn at the window's
// pixels and scaled up climbs by two rows at once, every other step.
void tst_window_display::curveOnDevicePixels()
{
    window->resize(1024, 600);
    auto *autoScale = tool<QCheckBox>("autoScaleCheckBox");
    auto *high = tool<QDoubleSpinBox>("yMaxSpinBox");
    auto *low = tool<QDoubleSpinBox>("yMinSpinBox");
    QVERIFY(autoScale && low && high);
    autoScale->setChecked(false);
    low->setValue(0);
    emit low->editingFinished();
    layOutChart();
    QChartView *view = probe().chartView();
    const double ratio = view->viewport()->devicePixelRatioF();
    const double plotHeight = view->chart()->plotArea().height() * ratio;
    // 0.9 device rows per centimetre or a little less.
    high->setValue(std::ceil(plotHeight / 90.0 * 100.0) / 100.0);
    emit high->editingFinished();
    layOutChart();
    const double rowsPerCm = view->chart()->plotArea().height() * ratio / (probe().axisY()->max() * 100.0);
    QVERIFY2(rowsPerCm > 0.7 && rowsPerCm <= 0.9, qPrintable(QString::number(rowsPerCm)));

    const int steps = 40;
    QVector<uint16_t> stairs;
    for (int s = 0; s <= steps; ++s)
        stairs << QVector<uint16_t>(10, uint16_t(5 + s));
    probe().display(stairs, 100);
    layOutChart();
    QCOMPARE(view->chart()->plotArea().height() * ratio / (probe().axisY()->max() * 100.0), rowsPerCm);

    const QImage picture = view->viewport()->grab().toImage();
    QCOMPARE(picture.width(), qRound(view->viewport()->width() * ratio));
    const QRgb ink = probe().series()->pen().color().rgb();
    const QRectF inView = view->viewportTransform().mapRect(view->chart()->mapRectToScene(view->chart()->plotArea()));
    const QRect plot = QRectF(inView.topLeft() * ratio, inView.size() * ratio).toAlignedRect() & picture.rect();
    QVector<int> tops;
    for (int x = plot.left(); x <= plot.right(); ++x)
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            if (picture.pixel(x, y) == ink) {
                tops << y;
                break;
            }
    QVERIFY2(tops.size() > 100, qPrintable(QString::number(tops.size())));
    int largestJump = 0;
    for (int i = 1; i < tops.size(); ++i)
        largestJump = std::max(largestJump, tops.at(i - 1) - tops.at(i));
    QCOMPARE(largestJump, 1);
    const double rise = tops.first() - tops.last();
    QVERIFY2(std::abs(rise - steps * rowsPerCm) <= 1.5, qPrintable(QString("%1 rows for %2").arg(rise).arg(steps * rowsPerCm)));
}

void tst_window_display::gridLinesOnPainterPixels_data()
{
    QTest::addColumn<double>("at");
    QTest::addColumn<double>("ratio");
    for (const double ratio : {1.0, 2.0}) {
        const QByteArray scale = ratio == 1 ? "" : ", twice the pixels";
        QTest::newRow("on a pixel's edge" + scale) << 40.0 << ratio;
        QTest::newRow("mid-pixel" + scale) << 40.5 << ratio;
        QTest::newRow("just past an edge" + scale) << 40.004 << ratio;
        // Where Qt 6's plot put the 50-s tick of a window as wide as the
        // screen (198.995625): closer to the next pixel than 1/128.
        QTest::newRow("within 1/128 of the next pixel" + scale) << 40.995625 << ratio;
        QTest::newRow("a hair below the next pixel" + scale) << 40.9999999 << ratio;
        QTest::newRow("1/64 below the next pixel" + scale) << 40.984375 << ratio;
    }
}

// The grid item's lines cover the pixels that QPainter's own line with the
// axes' grid pen covers, wherever the line lies within a pixel, at the
// window's scale and on a screen of twice the pixels.
void tst_window_display::gridLinesOnPainterPixels()
{
    QFETCH(double, at);
    QFETCH(double, ratio);
    const QColor color = probe().axisX()->gridLineColor();
    const QRectF plot(20.3, 10.7, 50.6, 45.2);
    GridItem item;
    item.setGrid(plot, {{at}, color}, {{at - 10}, color});
    QImage drawn(QSize(100, 80) * ratio, QImage::Format_ARGB32_Premultiplied);
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(Qt::white);
    QImage axes = drawn.copy();
    axes.setDevicePixelRatio(ratio);
    const QPointF offset(3, 2);   // a view's translation
    {
        QPainter painter(&drawn);
        painter.translate(offset);
        QStyleOptionGraphicsItem option;
        item.paint(&painter, &option, nullptr);
    }
    {
        QPainter painter(&axes);
        painter.translate(offset);
        painter.setPen(probe().axisX()->gridLinePen());
        painter.drawLine(QLineF(at, plot.top(), at, plot.bottom()));
        painter.drawLine(QLineF(plot.left(), at - 10, plot.right(), at - 10));
    }
    int lines = 0;
    for (int y = 0; y < axes.height(); ++y)
        for (int x = 0; x < axes.width(); ++x)
            lines += axes.pixel(x, y) != QColor(Qt::white).rgb();
    QVERIFY2(lines > 80 * ratio, qPrintable(QString::number(lines)));
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (drawn.pixel(x, y) != axes.pixel(x, y))
                QFAIL(qPrintable(QString("differs at %1,%2: %3 drawn, %4 by QPainter")
                                         .arg(x).arg(y).arg(drawn.pixel(x, y), 0, 16).arg(axes.pixel(x, y), 0, 16)));
}

// How many pixels of the chart view have exactly this colour.
static int pixelsOf(const QImage &image, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour.rgb();
    return n;
}

// With a dark palette on the application (a desktop's dark mode) the chart
// goes dark with the window: its background the palette's, its labels its
// text colour, a grid and a curve that stand out; and back again, as the
// palette changes, to the chart's own colours.
void tst_window_display::chartFollowsADarkPalette()
{
    const QPalette original = QApplication::palette();
    const auto restore = qScopeGuard([&original] { QApplication::setPalette(original); });
    window->resize(1024, 600);
    probe().display(ramp(200, 100, 20), 100);
    layOutChart();
    QChartView *view = probe().chartView();
    QValueAxis *axisX = probe().axisX();
    // On the chart, half-way between its top and the plot's, beside no label.
    const QRectF plot = view->viewportTransform().mapRect(view->chart()->mapRectToScene(view->chart()->plotArea()));
    const QPoint above(int(plot.center().x()), int(plot.top() / 2));
    QVERIFY(view->chart()->mapToScene(view->chart()->rect()).boundingRect().contains(view->mapToScene(above)));
    const auto shot = [view] { return view->viewport()->grab().toImage(); };

    const QImage lightShot = shot();
    const QColor lightBackground = lightShot.pixelColor(above);
    const QColor lightLabels = axisX->labelsBrush().color();
    const QColor lightCurve = probe().series()->pen().color();
    QVERIFY2(lightBackground.lightness() > lightLabels.lightness() + 100, qPrintable(lightBackground.name()));
    QVERIFY2(pixelsOf(lightShot, lightLabels) > 30, qPrintable(lightLabels.name()));

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, QColor(220, 220, 220));
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, QColor(220, 220, 220));
    QApplication::setPalette(dark);
    QTRY_COMPARE_WITH_TIMEOUT(shot().pixelColor(above), QColor(35, 35, 35), 10000);
    layOutChart();
    const QImage darkShot = shot();
    QCOMPARE(axisX->labelsBrush().color(), QColor(220, 220, 220));
    QVERIFY2(pixelsOf(darkShot, QColor(220, 220, 220)) > 30, "no label in the text colour");
    QCOMPARE(pixelsOf(darkShot, lightLabels), 0);
    // The grid, between background and text, is drawn in its new colour.
    const QColor grid = axisX->gridLineColor();
    QVERIFY2(grid.lightness() > 35 + 20 && grid.lightness() < 220 - 20, qPrintable(grid.name()));
    QVERIFY2(pixelsOf(darkShot, grid) > view->chart()->plotArea().height(), qPrintable(grid.name()));
    // The curve, drawn anew, stands out of the dark.
    const QColor curve = probe().series()->pen().color();
    QVERIFY2(curve.lightness() >= 35 + 110, qPrintable(curve.name()));
    QVERIFY2(pixelsOf(darkShot, curve) > 50, qPrintable(curve.name()));
    QCOMPARE(pixelsOf(darkShot, lightCurve), 0);
    // The window's own widgets follow the palette by themselves.
    QCOMPARE(window->palette().color(QPalette::Window), QColor(53, 53, 53));

    QApplication::setPalette(original);
    QTRY_COMPARE_WITH_TIMEOUT(shot().pixelColor(above), lightBackground, 10000);
    layOutChart();
    const QImage backShot = shot();
    QCOMPARE(axisX->labelsBrush().color(), lightLabels);
    QCOMPARE(probe().series()->pen().color(), lightCurve);
    QVERIFY(pixelsOf(backShot, lightLabels) > 30);
    QVERIFY(pixelsOf(backShot, lightCurve) > 50);
}

void tst_window_display::hoverReadsNearestPoint_data()
{
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QPoint>("offset");   // pixels from the point
    QTest::addColumn<QString>("readout");
    // 100 points of 1 m at 100 fps, 5 m at 0.5 s; a pixel is about 0.02 s.
    QTest::newRow("on the spike") << QPointF(0.5, 5.0) << QPoint(0, 0) << "时间 0.500 s, 距离 5.00 m";
    QTest::newRow("beside the spike") << QPointF(0.5, 5.0) << QPoint(2, 3) << "时间 0.500 s, 距离 5.00 m";
    QTest::newRow("on the line") << QPointF(0.2, 1.0) << QPoint(0, 0) << "时间 0.200 s, 距离 1.00 m";
    QTest::newRow("above the line") << QPointF(0.2, 1.0) << QPoint(0, -20) << "时间 0.200 s, 距离 1.00 m";
    QTest::newRow("the last point") << QPointF(1.0, 1.0) << QPoint(-1, 1) << "时间 1.000 s, 距离 1.00 m";
}

void tst_window_display::hoverReadsNearestPoint()
{
    QFETCH(QPointF, at);
    QFETCH(QPoint, offset);
    QFETCH(QString, readout);
    QVector<uint16_t> v(100, 100);
    v[49] = 500;
    probe().timeRange() = 1;   // 5 pixels between points
    probe().display(v, 100);
    QLabel *hover = label("hoverLabel");
    QVERIFY(hover);
    QVERIFY(hover->text().isEmpty());
    sendMouse(QEvent::MouseMove, viewportPointOf(at) + offset, Qt::NoButton, Qt::NoButton);
    QCOMPARE(hover->text(), readout);
    // Outside the plot: no readout.
    sendMouse(QEvent::MouseMove, QPoint(1, 1), Qt::NoButton, Qt::NoButton);
    QVERIFY(hover->text().isEmpty());
    sendMouse(QEvent::MouseMove, viewportPointOf(at), Qt::NoButton, Qt::NoButton);
    QCOMPARE(hover->text(), readout);
    ui()->radioButton_english->setChecked(true);
    sendMouse(QEvent::MouseMove, viewportPointOf(at), Qt::NoButton, Qt::NoButton);
    QCOMPARE(hover->text(), QString(readout).replace("时间", "Time").replace("距离", "Distance"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(probe().chartView()->viewport(), &leave);
    QVERIFY(hover->text().isEmpty());
}

// The readouts' statistics line: the points on screen, updated with the
// readouts.
void tst_window_display::statisticsOfWhatIsShown()
{
    QLabel *stats = label("statsLabel");
    QVERIFY(stats);
    probe().distUpdate();
    QCOMPARE(stats->text(), QString("点数 0\n帧率 0 Hz"));
    // 1, 2, 3, 4 m, each 25 times.
    QVector<uint16_t> v;
    for (int i = 0; i < 100; ++i)
        v << uint16_t(100 * (1 + i / 25));
    probe().display(v, 100);
    probe().distUpdate();
    // Sample deviation of 25 x {1, 2, 3, 4}: sqrt(125 / 99).
    QCOMPARE(stats->text(), QString("点数 100  最小 1.00  最大 4.00  峰峰值 3.00\n平均 2.5000  标准差 %1 m  帧率 100 Hz")
                                    .arg(std::sqrt(125.0 / 99), 0, 'f', 4));
}

void tst_window_display::exportRoundTrips_data()
{
    QTest::addColumn<bool>("zoom");
    QTest::addColumn<QString>("locale");
    QTest::newRow("live window") << false << "C";
    QTest::newRow("live window, German locale") << false << "de_DE";
    QTest::newRow("zoomed") << true << "de_DE";
}

// The points on screen as CSV read back to the same values, whatever the
// locale's decimal point; the picture as on screen as PNG.
void tst_window_display::exportRoundTrips()
{
    QFETCH(bool, zoom);
    QFETCH(QString, locale);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    QRandomGenerator rng(7);
    for (int s = 0; s < 12; ++s) {
        QVector<uint16_t> v(1111);
        for (uint16_t &d : v)
            d = uint16_t(rng.bounded(65536));
        probe().display(v, 1111);
    }
    if (zoom) {
        QWheelEvent wheel(plotPoint(0.3, 0.5), QPoint(), QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(probe().chartView()->viewport(), &wheel);
        QVERIFY(probe().zoomed());
    }
    QVector<QPointF> expected;
    for (const QPointF &p : probe().displayPoints())
        if (p.x() >= probe().axisX()->min() && p.x() <= probe().axisX()->max())
            expected << p;
    QVERIFY(expected.size() > 50);

    QTemporaryDir dir;
    auto answer = std::make_unique<FileDialogAnswer>(dir.filePath("shown.csv"));
    tool<QPushButton>("exportCsvButton")->click();
    QLocale::setDefault(before);
    QCOMPARE(answer->seen, 1);
    QVERIFY(answer->filters.last().contains("*.csv"));
    QCOMPARE(ui()->statusBar->currentMessage(), QString("导出CSV成功！"));
    QFile csv(dir.filePath("shown.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("time_s,distance_m"));
    QCOMPARE(lines.last(), QByteArray());   // every line ends
    QCOMPARE(lines.size() - 2, expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i + 1).split(',');
        QCOMPARE(int(fields.size()), 2);
        bool okTime = false, okDistance = false;
        const double t = QLocale::c().toDouble(QString::fromLatin1(fields.at(0)), &okTime);
        const double d = QLocale::c().toDouble(QString::fromLatin1(fields.at(1)), &okDistance);
        QVERIFY2(okTime && okDistance, lines.at(i + 1).constData());
        QVERIFY2(std::abs(t - expected.at(i).x()) <= 0.5e-6, lines.at(i + 1).constData());
        QCOMPARE(d, expected.at(i).y());
    }

    answer->setPick(dir.filePath("shown.png"));
    tool<QPushButton>("exportImageButton")->click();
    QCOMPARE(answer->seen, 2);
    QVERIFY(answer->filters.last().contains("*.png"));
    QCOMPARE(ui()->statusBar->currentMessage(), QString("导出图片成功！"));
    QImage png(dir.filePath("shown.png"));
    QCOMPARE(png.size(), probe().chartView()->size() * probe().chartView()->devicePixelRatio());
    // The curve is in the picture.
    const QRgb curve = probe().series()->pen().color().rgb();
    int curvePixels = 0;
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            curvePixels += png.pixel(x, y) == curve;
    QVERIFY2(curvePixels > 200, qPrintable(QString::number(curvePixels)));

    // Cancelled: nothing written, nothing said.
    QFile::remove(dir.filePath("shown.csv"));
    ui()->statusBar->clearMessage();
    answer->setPick(QString());
    tool<QPushButton>("exportCsvButton")->click();
    QCOMPARE(answer->seen, 3);
    QVERIFY(!QFile::exists(dir.filePath("shown.csv")));
    QCOMPARE(ui()->statusBar->currentMessage(), QString());
}

void tst_window_display::exportAddsTheExtension_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("existing");   // a file already there ("": none)
    QTest::addColumn<bool>("overwrite");     // the answer when asked
    QTest::addColumn<QString>("written");    // "": nothing written
    QTest::addColumn<QString>("status");
    QTest::newRow("chart") << "exportImageButton" << "chart" << "" << false << "chart.png" << "导出图片成功！";
    QTest::newRow("points") << "exportCsvButton" << "points" << "" << false << "points.csv" << "导出CSV成功！";
    QTest::newRow("points, a dot typed") << "exportCsvButton" << "points." << "" << false << "points.csv"
                                         << "导出CSV成功！";
    QTest::newRow("an extension of its own") << "exportCsvButton" << "points.txt" << "" << false << "points.txt"
                                             << "导出CSV成功！";
    QTest::newRow("a dot in the folder's name") << "exportImageButton" << "v1.2/chart" << "" << false
                                                << "v1.2/chart.png" << "导出图片成功！";
    QTest::newRow("completed name exists, kept") << "exportCsvButton" << "points" << "points.csv" << false << ""
                                                 << "";
    QTest::newRow("completed name exists, overwritten") << "exportCsvButton" << "points" << "points.csv" << true
                                                        << "points.csv" << "导出CSV成功！";
    // Typed with the extension, the dialog asked already.
    QTest::newRow("typed name exists") << "exportImageButton" << "chart.png" << "chart.png" << false << "chart.png"
                                       << "导出图片成功！";
}

// A file name typed without an extension gets the export's own (.png,
// .csv); a file of the completed name is replaced only when the operator
// says so.
void tst_window_display::exportAddsTheExtension()
{
    QFETCH(QString, button);
    QFETCH(QString, typed);
    QFETCH(QString, existing);
    QFETCH(bool, overwrite);
    QFETCH(QString, written);
    QFETCH(QString, status);
    probe().display(ramp(100, 500), 100);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("v1.2"));
    if (!existing.isEmpty()) {
        QFile old(dir.filePath(existing));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    FileDialogAnswer answer(dir.filePath(typed));
    ModalCatcher catcher;
    catcher.answer = overwrite ? QMessageBox::Yes : QMessageBox::No;
    tool<QPushButton>(button.toLatin1().constData())->click();
    QCOMPARE(ui()->statusBar->currentMessage(), status);
    const bool asked = !existing.isEmpty() && existing != typed;
    QCOMPARE(catcher.texts.size(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(catcher.texts.first(),
                 QString("%1 已存在，是否覆盖？").arg(QDir::toNativeSeparators(dir.filePath(existing))));
    // Only the file named is there (and the folder made for the test).
    QStringList files = QDir(dir.path()).entryList(QDir::Files);
    files += QDir(dir.filePath("v1.2")).entryList(QDir::Files).replaceInStrings(QRegularExpression("^"), "v1.2/");
    const QString expected = written.isEmpty() ? existing : written;
    QCOMPARE(files, QStringList{expected});
    QFile file(dir.filePath(expected));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    if (written.isEmpty())
        QCOMPARE(content, QByteArray("old"));
    else if (button == "exportCsvButton")
        QVERIFY(content.startsWith("time_s,distance_m\n0.010000,5\n"));
    else
        QVERIFY(content.startsWith("\x89PNG"));
}

// The record format beside the record button: plain by default, CSV when
// chosen, and not changed within a recording.
void tst_window_display::recordFormatChoice()
{
    auto *csv = tool<QCheckBox>("recordCsvCheckBox");
    QVERIFY(csv);
    QVERIFY(!csv->isChecked());
    QCOMPARE(int(probe().recordFormat()), int(recordformat::Format::Plain));
    csv->setChecked(true);
    QCOMPARE(int(probe().recordFormat()), int(recordformat::Format::Csv));
    QTemporaryDir dir;
    const QString start = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ui()->saveButton->click();
    QVERIFY(probe().recording());
    QVERIFY(!csv->isEnabled());
    probe().display(QVector<uint16_t>{123, 4567}, 100);
    ui()->saveButton->click();
    QDir::setCurrent(start);
    QVERIFY(csv->isEnabled());
    const QStringList files = QDir(dir.filePath("Data")).entryList({"*.csv"});
    QCOMPARE(int(files.size()), 1);
    QFile file(QDir(dir.filePath("Data")).filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    // Time, distance, no marker, the frames' numbers from the recording's
    // start (the host time's digits depend on the machine's pace).
    const QList<QByteArray> rows = file.readAll().split('\n');
    QCOMPARE(rows.size(), 4);
    QVERIFY(rows.at(0).startsWith("time_s,distance_m,marker,sample,host_us_since_"));
    QVERIFY2(rows.at(1).startsWith("0.010000,1.23,,0,"), rows.at(1).constData());
    QVERIFY2(rows.at(2).startsWith("0.020000,45.67,,1,"), rows.at(2).constData());
}

// A recording of either format opened in the chart: shown as a frozen
// picture with its statistics, zoomable, exported back to the same values;
// the status says how many lines were read and skipped and the first bad
// one. A file without readings is refused before anything is asked, and
// the chart stays live. Resume returns to the live window on its own time
// axis (it went on meanwhile) and the replay's message goes.
void tst_window_display::replayOfARecording_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("rate");          // answered when asked (0: not asked)
    QTest::addColumn<int>("readings");      // 0: refused
    QTest::addColumn<double>("top");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("english");   // the status in English ("": not checked)
    QTest::addColumn<bool>("exportHalf");   // zoom into the second half and export it before resuming
    QByteArray plain, csv = "time_s,distance_m\n";
    for (int i = 1; i <= 1000; ++i) {
        plain += QByteArray::number(1 + i % 7) + "\n";
        csv += QByteArray::number(i / 100.0, 'f', 6) + "," + QByteArray::number(1 + i % 7) + "\n";
    }
    QTest::newRow("plain at 100 fps") << plain << "20261207_101500.txt" << 100 << 1000 << 7.0
                                      << "回放 20261207_101500.txt: 读取1000行, 1000个读数" << "" << true;
    QTest::newRow("csv") << csv << "20261207_101500.csv" << 0 << 1000 << 7.0
                         << "回放 20261207_101500.csv: 读取1000行, 1000个读数"
                         << "Replay 20261207_101500.csv: 1000 lines read, 1000 readings" << false;
    QByteArray broken = plain;
    broken.replace("\n3\n", "\n3,0\n");   // the first "3" is line 2
    QTest::newRow("plain with bad lines")
            << broken << "distances.txt" << 100 << 1000 - 143 << 7.0
            << "回放 distances.txt: 读取1000行, 857个读数, 跳过143行, 第一个无法读取的是第2行" << "" << true;
    // Nine lines, five of them no reading (the third the first).
    QTest::newRow("nine lines, five bad")
            << QByteArray("1.5\n2.5\nbad\n3,5\n\n4.5\nabc\n5.5\n-1\n") << "nine.txt" << 100 << 4 << 5.5
            << "回放 nine.txt: 读取9行, 4个读数, 跳过5行, 第一个无法读取的是第3行"
            << "Replay nine.txt: 9 lines read, 4 readings, 5 lines skipped, the first unreadable is line 3" << true;
    QTest::newRow("empty file") << QByteArray() << "empty.txt" << 0 << 0 << 0.0 << "回放失败: empty.txt 是空文件"
                                << "Replay refused: empty.txt is empty" << false;
    QTest::newRow("blank lines only") << QByteArray("\n \n\n") << "blank.txt" << 0 << 0 << 0.0
                                      << "回放失败: blank.txt 是空文件" << "" << false;
    QTest::newRow("no reading in it") << QByteArray("abc\ndef\n") << "words.txt" << 100 << 0 << 0.0
                                      << "回放失败: words.txt 中没有读数, 跳过2行, 第一个无法读取的是第1行"
                                      << "Replay refused: no reading in words.txt, 2 lines skipped, the first unreadable is line 1"
                                      << false;
    QTest::newRow("csv header only") << QByteArray("time_s,distance_m\n") << "header.csv" << 0 << 0 << 0.0
                                     << "回放失败: header.csv 中没有读数" << "" << false;
}

void tst_window_display::replayOfARecording()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(int, rate);
    QFETCH(int, readings);
    QFETCH(double, top);
    QFETCH(QString, status);
    QFETCH(QString, english);
    QFETCH(bool, exportHalf);
    // Live data first: the recording takes its place.
    probe().display(ramp(300, 500), 100);
    settleChart();
    const QVector<QPointF> liveCurve = seriesPoints(probe().series());
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    auto answerFile = std::make_unique<FileDialogAnswer>(path);
    auto answerRate = std::make_unique<NumberDialogAnswer>(rate);
    tool<QPushButton>("openRecordingButton")->click();
    QCOMPARE(answerFile->seen, 1);
    QCOMPARE(answerRate->seen, rate > 0 ? 1 : 0);
    answerRate.reset();
    QCOMPARE(ui()->statusBar->currentMessage(), status);
    const auto inEnglishToo = [&] {
        if (english.isEmpty())
            return;
        ui()->radioButton_english->setChecked(true);
        QCOMPARE(ui()->statusBar->currentMessage(), english);
        ui()->radioButton_chinese->setChecked(true);
        QCOMPARE(ui()->statusBar->currentMessage(), status);
    };
    if (readings == 0) {
        inEnglishToo();
        if (QTest::currentTestFailed())
            return;
        // Refused: the live chart as it was.
        QVERIFY(!probe().suspended());
        QCOMPARE(probe().displayPointCount(), 300);
        QCOMPARE(seriesPoints(probe().series()), liveCurve);
        return;
    }
    QVERIFY(probe().suspended());
    QCOMPARE(ui()->suspendButton->text(), QString("恢复"));
    inEnglishToo();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(probe().suspended());
    QCOMPARE(int(probe().frozenPoints().size()), readings);
    // The live window goes on behind the recording.
    QCOMPARE(probe().displayPointCount(), 300);
    QCOMPARE(probe().frozenPoints().first().x(), 0.01);
    QCOMPARE(probe().visibleStats().count, readings);
    QCOMPARE(probe().visibleStats().max, top);
    QCOMPARE(seriesPoints(probe().series()),
             probe().chart().frozenCurve(probe().axisX()->max() - probe().axisX()->min(),
                                         probe().chartView()->chart()->plotArea().width()));
    // Live batches do not disturb it.
    probe().display(ramp(100, 900), 100);
    QCOMPARE(int(probe().frozenPoints().size()), readings);

    if (exportHalf) {
        // Zoomed into its second half and exported: the readings of that half.
        QWheelEvent wheel(plotPoint(0.75, 0.5), QPoint(), QPoint(), QPoint(0, 120 * 3), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(probe().chartView()->viewport(), &wheel);
        QVERIFY(probe().zoomed());
        // The zoom is on the recording: nothing of the live window is held for it.
        QVERIFY(!probe().chart().isHolding());
        answerFile->setPick(dir.filePath("half.csv"));
        tool<QPushButton>("exportCsvButton")->click();
        QCOMPARE(answerFile->seen, 2);
        QFile half(dir.filePath("half.csv"));
        QVERIFY(half.open(QIODevice::ReadOnly));
        int shown = 0;
        for (const QPointF &p : probe().frozenPoints())
            shown += p.x() >= probe().axisX()->min() && p.x() <= probe().axisX()->max();
        QVERIFY(shown > 0 && shown < readings);
        QCOMPARE(int(half.readAll().count('\n')), shown + 1);
        QCOMPARE(probe().visibleStats().count, shown);
    }
    // Resume: live again on the live window's time (4 s of frames), the
    // recording and its message gone (a later message stays).
    const QString before = ui()->statusBar->currentMessage();
    ui()->suspendButton->click();
    QVERIFY(!probe().suspended());
    QVERIFY(!probe().zoomed());
    QCOMPARE(probe().frozenPoints().size(), 0);
    QCOMPARE(ui()->statusBar->currentMessage(), exportHalf ? before : QString());
    if (exportHalf)
        QCOMPARE(before, QString("导出CSV成功！"));
    QCOMPARE(probe().timeCursor(), 4.0);
    QCOMPARE(probe().displayPoints().last().x(), 4.0);
    QCOMPARE(probe().axisX()->min(), 0.0);
    QCOMPARE(probe().axisX()->max(), 10.0);
    QCOMPARE(seriesPoints(probe().series()), probe().displayPoints());
}

QTEST_MAIN(tst_window_display)
#include "tst_window_display.moc"

// At the line's top rate the chart plots one frame in 111: lone spikes on
// the frames between are on no plotted point, yet the judge counts every
// one, shades each on the chart, and the state shows the last sample's.
void tst_window_display::judgeCountsSpikesBetweenPlottedPoints_data()
{
    QTest::addColumn<int>("spikeCm");
    QTest::addColumn<QString>("counter");   // the counter that counts them
    QTest::addColumn<QString>("state");     // after a spike as the last frame
    // Frames in each batch, in turn: a worker's batches vary in size with
    // the load, and the shading must follow the chart's own time axis.
    QTest::addColumn<QVector<int>>("sizes");
    QTest::newRow("above") << 1400 << "label_judge_count_1" << "超上限" << QVector<int>{111};
    QTest::newRow("below") << 1000 << "label_judge_count_2" << "超下限" << QVector<int>{111};
    QTest::newRow("above, batches of changing size") << 1400 << "label_judge_count_1" << "超上限"
                                                     << QVector<int>{111, 60, 90, 52};
}

void tst_window_display::judgeCountsSpikesBetweenPlottedPoints()
{
    QFETCH(int, spikeCm);
    QFETCH(QString, counter);
    QFETCH(QString, state);
    QFETCH(QVector<int>, sizes);
    auto *panel = window->findChild<JudgePanel *>();
    QVERIFY(panel);
    tool<QLineEdit>("lineEdit_judge_lower")->setText(QStringLiteral("12"));
    tool<QLineEdit>("lineEdit_judge_upper")->setText(QStringLiteral("13"));
    tool<QLineEdit>("lineEdit_judge_hysteresis")->setText(QStringLiteral("0.05"));
    QTest::mouseClick(tool<QPushButton>("pushButton_judge_apply"), Qt::LeftButton);
    QVERIFY(panel->judge()->limits().on);
    QCOMPARE(label("label_judge_state")->text(), QStringLiteral("无测量"));
    // Recorded as CSV meanwhile: every frame with its judged state.
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    tool<QCheckBox>("recordCsvCheckBox")->setChecked(true);
    ui()->saveButton->click();
    QVERIFY(probe().recording());

    // 100 batches at 11,111 frames/s: frame 50 of each a spike.
    const int rate = 11111, batches = 100;
    int frames = 0;
    QVector<double> spikeX; // where the chart draws each spike
    for (int b = 0; b < batches; ++b) {
        QVector<uint16_t> batch(sizes.at(b % sizes.size()), 1234);
        batch[50] = uint16_t(spikeCm);
        spikeX.append(double(frames + 51) / rate);
        frames += batch.size();
        probe().display(batch, rate);
    }
    ui()->saveButton->click();
    QDir::setCurrent(previous);
    const QStringList files = QDir(dir.filePath("Data")).entryList({"*.csv"});
    QCOMPARE(int(files.size()), 1);
    QFile file(QDir(dir.filePath("Data")).filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QMap<QByteArray, int> states;
    const QList<QByteArray> rows = file.readAll().split('\n');
    for (int i = 1; i < rows.size(); ++i) {
        if (rows.at(i).isEmpty())
            continue;
        const QList<QByteArray> fields = rows.at(i).split(',');
        QCOMPARE(fields.size(), 7);
        // The filtered distance of a judged frame (no filter: the raw one).
        QCOMPARE(fields.at(5).toDouble(), fields.at(1).toDouble());
        ++states[fields.at(6)];
    }
    QCOMPARE(states.value(spikeCm > 1300 ? "above" : "below"), batches);
    QCOMPARE(states.value("ok"), frames - batches);
    QCOMPARE(states.size(), 2);
    // With batches of 111 the chart plots every 111th frame and never a
    // spike: all of them are counted all the same.
    if (sizes == QVector<int>{111}) {
        for (const QPointF &p : seriesPoints(probe().series()))
            QCOMPARE(p.y(), 12.34);
    }
    QTRY_COMPARE(label(counter.toLatin1())->text(), QString::number(batches));
    QCOMPARE(label("label_judge_count_0")->text(), QString::number(frames));
    QCOMPARE(label("label_judge_count_3")->text(), QString::number(batches));
    // Each spike shaded where the chart draws it, none forgotten.
    QCOMPARE(panel->overlay()->spanCount(), batches);
    for (int b = 0; b < batches; ++b)
        QVERIFY2(std::abs(panel->overlay()->spanEnd(b) - spikeX.at(b)) < 1e-9,
                 qPrintable(QStringLiteral("spike %1 at %2 s, shaded to %3 s")
                                .arg(b).arg(spikeX.at(b)).arg(panel->overlay()->spanEnd(b))));
    QCOMPARE(label("label_judge_state")->text(), QStringLiteral("合格"));
    probe().display(QVector<uint16_t>{uint16_t(spikeCm)}, rate);
    QCOMPARE(label("label_judge_state")->text(), state);

    // Reset starts the counts afresh; the limits stay.
    QTest::mouseClick(tool<QPushButton>("pushButton_judge_reset"), Qt::LeftButton);
    QCOMPARE(label("label_judge_count_0")->text(), QStringLiteral("0"));
    QVERIFY(panel->judge()->limits().on);
}

// Zero on the last N samples, a master value, back to absolute: the
// distance readout follows, the reference is shown, and a new window (the
// next start) has it again.
void tst_window_display::judgeZeroAndMasterRemembered_data()
{
    QTest::addColumn<bool>("master");
    QTest::addColumn<QString>("reads");         // the readout at 12.50 m
    QTest::addColumn<QString>("reference");
    QTest::newRow("zero") << false << "0.5" << "相对零点 12 m";
    QTest::newRow("master") << true << "0.525" << "标准值 0.025 m（零点 11.975 m）";
}

void tst_window_display::judgeZeroAndMasterRemembered()
{
    QFETCH(bool, master);
    QFETCH(QString, reads);
    QFETCH(QString, reference);
    ModalCatcher boxes;
    tool<QSpinBox>("spinBox_judge_zero_samples")->setValue(100);
    // Too few samples for a zero: refused with a reason, nothing changes.
    probe().display(QVector<uint16_t>(50, 1200), 100);
    QTest::mouseClick(tool<QPushButton>("pushButton_judge_zero"), Qt::LeftButton);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(label("label_judge_reference")->text(), QStringLiteral("绝对值"));

    probe().display(QVector<uint16_t>(50, 1200), 100);
    if (master) {
        tool<QLineEdit>("lineEdit_judge_master")->setText(QStringLiteral("0.025"));
        QTest::mouseClick(tool<QPushButton>("pushButton_judge_master"), Qt::LeftButton);
    } else {
        QTest::mouseClick(tool<QPushButton>("pushButton_judge_zero"), Qt::LeftButton);
    }
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(label("label_judge_reference")->text(), reference);
    probe().display(QVector<uint16_t>(3, 1250), 100);
    probe().distUpdate();
    QCOMPARE(ui()->distLabel->text(), reads);

    // Written when the window closes, as its other settings are.
    QVERIFY(window->close());
    delete window;
    window = new MainWindow;
    window->show();
    QCOMPARE(label("label_judge_reference")->text(), reference);
    probe().display(QVector<uint16_t>(3, 1250), 100);
    probe().distUpdate();
    QCOMPARE(ui()->distLabel->text(), reads);

    QTest::mouseClick(tool<QPushButton>("pushButton_judge_absolute"), Qt::LeftButton);
    probe().distUpdate();
    QCOMPARE(ui()->distLabel->text(), QStringLiteral("12.5"));
    QVERIFY(window->close());
    delete window;
    window = new MainWindow;
    window->show();
    QCOMPARE(label("label_judge_reference")->text(), QStringLiteral("绝对值"));
}
