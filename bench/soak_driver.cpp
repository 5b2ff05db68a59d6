// Soak driver: the real viewer window, operated without a human, for the
// line-rate soak (bench/soak). It connects to the given simulated sensor,
// sets the time window, starts recording, lets the simulator stream, and
// measures what only the process itself can see: the longest stall of the
// GUI event loop and how far the queued batches lag behind. CPU and memory
// are measured from outside by the script.
//
// Lines on stdout (one "key: value" each) tell the script where the phases
// begin and end; progress goes to stderr.

#include "receiver.h"
#include "windowprobe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QComboBox>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/types.h>

namespace {

void say(const QString &key, const QString &value)
{
    std::printf("%s: %s\n", qPrintable(key), qPrintable(value));
    std::fflush(stdout);
}

// Runs the event loop for `ms` milliseconds.
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Measures the event loop from inside: a 10 ms timer whose gaps show stalls,
// and a queued call posted once a second whose delay shows how much queued
// work (batches) waits in front of it.
class LoopMonitor : public QObject
{
public:
    void start()
    {
        clock.start();
        last = clock.nsecsElapsed();
        tick.setTimerType(Qt::PreciseTimer);
        connect(&tick, &QTimer::timeout, this, [this] {
            const qint64 now = clock.nsecsElapsed();
            const double gapMs = (now - last) / 1e6;
            last = now;
            maxGapMs = std::max(maxGapMs, gapMs);
            if (gapMs > 50.0)
                ++gapsOver50;
            ++ticks;
        });
        tick.start(10);
        connect(&probeTimer, &QTimer::timeout, this, [this] {
            const qint64 posted = clock.nsecsElapsed();
            QMetaObject::invokeMethod(this, [this, posted] {
                maxLagMs = std::max(maxLagMs, (clock.nsecsElapsed() - posted) / 1e6);
            }, Qt::QueuedConnection);
        });
        probeTimer.start(1000);
    }
    void stop()
    {
        tick.stop();
        probeTimer.stop();
    }

    QElapsedTimer clock;
    QTimer tick;
    QTimer probeTimer;
    qint64 last = 0;
    double maxGapMs = 0;
    double maxLagMs = 0;
    long gapsOver50 = 0;
    long ticks = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.addHelpOption();
    args.addOption({"device", "Serial device of the simulated sensor.", "path"});
    args.addOption({"sim-pid", "Process id of bench/soak_sim (started and paused by signals).", "pid"});
    args.addOption({"duration", "Seconds of streaming (default 120).", "s", "120"});
    args.addOption({"window", "Time window in seconds (default 3600).", "s", "3600"});
    args.addOption({"rate", "Frame rate of the simulator, for the pre-fill (default 11111).", "fps", "11111"});
    args.addOption({"no-prefill", "Start with an empty chart instead of a full time window."});
    args.process(app);

    const QString device = args.value("device");
    const pid_t simPid = static_cast<pid_t>(args.value("sim-pid").toInt());
    const int duration = args.value("duration").toInt();
    const int window = args.value("window").toInt();
    const int rate = args.value("rate").toInt();
    if (device.isEmpty() || simPid <= 0 || duration <= 0 || rate <= 0) {
        std::fprintf(stderr, "soak_driver: --device, --sim-pid, --duration and --rate are required\n");
        return 2;
    }

    MainWindow w;
    WindowProbe probe(w);
    Ui::MainWindow *ui = probe.ui();
    w.show();
    pump(500);

    // Frames and batches as the worker emits them (counted in its thread).
    std::atomic<long long> framesEmitted{0};
    std::atomic<long long> batchesEmitted{0};
    QObject::connect(probe.worker(), &receiver::signalDistance, probe.worker(),
                     [&](const QVector<uint16_t> &dist, int) {
                         framesEmitted.fetch_add(dist.size(), std::memory_order_relaxed);
                         batchesEmitted.fetch_add(1, std::memory_order_relaxed);
                     },
                     Qt::DirectConnection);

    // Connect as the operator would, at the line's top baud rate.
    ui->baudrateComboBox->setCurrentText("1000000");
    probe.serialSelected() = device;
    ui->connectButton->click();
    if (!probe.worker()->isPortOpen()) {
        say("error", "connect failed");
        return 1;
    }
    say("connected", device);

    ui->timeRangeEdit->setText(QString::number(window));
    emit ui->timeRangeEdit->editingFinished();
    say("time_range", QString::number(probe.timeRange()));

    // A 120-s run cannot fill a 3600-s window with live data; pre-fill it
    // through the same batch pass so that the run starts at steady state.
    if (!args.isSet("no-prefill")) {
        QVector<uint16_t> tenSeconds(10 * rate);
        for (int i = 0; i < tenSeconds.size(); ++i)
            tenSeconds[i] = static_cast<uint16_t>(2000 + (i / 100) % 1000);
        while (probe.timeCursor() < window)
            probe.display(tenSeconds, rate);
        pump(500);
        say("prefill_points", QString::number(probe.series()->count()));
    }

    ui->saveButton->click();
    if (!probe.recording()) {
        say("error", "recording did not start");
        return 1;
    }
    say("record_file", probe.recordFile().fileName());

    LoopMonitor monitor;
    monitor.start();
    ::kill(simPid, SIGUSR1);
    say("streaming", QString::number(duration));

    QElapsedTimer run;
    run.start();
    while (run.elapsed() < qint64(duration) * 1000) {
        pump(std::min<qint64>(10000, qint64(duration) * 1000 - run.elapsed()));
        std::fprintf(stderr, "soak_driver: %3llds frames %lld batches %lld points %d max stall %.1f ms max lag %.1f ms\n",
                     run.elapsed() / 1000, framesEmitted.load(), batchesEmitted.load(),
                     probe.series()->count(), monitor.maxGapMs, monitor.maxLagMs);
    }
    monitor.stop();
    say("stopping", QString::number(run.elapsed() / 1000.0, 'f', 1));

    // Stop the stream (the simulator then sends its end markers), wait until
    // the worker has gone quiet and the window has taken every queued batch.
    ::kill(simPid, SIGUSR2);
    QElapsedTimer drain;
    drain.start();
    long long seen = -1;
    while (drain.elapsed() < 120000) {
        pump(500);
        const long long now = framesEmitted.load();
        if (now == seen)
            break;
        seen = now;
    }
    bool drained = false;
    QMetaObject::invokeMethod(&w, [&drained] { drained = true; }, Qt::QueuedConnection);
    while (!drained)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    say("drain_ms", QString::number(drain.elapsed()));

    ui->saveButton->click();
    say("frames_emitted", QString::number(framesEmitted.load()));
    say("batches_emitted", QString::number(batchesEmitted.load()));
    say("series_points", QString::number(probe.series()->count()));
    say("stall_max_ms", QString::number(monitor.maxGapMs, 'f', 1));
    say("stalls_over_50ms", QString::number(monitor.gapsOver50));
    say("timer_ticks", QString::number(monitor.ticks));
    say("queue_lag_max_ms", QString::number(monitor.maxLagMs, 'f', 1));

    ui->connectButton->click();
    w.close();
    say("done", "1");
    return 0;
}
