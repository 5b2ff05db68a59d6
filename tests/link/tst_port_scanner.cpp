// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the sensor: the scanner listens on several pseudo-terminals at the
// offered baud rates and reports the one where frames with correct checksums
// arrive, at the rate the simulated sensor's UART runs at. A line at another
// rate brings noise (the simulator reads the rate the host set), other lines
// stay silent or send noise at every rate. Listening writes nothing; only the
// version query, when asked for, does.

#include "cross_thread.h"
#include "port_scanner.h"
#include "simsensor.h"
#include "workerharness.h"

#include <QTest>

namespace {

QString linkOf(const sim::SimSensor &s)
{
    return QString::fromStdString(s.linkPath());
}

// A measurement frame: 59 59, the distance, strength and temperature, and
// the low byte of the sum (spoilt when `good` is false).
QByteArray frame(uint16_t cm, bool good)
{
    QByteArray f;
    f.append(char(0x59)).append(char(0x59)).append(char(cm & 0xFF)).append(char(cm >> 8));
    f.append(char(0x10)).append(char(0x20)).append(char(0x30)).append(char(0x40));
    unsigned sum = 0;
    for (char c : f)
        sum += uint8_t(c);
    return f.append(char((sum + (good ? 0 : 1)) & 0xFF));
}

} // namespace

// Receives the scanner's reports in the test's thread, in emission order.
class ResultCollector : public QObject
{
    Q_OBJECT
public:
    QVector<PortScanResult> results;
    bool done = false;
    void onPort(PortScanResult r) { results.append(r); }
    void onFinished() { done = true; }
};

class tst_port_scanner : public QObject
{
    Q_OBJECT

private slots:
    void offersSevenRates();
    void findsTheSensorAmongOtherLines_data();
    void findsTheSensorAmongOtherLines();
    void versionQueryFindsAQuietSensor();
    void portHeldByTheWorkerIsReportedBusy();
    void foundAtTheEdgeOfTheRule_data();
    void foundAtTheEdgeOfTheRule();
};

void tst_port_scanner::offersSevenRates()
{
    const QList<int> rates = ScanOptions::offeredRates();
    QCOMPARE(rates.size(), 7);
    for (int r : {9600, 115200, 460800, 921600, 1000000, 4800, 230400})
        QVERIFY(rates.contains(r));
}

void tst_port_scanner::findsTheSensorAmongOtherLines_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("115200") << 115200;
    QTest::newRow("1000000") << 1000000;
}

void tst_port_scanner::findsTheSensorAmongOtherLines()
{
    QFETCH(int, baud);

    sim::SimSensor sensor;
    sensor.setLineBaud(baud);
    sensor.setDistanceCm(1234);
    // A silent line, and a device whose UART runs at a rate nobody offers:
    // noise at every rate tried.
    sim::SimSensor silent;
    sim::SimSensor noisy;
    noisy.setLineBaud(57600);
    sim::SimSensor noisy2;
    noisy2.setLineBaud(2000000);
    QVERIFY(sensor.start(1000));
    QVERIFY(silent.start(100));
    silent.pauseStream(true);
    QVERIFY(noisy.start(200));
    QVERIFY(noisy2.start(1000));

    const QStringList ports = {linkOf(silent), linkOf(noisy), linkOf(sensor), linkOf(noisy2)};
    PortScanner scanner;
    ResultCollector collect;
    connectAcrossThreads(&scanner, &PortScanner::portScanned, &collect, &ResultCollector::onPort);
    connectAcrossThreads(&scanner, &PortScanner::finished, &collect, &ResultCollector::onFinished);
    // Listening longer than the viewer does: the simulator's thread may wait
    // for a core on a loaded machine.
    ScanOptions options;
    options.listenMs = 800;
    QVERIFY(scanner.start(ports, options));
    QTRY_VERIFY_WITH_TIMEOUT(collect.done, 30000);
    const QVector<PortScanResult> &results = collect.results;
    QCOMPARE(results.size(), 4);

    QVector<ScanHit> hits;
    for (const PortScanResult &r : results) {
        QCOMPARE(int(r.failure), int(OpenFailure::None));
        hits += r.hits;
    }
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().port, linkOf(sensor));
    QCOMPARE(hits.first().baud, baud);
    QVERIFY(hits.first().goodFrames >= 3);
    QVERIFY(!hits.first().versionReply);
    // The noisy lines did send noise at the rates tried.
    QVERIFY(noisy.hostBaud() != 57600 && noisy.hostBaud() != 0);
    // Nothing was written to any line.
    for (const sim::SimSensor *s : {&sensor, &silent, &noisy, &noisy2})
        QCOMPARE(s->receivedCount(), size_t(0));
}

void tst_port_scanner::versionQueryFindsAQuietSensor()
{
    // A sensor in trigger mode streams nothing; only the query finds it.
    sim::SimSensor sensor;
    sensor.setLineBaud(921600);
    sensor.setOutputEnabled(false);
    QVERIFY(sensor.start(100));

    ScanOptions listen;
    std::atomic<bool> cancel{false};
    PortScanResult quiet = PortScanner::scanPort(linkOf(sensor), listen, cancel);
    QVERIFY(quiet.hits.isEmpty());
    QCOMPARE(sensor.receivedCount(), size_t(0));

    ScanOptions query;
    query.queryVersion = true;
    // The simulator's thread may wait for a core on a loaded machine; a
    // sensor answers within milliseconds.
    query.versionWaitMs = 2000;
    const PortScanResult asked = PortScanner::scanPort(linkOf(sensor), query, cancel);
    QCOMPARE(asked.hits.size(), 1);
    QCOMPARE(asked.hits.first().baud, 921600);
    QVERIFY(asked.hits.first().versionReply);
    QVERIFY(sensor.receivedCount() > 0);
}

void tst_port_scanner::portHeldByTheWorkerIsReportedBusy()
{
    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->distanceCount() > 10, 10000);
    std::atomic<bool> cancel{false};
    const PortScanResult r = PortScanner::scanPort(linkOf(sensor), ScanOptions(), cancel);
    QCOMPARE(int(r.failure), int(OpenFailure::Busy));
    QVERIFY(r.hits.isEmpty());
    // The worker's stream is not disturbed.
    h.collector()->clear();
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->distanceCount() > 10, 10000);
    QVERIFY(h.worker()->isPortOpen());
}

// What the scanner heard at one rate, as the parser counts it from the
// bytes, judged at the edges of the rule: exactly the fewest good frames
// that make a hit and one fewer; good frames equal to the bad ones (not
// found) and one more (found).
void tst_port_scanner::foundAtTheEdgeOfTheRule_data()
{
    QTest::addColumn<int>("wanted");
    QTest::addColumn<int>("good");
    QTest::addColumn<int>("bad");
    QTest::addColumn<bool>("found");
    QTest::newRow("3 wanted, 3 good") << 3 << 3 << 0 << true;
    QTest::newRow("3 wanted, 2 good") << 3 << 2 << 0 << false;
    QTest::newRow("1 wanted, 1 good") << 1 << 1 << 0 << true;
    QTest::newRow("1 wanted, none") << 1 << 0 << 0 << false;
    QTest::newRow("5 wanted, 5 good") << 5 << 5 << 0 << true;
    QTest::newRow("5 wanted, 4 good") << 5 << 4 << 0 << false;
    QTest::newRow("good one more than bad") << 3 << 4 << 3 << true;
    QTest::newRow("good as many as bad") << 3 << 4 << 4 << false;
    QTest::newRow("good one fewer than bad") << 3 << 4 << 5 << false;
    QTest::newRow("fewest good, one more than bad") << 3 << 3 << 2 << true;
    QTest::newRow("fewest good, as many bad") << 3 << 3 << 3 << false;
    QTest::newRow("one wanted, one good against one bad") << 1 << 1 << 1 << false;
}

void tst_port_scanner::foundAtTheEdgeOfTheRule()
{
    QFETCH(int, wanted);
    QFETCH(int, good);
    QFETCH(int, bad);
    QFETCH(bool, found);

    // Bad frames spread among the good ones, as a noisy line brings them.
    QByteArray bytes;
    for (int i = 0; i < qMax(good, bad); ++i) {
        if (i < bad)
            bytes += frame(uint16_t(500 + i), false);
        if (i < good)
            bytes += frame(uint16_t(1234 + i), true);
    }
    // The stream goes on: a frame is taken once the next one's header shows
    // where it ends.
    bytes += QByteArray("\x59\x59", 2);
    LineHealth health;
    QVector<uint16_t> distances;
    parseMeasurementFrames(bytes, distances, health);
    QCOMPARE(int(health.goodFrames), good);
    QCOMPARE(int(health.badChecksums), bad);

    ScanOptions options;
    options.framesWanted = wanted;
    QCOMPARE(PortScanner::countsAsFound(health, options), found);
}

QTEST_GUILESS_MAIN(tst_port_scanner)
#include "tst_port_scanner.moc"
