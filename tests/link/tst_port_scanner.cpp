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

QTEST_GUILESS_MAIN(tst_port_scanner)
#include "tst_port_scanner.moc"
