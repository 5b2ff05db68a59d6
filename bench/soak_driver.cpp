// SPDX-License-Identifier: GPL-3.0-or-later
// Soak driver: the real viewer window, operated without a human, for the
// line-rate soak (bench/soak). It connects to the given simulated sensor,
// sets the time window, starts recording, lets the simulator stream, and
// measures what only the process itself can see: the longest stall of the
// GUI event loop and how far the queued batches lag behind. CPU and memory
// are measured from outside by the script.
//
// Lines on stdout (one "key: value" each) tell the script where the phases
// begin and end; progress goes to stderr. The script starts and stops the
// simulator's stream itself.

#include "judge_panel.h"
#include "spectrum_view.h"
#include "receiver.h"
#include "windowprobe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QChart>
#include <QChartView>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <atomic>
#include <cstdio>

namespace {

// Nanoseconds on the monotonic clock (the clock `perf record -k
// CLOCK_MONOTONIC` stamps its samples with), from any thread.
qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// CPU time of the calling thread in milliseconds: unlike wall time, not
// stretched when other processes share the cores.
double threadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// When the worker handed over the first of the simulator's end markers (0:
// not yet). They read 655.35 m, so the vertical axis jumps and the chart is
// laid out anew: what the window does after them is not the stream's, and
// the timings below leave it out.
std::atomic<qint64> streamEndNs{0};
bool afterStreamEnd(qint64 ns)
{
    const qint64 end = streamEndNs.load(std::memory_order_relaxed);
    return end != 0 && ns >= end;
}

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

// Measures the event loop from inside: a precise 10-ms timer, and a queued
// call posted once a second whose delay shows how much queued work (batches)
// waits in front of it. A stall is how late a tick comes behind its
// schedule: the time the loop was kept from it. Qt schedules a precise timer
// one interval after the previous timeout, or one interval after now when
// that has passed already; the monitor keeps the same schedule. The longest
// gap between two ticks is kept too: it is the stall plus up to one
// interval of waiting.
class LoopMonitor : public QObject
{
public:
    void start()
    {
        lastCpuMs = threadCpuMs();
        last = monotonicNs();
        due = last + kTickNs;
        tick.setTimerType(Qt::PreciseTimer);
        connect(&tick, &QTimer::timeout, this, [this] {
            const qint64 now = monotonicNs();
            const double gapMs = (now - last) / 1e6;
            const bool counts = !afterStreamEnd(due);
            last = now;
            const double lateMs = (now - due) / 1e6;
            const double cpuNow = threadCpuMs();
            const double busyMs = cpuNow - lastCpuMs;   // the thread's own CPU time since the last tick
            lastCpuMs = cpuNow;
            due += kTickNs;
            if (due < now)
                due = now + kTickNs;
            if (!counts)
                return;
            if (lateMs > maxLateMs) {
                maxLateMs = lateMs;
                busyInLongestMs = busyMs;
                longestGapMs = gapMs;
            }
            if (lateMs > 16.0)
                ++lateOver16;
            maxGapMs = std::max(maxGapMs, gapMs);
            if (gapMs > 50.0)
                ++gapsOver50;
            ++ticks;
        });
        tick.start(int(kTickNs / 1000000));
        connect(&probeTimer, &QTimer::timeout, this, [this] {
            const qint64 posted = monotonicNs();
            QMetaObject::invokeMethod(this, [this, posted] {
                maxLagMs = std::max(maxLagMs, (monotonicNs() - posted) / 1e6);
            }, Qt::QueuedConnection);
        });
        probeTimer.start(1000);
    }
    void stop()
    {
        tick.stop();
        probeTimer.stop();
    }

    static constexpr qint64 kTickNs = 10000000;
    QTimer tick;
    QTimer probeTimer;
    qint64 last = 0;
    qint64 due = 0;
    double maxLateMs = 0;
    // Of the gap before the latest tick: how long the GUI thread itself ran
    // (the rest it waited: for a core, or blocked outside the event loop).
    double busyInLongestMs = 0;
    double longestGapMs = 0;
    double lastCpuMs = 0;
    long lateOver16 = 0;
    double maxGapMs = 0;
    double maxLagMs = 0;
    long gapsOver50 = 0;
    long ticks = 0;
};

// Measures every event the GUI thread dispatches at the top level, by kind
// (CPU time of the thread, and the longest wall time):
// queued calls (the batches from the worker), painting, timers, the rest.
// Nested events (a paint sent from within an update request) count with
// their outer event.
class TimingApp : public QApplication
{
public:
    enum Kind { Batches, Painting, Timers, Other, KindCount };
    static constexpr const char *kNames[KindCount] = {"batches", "painting", "timers", "other"};

    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        // Every thread's events come through here: the worker's (its port's
        // notifier) are not the GUI thread's, and the counters are the GUI
        // thread's own.
        if (QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        if (!measuring || depth > 0 || afterStreamEnd(monotonicNs())) {
            ++depth;
            const bool r = QApplication::notify(receiver, event);
            --depth;
            return r;
        }
        // Taken before the event (it may delete its receiver), and without
        // allocating: this runs for every event of the measured thread.
        const Event now{int(event->type()), receiver->metaObject()->className(), monotonicNs()};
        const Kind kind = kindOf(event->type());
        if (firstNs == 0)
            firstNs = now.startedNs;
        const double cpu0 = threadCpuMs();
        open = now;
        ++depth;
        const bool r = QApplication::notify(receiver, event);
        --depth;
        const double cpuMs = threadCpuMs() - cpu0;
        const double wallMs = (monotonicNs() - now.startedNs) / 1e6;
        cpuTotalMs[kind] += cpuMs;
        cpuMaxMs[kind] = std::max(cpuMaxMs[kind], cpuMs);
        if (wallMs > wallMaxMs[kind]) {
            wallMaxMs[kind] = wallMs;
            longest[kind] = now;
        }
        if (wallMs > 16)
            ++over16[kind];
        ++count[kind];
        return r;
    }

    bool measuring = false;
    double cpuTotalMs[KindCount] = {};
    double cpuMaxMs[KindCount] = {};
    double wallMaxMs[KindCount] = {};
    long count[KindCount] = {};
    long over16[KindCount] = {};
    // An event handled at the top level: its type, its receiver's class, when
    // it began on the monotonic clock.
    struct Event {
        int type = 0;
        const char *receiverClass = "";
        qint64 startedNs = 0;
    };
    Event longest[KindCount];
    qint64 firstNs = 0;   // the first measured event's start

    // When: since the measuring began, and on the monotonic clock (as
    // `perf record -k CLOCK_MONOTONIC` stamps its samples).
    QString describe(const Event &e) const
    {
        return QString("%1 to %2 at %3 s, monotonic %4 s").arg(e.type).arg(QLatin1String(e.receiverClass))
                .arg((e.startedNs - firstNs) / 1e9, 0, 'f', 1).arg(e.startedNs / 1e9, 0, 'f', 3);
    }

private:
    static Kind kindOf(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MetaCall:
            return Batches;
        case QEvent::UpdateRequest:
        case QEvent::UpdateLater:
        case QEvent::Paint:
            return Painting;
        case QEvent::Timer:
            return Timers;
        default:
            return Other;
        }
    }

public:
    int depth = 0;
    Event open;   // the outermost event being handled
};

// Counts the chart's paints: the pictures a second the operator sees.
class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && counting)
            ++count;
        return QObject::eventFilter(watched, event);
    }
    bool counting = false;
    long count = 0;
};

} // namespace

int main(int argc, char **argv)
{
    TimingApp app(argc, argv);
    QCommandLineParser args;
    args.addHelpOption();
    args.addOption({"device", "Serial device of the simulated sensor.", "path"});
    args.addOption({"max-wait", "Give up waiting for the stream to end after this many seconds (default 3600).", "s", "3600"});
    args.addOption({"window", "Time window in seconds (default 3600).", "s", "3600"});
    args.addOption({"rate", "Frame rate of the simulator, for the pre-fill (default 11111).", "fps", "11111"});
    args.addOption({"no-prefill", "Start with an empty chart instead of a full time window."});
    args.addOption({"dist-num", "Batch threshold set in the window (default: the form's 10).", "n"});
    args.addOption({"no-record", "Leave recording off."});
    args.addOption({"judge", "Judge and filter every sample: limits with a hysteresis, a moving median of 5 after a "
                             "jump rejection, drawn on the chart (the judge's dock shown with ZN84_SOAK_JUDGE_DOCK=1)."});
    args.addOption({"spectrum", "Show the spectrum of the newest 65,536 samples (flat top), refreshed four times a "
                                "second, in a floating dock (the chart keeps its width)."});
    args.addOption({"zoom", "Zoom the chart to the S seconds before the newest point and the run after it, so "
                            "that the stream flows into a held zoom.", "s"});
    args.process(app);

    const QString device = args.value("device");
    const int maxWait = args.value("max-wait").toInt();
    const int window = args.value("window").toInt();
    const int rate = args.value("rate").toInt();
    if (device.isEmpty() || maxWait <= 0 || rate <= 0) {
        std::fprintf(stderr, "soak_driver: --device is required; --max-wait and --rate must be positive\n");
        return 2;
    }

    MainWindow w;
    WindowProbe probe(w);
    Ui::MainWindow *ui = probe.ui();
    // The whole screen of the soak's display, as an operator would have it:
    // a plot about a thousand pixels wide.
    w.resize(1280, 1024);
    w.show();
    pump(500);
    PaintCounter paints;
    probe.chartView()->viewport()->installEventFilter(&paints);
    long plotAreaChanges = 0;
    QObject::connect(probe.chartView()->chart(), &QChart::plotAreaChanged, &paints, [&] {
        if (paints.counting && !afterStreamEnd(monotonicNs())) {
            ++plotAreaChanges;
            // When and why: a new plot size lays the whole chart out and
            // redraws the whole curve, the longest refreshes of a run.
            const QRectF plot = probe.chartView()->chart()->plotArea();
            std::fprintf(stderr, "soak_driver: plot laid out anew at chart time %.1f s: %.1f x %.1f px at %.1f, %.1f; "
                                 "x axis %g .. %g, y axis %g .. %g\n",
                         probe.timeCursor(), plot.width(), plot.height(), plot.left(), plot.top(),
                         probe.axisX()->min(), probe.axisX()->max(), probe.axisY()->min(), probe.axisY()->max());
        }
    });

    // Frames and batches as the worker emits them (counted in its thread).
    std::atomic<long long> framesEmitted{0};
    std::atomic<long long> batchesEmitted{0};
    std::atomic<qint64> lastEmitNs{0};
    std::atomic<long long> framesReal{0};
    std::atomic<long long> markersSeen{0};
    QObject::connect(probe.worker(), &receiver::signalDistance, probe.worker(),
                     [&](const QVector<uint16_t> &dist, int) {
                         framesEmitted.fetch_add(dist.size(), std::memory_order_relaxed);
                         // Readings of the simulated target (at most 40.5 m),
                         // not the end markers (655.35 m) or misreads.
                         long long real = 0;
                         long long markers = 0;
                         for (const uint16_t d : dist) {
                             real += d <= 4050;
                             markers += d == 65535;
                         }
                         framesReal.fetch_add(real, std::memory_order_relaxed);
                         markersSeen.fetch_add(markers, std::memory_order_relaxed);
                         qint64 notYet = 0;
                         if (markers > 0)
                             streamEndNs.compare_exchange_strong(notYet, monotonicNs());
                         batchesEmitted.fetch_add(1, std::memory_order_relaxed);
                         lastEmitNs.store(monotonicNs(), std::memory_order_relaxed);
                     },
                     Qt::DirectConnection);

    // Connect as the operator would, at the line's top baud rate.
    ui->baudrateComboBox->setCurrentText("1000000");
    probe.choosePort(device);
    ui->connectButton->click();
    if (!probe.worker()->isPortOpen()) {
        say("error", "connect failed");
        return 1;
    }
    say("connected", device);

    if (args.isSet("dist-num"))
        ui->spinBox_dist_num->setValue(args.value("dist-num").toInt());
    say("dist_num", QString::number(probe.worker()->getDistNum()));

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

    if (args.isSet("zoom")) {
        const double back = args.value("zoom").toDouble();
        probe.zoomTo(probe.timeCursor() - back, probe.timeCursor() + 130);
        pump(200);
        say("zoom", QString("%1 .. %2 s").arg(probe.axisX()->min()).arg(probe.axisX()->max()));
    }

    // Judging and filtering as an operator would set them: limits about the
    // simulated target's range, so that the stream crosses them.
    auto *judgePanel = w.findChild<JudgePanel *>();
    const bool judge = args.isSet("judge");
    if (judge) {
        if (!judgePanel) {
            say("error", "no judge panel");
            return 1;
        }
        // The dock stays closed by default: open, it narrows the chart, whose
        // picture then costs less, and the figure would flatter the judge.
        if (qEnvironmentVariableIsSet("ZN84_SOAK_JUDGE_DOCK"))
            w.findChild<QCheckBox *>("checkBox_judge_show")->setChecked(true);
        w.findChild<QLineEdit *>("lineEdit_judge_lower")->setText("2");
        w.findChild<QLineEdit *>("lineEdit_judge_upper")->setText("35");
        w.findChild<QLineEdit *>("lineEdit_judge_hysteresis")->setText("0.05");
        w.findChild<QPushButton *>("pushButton_judge_apply")->click();
        w.findChild<QComboBox *>("comboBox_judge_filter")->setCurrentIndex(2);
        w.findChild<QSpinBox *>("spinBox_judge_filter_length")->setValue(5);
        auto *jump = w.findChild<QLineEdit *>("lineEdit_judge_jump");
        jump->setText("0.5");
        emit jump->editingFinished();
        w.findChild<QSpinBox *>("spinBox_judge_jump_samples")->setValue(3);
        pump(200);
        // The counts are the run's alone.
        w.findChild<QPushButton *>("pushButton_judge_reset")->click();
        say("judge", QString("limits %1 .. %2 m, filter %3")
                         .arg(judgePanel->judge()->limits().low).arg(judgePanel->judge()->limits().high)
                         .arg(judgePanel->judge()->filter().length));
    }

    // The spectrum view as an operator opens it, floating beside the window
    // so that the chart keeps its width (a narrower chart would cost less
    // and flatter the figure).
    auto *spectrum = w.findChild<SpectrumView *>(QStringLiteral("spectrumView"));
    const bool withSpectrum = args.isSet("spectrum");
    if (withSpectrum) {
        if (!spectrum) {
            say("error", "no spectrum view");
            return 1;
        }
        auto *dock = w.findChild<QDockWidget *>(QStringLiteral("dockWidget_spectrum"));
        dock->setFloating(true);
        dock->show();
        dock->raise();
        auto *size = w.findChild<QComboBox *>(QStringLiteral("comboBox_spectrum_size"));
        size->setCurrentIndex(size->findText(QStringLiteral("65536")));
        w.findChild<QComboBox *>(QStringLiteral("comboBox_spectrum_window"))->setCurrentIndex(3);
        pump(200);
        say("spectrum", QString("N %1, shown %2").arg(size->currentText()).arg(spectrum->isVisible()));
    }

    const bool record = !args.isSet("no-record");
    if (record) {
        ui->saveButton->click();
        if (!probe.recording()) {
            say("error", "recording did not start");
            return 1;
        }
        say("record_file", probe.recordFile().fileName());
    }

    LoopMonitor monitor;
    monitor.start();
    app.measuring = true;
    paints.counting = true;
    say("ready", "1");

    // The script starts the stream, and stops it after its run time; the
    // worker's frame count (kept in the worker's thread, so a busy GUI thread
    // does not hide it) shows both. The GUI thread may fall behind, so the
    // timing is not left to its timers.
    QElapsedTimer run;
    run.start();
    qint64 lastReport = 0;
    long long seen = 0;
    bool started = false;
    while (run.elapsed() < qint64(maxWait) * 1000) {
        pump(1000);
        const long long now = framesEmitted.load();
        if (now > 0)
            started = true;
        // The end: the simulator's end markers have come and nothing after
        // them (a pause of the stream alone is no end).
        if (started && now == seen && markersSeen.load() > 0)
            break;
        seen = now;
        if (run.elapsed() - lastReport >= 10000) {
            lastReport = run.elapsed();
            std::fprintf(stderr, "soak_driver: %4llds frames %lld batches %lld points %d max stall %.1f ms max lag %.1f ms\n",
                         run.elapsed() / 1000, now, batchesEmitted.load(), probe.series()->count(),
                         monitor.maxLateMs, monitor.maxLagMs);
        }
    }
    monitor.stop();
    app.measuring = false;
    paints.counting = false;
    say("chart_paints", QString("%1 (%2 a second), plot laid out anew %3 times")
                            .arg(paints.count).arg(paints.count / (run.elapsed() / 1000.0), 0, 'f', 1).arg(plotAreaChanges));
    const double measuredS = run.elapsed() / 1000.0;
    for (int k = 0; k < TimingApp::KindCount; ++k)
        say(QString("gui_%1").arg(TimingApp::kNames[k]),
            QString("%1 % of one core (%2 ms CPU in %3 events, longest %4 ms CPU, %5 ms wall: event %6; %7 over 16 ms)")
                .arg(app.cpuTotalMs[k] / measuredS / 10.0, 0, 'f', 1).arg(app.cpuTotalMs[k], 0, 'f', 0)
                .arg(app.count[k]).arg(app.cpuMaxMs[k], 0, 'f', 1).arg(app.wallMaxMs[k], 0, 'f', 1)
                .arg(app.describe(app.longest[k])).arg(app.over16[k]));
    say("stream_ended", QString::number(run.elapsed() / 1000.0, 'f', 1));
    // Events handled inside another event's nested loop count with it: say
    // so when the run ended inside one.
    if (app.depth > 0)
        say("nested_in", app.describe(app.open));

    // Let the window take every batch still queued for it. The catch-up is
    // the time from the worker's last batch to the window having taken it.
    bool drained = false;
    QMetaObject::invokeMethod(&w, [&drained] { drained = true; }, Qt::QueuedConnection);
    while (!drained)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    const double catchUpMs = (monotonicNs() - lastEmitNs.load()) / 1e6;
    say("catch_up_ms", QString::number(catchUpMs, 'f', 0));

    if (record)
        ui->saveButton->click();
    say("frames_emitted", QString::number(framesEmitted.load()));
    say("frames_real", QString::number(framesReal.load()));
    const QRectF plot = probe.chartView()->chart()->plotArea();
    say("plot_area", QString("%1 x %2 px at %3, %4").arg(plot.width()).arg(plot.height()).arg(plot.left()).arg(plot.top()));
    say("batches_emitted", QString::number(batchesEmitted.load()));
    say("series_points", QString::number(probe.series()->count()));
    say("stall_max_ms", QString::number(monitor.maxLateMs, 'f', 1));
    say("tick_gap_max_ms", QString::number(monitor.maxGapMs, 'f', 1));
    say("stalls_over_16ms", QString::number(monitor.lateOver16));
    say("longest_stall_busy", QString("%1 ms of the thread's CPU in the %2 ms before that tick")
                                  .arg(monitor.busyInLongestMs, 0, 'f', 1).arg(monitor.longestGapMs, 0, 'f', 1));
    say("stalls_over_50ms", QString::number(monitor.gapsOver50));
    say("timer_ticks", QString::number(monitor.ticks));
    say("queue_lag_max_ms", QString::number(monitor.maxLagMs, 'f', 1));
    if (withSpectrum) {
        const analysis::Spectrum &last = spectrum->lastSpectrum();
        say("spectrum_last", QString("%1 bins at %2 frames/s, largest peak %3 Hz")
                                 .arg(last.amplitude.size())
                                 .arg(last.rate, 0, 'f', 1)
                                 .arg(last.peaks.isEmpty() ? 0.0 : last.peaks.first().hz, 0, 'f', 2));
    }
    if (judge) {
        const JudgeCounters &c = judgePanel->judge()->counters();
        say("judged", QString::number(c.samples));
        say("judge_counts", QString("above %1, below %2, violations %3, missed %4")
                                .arg(c.above).arg(c.below).arg(c.violations).arg(judgePanel->judge()->missed()));
    }

    ui->connectButton->click();
    w.close();
    say("done", "1");
    return 0;
}
