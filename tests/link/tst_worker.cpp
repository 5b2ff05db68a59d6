// SPDX-License-Identifier: GPL-3.0-or-later
// The worker on a pseudo-terminal with the simulated sensor: open, reopen,
// failed opens, close, batches, the rate counter and a device that vanishes.

#include "simsensor.h"
#include "workerharness.h"

#include <QSerialPort>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <thread>

namespace {

QString linkOf(const sim::SimSensor &s)
{
    return QString::fromStdString(s.linkPath());
}

// CPU time of the whole process, in seconds.
double processCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

class tst_worker : public QObject
{
    Q_OBJECT

private slots:
    void openStreamsBatches();
    void openByDevicePath();
    void reopenWithAnotherRate();
    void failedOpen_data();
    void failedOpen();
    void failedOpenAfterSuccessLeavesClosed();
    void closeAlwaysTrue();
    void batchesExceedThreshold_data();
    void batchesExceedThreshold();
    void rateFollowsSimulator_data();
    void rateFollowsSimulator();
    void rateIsZeroAfterClosedTick();
    void textOutputKeepsBufferBounded();
    void distBufferKeepsCapacity();
    void vanishedDevice();
    void readsThatFindNothingLeavePortOpen();
};

void tst_worker::openStreamsBatches()
{
    sim::SimSensor sensor;
    sensor.setDistanceCm(300);
    QVERIFY(sensor.start(100));
    WorkerHarness h;
    QVERIFY(!h.worker()->isPortOpen());
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QVERIFY(h.worker()->isPortOpen());
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->batches.size() >= 3, 10000);
    for (const BatchCollector::Batch &b : h.collector()->batches) {
        QVERIFY2(b.dist.size() > 10, qPrintable(QString::number(b.dist.size())));
        for (uint16_t d : b.dist)
            QCOMPARE(d, uint16_t(300));
    }
    QVERIFY(h.worker()->closePort());
    QVERIFY(!h.worker()->isPortOpen());
}

void tst_worker::openByDevicePath()
{
    sim::SimSensor sensor;
    sensor.setDistanceCm(1234);
    QVERIFY(sensor.start(200));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(QString::fromStdString(sensor.devicePath()), 115200));
    QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty(), 10000);
    QCOMPARE(h.collector()->batches.first().dist.first(), uint16_t(1234));
}

void tst_worker::reopenWithAnotherRate()
{
    sim::SimSensor first, second;
    first.setDistanceCm(100);
    second.setDistanceCm(200);
    QVERIFY(first.start(100));
    QVERIFY(second.start(100));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(linkOf(first), 115200));
    QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty(), 10000);

    // Opening an open port closes it and opens the new name at the new rate.
    QVERIFY(h.worker()->openPort(linkOf(second), 9600));
    QVERIFY(h.worker()->isPortOpen());
    qint32 baud = 0;
    QString name;
    h.inWorker([&] {
        baud = h.worker()->serialPort->baudRate();
        name = h.worker()->serialPort->portName();
    });
    QCOMPARE(baud, 9600);
    QCOMPARE(name, linkOf(second));
    h.collector()->clear();
    // Batches already queued from the first device may still arrive; wait
    // for one that comes from the second.
    QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty()
                                     && h.collector()->batches.last().dist.last() == 200, 10000);
}

void tst_worker::failedOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing device") << QStringLiteral("/dev/zn84-no-such-port");
    QTest::newRow("bad name") << QStringLiteral("no such port");
    QTest::newRow("empty name") << QString();
    QTest::newRow("directory") << QStringLiteral("/tmp");
}

void tst_worker::failedOpen()
{
    QFETCH(QString, name);
    WorkerHarness h;
    QVERIFY(!h.worker()->openPort(name, 115200));
    QVERIFY(!h.worker()->isPortOpen());
    bool open = true;
    bool timerActive = true;
    h.inWorker([&] {
        open = h.worker()->serialPort->isOpen();
        timerActive = h.worker()->freqTimer->isActive();
    });
    QVERIFY(!open);
    QVERIFY(!timerActive); // no success yet, so the rate timer never started
}

void tst_worker::failedOpenAfterSuccessLeavesClosed()
{
    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QVERIFY(!h.worker()->openPort(QStringLiteral("/dev/zn84-no-such-port"), 115200));
    QVERIFY(!h.worker()->isPortOpen());
    bool open = true;
    bool timerActive = false;
    h.inWorker([&] {
        open = h.worker()->serialPort->isOpen();
        timerActive = h.worker()->freqTimer->isActive();
    });
    QVERIFY(!open);
    QVERIFY(timerActive); // started by the earlier success, left running
}

void tst_worker::closeAlwaysTrue()
{
    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    WorkerHarness h;
    QVERIFY(h.worker()->closePort()); // never opened
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QVERIFY(h.worker()->closePort());
    QVERIFY(!h.worker()->isPortOpen());
    QVERIFY(h.worker()->closePort()); // already closed
    QVERIFY(!h.worker()->isPortOpen());
}

void tst_worker::batchesExceedThreshold_data()
{
    QTest::addColumn<int>("distNum");
    QTest::addColumn<int>("fps");
    QTest::newRow("1 at 100 fps") << 1 << 100;
    QTest::newRow("10 at 1000 fps") << 10 << 1000;
    QTest::newRow("100 at 1000 fps") << 100 << 1000;
    QTest::newRow("1000 at 5000 fps") << 1000 << 5000;
}

void tst_worker::batchesExceedThreshold()
{
    QFETCH(int, distNum);
    QFETCH(int, fps);
    sim::SimSensor sensor;
    QVERIFY(sensor.start(fps));
    WorkerHarness h;
    h.worker()->setDistNum(distNum);
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->batches.size() >= 3, 15000);
    for (const BatchCollector::Batch &b : h.collector()->batches)
        QVERIFY2(b.dist.size() > distNum, qPrintable(QString::number(b.dist.size())));
    // Every distance is one the simulator can send: 1 m to 40 m.
    for (uint16_t d : h.collector()->allDistances())
        QVERIFY2(d >= 100 && d <= 4000, qPrintable(QString::number(d)));
}

void tst_worker::rateFollowsSimulator_data()
{
    QTest::addColumn<int>("fps");
    QTest::newRow("100") << 100;
    QTest::newRow("1000") << 1000;
    QTest::newRow("10000") << 10000;
}

void tst_worker::rateFollowsSimulator()
{
    QFETCH(int, fps);
    sim::SimSensor sensor;
    QVERIFY(sensor.start(fps));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(linkOf(sensor), 1000000));
    // Within 10 % once a full second has been counted (the first second after
    // an open may also carry bytes queued while nobody listened).
    auto close = [&] {
        const int rate = h.collector()->lastRate();
        return rate > 0 && std::abs(rate - fps) <= fps / 10;
    };
    QTRY_VERIFY_WITH_TIMEOUT(close(), 10000);
}

void tst_worker::rateIsZeroAfterClosedTick()
{
    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->lastRate() > 0, 10000);
    QVERIFY(h.worker()->closePort());
    // Wait for a rate tick while closed: it latches 0.
    int rate = -1;
    QTRY_VERIFY_WITH_TIMEOUT((h.inWorker([&] { rate = h.worker()->streamState().frameRate; }), rate == 0), 15000);
    h.collector()->clear();
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty(), 10000);
    QCOMPARE(h.collector()->batches.first().freq, 0);
}

void tst_worker::textOutputKeepsBufferBounded()
{
    sim::SimSensor sensor;
    sensor.setOutputFormat(0); // "3.00m\r\n" lines, no measurement frames
    QVERIFY(sensor.start(10000));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(linkOf(sensor), 1000000));
    const uint64_t start = sensor.framesSent();
    QCOMPARE(start, uint64_t(0));
    // Let a good amount of text pass through the worker: a look at its
    // buffer after every 4000 bytes the sensor wrote.
    const uint64_t written = sensor.bytesWritten();
    int bufferSize = -1;
    int frames = -1;
    for (int i = 1; i <= 10; ++i) {
        QVERIFY(QTest::qWaitFor([&] { return sensor.bytesWritten() >= written + 4000u * unsigned(i); }, 10000));
        h.inWorker([&] {
            bufferSize = h.worker()->streamState().bufferedBytes;
            frames = h.worker()->streamState().frameCount + h.worker()->streamState().frameRate;
        });
        QVERIFY2(bufferSize <= 10, qPrintable(QString::number(bufferSize)));
    }
    QCOMPARE(frames, 0);
    QVERIFY(h.collector()->batches.isEmpty());
}

void tst_worker::distBufferKeepsCapacity()
{
    sim::SimSensor sensor;
    QVERIFY(sensor.start(1000));
    WorkerHarness h;
    h.worker()->setDistNum(200);
    QVERIFY(h.worker()->openPort(linkOf(sensor), 1000000));
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->batches.size() >= 2, 10000);
    int capacity = 0;
    int size = -1;
    h.inWorker([&] {
        capacity = h.worker()->streamState().pendingCapacity;
        size = h.worker()->streamState().pendingDistances;
    });
    QVERIFY(size <= 200);
    QVERIFY2(capacity > 200, qPrintable(QString::number(capacity)));
}

void tst_worker::vanishedDevice()
{
    sim::SimSensor sensor;
    sensor.setDistanceCm(500);
    QVERIFY(sensor.start(1000));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty(), 10000);

    sensor.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!h.worker()->isPortOpen(), 10000);
    bool open = true;
    h.inWorker([&] { open = h.worker()->serialPort->isOpen(); });
    QVERIFY(!open);

    // A dead port must not keep the worker's thread busy: once what the
    // port reported has run, at most half of one core's time over a short
    // idle spell (a busy loop takes all of it).
    h.inWorker([] {});
    const double cpu0 = processCpuSeconds();
    QTest::qWait(500);
    const double cpu = processCpuSeconds() - cpu0;
    QVERIFY2(cpu < 0.25, qPrintable(QString("cpu %1 s in 0.5 s").arg(cpu)));

    QVERIFY(h.worker()->closePort());

    // The device comes back (a new pty); connecting again works.
    QVERIFY(sensor.start(1000));
    h.collector()->clear();
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    QVERIFY(h.worker()->isPortOpen());
    QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty()
                                     && h.collector()->batches.last().dist.last() == 500, 10000);
}

void tst_worker::readsThatFindNothingLeavePortOpen()
{
    // An exchange's wait may take bytes whose arrival the port's notifier has
    // already seen; the notice, handled afterwards, reads nothing and the
    // port reports a read error. Many of those in a row, with data between
    // them, are a busy healthy line, not a lost device: the port stays open
    // and the stream goes on.
    sim::SimSensor sensor;
    QVERIFY(sensor.start(0));
    WorkerHarness h;
    h.worker()->setDistNum(1);
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));
    receiver *w = h.worker();
    const QByteArray twoFrames = QByteArray::fromHex("5959d204a7031c0b595959d204a7031c0b590000");
    const sim::Bytes bytes(twoFrames.begin(), twoFrames.end());
    int readErrors = 0;   // counted in the worker's thread
    h.inWorker([&] {
        QObject::connect(w->serialPort, &QSerialPort::errorOccurred, w, [&readErrors](QSerialPort::SerialPortError e) {
            // As the port reports it: a read error, or a resource error
            // where the read met "try again".
            readErrors += e == QSerialPort::ReadError || e == QSerialPort::ResourceError ? 1 : 0;
        });
    });
    for (int round = 0; round < 40; ++round) {
        h.inWorker([&] {
            // Runs in the worker's next turn, in which the notifier has seen
            // the bytes as well: the wait takes them first.
            QMetaObject::invokeMethod(w, [w] {
                w->serialPort->waitForReadyRead(1000);
                w->serialPort->readAll();
            }, Qt::QueuedConnection);
            sensor.writeRaw(bytes);
            // Without running the worker's events (they would read the bytes).
            for (int i = 0; i < 5000 && sensor.bytesUnreadByHost() == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        h.inWorker([] {});
    }
    h.inWorker([] {});
    QCOMPARE(readErrors, 40);   // one read that found nothing in every round
    QVERIFY(h.worker()->isPortOpen());
    h.collector()->clear();
    sensor.writeRaw(bytes);
    QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty(), 15000);
}

QTEST_GUILESS_MAIN(tst_worker)
#include "tst_worker.moc"
