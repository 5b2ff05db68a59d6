// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FAULT_FIXTURE_H
#define FAULT_FIXTURE_H

// A main window connected to a simulated sensor on a pseudo-terminal, for the
// fault tests: the device vanishing, sensors that answer garbage or nothing,
// interrupted transfers and operator input at the limits.

#include "mainwindow.h"
#include "modalcatcher.h"
#include "receiver.h"
#include "simsensor.h"
#include "windowprobe.h"
#include "workerharness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <ctime>

namespace fault {

// CPU time used by the whole process (every thread), in seconds.
inline double processCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU seconds the process uses while the event loop runs for `ms`.
inline double cpuWhileIdle(int ms)
{
    const double before = processCpuSeconds();
    QTest::qWait(ms);
    return processCpuSeconds() - before;
}

inline QByteArray toByteArray(const sim::Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

class FaultWindow
{
public:
    sim::SimSensor sensor;
    MainWindow *window = nullptr;
    BatchCollector *batches = nullptr;

    // Starts the simulator at `fps`, builds the window and connects it.
    bool open(int fps)
    {
        if (!sensor.start(fps))
            return false;
        window = new MainWindow;
        window->show();
        batches = new BatchCollector(worker());
        return connectTo(sensor);
    }

    // Points the port chooser at the simulator's current device and presses
    // connect; true when the worker's port is open afterwards.
    bool connectTo(const sim::SimSensor &s)
    {
        return probe().connectTo(QString::fromStdString(s.devicePath()));
    }

    void close()
    {
        if (window) {
            probe().disconnectAndStop();
            delete batches;
            batches = nullptr;
            delete window;
            window = nullptr;
        }
        sensor.stop();
    }

    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    receiver *worker() const { return WindowProbe(*window).worker(); }
    WindowProbe probe() const { return WindowProbe(*window); }
    QString status() const { return ui()->statusBar->currentMessage(); }
    QByteArray received() const { return toByteArray(sensor.received()); }
    QPushButton *button(const QString &name) const { return window->findChild<QPushButton *>(name); }

    // True once at least one more batch than `count` has reached the window:
    // the measurement parser is attached and the stream flows.
    bool streamFlows(int count, int timeoutMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (batches->batches.size() > count)
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // --- Waiting for events instead of time ---
    // Runs everything the worker's thread has queued so far (the port's
    // reports, a queued close), then what the window has queued.
    void settle()
    {
        runBlocking(worker(), [] {});
        QCoreApplication::processEvents();
    }

    // True once nothing travels towards the viewer any more (stop the
    // stream first) and the worker has handled what arrived: an exchange
    // started now sees only what the sensor sends from now on.
    bool lineDrained(int timeoutMs = 10000)
    {
        const bool drained = QTest::qWaitFor([&] { return sensor.bytesTowardsHost() == 0; }, timeoutMs);
        settle();
        return drained;
    }

    // True when nothing spins once the device is gone: the port has closed,
    // the queued reports have run, and the process then uses at most a
    // quarter of one core's time over a short idle spell (a busy loop takes
    // all of it).
    bool idleAfterUnplug(double *cpuSeconds, int spellMs = 600)
    {
        *cpuSeconds = -1;
        if (!QTest::qWaitFor([&] { return !worker()->isPortOpen(); }, 10000))
            return false;
        settle();
        *cpuSeconds = cpuWhileIdle(spellMs);
        return *cpuSeconds < 0.25 * spellMs / 1000.0;
    }

    // Clicks `name`, returns the milliseconds the handler took.
    qint64 clickTimed(const QString &name)
    {
        QPushButton *b = button(name);
        if (!b)
            return -1;
        QElapsedTimer t;
        t.start();
        b->click();
        return t.elapsed();
    }
};

} // namespace fault

#endif // FAULT_FIXTURE_H
