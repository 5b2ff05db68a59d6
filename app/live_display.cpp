// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "batch_stream.h"
#include "chart_panel.h"
#include "judge_panel.h"
#include "receiver.h"
#include "signal_panel.h"

#include <QElapsedTimer>
#include <QMessageBox>

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
    chartPanel->setTimeRange(timeRange);
    ui->timeRangeEdit->setText(QString::number(timeRange));
    return true;
}

void MainWindow::on_suspendButton_clicked()
{
    if (!liveChart.isSuspended()) {
        // What freezes is the newest picture, not one a refresh behind.
        chartPanel->refreshChart();
        liveChart.suspend();
        chartPanel->keepFrozenAxes();
        ui->suspendButton->setText(tr("恢复"));
    } else {
        const bool fromRecording = liveChart.isReplaying();
        liveChart.resume();
        ui->suspendButton->setText(tr("暂停"));
        chartPanel->showResumed(fromRecording);
    }
}

void MainWindow::on_chartClearButton_clicked()
{
    liveChart.clear();
    signalPanel->chartRestarted();
    chartPanel->showCleared();
}

// A successful connect starts the live display afresh.
void MainWindow::resetLiveDisplay()
{
    ui->distLabel->setText("0");
    ui->freqLabel->setText("0");
    liveChart.reset();
    batches->restart();
    chartPanel->showReset();
    currentDistance = 0.0;
    latestRate = 0;
    lastBatchClock.start();
    showReadoutStale(false);
}

// One batch goes on as the stream's next: the recorder writes every
// distance (also those of the first second after a connect, which still carry
// a rate of 0), the chart model decimates those with a rate into its time
// window. The chart takes the newest picture at its next refresh.
void MainWindow::slotDisplay(QVector<uint16_t> _dist, int _freq)
{
    if (!_dist.isEmpty())
        lastBatchClock.start();
    batches->take(_dist, _freq);
    if (_freq <= 0)
        return;

    latestRate = _freq;
    if (liveChart.state() == ChartModel::State::Live)
        chartPanel->scheduleChartRefresh();
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

    ui->distLabel->setText(QString::number(judgePanel ? judgePanel->readout(currentDistance) : currentDistance, 'g', 6));
    ui->freqLabel->setText(QString::number(shownRate));
    latestRate = 0;
    chartPanel->updateStatistics();
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
