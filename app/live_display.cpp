#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "receiver.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMessageBox>
#include <QTimer>
#include <QValueAxis>

#include <cmath>

void MainWindow::on_timeRangeEdit_editingFinished()
{
    // Losing focus to the warning box ends the editing a second time; one
    // box per bad entry is enough.
    if (timeRangeBoxOpen)
        return;
    bool ok = false;
    const int value = ui->timeRangeEdit->text().trimmed().toInt(&ok, 10);
    if (ok && setTimeRange(value))
        return;
    // Refused: the field shows the range still in use.
    ui->timeRangeEdit->setText(QString::number(timeRange));
    timeRangeBoxOpen = true;
    QMessageBox box;
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(tr("Input error"));
    box.setText(tr("Please input valid time range!"));
    box.setStandardButtons(QMessageBox::Ok);
    box.setStyleSheet("QLabel{ font:14px }");
    box.exec();
    timeRangeBoxOpen = false;
}

// A window of less than a second shows nothing useful (at 0 the chart went
// blank): refused. More than an hour is cut to an hour. The field always
// shows the range in use.
bool MainWindow::setTimeRange(int seconds)
{
    if (seconds < 1)
        return false;
    timeRange = qMin(seconds, 3600);
    ui->timeRangeEdit->setText(QString::number(timeRange));
    return true;
}

void MainWindow::on_suspendButton_clicked()
{
    if (!liveChart.isSuspended()) {
        // What freezes is the newest picture, not one a refresh behind.
        refreshChart();
        liveChart.suspend();
        ui->suspendButton->setText(tr("恢复"));
    } else {
        liveChart.resume();
        ui->suspendButton->setText(tr("暂停"));
        // The chart shows the window at once, on the axes it has; the axes
        // follow with the next batch.
        cancelChartRefresh();
        showCurve(liveChart.windowCurve(axisX->max() - axisX->min(), plotWidth()));
    }
}

void MainWindow::on_chartClearButton_clicked()
{
    liveChart.clear();
    cancelChartRefresh();
    series->replace(QVector<QPointF>());
}

// A successful connect starts the live display afresh.
void MainWindow::resetLiveDisplay()
{
    ui->distLabel->setText("0");
    ui->freqLabel->setText("0");
    liveChart.reset();
    cancelChartRefresh();
    series->clear();
    setAxis(axisX, 0, 10);
    currentDistance = 0.0;
    latestRate = 0;
    lastBatchClock.start();
    showReadoutStale(false);
}

// One batch: the model decimates it into its time window; the chart takes
// the newest picture at its next refresh.
void MainWindow::slotDisplay(QVector<uint16_t> _dist, int _freq)
{
    if (!_dist.isEmpty())
        lastBatchClock.start();
    // Every distance that reaches the window is recorded, also those of the
    // first second after a connect, which still carry a rate of 0.
    if (recording)
        writeRecordLines(_dist);
    if (_freq <= 0)
        return;

    latestRate = _freq;
    if (liveChart.addBatch(_dist, _freq, timeRange) > 0)
        currentDistance = liveChart.newestDistance();
    if (liveChart.state() == ChartModel::State::Live)
        scheduleChartRefresh();
}

// How often the chart takes the newest picture: 12.5 times a second for
// every window. A picture costs the plot's width whatever the window's length
// (the model hands at most about four points per pixel column); what it
// costs is mostly Qt Charts outlining the curve (its hit-test shape) and
// drawing it segment by segment with the 2-px pen. In the default view at the
// line's top rate the viewer needed about 17 % of a core at 20 pictures a
// second and about 12 % at 12.5 (docs/performance.md); the curve still moves
// by only a few pixels from one picture to the next.
int MainWindow::chartRefreshInterval() const
{
    return 80;
}

bool MainWindow::chartRefreshPending() const
{
    return liveChart.state() == ChartModel::State::Live && shownRevision != liveChart.revision();
}

void MainWindow::scheduleChartRefresh()
{
    if (chartRefreshTimer->isActive() || !chartRefreshPending())
        return;
    const int interval = chartRefreshInterval();
    const qint64 since = chartRefreshClock.isValid() ? chartRefreshClock.elapsed() : interval;
    if (since >= interval)
        refreshChart();
    else
        chartRefreshTimer->start(int(interval - since));
}

// The axes and the series take the newest picture of the live window. The
// axes are set only when their range changes (a new range lays out the
// labels again).
void MainWindow::refreshChart()
{
    chartRefreshTimer->stop();
    if (!chartRefreshPending())
        return;
    chartRefreshClock.start();
    const double width = plotWidth();
    double start = liveChart.axisStart();
    if (ChartModel::needsEnvelope(liveChart.pointCount(), timeRange, width)) {
        // Columns of the envelope end where the renderer's pixel columns do
        // (half-way between pixel centres, where a line's pixels switch
        // columns): the axis starts on the model's column grid shifted by
        // the plot's position in the pixels. The start moves by less than a
        // pixel.
        const QPointF plotLeft = chartView->viewportTransform().map(chart->mapToScene(chart->plotArea().topLeft()));
        const double phase = plotLeft.x() - 0.5 - std::floor(plotLeft.x() - 0.5);
        start = ChartModel::alignedStart(start, ChartModel::columnWidth(timeRange, width), phase);
    }
    setAxis(axisX, start, start + timeRange);
    setAxis(axisY, 0, liveChart.maxDistance() / 0.9);
    showCurve(liveChart.windowCurve(timeRange, width));
}

void MainWindow::showCurve(const QVector<QPointF> &points)
{
    series->replace(points);
    shownRevision = liveChart.revision();
}

// Before the chart is given another picture (clear, resume, connect), a
// refresh still pending would bring the old one back.
void MainWindow::cancelChartRefresh()
{
    chartRefreshTimer->stop();
    shownRevision = liveChart.revision();
}

// The plot's width in pixels; before the chart has been laid out, a plot of
// a common size.
double MainWindow::plotWidth() const
{
    const double width = chart->plotArea().width();
    return width >= 1 ? width : 1000.0;
}

// Ticks on round values: a 1-2-5 interval giving about eight of them,
// anchored at 0, so the labels are short and keep their width while the axis
// scrolls.
static double tickInterval(double span)
{
    const double raw = span / 8;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * decade >= raw * (1 - 1e-9))
            return m * decade;
    return 10 * decade;
}

static void setTickInterval(QValueAxis *axis, double interval);

void MainWindow::setAxis(QValueAxis *axis, double min, double max)
{
    if (axis->min() == min && axis->max() == max)
        return;
    const double span = max - min;
    const double interval = span > 0 && std::isfinite(span) ? tickInterval(span) : 0.0;
    // The axis makes a tick item for every interval of its range: a wider
    // interval goes in before a wider range, a narrower one after a narrower
    // range, so that no step in between has thousands of ticks.
    const bool coarser = interval > axis->tickInterval();
    if (interval > 0 && coarser)
        setTickInterval(axis, interval);
    axis->setRange(min, max);
    if (interval > 0 && !coarser)
        setTickInterval(axis, interval);
}

static void setTickInterval(QValueAxis *axis, double interval)
{
    if (axis->tickType() == QValueAxis::TicksDynamic && axis->tickInterval() == interval)
        return;
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
    axis->setTickType(QValueAxis::TicksDynamic);
}

// A plot of another size needs the picture for its new width: at the next
// refresh when live, at once when suspended.
void MainWindow::chartPlotAreaChanged()
{
    if (liveChart.isSuspended()) {
        showCurve(liveChart.frozenCurve(axisX->max() - axisX->min(), plotWidth()));
        return;
    }
    if (liveChart.state() == ChartModel::State::Live) {
        // The picture shown no longer fits: whatever revision it was.
        shownRevision = liveChart.revision() - 1;
        scheduleChartRefresh();
    }
}

void MainWindow::slotDistUpdate()
{
    rateHistory[rateHistoryPos] = static_cast<unsigned int>(latestRate);

    // Show the newest non-zero rate of the last ten refreshes (two seconds).
    unsigned int shownRate = 0;
    for (int back = 0; back < rateHistory.size(); ++back) {
        const int slot = (rateHistoryPos - back + rateHistory.size()) % rateHistory.size();
        if (rateHistory.at(slot) != 0) {
            shownRate = rateHistory.at(slot);
            break;
        }
    }
    rateHistoryPos = (rateHistoryPos + 1) % rateHistory.size();

    ui->distLabel->setText(QString::number(currentDistance, 'g', 6));
    ui->freqLabel->setText(QString::number(shownRate));
    latestRate = 0;
    showReadoutStale(!lastBatchClock.isValid() || lastBatchClock.elapsed() > kStaleAfterMs);
}

// The last distance stays in the readout, greyed, with a tooltip that says
// it is old: a reading that stopped must not pass for a current one.
void MainWindow::showReadoutStale(bool stale)
{
    if (ui->distLabel->property("stale").toBool() == stale && !ui->distLabel->toolTip().isEmpty())
        return;
    ui->distLabel->setProperty("stale", stale);
    ui->distLabel->setEnabled(!stale);
    ui->distLabel->setToolTip(stale ? tr("数据已过时：超过1秒未收到测量帧") : tr("最新测量距离（米）"));
}

// The number signal: the one with the text is gone from Qt 6.
void MainWindow::on_spinBox_dist_num_valueChanged(int arg1)
{
    worker->setDistNum(arg1);
}
