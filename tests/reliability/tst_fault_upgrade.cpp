// Firmware transfers that go wrong: interrupted half way (the sensor stops
// acknowledging, acknowledges wrongly, or vanishes), and image paths that are
// no image (a directory, a fifo, a device, an unreadable file). Each started
// transfer must end with exactly one failure result, nothing may hang the
// worker, and the measurement parser must be attached again afterwards.

#include "fault_fixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include <atomic>
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

// Collects the transfer's results in the GUI thread, as the window gets them.
class ResultLog : public QObject
{
    Q_OBJECT
public:
    explicit ResultLog(receiver *worker)
    {
        connect(worker, &receiver::signalUpgradeResult, this, &ResultLog::onResult, Qt::QueuedConnection);
        connect(worker, &receiver::sigUpdateProcessbar, this, &ResultLog::onProgress, Qt::QueuedConnection);
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
        ModalCatcher catcher;
        fw.ui()->pushButton_upgrade->click();
        QVERIFY2(catcher.texts.isEmpty(), qPrintable(catcher.texts.join(QLatin1Char('|'))));
    }

    // Waits for the first result, then a while longer for a second one.
    void expectOneFailure(ResultLog &log, qint64 boundMs)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!log.results.isEmpty(), int(boundMs + kMarginMs));
        QTest::qWait(1500);
        QCOMPARE(log.results, QVector<bool>{false});
        QCOMPARE(fw.status(), T("升级失败！"));
    }

private slots:
    void initTestCase() { QVERIFY(scratch.isValid()); }
    void init()
    {
        // The simulated sensor keeps its settings across restarts; every
        // case starts from one that streams and acknowledges.
        fw.sensor.setUpgradeStopAckAt(-1);
        fw.sensor.setUpgradeWrongAck(false);
        fw.sensor.setAnswerMode(sim::AnswerMode::Normal);
        fw.sensor.setOutputEnabled(true);
        QVERIFY(fw.open(100));
    }
    void cleanup() { fw.close(); }

    void interruptedHalfWay_data();
    void interruptedHalfWay();
    void imagePathIsNoImage_data();
    void imagePathIsNoImage();
};

void tst_fault_upgrade::interruptedHalfWay_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("sensor stops acknowledging") << "stop";
    QTest::newRow("wrong acknowledgement") << "wrong";
    QTest::newRow("device unplugged") << "unplug";
}

void tst_fault_upgrade::interruptedHalfWay()
{
    QFETCH(QString, fault);

    // 101 data frames of 249 bytes; the fault strikes at frame 50.
    const QString path = writeImage(QStringLiteral("image.bin"), 25000);
    QVERIFY(!path.isEmpty());
    const int half = 50;
    fw.sensor.setStreamDuringUpgrade(true);

    ResultLog log(fw.worker());
    std::atomic<bool> watching{true};
    // Frames the sensor had taken when the fault struck (the watcher polls,
    // so a few frames may pass frame `half` first).
    std::atomic<int> faultAt{half};
    std::thread watcher;
    if (fault == QLatin1String("stop")) {
        fw.sensor.setUpgradeStopAckAt(half);
    } else {
        watcher = std::thread([&] {
            while (watching && fw.sensor.upgradeFramesReceived() < half)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!watching)
                return;
            if (fault == QLatin1String("wrong"))
                fw.sensor.setUpgradeWrongAck(true);
            else
                fw.sensor.unplug();
            faultAt = fw.sensor.upgradeFramesReceived();
        });
    }

    startUpgrade(path, true);
    // The transfer's bound for one frame is a few seconds; the sensor's own
    // frames before the fault are quick.
    expectOneFailure(log, 10000);
    watching = false;
    if (watcher.joinable())
        watcher.join();

    // It stopped at the fault: no frame after it, no progress to the end.
    QVERIFY2(fw.sensor.upgradeFramesReceived() <= faultAt + 2,
             qPrintable(QStringLiteral("%1 frames, fault at %2")
                            .arg(fw.sensor.upgradeFramesReceived()).arg(faultAt.load())));
    QVERIFY(!log.progress.isEmpty());
    // 101 data frames; progress counts acknowledged data frames only.
    QVERIFY2(log.progress.last() * 101 <= float(faultAt), qPrintable(QString::number(log.progress.last())));

    if (fault == QLatin1String("unplug")) {
        QTRY_VERIFY_WITH_TIMEOUT(!fw.worker()->isPortOpen(), 10000);
        const double cpu = fault::cpuWhileIdle(2000);
        QVERIFY2(cpu < 0.5, qPrintable(QStringLiteral("%1 s of CPU in 2 s").arg(cpu)));
        fw.ui()->connectButton->click();
        QVERIFY(!fw.worker()->isPortOpen());
        QVERIFY(fw.sensor.start(100));
        QVERIFY(fw.connectTo(fw.sensor));
    } else {
        fw.sensor.setUpgradeStopAckAt(-1);
        fw.sensor.setUpgradeWrongAck(false);
    }
    // The parser is attached again: the stream reaches the window.
    QVERIFY2(fw.streamFlows(fw.batches->batches.size()), "the stream did not resume");
}

void tst_fault_upgrade::imagePathIsNoImage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("directory") << "directory";
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("link to a fifo") << "fifolink";
    QTest::newRow("unreadable file") << "unreadable";
    QTest::newRow("file whose read fails") << "readerror";
    QTest::newRow("character device") << "device";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("dangling link") << "dangling";
}

void tst_fault_upgrade::imagePathIsNoImage()
{
    QFETCH(QString, kind);

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
    startUpgrade(path, true);
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
    expectOneFailure(log, 0);

    // No upgrade frame went out.
    QVERIFY2(!fw.received().contains(QByteArray("\x5A\xFF\x49", 3)), qPrintable(fw.received().toHex()));
    QCOMPARE(fw.sensor.upgradeFramesReceived(), 0);

    // The worker is free: a query goes through, and the stream flows.
    fw.ui()->statusBar->showMessage(QStringLiteral("before"), 0);
    fw.ui()->pushButton_version->click();
    QVERIFY2(!fw.status().contains(T("失败")) && fw.status() != QLatin1String("before"),
             qPrintable(fw.status()));
    QVERIFY(fw.streamFlows(fw.batches->batches.size()));
}

QTEST_MAIN(tst_fault_upgrade)
#include "tst_fault_upgrade.moc"
