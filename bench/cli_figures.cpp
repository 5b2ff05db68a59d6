// SPDX-License-Identifier: GPL-3.0-or-later
// zn84ctl's figures against the simulated sensor:
//  1. `zn84ctl stream` at 11,111 frames/s into /dev/null: the program's CPU
//     time (user + system, from wait4) over its wall time;
//  2. `zn84ctl set frame-rate 100`: the program's wall time from start to
//     exit, and the same exchange run by a worker in this process, so that
//     the difference is what the program adds beyond the exchange.
// Usage: cli_figures [STREAM_SECONDS] [SET_RUNS]   (defaults 10 and 30)

#include "receiver.h"
#include "simsensor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct ChildFigures
{
    int status = -1;
    double wallS = 0;
    double cpuS = 0;
};

// Runs zn84ctl with `args`, standard output to /dev/null.
ChildFigures runCtl(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    std::string program = ZN84CTL_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string &a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    ChildFigures f;
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    f.wallS = clock.nsecsElapsed() / 1e9;
    f.cpuS = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
             + usage.ru_stime.tv_usec / 1e6;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return f;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const int streamSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int setRuns = argc > 2 ? std::atoi(argv[2]) : 30;

    sim::SimSensor sensor;
    sensor.setDistanceCm(1234);
    if (!sensor.start(11111)) {
        std::fprintf(stderr, "cannot start the simulated sensor\n");
        return 1;
    }
    const std::string device = sensor.devicePath();

    // 1. The stream.
    const uint64_t sentBefore = sensor.framesSent();
    const ChildFigures stream =
        runCtl({"stream", "-p", device, "--duration", std::to_string(streamSeconds)});
    const uint64_t sent = sensor.framesSent() - sentBefore;
    std::printf("stream: exit %d, %.2f s wall, %.3f s CPU = %.2f %% of a core, sensor sent %.0f frames/s\n",
                stream.status, stream.wallS, stream.cpuS, 100.0 * stream.cpuS / stream.wallS,
                double(sent) / stream.wallS);

    // 2. A setting: the program, then the exchange alone in this process.
    std::vector<double> programMs;
    for (int i = 0; i < setRuns; ++i) {
        const ChildFigures set = runCtl({"set", "-p", device, "frame-rate", "100"});
        if (set.status != 0) {
            std::fprintf(stderr, "set: exit %d\n", set.status);
            return 1;
        }
        programMs.push_back(set.wallS * 1000);
    }
    QThread thread;
    auto *worker = new receiver;
    worker->moveToThread(&thread);
    worker->serialPort->moveToThread(&thread);
    worker->freqTimer->moveToThread(&thread);
    thread.start();
    std::vector<double> exchangeMs;
    if (worker->openPort(QString::fromStdString(device), 115200)) {
        for (int i = 0; i < setRuns; ++i) {
            QElapsedTimer clock;
            clock.start();
            if (!worker->send_cmd_id_frame_rate(100))
                std::fprintf(stderr, "exchange %d: no acknowledgement\n", i);
            exchangeMs.push_back(clock.nsecsElapsed() / 1e6);
        }
    }
    worker->closePort();
    worker->runInWorkerThread([worker] { worker->freqTimer->stop(); });
    thread.quit();
    thread.wait();
    delete worker;
    std::printf("set frame-rate: program median %.1f ms (90th %.1f ms, max %.1f ms); "
                "exchange alone median %.2f ms; beyond the exchange: median %.1f ms, 90th %.1f ms\n",
                median(programMs), percentile(programMs, 0.9), percentile(programMs, 1.0), median(exchangeMs),
                median(programMs) - median(exchangeMs), percentile(programMs, 0.9) - median(exchangeMs));
    sensor.stop();
    return 0;
}
