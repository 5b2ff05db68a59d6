// SPDX-License-Identifier: GPL-3.0-or-later
// zn84ctl publish against a real Mosquitto broker that each test starts on a
// free port with its own configuration (in a scratch directory), and a
// simulated sensor on a pseudo-terminal. A subscriber in the test (libmosquitto
// with its own thread) collects what reaches the broker's other side.

#include "../cli/ctl_fixture.h"
#include "mqtt_broker.h"
#include "mqtt_publisher.h"

#include <QDir>
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
#include <cmath>
#include <map>
#include <mutex>
#include <vector>

using namespace ctl;
using namespace mqtttest;

namespace {

// What the distance messages carried, checked sample by sample: seq starts at
// 0 and continues without a gap; a message sent again after a lost connection
// (QoS 1: at least once) repeats earlier samples with the same values.
struct Samples
{
    std::vector<int> cm;         // by seq
    int duplicates = 0;          // samples that came again, identical
    QString fault;               // the first gap, disorder or changed value
};

Samples collect(const QList<QByteArray> &payloads, const std::vector<uint16_t> *line = nullptr)
{
    Samples s;
    for (const QByteArray &p : payloads) {
        const QJsonObject o = QJsonDocument::fromJson(p).object();
        if (!o.contains(QStringLiteral("seq")) || !o.contains(QStringLiteral("t")) || !o.contains(QStringLiteral("rate"))
            || !o.value(QStringLiteral("m")).isArray()) {
            s.fault = QStringLiteral("not a distance message: ") + QString::fromUtf8(p.left(200));
            return s;
        }
        const qint64 seq = qint64(o.value(QStringLiteral("seq")).toDouble());
        const QJsonArray m = o.value(QStringLiteral("m")).toArray();
        if (seq > qint64(s.cm.size())) {
            s.fault = QStringLiteral("gap: seq %1 after %2 samples").arg(seq).arg(s.cm.size());
            return s;
        }
        for (int i = 0; i < m.size(); ++i) {
            const int cm = int(std::lround(m.at(i).toDouble() * 100));
            const size_t at = size_t(seq + i);
            if (at < s.cm.size()) {
                if (s.cm[at] != cm) {
                    s.fault = QStringLiteral("sample %1 came again as %2 cm, first as %3").arg(at).arg(cm).arg(s.cm[at]);
                    return s;
                }
                ++s.duplicates;
            } else {
                s.cm.push_back(cm);
            }
        }
    }
    if (!line)
        return s;
    // Every sample is the next frame the simulator put on the line (its
    // distances count up by one centimetre, so each frame is found once):
    // the samples are one unbroken run of the line's frames.
    if (s.cm.empty())
        return s;
    // (After 65536 frames the distances repeat: each place the first sample
    // stands on the line is tried.)
    QString fault = QStringLiteral("the first sample, %1 cm, was never on the line").arg(s.cm.front());
    for (auto start = std::find(line->begin(), line->end(), uint16_t(s.cm.front())); start != line->end();
         start = std::find(start + 1, line->end(), uint16_t(s.cm.front()))) {
        const size_t k = size_t(start - line->begin());
        size_t i = 0;
        while (i < s.cm.size() && k + i < line->size() && (*line)[k + i] == s.cm[i])
            ++i;
        if (i == s.cm.size())
            return s;
        fault = QStringLiteral("sample %1 is %2 cm, the line's frame %3").arg(i).arg(s.cm[i])
                    .arg(k + i < line->size() ? QString::number((*line)[k + i]) : QStringLiteral("none"));
    }
    s.fault = fault;
    return s;
}

// The final result object of a run (its last JSON line).
QJsonObject resultOf(const QByteArray &out)
{
    const QList<QByteArray> lines = out.trimmed().split('\n');
    return lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.last()).object();
}

bool runTool(const QString &program, const QStringList &args, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(kLong) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A case's own broker, a subscriber on it and a zn84ctl publish against
// it. Members end in reverse order: a publisher still running is killed
// before its subscriber and broker go.
struct Gateway
{
    QTemporaryDir dir;
    Broker broker{dir.path()};
    Subscriber sub;
    QProcess p;
    ~Gateway()
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(kLong);
        }
    }
};

} // namespace

class TestPublish : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    sim::SimSensor *sensor = nullptr;
    QString device;

    QStringList publishArgs(int port, const QStringList &more = {}) const
    {
        return QStringList{"publish", "-p", device, "--broker", QStringLiteral("mqtt://127.0.0.1:%1").arg(port),
                           "--topic", kPrefix, "--json"}
               + more;
    }

    // Starts the broker, subscribes as `id` and starts the publisher on the
    // sensor with `options`; false, and why, if a step failed.
    bool startGateway(Gateway &g, const QByteArray &id, const QStringList &options = {}, bool cleanSession = true)
    {
        if (!g.broker.start())
            return qWarning("the broker did not start"), false;
        if (!g.sub.connect(g.broker.port, id, cleanSession))
            return qWarning("the subscriber did not connect"), false;
        startCtl(g.p, publishArgs(g.broker.port, options));
        if (!g.p.waitForStarted(10000))
            return qWarning("zn84ctl did not start"), false;
        return true;
    }

    // Ends a publisher as a service manager does and returns its result.
    static QJsonObject terminate(QProcess &p, int &exitCode)
    {
        ::kill(pid_t(p.processId()), SIGTERM);
        if (!p.waitForFinished(kLong))
            return QJsonObject();
        exitCode = p.exitCode();
        return resultOf(p.readAllStandardOutput());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        QVERIFY(QFileInfo(ctlProgram()).isExecutable());
        QVERIFY(QFileInfo(QStringLiteral("/usr/sbin/mosquitto")).isExecutable());
    }

    void init()
    {
        sensor = new sim::SimSensor;
        sensor->setCountingDistance(100);
        sensor->setFrameLog(true);
        QVERIFY(sensor->start(2000));
        device = QString::fromStdString(sensor->devicePath());
    }

    void cleanup()
    {
        delete sensor;
        sensor = nullptr;
    }

    // Every sample the publisher took reaches the subscriber once, in order,
    // seq continuous from 0, and the clean stop leaves "offline" retained.
    void everySampleOnceInOrder_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("rate");
        QTest::newRow("QoS 1, 100 ms") << QStringList{} << 2000;
        QTest::newRow("QoS 0, 20 ms") << QStringList{"--qos", "0", "--batch-ms", "20"} << 2000;
        QTest::newRow("QoS 1, line rate") << QStringList{"--batch-ms", "50"} << 11111;
    }

    void everySampleOnceInOrder()
    {
        QFETCH(QStringList, options);
        QFETCH(int, rate);
        sensor->setRate(rate);
        Gateway g;
        QVERIFY(startGateway(g, "everySample", options));
        QTRY_VERIFY_WITH_TIMEOUT(collect(g.sub.on(QStringLiteral("distance"))).cm.size() >= size_t(3 * rate), kLong);
        QCOMPARE(g.sub.on(QStringLiteral("status")).value(0), QByteArray("online"));
        int exitCode = -1;
        const QJsonObject result = terminate(g.p, exitCode);
        QCOMPARE(exitCode, 130);
        QVERIFY2(result.value(QStringLiteral("ok")).toBool(), QJsonDocument(result).toJson().constData());
        QCOMPARE(result.value(QStringLiteral("dropped")).toDouble(), 0.0);
        const size_t samples = size_t(result.value(QStringLiteral("samples")).toDouble());
        QTRY_COMPARE_WITH_TIMEOUT(g.sub.lastStatus(), QByteArray("offline"), kLong);

        const std::vector<uint16_t> frames = sensor->frameLog();
        const Samples s = collect(g.sub.on(QStringLiteral("distance")), &frames);
        QVERIFY2(s.fault.isEmpty(), qPrintable(s.fault));
        QCOMPARE(s.cm.size(), samples);
        QCOMPARE(s.duplicates, 0);

        // No limits: no judgement, nothing on the state topic.
        QVERIFY(g.sub.on(QStringLiteral("state")).isEmpty());
        QVERIFY(!result.contains(QStringLiteral("state_changes")));
    }

    // With limits the gateway judges every sample as zn84ctl measure does
    // and tells each change of the state, retained, on PREFIX/state. The
    // sensor's target moves from below the tolerance into it and above.
    void stateTopic_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QVector<int>>("steps"); // the target's distances (cm), one per state
        QTest::addColumn<QString>("states");
        QTest::newRow("limits") << QStringList{"--limits", "1.5:2.0"} << QVector<int>{120, 170, 250}
                                << "below ok above";
        QTest::newRow("limits about a zero, hysteresis")
            << QStringList{"--limits", "0.5:1.0", "--zero", "1.0", "--hysteresis", "0.02"}
            << QVector<int>{250, 170, 120} << "above ok below";
        QTest::newRow("within, then filtered out of it")
            << QStringList{"--limits", "1.5:2.0", "--filter", "median:5"} << QVector<int>{170, 210}
            << "ok above";
    }

    void stateTopic()
    {
        QFETCH(QStringList, options);
        QFETCH(QVector<int>, steps);
        QFETCH(QString, states);
        sensor->setCountingDistance(-1);
        sensor->setDistanceCm(steps.first());
        Gateway g;
        QVERIFY(startGateway(g, "stateTopic", options));
        const QStringList expected = states.split(QLatin1Char(' '));
        auto told = [&g] {
            QStringList list;
            for (const QByteArray &m : g.sub.on(QStringLiteral("state"))) {
                const QJsonObject o = QJsonDocument::fromJson(m).object();
                list << o.value(QStringLiteral("state")).toString();
                if (!(o.value(QStringLiteral("t")).toDouble() > 1.7e9))
                    list << QStringLiteral("(no time)");
            }
            return list;
        };
        for (int i = 0; i < steps.size(); ++i) {
            sensor->setDistanceCm(steps[i]);
            QTRY_COMPARE_WITH_TIMEOUT(told().size(), i + 1, kLong);
        }
        int code = -1;
        const QJsonObject result = terminate(g.p, code);
        QCOMPARE(code, 130);
        QCOMPARE(told(), expected);
        QCOMPARE(result.value(QStringLiteral("state_changes")).toInt(), expected.size());
        // A subscriber that comes later gets the last state at once.
        Subscriber late;
        QVERIFY(late.connect(g.broker.port, "stateTopicLate"));
        QTRY_COMPARE_WITH_TIMEOUT(late.on(QStringLiteral("state")).size(), 1, kLong);
        QCOMPARE(QJsonDocument::fromJson(late.on(QStringLiteral("state")).first()).object().value(
                     QStringLiteral("state")).toString(),
                 expected.last());
    }

    // A publisher killed outright: the broker publishes its last will.
    void lastWillOnKill()
    {
        Gateway g;
        QVERIFY(startGateway(g, "lastWill"));
        QTRY_VERIFY_WITH_TIMEOUT(!g.sub.on(QStringLiteral("distance")).isEmpty(), kLong);
        QCOMPARE(g.sub.lastStatus(), QByteArray("online"));
        g.p.kill();
        QVERIFY(g.p.waitForFinished(kLong));
        QTRY_COMPARE_WITH_TIMEOUT(g.sub.lastStatus(), QByteArray("offline"), kLong);
    }

    // The broker goes away and comes back. Stopped and started again after
    // five seconds of the stream: at QoS 1 the publisher keeps what was not
    // acknowledged and delivers it in order; the subscriber (a persistent
    // session) misses nothing. Frozen (SIGSTOP) until the publisher gives up
    // on the silent connection: what was in flight goes out again on the next
    // connection (a subscriber may see it twice, identical, never a gap).
    void brokerAwayLosesNothing_data()
    {
        QTest::addColumn<bool>("frozen");
        QTest::newRow("stopped for 5 s and started") << false;
        QTest::newRow("frozen until the connection is given up") << true;
    }

    void brokerAwayLosesNothing()
    {
        QFETCH(bool, frozen);
        const int rate = 2000;
        Gateway g;
        QVERIFY(startGateway(g, "brokerAway", {}, false));
        QTRY_VERIFY_WITH_TIMEOUT(collect(g.sub.on(QStringLiteral("distance"))).cm.size() >= size_t(rate), kLong);

        if (frozen) {
            g.broker.signal(SIGSTOP);
            QByteArray err;
            QTRY_VERIFY_WITH_TIMEOUT((err += g.p.readAllStandardError()).contains("broker 127.0.0.1:"), kLong);
            g.broker.signal(SIGCONT);
        } else {
            QVERIFY(g.broker.stop());
            // Five seconds of the stream pass without a broker.
            const uint64_t mark = sensor->framesSent();
            QTRY_VERIFY_WITH_TIMEOUT(sensor->framesSent() >= mark + uint64_t(5 * rate), kLong);
            QVERIFY(g.broker.start());
        }
        // The subscriber gets the samples of the outage and beyond.
        const size_t before = collect(g.sub.on(QStringLiteral("distance"))).cm.size();
        QTRY_VERIFY_WITH_TIMEOUT(collect(g.sub.on(QStringLiteral("distance"))).cm.size() >= before + size_t(7 * rate),
                                 kLong);
        // Health comes every few seconds with the line's counters.
        QTRY_VERIFY_WITH_TIMEOUT(!g.sub.on(QStringLiteral("health")).isEmpty(), kLong);
        const QList<QByteArray> health = g.sub.on(QStringLiteral("health"));
        const QJsonObject h = QJsonDocument::fromJson(health.last()).object();
        QVERIFY2(h.value(QStringLiteral("good_frames")).toDouble() > 0 && h.contains(QStringLiteral("bad_checksums"))
                     && h.value(QStringLiteral("dropped")).toDouble() == 0
                     && h.value(QStringLiteral("samples")).toDouble() > 0,
                 health.last().constData());
        int exitCode = -1;
        const QJsonObject result = terminate(g.p, exitCode);
        QCOMPARE(exitCode, 130);
        QCOMPARE(result.value(QStringLiteral("dropped")).toDouble(), 0.0);
        QVERIFY2(result.value(QStringLiteral("ok")).toBool(), QJsonDocument(result).toJson().constData());
        if (frozen)
            QVERIFY(result.value(QStringLiteral("resent")).toDouble() > 0);
        const size_t samples = size_t(result.value(QStringLiteral("samples")).toDouble());
        QTRY_COMPARE_WITH_TIMEOUT(g.sub.lastStatus(), QByteArray("offline"), kLong);
        const std::vector<uint16_t> frames = sensor->frameLog();
        const Samples s = collect(g.sub.on(QStringLiteral("distance")), &frames);
        QVERIFY2(s.fault.isEmpty(), qPrintable(s.fault));
        QCOMPARE(s.cm.size(), samples);
    }

    // While the broker is away the queue holds at most its bound: the oldest
    // waiting samples go, counted; the newest reach the broker in order when
    // it is back, behind a gap in seq that tells the subscriber how many.
    void queueBoundDropsTheOldest()
    {
        QTemporaryDir dir;
        Broker broker(dir.path());
        QVERIFY(broker.start());
        Subscriber sub;
        QVERIFY(sub.connect(broker.port, "bounded", false));
        QVERIFY(broker.stop());

        plant::PublisherOptions o;
        o.host = QStringLiteral("127.0.0.1");
        o.port = broker.port;
        o.prefix = kPrefix;
        o.clientId = QStringLiteral("bounded-publisher");
        o.batchMs = 10;
        o.maxQueuedSamples = 1000;
        plant::MqttPublisher publisher(o);
        publisher.start();
        // Fifty messages of 100 samples, 10 ms each.
        for (int i = 0; i < 50; ++i) {
            MeasurementBatch b;
            b.first = quint64(i) * 100;
            b.firstUs = qint64(i) * 10000;
            b.lastUs = b.firstUs + 10000;
            b.rate = 10000;
            for (int j = 0; j < 100; ++j)
                b.cm.append(uint16_t(i * 100 + j));
            publisher.take(b);
        }
        QCOMPARE(publisher.counters().messages, quint64(50));
        QCOMPARE(publisher.counters().droppedSamples, quint64(4000));
        QCOMPARE(publisher.counters().queuedSamples, quint64(1000));

        QVERIFY(broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(publisher.counters().deliveredSamples, quint64(1000), kLong);
        QTRY_COMPARE_WITH_TIMEOUT(sub.on(QStringLiteral("distance")).size(), 10, kLong);
        int expected = 4000;
        for (const QByteArray &m : sub.on(QStringLiteral("distance"))) {
            const QJsonObject obj = QJsonDocument::fromJson(m).object();
            QCOMPARE(obj.value(QStringLiteral("seq")).toInt(), expected);
            const QJsonArray metres = obj.value(QStringLiteral("m")).toArray();
            QCOMPARE(metres.size(), 100);
            QCOMPARE(int(std::lround(metres.first().toDouble() * 100)), expected);
            expected += 100;
        }
        QVERIFY(publisher.stop(kLong));
        QCOMPARE(publisher.counters().droppedSamples, quint64(4000));
    }

    // A broker that wants a user name and password: the wrong one is refused
    // for good (exit 7), the right one publishes.
    void credentials_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("accepted") << QByteArray("s3cret line\n") << 130;
        QTest::newRow("refused") << QByteArray("wrong\n") << 5;
    }

    void credentials()
    {
        QFETCH(QByteArray, password);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString users = dir.filePath(QStringLiteral("users"));
        QVERIFY(runTool(QStringLiteral("mosquitto_passwd"), {"-b", "-c", users, "gateway", "s3cret line"}, dir.path()));
        QFile pw(dir.filePath(QStringLiteral("gateway.pw")));
        QVERIFY(pw.open(QIODevice::WriteOnly));
        pw.write(password);
        pw.close();
        Broker broker(dir.path());
        broker.extra = QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(users);
        QVERIFY(broker.start());
        Subscriber sub;
        QVERIFY(sub.connect(broker.port, "credentials", true, "gateway", "s3cret line"));

        QProcess p;
        startCtl(p, publishArgs(broker.port, {"--username", "gateway", "--password-file", pw.fileName()}));
        QVERIFY(p.waitForStarted(10000));
        if (exitCode == 5) {
            QVERIFY(p.waitForFinished(kLong));
            QCOMPARE(p.exitCode(), 7);
            const QJsonObject result = resultOf(p.readAllStandardOutput());
            QVERIFY2(result.value(QStringLiteral("error")).toString().contains(QLatin1String("not authorised")),
                     QJsonDocument(result).toJson().constData());
            QVERIFY(sub.on(QStringLiteral("distance")).isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!sub.on(QStringLiteral("distance")).isEmpty(), kLong);
        int code = -1;
        terminate(p, code);
        QCOMPARE(code, exitCode);
    }

    // mqtts:// with a certificate authority made here: the broker's
    // certificate is checked against --cafile; another authority's is not
    // trusted and nothing is published.
    void tls_data()
    {
        QTest::addColumn<bool>("rightAuthority");
        QTest::newRow("the broker's authority") << true;
        QTest::newRow("another authority") << false;
    }

    void tls()
    {
        QFETCH(bool, rightAuthority);
        QTemporaryDir dir;
        const QString d = dir.path();
        auto f = [&](const char *name) { return QDir(d).filePath(QLatin1String(name)); };
        const QString openssl = QStringLiteral("openssl");
        for (const char *ca : {"ca", "other"}) {
            QVERIFY(runTool(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                      QStringLiteral("/CN=test %1").arg(QLatin1String(ca)), "-keyout",
                                      f(ca) + ".key", "-out", f(ca) + ".pem"},
                            d));
        }
        QFile ext(f("server.ext"));
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        ext.close();
        QVERIFY(runTool(openssl, {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
                                  f("server.key"), "-out", f("server.csr")},
                        d));
        QVERIFY(runTool(openssl, {"x509", "-req", "-in", f("server.csr"), "-CA", f("ca.pem"), "-CAkey", f("ca.key"),
                                  "-CAcreateserial", "-days", "2", "-extfile", f("server.ext"), "-out", f("server.pem")},
                        d));
        Broker broker(d);
        broker.tlsPort = freePort();
        broker.extra = QStringLiteral("listener %1 127.0.0.1\ncafile %2\ncertfile %3\nkeyfile %4\n")
                           .arg(broker.tlsPort)
                           .arg(f("ca.pem"), f("server.pem"), f("server.key"));
        QVERIFY(broker.start());
        Subscriber sub;
        QVERIFY(sub.connect(broker.port, "tls"));

        QProcess p;
        startCtl(p, {"publish", "-p", device, "--broker", QStringLiteral("mqtts://localhost:%1").arg(broker.tlsPort),
                     "--topic", kPrefix, "--json", "--cafile", rightAuthority ? f("ca.pem") : f("other.pem")});
        QVERIFY(p.waitForStarted(10000));
        if (rightAuthority) {
            QTRY_VERIFY_WITH_TIMEOUT(collect(sub.on(QStringLiteral("distance"))).cm.size() >= 1000, kLong);
        } else {
            // The failed handshake is reported; nothing went through.
            QByteArray err;
            QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("broker localhost:"), kLong);
        }
        int code = -1;
        const QJsonObject result = terminate(p, code);
        QCOMPARE(code, 130);
        if (!rightAuthority) {
            QVERIFY(sub.on(QStringLiteral("status")).isEmpty());
            QVERIFY(sub.on(QStringLiteral("distance")).isEmpty());
            QVERIFY(!result.value(QStringLiteral("ok")).toBool());
        }
    }

    // Settings through the broker: answered as refused without
    // --allow-commands (nothing reaches the sensor); with it checked like
    // "zn84ctl set" and written as the same bytes.
    void commands_data()
    {
        QTest::addColumn<bool>("allow");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("error");       // empty: accepted
        QTest::addColumn<QStringList>("setArgs");  // the same through "zn84ctl set"
        QTest::newRow("refused without --allow-commands")
            << false << "frame-rate" << QByteArray("250") << "commands through the broker are off" << QStringList{};
        QTest::newRow("frame-rate") << true << "frame-rate" << QByteArray("250") << QString()
                                    << QStringList{"frame-rate", "250"};
        QTest::newRow("two numbers") << true << "io-delay" << QByteArray(" 10  20\n") << QString()
                                     << QStringList{"io-delay", "10", "20"};
        QTest::newRow("choice") << true << "output-format" << QByteArray("binary") << QString()
                                << QStringList{"output-format", "binary"};
        QTest::newRow("out of range") << true << "frame-rate" << QByteArray("99999") << "frame-rate: FPS \"99999\": outside 0..65535"
                                      << QStringList{};
        QTest::newRow("unknown setting") << true << "blink" << QByteArray("1") << "unknown setting \"blink\""
                                         << QStringList{};
    }

    void commands()
    {
        QFETCH(bool, allow);
        QFETCH(QString, setting);
        QFETCH(QByteArray, payload);
        QFETCH(QString, error);
        QFETCH(QStringList, setArgs);
        sensor->setRate(200);
        Gateway g;
        QVERIFY(startGateway(g, "commands", allow ? QStringList{"--allow-commands"} : QStringList{}));
        QTRY_VERIFY_WITH_TIMEOUT(!g.sub.on(QStringLiteral("distance")).isEmpty(), kLong);
        sensor->clearReceived();
        g.sub.publish(kPrefix + QStringLiteral("/set/") + setting, payload);
        QTRY_VERIFY_WITH_TIMEOUT(!g.sub.on(QStringLiteral("reply")).isEmpty(), kLong);
        const QJsonObject reply = QJsonDocument::fromJson(g.sub.on(QStringLiteral("reply")).first()).object();
        QCOMPARE(reply.value(QStringLiteral("command")).toString(), QStringLiteral("set"));
        QCOMPARE(reply.value(QStringLiteral("setting")).toString(), setting);
        QCOMPARE(reply.value(QStringLiteral("ok")).toBool(), error.isEmpty());
        QVERIFY2(reply.value(QStringLiteral("error")).toString().contains(error),
                 QJsonDocument(reply).toJson().constData());
        int code = -1;
        terminate(g.p, code);
        QCOMPARE(code, 130);
        const QByteArray written = receivedBeforeMarker(*sensor);

        QByteArray expected;
        if (!setArgs.isEmpty()) {
            sim::SimSensor other;
            QVERIFY(other.start(200));
            const Run r = runCtl(QStringList{"set", "-p", QString::fromStdString(other.devicePath())} + setArgs);
            QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
            expected = receivedBeforeMarker(other);
            QVERIFY(!expected.isEmpty());
        }
        QCOMPARE(written.toHex(' '), expected.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TestPublish)
#include "tst_publish.moc"
