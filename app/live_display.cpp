// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "curve_item.h"
#include "receiver.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QMessageBox>
#include <QTimer>
#include <QValueAxis>

#include <cmath>

// The chart's own parts beside the form: the items that draw the grid and
// the curve.
void MainWindow::setUpChartTools()
{
    QElapsedTimer steady;
    steady.start();
    chartClock = [steady] { return steady.elapsed(); };

    setUpGrid();

    // The series holds the points shown and is not drawn itself: a line
    // series rasterises every segment for every picture, which for a dense
    // window (an hour's band) took 30 to 45 ms a picture. The curve item
    // keeps the picture and redraws only the columns that change.
    curveItem = new CurveItem(chart);
    curveItem->setZValue(4.5);   // over the grid and axes, under the legend (Qt Charts: series 4, legend 5)
    series->setVisible(false);
    // Nor need its chart item hear of new points: for every change it
    // would outline the whole curve (QPainterPathStroker) for a hit test that
    // nothing uses, a third of a picture's cost in the default view.
    series->blockSignals(true);
}

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
        if (!zoomed) {
            frozenAxisMin = axisX->min();
            frozenAxisMax = axisX->max();
        } else {
            // "Back to live" goes to the live axes of the moment of the freeze.
            frozenAxisMin = alignedAxisStart(liveChart.axisStart(), timeRange, plotWidth(), liveChart.livePointCount());
            frozenAxisMax = frozenAxisMin + timeRange;
        }
        ui->suspendButton->setText(tr("恢复"));
    } else {
        const bool fromRecording = liveChart.isReplaying();
        liveChart.resume();
        ui->suspendButton->setText(tr("暂停"));
        if (fromRecording) {
            leaveRecording();
            return;
        }
        // The chart shows the window at once, on the axes it has; the axes
        // follow with the next batch.
        cancelChartRefresh();
        if (zoomed) {
            showZoomedChart(true);
            return;
        }
        const double range = axisX->max() - axisX->min();
        showCurve(liveChart.windowCurve(range, plotWidth()), range);
    }
}

void MainWindow::on_chartClearButton_clicked()
{
    // The time restarts at 0: a zoom into the old times shows nothing.
    zoomed = false;
    liveViewButton->setEnabled(false);
    liveChart.clear();
    cancelChartRefresh();
    showCurve(QVector<QPointF>(), axisX->max() - axisX->min());
}

// A successful connect starts the live display afresh.
void MainWindow::resetLiveDisplay()
{
    ui->distLabel->setText("0");
    ui->freqLabel->setText("0");
    liveChart.reset();
    zoomed = false;
    liveViewButton->setEnabled(false);
    cancelChartRefresh();
    setAxis(axisX, 0, 10);
    showCurve(QVector<QPointF>(), 10);
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
    batchStream.take(_dist, _freq);
    // Every distance that reaches the window is recorded, also those of the
    // first second after a connect, which still carry a rate of 0.
    if (recording)
        writeRecordLines(_dist, _freq);
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
    const qint64 since = lastChartRefresh >= 0 ? chartClock() - lastChartRefresh : interval;
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
    lastChartRefresh = chartClock();
    if (zoomed) {
        showZoomedChart(false);
        return;
    }
    // The series' own item, though hidden, outlines all the series' points
    // for every new range of an axis (a third of a refresh in the default
    // view): while the axes move it holds none, and takes the new picture's
    // points after them (its signals are blocked, so that costs a copy).
    series->clear();
    double width = plotWidth();
    // Labels of another width lay the chart out anew at once (coming back
    // from a zoom to other times, say): the picture is for the plot's width
    // after that.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double start = alignedAxisStart(liveChart.axisStart(), timeRange, width, liveChart.livePointCount());
        setAxis(axisX, start, start + timeRange);
        applyYAxis(liveChart.maxDistance());
        if (plotWidth() == width)
            break;
        width = plotWidth();
    }
    showCurve(liveChart.windowCurve(timeRange, width), timeRange);
}

// Where an axis of `range` seconds starting near `start` begins when `count`
// points are drawn on `width` pixels. For an envelope the columns must end
// where the renderer's pixel columns do (half-way between pixel centres,
// where a line's pixels switch columns): the axis starts on the model's
// column grid shifted by the plot's position in the pixels, less than a
// pixel before `start`.
double MainWindow::alignedAxisStart(double start, double range, double width, int count) const
{
    if (!ChartModel::needsEnvelope(count, range, width))
        return start;
    const QPointF plotLeft = chartView->viewportTransform().map(chart->mapToScene(chart->plotArea().topLeft()));
    const double phase = plotLeft.x() - 0.5 - std::floor(plotLeft.x() - 0.5);
    return ChartModel::alignedStart(start, ChartModel::columnWidth(range, width), phase);
}

// The vertical axis: the operator's fixed range, or from 0 to a little above
// the largest distance shown (autoscale).
void MainWindow::applyYAxis(double dataMax)
{
    if (autoScaleBox && !autoScaleBox->isChecked() && yMaxSpin->value() > yMinSpin->value())
        setAxis(axisY, yMinSpin->value(), yMaxSpin->value());
    else
        setAxis(axisY, 0, dataMax / 0.9);
}

// The series keeps the points shown; the curve item draws them on a grid of
// `range` / plot-width seconds per pixel column (the model's grid).
void MainWindow::showCurve(const QVector<QPointF> &points, double range)
{
    series->replace(points);
    shownRevision = liveChart.revision();
    drawCurve(points, range);
    if (hovering)
        updateHover();
}

void MainWindow::drawCurve(const QVector<QPointF> &points, double range)
{
    const double cw = ChartModel::columnWidth(range, plotWidth());
    const QRectF plot = chart->plotArea();
    const QRectF device = chartView->viewportTransform().mapRect(chart->mapRectToScene(plot));
    if (!(cw > 0) || device.width() < 1 || device.height() < 1) {
        curveItem->clearCurve();
        return;
    }
    const QPoint origin(qRound(device.left()), qRound(device.top()));
    CurveRaster::Geometry g;
    g.size = QSize(qRound(device.right()) - origin.x(), qRound(device.bottom()) - origin.y());
    g.columnWidth = cw;
    // The column whose centre lies on the picture's first pixel column (a
    // whole number when the axis starts on the column grid).
    g.firstColumn = qint64(std::llround(axisX->min() / cw + origin.x() - device.left() - 0.5));
    g.yTop = axisY->max();
    g.yBottom = axisY->min();
    g.yOffset = device.top() - origin.y();
    g.plotHeight = device.height();
    g.pen = series->pen();
    curveItem->show(points, g, origin, plot.topLeft() - device.topLeft());
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

// A plot of another size needs the picture for its new width: at the next
// refresh when live, at once when suspended.
void MainWindow::chartPlotAreaChanged()
{
    updateGrid();
    if (zoomed) {
        showZoomedChart(true);
        return;
    }
    if (liveChart.isSuspended()) {
        const double range = axisX->max() - axisX->min();
        showCurve(liveChart.frozenCurve(range, plotWidth()), range);
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
    updateStatistics();
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
