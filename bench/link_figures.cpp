// SPDX-License-Identifier: GPL-3.0-or-later
// link_figures: the link's figures on the real window against simulated
// sensors on pseudo-terminals.
//
//  1. Reconnect: the time from the device coming back (the simulator's pty
//     made again under the same name) to the first distances reaching the
//     window, over several unplugs at different moments of the once-a-second
//     check. Target: within 2 s.
//  2. The viewer's CPU while the device is gone and the viewer waits for it
//     (process CPU time over 5 s, in % of one core). Target: under 2 %.
//  3. "Find the sensor" over 4 ports (the sensor at 1,000,000 baud, a silent
//     line, two lines of noise) and the 7 offered rates, from the start to
//     the last port's report; and over 4 lines without a sensor (every rate
//     listened to in full). Target: at most 10 s.
//
// Run under a display (xvfb-run) from the build directory:  bench/link_figures

#include "cross_thread.h"
#include "port_scanner.h"
#include "receiver.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double processCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Counts the distances reaching the test's thread.
class Arrivals : public QObject
{
public:
    explicit Arrivals(receiver *worker)
    {
        connectAcrossThreads(worker, &receiver::signalDistance, this, &Arrivals::onDistance);
        connectAcrossThreads(worker, &receiver::signalDeviceLost, this, &Arrivals::onLost);
    }
    int distances = 0;
    int lost = 0;
    void onDistance(QVector<uint16_t> d, int) { distances += d.size(); }
    void onLost(bool, qint64) { ++lost; }
};

class ScanDone : public QObject
{
public:
    bool done = false;
    int hits = 0;
    void onPort(PortScanResult r) { hits += r.hits.size(); }
    void onFinished() { done = true; }
};

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(1);
    }
    return true;
}

int reconnectFigures(MainWindow &w)
{
    WindowProbe p(w);
    sim::SimSensor sensor;
    if (!sensor.start(1000))
        return 1;
    Arrivals arrivals(p.worker());
    p.choosePort(QString::fromStdString(sensor.linkPath()));
    p.chooseBaudRate(921600);
    p.ui()->connectButton->click();
    if (!p.worker()->isPortOpen()) {
        std::printf("reconnect: cannot connect\n");
        return 1;
    }
    std::vector<double> resume;
    double cpuShare = 0;
    const int rounds = 6;
    for (int round = 0; round < rounds; ++round) {
        if (!waitFor([&] { return arrivals.distances > 100; }, 10000))
            return 1;
        const int lostBefore = arrivals.lost;
        sensor.unplug();
        if (!waitFor([&] { return arrivals.lost > lostBefore; }, 10000))
            return 1;
        if (round == 0) {
            // The viewer alone, waiting: 5 s of its CPU time.
            QTest::qWait(300);
            const double cpu0 = processCpuSeconds();
            QElapsedTimer wall;
            wall.start();
            QTest::qWait(5000);
            cpuShare = 100.0 * (processCpuSeconds() - cpu0) / (wall.elapsed() / 1000.0);
        } else {
            // Back at another moment of the once-a-second check.
            QTest::qWait(137 * round);
        }
        arrivals.distances = 0;
        QElapsedTimer t;
        t.start();
        if (!sensor.replug())
            return 1;
        if (!waitFor([&] { return arrivals.distances > 0; }, 10000)) {
            std::printf("reconnect: no distances within 10 s\n");
            return 1;
        }
        resume.push_back(t.elapsed() / 1000.0);
    }
    std::sort(resume.begin(), resume.end());
    std::printf("reconnect: streaming resumed %.3f s (min) / %.3f s (median) / %.3f s (max) after the device "
                "came back, %d rounds; reconnections counted: %d\n",
                resume.front(), resume[resume.size() / 2], resume.back(), rounds, p.worker()->reconnectCount());
    std::printf("waiting for the device: %.2f %% of one core (viewer process, 5 s)\n", cpuShare);
    p.ui()->connectButton->click();
    return 0;
}

double timeScan(const QStringList &ports, int *hits)
{
    PortScanner scanner;
    ScanDone done;
    connectAcrossThreads(&scanner, &PortScanner::portScanned, &done, &ScanDone::onPort);
    connectAcrossThreads(&scanner, &PortScanner::finished, &done, &ScanDone::onFinished);
    QElapsedTimer t;
    t.start();
    scanner.start(ports);
    waitFor([&] { return done.done; }, 60000);
    const double s = t.elapsed() / 1000.0;
    *hits = done.hits;
    return s;
}

int findFigures()
{
    sim::SimSensor sensor, silent, noisy, noisy2;
    sensor.setLineBaud(1000000);
    noisy.setLineBaud(57600);
    noisy2.setLineBaud(2000000);
    silent.pauseStream(true);
    for (sim::SimSensor *s : {&sensor, &silent, &noisy, &noisy2}) {
        if (!s->start(100))
            return 1;
    }
    auto link = [](const sim::SimSensor &s) { return QString::fromStdString(s.linkPath()); };
    int hits = 0;
    const double withSensor = timeScan({link(silent), link(noisy), link(sensor), link(noisy2)}, &hits);
    std::printf("find: 4 ports x %d rates, sensor at 1000000: %.2f s, %d hit(s)\n",
                ScanOptions::offeredRates().size(), withSensor, hits);
    sensor.setLineBaud(57600);
    const double without = timeScan({link(silent), link(noisy), link(sensor), link(noisy2)}, &hits);
    std::printf("find: 4 ports x %d rates, no sensor: %.2f s, %d hit(s)\n", ScanOptions::offeredRates().size(),
                without, hits);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    int rc = 0;
    {
        MainWindow w;
        w.show();
        rc |= reconnectFigures(w);
        WindowProbe(w).disconnectAndStop();
    }
    rc |= findFigures();
    return rc;
}
