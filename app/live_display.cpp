#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "receiver.h"

#include <QChart>
#include <QLineSeries>
#include <QMessageBox>
#include <QTimer>
#include <QValueAxis>

void MainWindow::on_timeRangeEdit_editingFinished()
{
    // Losing focus to the warning box ends the editing a second time; one
    // box per bad entry is enough.
    if (timeRangeBoxOpen)
        return;
    bool ok = false;
    const int value = ui->timeRangeEdit->text().toInt(&ok, 10);
    if (!ok) {
        timeRangeBoxOpen = true;
        QMessageBox box;
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(tr("Input error"));
        box.setText(tr("Please input valid time range!"));
        box.setStandardButtons(QMessageBox::Ok);
        box.setStyleSheet("QLabel{ font:14px }");
        box.exec();
        timeRangeBoxOpen = false;
        return;
    }
    if (value > 3600) {
        timeRange = 3600;
        ui->timeRangeEdit->setText("3600");
    } else {
        timeRange = value;
    }
}

void MainWindow::on_suspendButton_clicked()
{
    if (!suspended) {
        // What freezes is the newest curve, not one a refresh behind.
        refreshChart();
        suspended = true;
        ui->suspendButton->setText(tr("恢复"));
        // The suspended curve starts as what the series shows.
        if (seriesShowsDisplay) {
            suspendedPoints = QVector<QPointF>();
            suspendedIsDisplay = true;
        } else {
            suspendedPoints = series->pointsVector();
            suspendedIsDisplay = false;
        }
    } else {
        suspended = false;
        ui->suspendButton->setText(tr("暂停"));
        if (suspendedIsDisplay) {
            suspendedPoints = displayPoints.toVector();
            suspendedIsDisplay = false;
            seriesShowsDisplay = true;
        } else {
            seriesShowsDisplay = false;
        }
        cancelChartRefresh();
        series->replace(suspendedPoints);
    }
}

void MainWindow::on_chartClearButton_clicked()
{
    cancelChartRefresh();
    series->replace(QVector<QPointF>());
    releaseSuspendedCurve();
    displayPoints.clear();
    seriesShowsDisplay = true;
    timeCursor = 0;
}

// While suspended, the suspended curve is normally displayPoints itself. Before
// displayPoints changes on its own, the suspended curve gets a copy of its own.
void MainWindow::releaseSuspendedCurve()
{
    if (!suspendedIsDisplay)
        return;
    suspendedPoints = displayPoints.toVector();
    suspendedIsDisplay = false;
}

QVector<QPointF> MainWindow::suspendedCurve()
{
    return suspendedIsDisplay ? displayPoints.toVector() : suspendedPoints;
}

// A successful connect starts the live display afresh.
void MainWindow::resetLiveDisplay()
{
    ui->distLabel->setText("0");
    ui->freqLabel->setText("0");
    cancelChartRefresh();
    series->clear();
    chartPoints.clear();
    releaseSuspendedCurve();
    displayPoints.clear();
    seriesShowsDisplay = true;
    axisX->setRange(0, 10);
    timeCursor = 0.0;
    maxDistance = 0.0;
    currentDistance = 0.0;
    latestRate = 0;
}

// One batch: decimate it into chart points, move the time window and set the
// axes. The window's curve is kept in displayPoints, so the cost is that of
// the batch plus the one hand-over of the curve to the series.
void MainWindow::slotDisplay(QVector<uint16_t> _dist, int _freq)
{
    // Every distance that reaches the window is recorded, also those of the
    // first second after a connect, which still carry a rate of 0.
    if (recording)
        writeRecordLines(_dist);
    if (_freq <= 0)
        return;

    const int n = _dist.size();
    const int step = _freq >= 100 ? _freq / 100 : 1;
    latestRate = _freq;

    const double windowStart = double(n) / _freq + timeCursor - timeRange;
    double axisStart = 0;
    const bool curveIsChart = suspended ? suspendedIsDisplay : seriesShowsDisplay;
    if (curveIsChart) {
        if (!displayPoints.isEmpty())
            axisStart = displayPoints.first().x();
        if (windowStart >= 0)
            displayPoints.dropFront(displayPoints.firstIndexAtLeast(windowStart));
    } else {
        // The chart shows another curve than displayPoints (after a clear or
        // a connect while suspended, or a resume): start from the chart's points.
        chartPoints = suspended ? suspendedPoints : series->pointsVector();
        if (!chartPoints.isEmpty())
            axisStart = chartPoints.first().x();
        if (windowStart >= 0) {
            int i = 0;
            while (i < chartPoints.size() && chartPoints.at(i).x() < windowStart)
                ++i;
            displayPoints.assign(chartPoints.mid(i));
        }
    }
    if (!suspended)
        chartAxisStart = axisStart;

    displayPoints.prepareAppend((n + step - 1) / step);
    for (int k = 0; k < n; k += step) {
        timeCursor += double(step) / _freq;
        currentDistance = _dist.at(k) / 100.0;
        displayPoints.append(QPointF(timeCursor, currentDistance));
    }

    maxDistance = displayPoints.maxY(0.0);
    if (suspended) {
        suspendedPoints = QVector<QPointF>();
        suspendedIsDisplay = true;
        seriesShowsDisplay = false;
    } else {
        // The series shows displayPoints from the next refresh on.
        seriesShowsDisplay = true;
        scheduleChartRefresh();
    }
}

// How often the chart takes the newest curve: about as often as the curve
// moves by one pixel of the plot, at most 25 times a second (a 10-s window)
// and at least twice a second (an hour's window moves one pixel in seconds,
// and redrawing its 360,000 points is what the refresh costs).
int MainWindow::chartRefreshInterval() const
{
    constexpr int kFastestMs = 40;
    constexpr int kSlowestMs = 500;
    const double plotWidth = chart->plotArea().width();
    const double msPerPixel = 1000.0 * timeRange / (plotWidth >= 100 ? plotWidth : 1000.0);
    return int(qBound(double(kFastestMs), msPerPixel, double(kSlowestMs)));
}

void MainWindow::scheduleChartRefresh()
{
    chartRefreshPending = true;
    if (chartRefreshTimer->isActive())
        return;
    const int interval = chartRefreshInterval();
    const qint64 since = chartRefreshClock.isValid() ? chartRefreshClock.elapsed() : interval;
    if (since >= interval)
        refreshChart();
    else
        chartRefreshTimer->start(int(interval - since));
}

// The axes and the series take the newest curve.
void MainWindow::refreshChart()
{
    chartRefreshTimer->stop();
    if (!chartRefreshPending)
        return;
    chartRefreshPending = false;
    chartRefreshClock.start();
    axisX->setRange(chartAxisStart, chartAxisStart + timeRange);
    axisY->setRange(0, maxDistance / 0.9);
    series->replace(displayPoints.toVector());
}

// Before the chart is given another curve (clear, resume, connect), a
// refresh still pending would bring the old one back.
void MainWindow::cancelChartRefresh()
{
    chartRefreshTimer->stop();
    chartRefreshPending = false;
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
}

void MainWindow::on_spinBox_dist_num_valueChanged(QString arg1)
{
    worker->setDistNum(arg1.toInt(nullptr, 10));
}
