// SPDX-License-Identifier: GPL-3.0-or-later
// The worker and a device that goes away: a loss is decided only once the
// device is really gone (a port whose reads come back empty on a healthy line
// stays in use), a lost device is reopened under the same name at the same
// rate once it is back, unless reconnecting is off or the operator closed
// the port meanwhile; a failed open names its reason.

#include "cross_thread.h"
#include "link_events.h"
#include "simsensor.h"
#include "workerharness.h"

#include <QSerialPort>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QString linkOf(const sim::SimSensor &s)
{
    return QString::fromStdString(s.linkPath());
}

// A second reader on the host side of a pty, racing the worker for every
// byte. When it wins, the worker's read notification finds nothing to read
// and the port takes its error from errno (EAGAIN): a "resource error" on a
// line that is perfectly healthy.
class CompetingReader
{
public:
    explicit CompetingReader(const std::string &device)
    {
        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0)
            t = std::thread([this] { run(); });
    }
    ~CompetingReader() { stop(); }
    bool ok() const { return fd >= 0; }
    void stop()
    {
        quit.store(true);
        if (t.joinable())
            t.join();
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

private:
    void run()
    {
        char buf[64];
        while (!quit.load()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN))
                while (::read(fd, buf, sizeof buf) > 0) {
                }
        }
    }
    int fd = -1;
    std::atomic<bool> quit{false};
    std::thread t;
};

} // namespace

class tst_link_loss : public QObject
{
    Q_OBJECT

private slots:
    void emptyReadsOnAHealthyLineKeepThePort();
    void lostDeviceComesBack_data();
    void lostDeviceComesBack();
    void openFailureReasons_data();
    void openFailureReasons();
};

void tst_link_loss::emptyReadsOnAHealthyLineKeepThePort()
{
    sim::SimSensor sensor;
    sensor.setDistanceCm(321);
    QVERIFY(sensor.start(2000));
    // The competitor opens first: the port's exclusive mode would keep it out later.
    CompetingReader competitor(sensor.devicePath());
    QVERIFY(competitor.ok());
    WorkerHarness h;
    LinkEvents events(h.worker());
    std::atomic<int> resourceErrors{0};
    QObject::connect(h.worker()->serialPort, &QSerialPort::errorOccurred, h.worker(),
                     [&resourceErrors](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError)
            ++resourceErrors;
    }, Qt::DirectConnection);
    QVERIFY(h.worker()->openPort(linkOf(sensor), 115200));

    // The race brings the false resource errors within moments at 2000 frames/s.
    QTRY_VERIFY_WITH_TIMEOUT(resourceErrors.load() >= 3, 20000);
    competitor.stop();
    QVERIFY(h.worker()->isPortOpen());
    QVERIFY(!h.worker()->isWaitingForDevice());
    QCOMPARE(events.lost, 0);
    // The stream flows on, through the same port.
    h.collector()->clear();
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->distanceCount() > 100, 10000);
    QCOMPARE(h.collector()->batches.last().dist.last(), uint16_t(321));
    QVERIFY(h.worker()->isPortOpen());
    QCOMPARE(events.lost, 0);
}

void tst_link_loss::lostDeviceComesBack_data()
{
    QTest::addColumn<bool>("autoReconnect");
    QTest::addColumn<bool>("closeWhileWaiting");
    QTest::addColumn<bool>("byDevicePath");   // opened as /dev/pts/N, not by the link
    QTest::addColumn<bool>("waits");
    QTest::addColumn<bool>("reopened");

    QTest::newRow("reconnect") << true << false << false << true << true;
    QTest::newRow("reconnect turned off") << false << false << false << false << false;
    QTest::newRow("closed while waiting") << true << true << false << true << false;
    // A pseudo-terminal's number, once free, goes to the next pty made by
    // anyone: never waited for.
    QTest::newRow("pseudo-terminal") << true << false << true << false << false;
}

void tst_link_loss::lostDeviceComesBack()
{
    QFETCH(bool, autoReconnect);
    QFETCH(bool, closeWhileWaiting);
    QFETCH(bool, byDevicePath);
    QFETCH(bool, waits);
    QFETCH(bool, reopened);

    sim::SimSensor sensor;
    sensor.setDistanceCm(700);
    QVERIFY(sensor.start(500));
    WorkerHarness h;
    LinkEvents events(h.worker());
    h.worker()->setAutoReconnect(autoReconnect);
    const QString name = byDevicePath ? QString::fromStdString(sensor.devicePath()) : linkOf(sensor);
    QVERIFY(h.worker()->openPort(name, 460800));
    QTRY_VERIFY_WITH_TIMEOUT(h.collector()->distanceCount() > 20, 10000);

    sensor.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(events.lost, 1, 10000);
    QVERIFY(!h.worker()->isPortOpen());
    QCOMPARE(h.worker()->isWaitingForDevice(), waits);
    QCOMPARE(events.lastWaiting, waits);
    if (closeWhileWaiting) {
        QVERIFY(h.worker()->closePort());
        QVERIFY(!h.worker()->isWaitingForDevice());
        QTRY_COMPARE_WITH_TIMEOUT(events.stopped, 1, 15000);
    }

    sensor.setDistanceCm(800);
    QVERIFY(sensor.replug());
    if (reopened) {
        QTRY_COMPARE_WITH_TIMEOUT(events.back, 1, 10000);
        QCOMPARE(events.lastCount, 1);
        QCOMPARE(h.worker()->reconnectCount(), 1);
        QVERIFY(h.worker()->isPortOpen());
        QVERIFY(!h.worker()->isWaitingForDevice());
        // Same name, same rate.
        QString name;
        qint32 baud = 0;
        h.inWorker([&] {
            name = h.worker()->serialPort->portName();
            baud = h.worker()->serialPort->baudRate();
        });
        QCOMPARE(name, linkOf(sensor));
        QCOMPARE(baud, 460800);
        QTRY_VERIFY_WITH_TIMEOUT(!h.collector()->batches.isEmpty()
                                         && h.collector()->batches.last().dist.last() == 800, 10000);
    } else {
        // Nothing waits for the device, so nothing can reopen it: the
        // once-a-second check would have done so within this time.
        QVERIFY(!h.worker()->isWaitingForDevice());
        QTest::qWait(2500);
        QVERIFY(!h.worker()->isPortOpen());
        QCOMPARE(events.back, 0);
        QCOMPARE(h.worker()->reconnectCount(), 0);
    }
    QVERIFY(h.worker()->closePort());
}

void tst_link_loss::openFailureReasons_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("expected");
    QTest::newRow("missing") << 0 << int(OpenFailure::Missing);
    QTest::newRow("in use") << 1 << int(OpenFailure::Busy);
    QTest::newRow("not permitted") << 2 << int(OpenFailure::NotPermitted);
}

void tst_link_loss::openFailureReasons()
{
    QFETCH(int, kind);
    QFETCH(int, expected);

    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    WorkerHarness h;
    QString name = linkOf(sensor);
    QSerialPort holder;
    bool asOther = false;
    if (kind == 0) {
        name = QStringLiteral("/dev/zn84-no-such-port");
    } else if (kind == 1) {
        holder.setPortName(name);
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else {
        QVERIFY(::chmod(sensor.devicePath().c_str(), 0) == 0);
        // A privileged user opens anything: open as an unprivileged one.
        if (geteuid() == 0) {
            if (::seteuid(65534) != 0)
                QSKIP("running as root and cannot take an unprivileged user's rights");
            asOther = true;
        }
    }
    const bool opened = h.worker()->openPort(name, 115200);
    const OpenFailure why = h.worker()->lastOpenFailure();
    if (asOther)
        QVERIFY(::seteuid(0) == 0);
    QVERIFY(!opened);
    QCOMPARE(int(why), expected);
    QVERIFY(!h.worker()->isPortOpen());

    // Once the reason is gone, the same port opens.
    if (kind == 1)
        holder.close();
    if (kind == 2)
        QVERIFY(::chmod(sensor.devicePath().c_str(), 0620) == 0);
    if (kind != 0) {
        QVERIFY(h.worker()->openPort(name, 115200));
        QCOMPARE(int(h.worker()->lastOpenFailure()), int(OpenFailure::None));
    }
}

QTEST_GUILESS_MAIN(tst_link_loss)
#include "tst_link_loss.moc"
