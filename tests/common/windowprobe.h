// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

// Tests reach the window through public means only: its read-only state
// (MainWindow's public getters), its widgets and parts by object name or
// class (findChild) and their public API, and its slots and marked methods
// through the meta-object.

#include "chart_clock.h"
#include "chart_files.h"
#include "chart_panel.h"
#include "curve_item.h"
#include "mainwindow.h"
#include "receiver.h"
#include "recorder.h"
#include "ui_mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineSeries>
#include <QMessageBox>
#include <QMetaObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QValueAxis>

#include <memory>

namespace windowprobe {

// The window reads and writes the operator's settings file. Every program
// that includes this header keeps its own, in a folder of its own that goes
// when the program ends: no run sees the choices of another, nor the
// operator's. Set before main(), so before any window is made.
inline QString privateSettingsFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/zn84-settings-XXXXXX"));
    return folder.path();
}
inline const bool privateSettings = [] {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, privateSettingsFolder());
    return true;
}();

// The form's widgets and layouts, each found by its object name in the
// window (the list is generated from ui/mainwindow.ui). Kept as a child of
// the window, so it goes with it.
class FormView : public QObject
{
public:
    explicit FormView(MainWindow &w) : QObject(&w)
    {
        setObjectName(name());
#define ZN84_FORM_MEMBER(Class, member) form.member = w.findChild<Class *>(QStringLiteral(#member));
#include "form_members.inc"
#undef ZN84_FORM_MEMBER
    }
    static QString name() { return QStringLiteral("zn84-test-form-view"); }
    Ui::MainWindow form;
};

// A value of the window that tests set through the window's own public
// means and read back: `probe.timeRange() = 30`, `QCOMPARE(probe.timeRange(), 30)`.
template <typename T, typename Get, typename Set> class Field
{
public:
    Field(Get get, Set set) : get(get), set(set) {}
    operator T() const { return get(); }
    Field &operator=(const T &value)
    {
        set(value);
        return *this;
    }

private:
    Get get;
    Set set;
};
template <typename T, typename Get, typename Set> Field<T, Get, Set> field(Get get, Set set)
{
    return Field<T, Get, Set>(get, set);
}

// The record file as seen from outside: its name, and whether this process
// holds it open (one of its descriptors leads to it).
class RecordFileView
{
public:
    explicit RecordFileView(const QString &name) : name(name) {}
    QString fileName() const { return name; }
    bool isOpen() const
    {
        if (name.isEmpty())
            return false;
        const QString target = QFileInfo(name).canonicalFilePath();
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (!target.isEmpty() && QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
                return true;
        }
        return false;
    }

private:
    QString name;
};

} // namespace windowprobe

class WindowProbe
{
public:
    explicit WindowProbe(MainWindow &w) : w(w) {}

    Ui::MainWindow *ui() const
    {
        auto *view = static_cast<windowprobe::FormView *>(
            w.findChild<QObject *>(windowprobe::FormView::name(), Qt::FindDirectChildrenOnly));
        if (!view)
            view = new windowprobe::FormView(w);
        return &view->form;
    }
    receiver *worker() const { return w.linkWorker(); }
    QThread *workerThread() const { return w.linkWorker()->thread(); }
    QChartView *chartView() const { return w.findChild<QChartView *>(QStringLiteral("chartView")); }
    QLineSeries *series() const { return qobject_cast<QLineSeries *>(chartView()->chart()->series().value(0)); }
    QValueAxis *axisX() const { return axis(Qt::Horizontal); }
    QValueAxis *axisY() const { return axis(Qt::Vertical); }
    QTimer *updateTimer() const { return w.findChild<QTimer *>(QStringLiteral("updateTimer")); }
    QString serialSelected() const { return w.selectedPort(); }
    int baudRate() const { return w.selectedBaudRate(); }
    // The chart's state lives in the window's chart model (read-only).
    const ChartModel &chart() const { return w.chartModel(); }
    double timeCursor() const { return w.chartModel().timeCursor(); }
    double maxDistance() const { return w.chartModel().maxDistance(); }
    double currentDistance() const { return w.shownDistance(); }
    int latestRate() const { return w.latestFrameRate(); }
    // The time range in use; set as the operator would have it.
    auto timeRange() const
    {
        MainWindow *win = &w;
        return windowprobe::field<int>([win] { return win->timeRangeInUse(); },
                                       [win](int seconds) { win->setTimeRange(seconds); });
    }
    bool suspended() const { return w.chartModel().isSuspended(); }
    bool recording() const { return w.isRecording(); }
    windowprobe::RecordFileView recordFile() const { return windowprobe::RecordFileView(w.recordFileName()); }
    // The time window's points and, while suspended, the frozen picture's
    // points (copies).
    QVector<QPointF> displayPoints() const { return w.chartModel().windowPoints(); }
    int displayPointCount() const { return w.chartModel().pointCount(); }
    QVector<QPointF> frozenPoints() const { return w.chartModel().frozenPoints(); }
    QString dataPath() const { return w.recordFolder(); }
    // The clock record files are named after: `probe.recordClock() = [] { ... };`
    auto recordClock() const
    {
        MainWindow *win = &w;
        using Clock = std::function<QDateTime()>;
        return windowprobe::field<Clock>([] { return Clock(); },
                                         [win](const Clock &clock) {
                                             win->findChild<Recorder *>(QStringLiteral("recorder"))->setClock(clock);
                                         });
    }
    unsigned int frameLength() const { return w.upgradeFrameLength(); }
    unsigned int payloadLength() const { return w.upgradePayloadLength(); }
    QVector<unsigned int> rateHistory() const { return w.recentFrameRates(); }

    // Delivers a batch as the worker's queued signal would, and lets the
    // chart take it (the window refreshes the chart at most once per
    // refresh interval).
    void display(const QVector<uint16_t> &dist, int freq)
    {
        batchOnly(dist, freq);
        panel()->refreshChart();
    }
    // The batch pass alone, the chart's refresh left to its timer.
    void batchOnly(const QVector<uint16_t> &dist, int freq)
    {
        QMetaObject::invokeMethod(&w, "slotDisplay", Qt::DirectConnection, Q_ARG(QVector<uint16_t>, dist),
                                  Q_ARG(int, freq));
    }
    // The chart's display and tools (chart_panel.h), its export and replay
    // (chart_files.h).
    ChartPanel *panel() const { return w.findChild<ChartPanel *>(); }
    ChartFiles *files() const { return w.findChild<ChartFiles *>(); }
    bool chartRefreshPending() const { return panel()->chartRefreshPending(); }
    QTimer *chartRefreshTimer() const { return w.findChild<QTimer *>(QStringLiteral("chartRefreshTimer")); }
    // Forgets when the chart was last refreshed, as after a quiet spell.
    void forgetChartRefresh() { panel()->forgetChartRefresh(); }
    int chartRefreshInterval() const { return panel()->chartRefreshInterval(); }
    void distUpdate() { invoke("slotDistUpdate"); }
    // The steady clock the refresh decision reads (milliseconds).
    ChartClock *chartClock() const { return w.findChild<ChartClock *>(QStringLiteral("chartClock")); }
    const CurveItem *curveItem() const { return panel()->curve(); }
    // The operator's zoom and the chart tools.
    bool zoomed() const { return panel()->isZoomed(); }
    ChartStats visibleStats() const { return panel()->visibleStats(); }
    recordformat::Format recordFormat() const { return w.recordingFormat(); }
    bool openRecording(const QString &path, int rate = 0) { return files()->openRecording(path, rate); }
    void zoomTo(double min, double max) { panel()->zoomTo(min, max); }
    // What a successful connect does to the live display.
    void resetDisplay() { invoke("resetLiveDisplay"); }
    void progress(float v)
    {
        QMetaObject::invokeMethod(&w, "slotUpdateProcessbar", Qt::DirectConnection, Q_ARG(float, v));
    }
    void upgradeResult(bool ok)
    {
        QMetaObject::invokeMethod(&w, "slotUpgradeResult", Qt::DirectConnection, Q_ARG(bool, ok));
    }

    // Chooses `device` in the port chooser and presses connect; true when
    // the worker's port is open afterwards.
    bool connectTo(const QString &device)
    {
        choosePort(device);
        ui()->connectButton->click();
        return w.linkWorker()->isPortOpen();
    }
    // Makes `device` the port chooser's current entry (added when missing).
    void choosePort(const QString &device)
    {
        QComboBox *box = ui()->serialComboBox;
        int index = box->findData(device);
        if (index < 0) {
            box->addItem(device, device);
            index = box->count() - 1;
        }
        box->setCurrentIndex(index);
    }
    // Types `baud` into the baud-rate box, as the operator would.
    void chooseBaudRate(int baud) { ui()->baudrateComboBox->setCurrentText(QString::number(baud)); }
    // Answers the next question box that opens (within `ms`) with `answer`,
    // for programs without a tester's hand (the benchmarks).
    static void answerNextQuestion(QMessageBox::StandardButton answer, int ms = 10000)
    {
        auto *timer = new QTimer;
        auto *clock = new QElapsedTimer;
        clock->start();
        QObject::connect(timer, &QTimer::timeout, [timer, clock, answer, ms] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            const bool answered = box && box->isVisible() && box->button(answer);
            if (answered)
                box->button(answer)->click();
            if (answered || clock->elapsed() > ms) {
                timer->deleteLater();
                delete clock;
            }
        });
        timer->start(20);
    }
    // Disconnects when connected, then stops the worker's thread.
    void disconnectAndStop()
    {
        if (w.linkWorker()->isPortOpen())
            ui()->connectButton->click();
        w.shutdownWorker();
    }

private:
    QValueAxis *axis(Qt::Orientation o) const
    {
        const QList<QAbstractAxis *> axes = chartView()->chart()->axes(o);
        return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes.first());
    }
    void invoke(const char *method) { QMetaObject::invokeMethod(&w, method, Qt::DirectConnection); }

    MainWindow &w;
};

#endif
