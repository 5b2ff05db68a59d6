// SPDX-License-Identifier: GPL-3.0-or-later
// The gateway's figures with the real broker: `zn84ctl publish` against the
// simulated sensor at 11,111 frames/s and a Mosquitto broker started here on
// a free port, a subscriber in this process. For each configuration:
//  - the publisher's CPU (user + system from /proc/PID/stat over the window)
//    and the broker's, as shares of one core;
//  - distance messages and payload bytes a second that reach the subscriber;
//  - latency sensor-to-subscriber: the arrival of a message minus the host
//    time of its first (oldest) sample, as percentiles over the window;
//  - samples taken, delivered, dropped, and whether seq stayed continuous.
// Usage: plant_figures [SECONDS]   (default 20 per configuration)

#include "simsensor.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

const char *kPrefix = "bench/s1";

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

qint64 nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// CPU seconds (user + system) of a process so far.
double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    // Fields 14 and 15 of the whole line (utime, stime): 12 and 13 after the name.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

struct Collected
{
    std::mutex mutex;
    bool measuring = false;
    std::vector<double> latencyMs;
    quint64 messages = 0;
    quint64 bytes = 0;
    quint64 samples = 0;
    qint64 nextSeq = -1;
    quint64 gaps = 0;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void onMessage(struct mosquitto *, void *self, const struct mosquitto_message *msg)
{
    const qint64 arrived = nowUs();
    auto *c = static_cast<Collected *>(self);
    const QByteArray payload(static_cast<const char *>(msg->payload), msg->payloadlen);
    if (!QByteArray(msg->topic).endsWith("/distance"))
        return;
    const QJsonObject o = QJsonDocument::fromJson(payload).object();
    const qint64 seq = qint64(o.value(QStringLiteral("seq")).toDouble());
    const qint64 count = o.value(QStringLiteral("m")).toArray().size();
    const double t = o.value(QStringLiteral("t")).toDouble();
    std::lock_guard<std::mutex> lock(c->mutex);
    if (c->nextSeq >= 0 && seq > c->nextSeq)
        ++c->gaps;
    c->nextSeq = std::max(c->nextSeq, seq + count);
    if (!c->measuring)
        return;
    ++c->messages;
    c->samples += quint64(count);
    c->bytes += quint64(msg->payloadlen) + quint64(std::strlen(msg->topic));
    c->latencyMs.push_back((double(arrived) - t * 1e6) / 1000.0);
}

void runOne(const QString &device, int port, qint64 brokerPid, const QStringList &options, int seconds)
{
    Collected c;
    struct mosquitto *sub = mosquitto_new(nullptr, true, &c);
    mosquitto_message_callback_set(sub, &onMessage);
    mosquitto_connect(sub, "127.0.0.1", port, 30);
    mosquitto_subscribe(sub, nullptr, (QByteArray(kPrefix) + "/#").constData(), 1);
    mosquitto_loop_start(sub);

    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(ZN84CTL_PROGRAM),
            QStringList{"publish", "-p", device, "--broker", QStringLiteral("mqtt://127.0.0.1:%1").arg(port), "--topic",
                        QLatin1String(kPrefix), "--json"}
                + options);
    p.waitForStarted();
    // Two seconds to settle (the rate known, the batches at their size).
    QTest::qWait(2000);
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        c.measuring = true;
    }
    const double cpu0 = cpuSeconds(p.processId());
    const double broker0 = cpuSeconds(brokerPid);
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(seconds * 1000);
    const double cpu1 = cpuSeconds(p.processId());
    const double broker1 = cpuSeconds(brokerPid);
    const double wallS = wall.nsecsElapsed() / 1e9;
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        c.measuring = false;
    }
    ::kill(pid_t(p.processId()), SIGTERM);
    p.waitForFinished(60000);
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    const QJsonObject result = QJsonDocument::fromJson(lines.last()).object();
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);

    std::lock_guard<std::mutex> lock(c.mutex);
    std::printf("publish %s\n", qPrintable(options.join(QLatin1Char(' '))));
    std::printf("  publisher CPU %.2f %% of a core, broker CPU %.2f %% (%.2f s, %.2f s in %.1f s)\n",
                100 * (cpu1 - cpu0) / wallS, 100 * (broker1 - broker0) / wallS, cpu1 - cpu0, broker1 - broker0, wallS);
    std::printf("  %.1f messages/s, %.0f bytes/s of topic and payload (%.2f bytes per sample at %.0f samples/s)\n",
                c.messages / wallS, c.bytes / wallS, c.samples ? double(c.bytes) / double(c.samples) : 0.0,
                c.samples / wallS);
    std::printf("  latency of the oldest sample of a message: median %.1f ms, 99th percentile %.1f ms, max %.1f ms\n",
                percentile(c.latencyMs, 0.5), percentile(c.latencyMs, 0.99), percentile(c.latencyMs, 1.0));
    std::printf("  samples %.0f, delivered %.0f, dropped %.0f, gaps seen by the subscriber %llu, exit %d\n",
                result.value(QStringLiteral("samples")).toDouble(), result.value(QStringLiteral("delivered")).toDouble(),
                result.value(QStringLiteral("dropped")).toDouble(), static_cast<unsigned long long>(c.gaps),
                p.exitCode());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    mosquitto_lib_init();

    QTemporaryDir dir;
    const int port = freePort();
    QFile conf(QDir(dir.path()).filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    QByteArray text = "listener " + QByteArray::number(port) + " 127.0.0.1\nallow_anonymous true\nlog_type error\n";
    if (const passwd *pw = ::getpwuid(::getuid()))
        text += "user " + QByteArray(pw->pw_name) + "\n";
    conf.write(text);
    conf.close();
    QProcess broker;
    broker.setProcessChannelMode(QProcess::ForwardedChannels);
    broker.start(QStringLiteral("/usr/sbin/mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    if (!broker.waitForStarted() || !QTest::qWaitFor([&] { return accepts(port); }, 30000)) {
        std::fprintf(stderr, "the broker did not start\n");
        return 1;
    }

    sim::SimSensor sensor;
    if (!sensor.start(11111)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const QString device = QString::fromStdString(sensor.devicePath());
    runOne(device, port, broker.processId(), {}, seconds);
    runOne(device, port, broker.processId(), {"--qos", "0"}, seconds);
    runOne(device, port, broker.processId(), {"--batch-ms", "20"}, seconds);
    runOne(device, port, broker.processId(), {"--batch-ms", "1000"}, seconds);
    std::printf("simulator: %llu frames sent, %llu dropped\n", static_cast<unsigned long long>(sensor.framesSent()),
                static_cast<unsigned long long>(sensor.framesDropped()));
    broker.terminate();
    broker.waitForFinished();
    return 0;
}
