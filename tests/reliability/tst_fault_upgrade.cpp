// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware transfers that go wrong: interrupted half way (the sensor stops
// acknowledging, acknowledges wrongly, or vanishes), the window closed during
// a transfer, and image paths that are no image (a directory, a fifo, a
// device, an unreadable file). Each started transfer must end with exactly one
// failure result, nothing may hang the worker, and the measurement parser must
// be attached again afterwards.
//
// The simulated sensor strikes the faults itself at an exact frame. Where no
// acknowledgement comes the worker gets a short bound, except in one case
// that waits out the window's own three seconds.

#include "fault_fixture.h"

#include <QMessageBox>

#include "cross_thread.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using fault::FaultWindow;

namespace {

constexpr qint64 kMarginMs = 3000;

QString T(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// Why a transfer failed, as the upgrade controls say it.
QString TU(const char *source)
{
    return QCoreApplication::translate("UpgradeControls", source);
}

// Collects the transfer's results in the GUI thread, as the window gets them.
class ResultLog : public QObject
{
    Q_OBJECT
public:
    explicit ResultLog(receiver *worker)
    {
        connectAcrossThreads(worker, &receiver::signalUpgradeResult, this, &ResultLog::onResult);
        connectAcrossThreads(worker, &receiver::sigUpdateProcessbar, this, &ResultLog::onProgress);
        // The worker's thread already runs: a call through its mailbox (a
        // std::mutex) puts these connections before its next emission, where
        // ThreadSanitizer sees it too (Qt's own lock is hidden from it).
        worker->runInWorkerThread([] {});
    }
    QVector<bool> results;
    QVector<float> progress;
public slots:
    void onResult(bool ok) { results << ok; }
    void onProgress(float v) { progress << v; }
};

// File permissions do not stop root. To make a file unreadable for the test
// even then, the thread that opens it (the worker's) gives up the capabilities
// that override them, and takes them back afterwards.
bool setDacOverride(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const uint32_t bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    if (on)
        data[0].effective |= bits & data[0].permitted;
    else
        data[0].effective &= ~bits;
    return syscall(SYS_capset, &header, data) == 0;
}

// Bounds for the cases where no acknowledgement comes: the bound is waited
// out, so it is short; the frames before the fault are answered at once.
ProtocolTiming noAnswerTiming()
{
    ProtocolTiming t;
    t.upgradeAckBoundMs = 500;
    t.upgradeWaitStepMs = 100;
    return t;
}

// Delivers a read notification of the port that finds no bytes, as the event
// loop does when the data it saw was already taken by an exchange. The port
// then reports an error whose reason it takes from the thread's errno. Runs in
// the worker's thread, with the stream paused.
void emptyReadNotification(QSerialPort *port)
{
    port->clear(QSerialPort::Input);
    for (QSocketNotifier *n : port->findChildren<QSocketNotifier *>()) {
        if (n->type() == QSocketNotifier::Read && n->isEnabled()) {
            QEvent activation(QEvent::SockAct);
            QCoreApplication::sendEvent(n, &activation);
        }
    }
}

} // namespace

class tst_fault_upgrade : public QObject
{
    Q_OBJECT

private:
    FaultWindow fw;
    QTemporaryDir scratch;

    QString writeImage(const QString &name, int size)
    {
        QByteArray image(size, '\0');
        for (int i = 0; i < size; ++i)
            image[i] = char((i * 7 + 3) & 0xFF);
        const QString path = scratch.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(image) != size)
            return QString();
        return path;
    }

    void startUpgrade(const QString &path, bool serial)
    {
        (serial ? fw.ui()->radioButton_upgrade_serial : fw.ui()->radioButton_upgrade_can)->setChecked(true);
        fw.ui()->lineEdit_image_full_path->setText(path);
        // The operator confirms the question, and nothing else is asked.
        ModalCatcher catcher;
        catcher.answer = QMessageBox::Yes;
        fw.ui()->pushButton_upgrade->click();
        QCOMPARE(catcher.texts, QStringList{T("确定升级固件吗？升级过程中请勿断开连接。")});
    }

    // Once the worker has run a call queued behind the transfer, the transfer
    // has returned and all it reported is on its way; delivering the posted
    // events brings it in. No later result can come.
    void settle()
    {
        runBlocking(fw.worker(), [] {});
        QCoreApplication::sendPostedEvents();
    }

    // Waits for the first result, then makes sure no second one follows.
    // One failure, and the status bar says why.
    void expectOneFailure(ResultLog &log, qint64 boundMs, const QString &reason)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!log.results.isEmpty(), int(boundMs + kMarginMs));
        settle();
        QCOMPARE(log.results, QVector<bool>{false});
        QCOMPARE(fw.status(), T("升级失败！") + reason);
    }

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }
    void init()
    {
        // The simulated sensor keeps its settings across restarts; every
        // case starts from one that streams and acknowledges.
        fw.sensor.setUpgradeStopAckAt(-1);
        fw.sensor.setUpgradeWrongAck(false);
        fw.sensor.setUpgradeFault(-1, sim::UpgradeFault::None);
        fw.sensor.setStreamDuringUpgrade(true);
        fw.sensor.setAnswerMode(sim::AnswerMode::Normal);
        fw.sensor.setOutputEnabled(true);
        QVERIFY(fw.open(100));
    }
    void cleanup() { fw.close(); }

    void interruptedHalfWay_data();
    void interruptedHalfWay();
    void closeDuringTransfer_data();
    void closeDuringTransfer();
    void imagePathIsNoImage_data();
    void imagePathIsNoImage();
};

void tst_fault_upgrade::interruptedHalfWay_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("realBound");
    QTest::addColumn<QString>("reason");
    const QString noAck = TU("第%1帧无应答").arg(50);
    // The window's own bound, three seconds for the frame, waited out once.
    QTest::newRow("sensor stops acknowledging") << int(sim::UpgradeFault::StopAck) << true << noAck;
    QTest::newRow("wrong acknowledgement") << int(sim::UpgradeFault::WrongAck) << false << noAck;
    QTest::newRow("device unplugged") << int(sim::UpgradeFault::Vanish) << false << TU("串口断开");
}

void tst_fault_upgrade::interruptedHalfWay()
{
    QFETCH(int, fault);
    QFETCH(bool, realBound);
    QFETCH(QString, reason);

    // 101 data frames of 249 bytes; the fault strikes when frame 50 arrives.
    const QString path = writeImage(QStringLiteral("image.bin"), 25000);
    QVERIFY(!path.isEmpty());
    const int total = 101;
    const int half = 50;
    fw.sensor.setStreamDuringUpgrade(true);
    fw.sensor.setUpgradeFault(half, sim::UpgradeFault(fault));
    const ProtocolTiming timing = realBound ? ProtocolTiming() : noAnswerTiming();
    if (realBound)
        QVERIFY(fw.worker()->protocolTiming() == ProtocolTiming());
    else
        fw.worker()->setProtocolTiming(timing);

    ResultLog log(fw.worker());
    startUpgrade(path, true);
    expectOneFailure(log, timing.upgradeAckBoundMs + 10000, reason);

    // It stopped at the fault: frames 0..50 went out, nothing after them, and
    // progress counts the acknowledged data frames 1..49 only.
    QCOMPARE(fw.sensor.upgradeFramesReceived(), half + 1);
    QVector<float> expected;
    for (int i = 10; i < half; i += 10)
        expected << float(double(i) / total);
    QCOMPARE(log.progress, expected);

    if (sim::UpgradeFault(fault) == sim::UpgradeFault::Vanish) {
        QTRY_VERIFY_WITH_TIMEOUT(!fw.worker()->isPortOpen(), 10000);
        // A notifier spinning on the dead line would take a whole core.
        const double cpu = fault::cpuWhileIdle(1000);
        QVERIFY2(cpu < 0.25, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
        fw.ui()->connectButton->click();
        QVERIFY(!fw.worker()->isPortOpen());
        QVERIFY(fw.sensor.start(100));
        QVERIFY(fw.connectTo(fw.sensor));
    } else {
        fw.sensor.setUpgradeFault(-1, sim::UpgradeFault::None);
    }
    // The parser is attached again: the stream reaches the window.
    QVERIFY2(fw.streamFlows(fw.batches->batches.size()), "the stream did not resume");
}

// Closing the window while a transfer runs must not wait for the transfer:
// it stops within one wait step, reports one failure, the port is closed and
// the worker's thread ends. The window's worker keeps its own bounds (three
// seconds per frame, steps of one second).
void tst_fault_upgrade::closeDuringTransfer_data()
{
    QTest::addColumn<int>("closeAfter");
    QTest::addColumn<int>("silentFrom");
    QTest::addColumn<bool>("streaming");
    // Closed while frames go back and forth; the sensor goes silent much
    // later, so the transfer cannot end on its own before the close.
    QTest::newRow("sensor acknowledging") << 20 << 300 << true;
    // Closed while the transfer waits for an acknowledgement that never
    // comes. Measurement frames end each wait early; on a quiet line the
    // cancel is seen only when a whole wait step has run out.
    QTest::newRow("sensor silent, streaming") << 20 << 20 << true;
    QTest::newRow("sensor silent, quiet line") << 20 << 20 << false;
}

void tst_fault_upgrade::closeDuringTransfer()
{
    QFETCH(int, closeAfter);
    QFETCH(int, silentFrom);
    QFETCH(bool, streaming);
    fw.sensor.setStreamDuringUpgrade(streaming);

    // 100 KiB: 412 data frames of 249 bytes.
    const QString path = writeImage(QStringLiteral("large.bin"), 100 * 1024);
    QVERIFY(!path.isEmpty());
    QVERIFY(fw.worker()->protocolTiming() == ProtocolTiming());
    fw.sensor.setUpgradeFault(silentFrom, sim::UpgradeFault::StopAck);

    ResultLog log(fw.worker());
    startUpgrade(path, true);
    QVERIFY(fw.sensor.waitForUpgradeFrames(closeAfter + 1, 20000));

    QElapsedTimer clock;
    clock.start();
    fw.window->close();
    const qint64 took = clock.elapsed();
    qInfo() << "closing took" << took << "ms";
    QVERIFY2(took < 2000, qPrintable(QStringLiteral("closing took %1 ms").arg(took)));

    // The thread has ended: everything the transfer reported is posted.
    QThread *thread = fw.probe().workerThread();
    QVERIFY(thread->isFinished());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(log.results, QVector<bool>{false});
    QVERIFY(!fw.worker()->isPortOpen());
    QVERIFY(fw.sensor.upgradeFramesReceived() <= silentFrom + 1);
    QVERIFY(log.progress.isEmpty() || log.progress.last() < 1.0f);
}

void tst_fault_upgrade::imagePathIsNoImage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    const QString missing = TU("文件不存在或不是普通文件");
    const QString unreadable = TU("文件无法读取");
    QTest::newRow("directory") << "directory" << missing;
    QTest::newRow("fifo") << "fifo" << missing;
    QTest::newRow("link to a fifo") << "fifolink" << missing;
    QTest::newRow("unreadable file") << "unreadable" << unreadable;
    QTest::newRow("file whose read fails") << "readerror" << unreadable;
    QTest::newRow("character device") << "device" << missing;
    QTest::newRow("missing file") << "missing" << missing;
    QTest::newRow("dangling link") << "dangling" << missing;
}

void tst_fault_upgrade::imagePathIsNoImage()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QString path;
    bool dropCaps = false;
    if (kind == QLatin1String("directory")) {
        path = scratch.filePath(QStringLiteral("dir.bin"));
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("fifo") || kind == QLatin1String("fifolink")) {
        path = scratch.filePath(QStringLiteral("fifo.bin"));
        QFile::remove(path);
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        if (kind == QLatin1String("fifolink")) {
            const QString link = scratch.filePath(QStringLiteral("fifolink.bin"));
            QFile::remove(link);
            QVERIFY(QFile::link(path, link));
            path = link;
        }
    } else if (kind == QLatin1String("unreadable")) {
        path = writeImage(QStringLiteral("locked.bin"), 1000);
        QVERIFY(!path.isEmpty());
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        dropCaps = geteuid() == 0;
    } else if (kind == QLatin1String("readerror")) {
        // Opens as a regular file, but reading it fails.
        path = QStringLiteral("/proc/self/mem");
    } else if (kind == QLatin1String("device")) {
        path = QStringLiteral("/dev/zero");
    } else if (kind == QLatin1String("missing")) {
        path = scratch.filePath(QStringLiteral("no-such-image.bin"));
    } else {
        path = scratch.filePath(QStringLiteral("dangling.bin"));
        QFile::remove(path);
        QVERIFY(QFile::link(scratch.filePath(QStringLiteral("gone.bin")), path));
    }

    receiver *w = fw.worker();
    if (dropCaps) {
        bool dropped = false;
        runBlocking(w, [&] { dropped = setDacOverride(false); });
        QVERIFY2(dropped, "cannot give up CAP_DAC_OVERRIDE in the worker's thread");
    }

    ResultLog log(w);
    fw.sensor.clearReceived();
    ModalCatcher catcher;
    // The worker itself is asked (the window refuses what it can see from
    // outside before it asks the worker).
    w->upgrade(path, 255);
    // Refusals happen before anything is sent, so they are quick. A worker
    // stuck in open() on a fifo is released by opening the other end, so a
    // failure here does not hang the whole suite.
    const bool answered = QTest::qWaitFor([&] { return !log.results.isEmpty(); }, 5000);
    if (!answered && kind.startsWith(QLatin1String("fifo"))) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    if (dropCaps)
        runBlocking(w, [] { setDacOverride(true); });
    QVERIFY2(answered, "no result within 5 s: the worker hangs on the image file");
    expectOneFailure(log, 0, reason);
    // Told like the window's own refusals: a box with the reason as well.
    QTRY_COMPARE_WITH_TIMEOUT(catcher.texts, QStringList{T("升级失败！") + reason}, 15000);

    // No upgrade frame went out.
    QVERIFY2(!fw.received().contains(QByteArray("\x5A\xFF\x49", 3)), qPrintable(fw.received().toHex()));
    QCOMPARE(fw.sensor.upgradeFramesReceived(), 0);

    // The refusal must leave the port alone. Once more in the worker's thread,
    // followed there at once by a read notification that finds no bytes (as
    // the event loop delivers one when an exchange took the data first): the
    // port takes its reason from errno, and a refusal that left its own error
    // there (EIO from the failed read of the image) made the worker take a
    // healthy port for a lost device and close it. errno starts clean, as the
    // port's own calls leave it.
    fw.sensor.pauseStream(true);
    runBlocking(w, [&] {
        if (dropCaps)
            setDacOverride(false);
        errno = 0;
        w->slot_do_cmd_id_upgrade(path, 255);
        emptyReadNotification(w->serialPort);
        if (dropCaps)
            setDacOverride(true);
    });
    settle();   // a close queued by the port's error report has run by now
    QCOMPARE(log.results, (QVector<bool>{false, false}));
    QVERIFY2(fw.worker()->isPortOpen(), "the worker closed a healthy port after the refusal");
    fw.sensor.pauseStream(false);

    // The worker is free: a query goes through, and the stream flows.
    fw.ui()->statusBar->showMessage(QStringLiteral("before"), 0);
    fw.ui()->pushButton_version->click();
    QVERIFY2(!fw.status().contains(T("失败")) && fw.status() != QLatin1String("before"),
             qPrintable(fw.status()));
    QVERIFY(fw.streamFlows(fw.batches->batches.size()));
}

QTEST_MAIN(tst_fault_upgrade)
#include "tst_fault_upgrade.moc"
