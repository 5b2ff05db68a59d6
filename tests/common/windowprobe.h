#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

// Tests read and poke the window's private state through this friend.

#include "curve_item.h"
#include "mainwindow.h"
#include "receiver.h"
#include "ui_mainwindow.h"

#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

class WindowProbe
{
public:
    explicit WindowProbe(MainWindow &w) : w(w) {}

    Ui::MainWindow *ui() const { return w.ui; }
    receiver *worker() const { return w.worker; }
    QThread *workerThread() const { return w.workerThread; }
    QLineSeries *series() const { return w.series; }
    QValueAxis *axisX() const { return w.axisX; }
    QValueAxis *axisY() const { return w.axisY; }
    QTimer *updateTimer() const { return w.updateTimer; }
    QString &serialSelected() const { return w.serialSelected; }
    int &baudRate() const { return w.baudRate; }
    // The chart's state lives in the window's chart model (read-only).
    const ChartModel &chart() const { return w.chartModel(); }
    double timeCursor() const { return w.chartModel().timeCursor(); }
    double maxDistance() const { return w.chartModel().maxDistance(); }
    double &currentDistance() const { return w.currentDistance; }
    int &latestRate() const { return w.latestRate; }
    int &timeRange() const { return w.timeRange; }
    bool suspended() const { return w.chartModel().isSuspended(); }
    bool &recording() const { return w.recording; }
    QFile &recordFile() const { return w.recordFile; }
    // The time window's points and, while suspended, the frozen picture's
    // points (copies).
    QVector<QPointF> displayPoints() const { return w.chartModel().windowPoints(); }
    int displayPointCount() const { return w.chartModel().pointCount(); }
    QVector<QPointF> frozenPoints() const { return w.chartModel().frozenPoints(); }
    QChartView *chartView() const { return w.chartView; }
    QString dataPath() const { return w.dataPath; }
    std::function<QDateTime()> &recordClock() const { return w.recordClock; }
    unsigned int &frameLength() const { return w.upgrade_frame_length; }
    unsigned int &payloadLength() const { return w.upgrade_payload_length; }
    QVector<unsigned int> &rateHistory() const { return w.rateHistory; }

    // Delivers a batch as the worker's queued signal would, and lets the
    // chart take it (the window refreshes the chart at most once per
    // refresh interval).
    void display(const QVector<uint16_t> &dist, int freq)
    {
        w.slotDisplay(dist, freq);
        w.refreshChart();
    }
    // The batch pass alone, the chart's refresh left to its timer.
    void batchOnly(const QVector<uint16_t> &dist, int freq) { w.slotDisplay(dist, freq); }
    bool chartRefreshPending() const { return w.chartRefreshPending(); }
    QTimer *chartRefreshTimer() const { return w.chartRefreshTimer; }
    // Forgets when the chart was last refreshed, as after a quiet spell.
    void forgetChartRefresh() { w.lastChartRefresh = -1; }
    // The steady clock the refresh decision reads (milliseconds).
    std::function<qint64()> &chartClock() const { return w.chartClock; }
    CurveItem *curveItem() const { return w.curveItem; }
    // The operator's zoom and the chart tools.
    bool zoomed() const { return w.zoomed; }
    ChartStats visibleStats() const { return w.visibleStats(); }
    std::function<QString(const QString &, const QString &)> &chooseSaveFile() const { return w.chooseSaveFile; }
    recordformat::Format recordFormat() const { return w.recordFormat; }
    std::function<QString(const QString &, const QString &)> &chooseOpenFile() const { return w.chooseOpenFile; }
    std::function<int(int)> &askReplayRate() const { return w.askReplayRate; }
    bool openRecording(const QString &path) { return w.openRecording(path); }
    void zoomTo(double min, double max) { w.zoomTo(min, max); }
    int chartRefreshInterval() const { return w.chartRefreshInterval(); }
    void distUpdate() { w.slotDistUpdate(); }
    // What a successful connect does to the live display.
    void resetDisplay() { w.resetLiveDisplay(); }
    void progress(float v) { w.slotUpdateProcessbar(v); }
    void upgradeResult(bool ok) { w.slotUpgradeResult(ok); }

    // Points the port chooser at `device` and presses connect; true when
    // the worker's port is open afterwards.
    bool connectTo(const QString &device)
    {
        w.serialSelected = device;
        w.ui->connectButton->click();
        return w.worker->isPortOpen();
    }
    // Disconnects when connected, then stops the worker's thread.
    void disconnectAndStop()
    {
        if (w.worker->isPortOpen())
            w.ui->connectButton->click();
        w.shutdownWorker();
    }

private:
    MainWindow &w;
};

#endif
