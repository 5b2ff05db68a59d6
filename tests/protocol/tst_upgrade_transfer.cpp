// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware transfer run by a worker in its own thread against the
// simulated sensor on a pseudo-terminal: the image the sensor reassembles,
// progress, the acknowledgement bound, a port that fails during the wait, a
// cancelled transfer, and the images that are refused.
//
// Transfers that succeed run with the protocol's own bounds, so a slow
// machine cannot fail them; the cases where an acknowledgement never comes
// run with a short bound, as they wait it out.

#include "cross_thread.h"
#include "simsensor.h"
#include "testutil.h"
#include "upgrade_wait.h"
#include "workerharness.h"
#include "worker_probe.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// For the cases where no acknowledgement comes: the frame's bound is waited
// out, so it is short. The frames before the fault are acknowledged at once
// and have ample time within it, even on a loaded machine.
ProtocolTiming noAnswerTiming()
{
    ProtocolTiming t;
    t.upgradeAckBoundMs = 500;
    t.upgradeWaitStepMs = 100;
    return t;
}

// For the cases that must end long before the bound: a transfer that waited
// it out instead would hold the test for a minute and fail it.
ProtocolTiming endlessTiming()
{
    ProtocolTiming t;
    t.upgradeAckBoundMs = 60000;
    t.upgradeWaitStepMs = 50;
    return t;
}

QByteArray randomImage(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray image(size, '\0');
    for (char &c : image)
        c = char(rng.bounded(256));
    return image;
}

} // namespace

// Receives the transfer's signals queued in the test's thread, as the window does.
class TransferListener : public QObject
{
    Q_OBJECT
public:
    explicit TransferListener(receiver *worker)
    {
        connectAcrossThreads(worker, &receiver::signalUpgradeFailed, this, &TransferListener::onFailure);
        connectAcrossThreads(worker, &receiver::signalUpgradeResult, this, &TransferListener::onResult);
        connectAcrossThreads(worker, &receiver::sigUpdateProcessbar, this, &TransferListener::onProgress);
    }
    QList<bool> results;
    QList<float> progress;
    // The reason and the frame of every failure, in order; a failure's
    // reason comes before its result.
    QList<QPair<receiver::UpgradeFailure, uint>> failures;
    int failuresBeforeResults = 0;

public slots:
    void onFailure(receiver::UpgradeFailure reason, uint frame)
    {
        failures.append({reason, frame});
        if (failures.size() == results.count(false) + 1)
            ++failuresBeforeResults;
    }
    void onResult(bool ok) { results.append(ok); }
    void onProgress(float value) { progress.append(value); }
};

class tst_upgrade_transfer : public QObject
{
    Q_OBJECT

private:
    sim::SimSensor *sensor = nullptr;
    WorkerHarness *harness = nullptr;
    TransferListener *listener = nullptr;
    QTemporaryDir *dir = nullptr;

    receiver *worker() const { return harness->worker(); }

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = dir->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return QString();
        return path;
    }

    bool waitForResults(int n, int ms = 60000)
    {
        return QTest::qWaitFor([&] { return listener->results.size() >= n; }, ms);
    }

    // Once the worker has run a call queued behind the transfer, the transfer
    // has returned and everything it reported is on its way; delivering the
    // posted events brings it all in. Nothing can follow after that.
    void settle()
    {
        harness->inWorker([] {});
        QCoreApplication::sendPostedEvents();
    }

    // The reasons of the failures so far, each given before its result.
    QList<QPair<receiver::UpgradeFailure, uint>> failures() const
    {
        return listener->failuresBeforeResults == listener->failures.size() ? listener->failures
                                                                            : QList<QPair<receiver::UpgradeFailure, uint>>();
    }

    // A refused or failed start: one false result and not a byte on the line.
    void expectRefused(const QString &path, unsigned length)
    {
        worker()->upgrade(path, length);
        QVERIFY(waitForResults(1, 10000));
        settle();
        QCOMPARE(listener->results, QList<bool>{ false });
        QCOMPARE(failures().size(), 1);
        // The worker handles its calls in order: any upgrade frame written
        // would reach the sensor before this command does (on a port opened
        // again, where the start found it closed). The stream pauses, so
        // that the acknowledgement is what the command's waits bring and the
        // command goes out once.
        sensor->pauseStream(true);
        if (!worker()->isPortOpen())
            QVERIFY(worker()->openPort(QString::fromStdString(sensor->devicePath()), 115200));
        QVERIFY(worker()->send_cmd_id_save_settings());
        QCOMPARE(toBytes(sensor->received()).toHex(' '), hexBytes("5A 04 11 6F").toHex(' '));
        QVERIFY(parserAttached(*harness));
        QVERIFY(streamResumes(*sensor, *harness));
    }

    // What the product's progress reports are for `acked` acknowledged data
    // frames out of `total`.
    static QList<float> progressFor(int acked, int total)
    {
        const int m = total <= 10000 ? 10 : 100;
        QList<float> expected;
        for (int i = 1; i <= acked; ++i) {
            if (i % m == 0 || i + 10 > total)
                expected << float(double(i) / total);
        }
        return expected;
    }

private slots:
    // The decision functions need no sensor and no worker.
    static bool needsNoLine()
    {
        const QByteArray name = QTest::currentTestFunction();
        return name == "ackWaitDecision" || name == "ackWaitLength";
    }

    void init()
    {
        if (needsNoLine())
            return;
        dir = new QTemporaryDir;
        QVERIFY(dir->isValid());
        sensor = new sim::SimSensor;
        // A brisk stream: the first batch, and each check that the stream
        // resumed, come after a few milliseconds.
        QVERIFY(sensor->start(500));
        harness = new WorkerHarness;
        listener = new TransferListener(worker());
        QVERIFY(worker()->openPort(QString::fromStdString(sensor->devicePath()), 115200));
        QVERIFY(QTest::qWaitFor([&] { return !harness->collector()->batches.isEmpty(); }, 10000));
        sensor->clearReceived();
    }

    void cleanup()
    {
        if (!sensor)
            return;
        sensor->setUpgradeFault(-1, sim::UpgradeFault::None);
        delete listener;
        listener = nullptr;
        delete harness;
        harness = nullptr;
        sensor->stop();
        delete sensor;
        sensor = nullptr;
        delete dir;
        dir = nullptr;
    }

    // The viewer runs with the protocol's own bound: three seconds for a
    // frame's acknowledgement, waited in steps of one second. Every other
    // case here may shorten them; this one holds the product to them.
    void productTiming()
    {
        const ProtocolTiming defaults;
        QCOMPARE(defaults.upgradeAckBoundMs, 3000);
        QCOMPARE(defaults.upgradeWaitStepMs, 1000);
        receiver fresh;
        QVERIFY(fresh.protocolTiming() == defaults);
        QVERIFY(worker()->protocolTiming() == defaults);
    }

    // The decision after each wait for an acknowledgement.
    void ackWaitDecision_data()
    {
        QTest::addColumn<bool>("acked");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<int>("expected");
        using E = QSerialPort;
        const int bound = 3000;
        const int keep = int(upgradeframe::AckWait::KeepWaiting);
        const int failed = int(upgradeframe::AckWait::PortFailed);
        QTest::newRow("nothing yet") << false << false << true << int(E::NoError) << 10 << keep;
        QTest::newRow("a wait that ran out") << false << false << true << int(E::TimeoutError) << 1000 << keep;
        QTest::newRow("acknowledged") << true << false << true << int(E::NoError) << 10
                                      << int(upgradeframe::AckWait::Acknowledged);
        QTest::newRow("acknowledged, then the port failed") << true << false << true << int(E::ReadError) << 10
                                                            << int(upgradeframe::AckWait::Acknowledged);
        QTest::newRow("acknowledged at the bound") << true << false << true << int(E::NoError) << bound
                                                   << int(upgradeframe::AckWait::Acknowledged);
        QTest::newRow("bound reached") << false << false << true << int(E::TimeoutError) << bound
                                       << int(upgradeframe::AckWait::OutOfTime);
        QTest::newRow("cancelled") << false << true << true << int(E::NoError) << 10
                                   << int(upgradeframe::AckWait::Cancelled);
        QTest::newRow("cancelled, port failed too") << false << true << true << int(E::ResourceError) << 10
                                                    << int(upgradeframe::AckWait::Cancelled);
        QTest::newRow("port closed") << false << false << false << int(E::NoError) << 10 << failed;
        // Every error a port can report, but the two above, ends the wait.
        const QList<QPair<const char *, E::SerialPortError>> errors = {
            {"DeviceNotFoundError", E::DeviceNotFoundError},
            {"PermissionError", E::PermissionError},
            {"OpenError", E::OpenError},
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
            // Line errors Qt 6 no longer reports.
            {"ParityError", E::ParityError},
            {"FramingError", E::FramingError},
            {"BreakConditionError", E::BreakConditionError},
#endif
            {"WriteError", E::WriteError},
            {"ReadError", E::ReadError},
            {"ResourceError", E::ResourceError},
            {"UnsupportedOperationError", E::UnsupportedOperationError},
            {"UnknownError", E::UnknownError},
            {"NotOpenError", E::NotOpenError},
        };
        for (const auto &e : errors)
            QTest::newRow(e.first) << false << false << true << int(e.second) << 10 << failed;
    }

    void ackWaitDecision()
    {
        QFETCH(bool, acked);
        QFETCH(bool, cancel);
        QFETCH(bool, open);
        QFETCH(int, error);
        QFETCH(int, elapsed);
        QFETCH(int, expected);
        upgradeframe::AckWaitState state;
        state.acknowledged = acked;
        state.cancelRequested = cancel;
        state.portOpen = open;
        state.portError = QSerialPort::SerialPortError(error);
        state.elapsedMs = elapsed;
        QCOMPARE(int(upgradeframe::afterWait(state, 3000)), expected);
        QCOMPARE(upgradeframe::portErrorEndsWait(state.portError),
                 error != int(QSerialPort::NoError) && error != int(QSerialPort::TimeoutError));
    }

    // Each single wait: what is left of the bound, at most one step.
    void ackWaitLength_data()
    {
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<int>("bound");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("expected");
        QTest::newRow("first wait") << 0 << 3000 << 1000 << 1000;
        QTest::newRow("last part") << 2600 << 3000 << 1000 << 400;
        QTest::newRow("bound reached") << 3000 << 3000 << 1000 << 0;
        QTest::newRow("bound passed") << 3500 << 3000 << 1000 << 0;
        QTest::newRow("step longer than the bound") << 0 << 500 << 1000 << 500;
        QTest::newRow("no step") << 0 << 500 << 0 << 1;
    }

    void ackWaitLength()
    {
        QFETCH(int, elapsed);
        QFETCH(int, bound);
        QFETCH(int, step);
        QFETCH(int, expected);
        QCOMPARE(upgradeframe::nextWaitMs(elapsed, bound, step), expected);
    }

    void images_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<uint>("length");
        QTest::addColumn<int>("frames");
        QTest::newRow("1000, serial") << 1000 << 255u << 5;
        QTest::newRow("996, serial") << 996 << 255u << 4;
        QTest::newRow("empty, serial, refused") << 0 << 255u << 0;
        QTest::newRow("1000, CAN") << 1000 << 8u << 500;
        QTest::newRow("996, CAN") << 996 << 8u << 498;
        QTest::newRow("empty, CAN, refused") << 0 << 8u << 0;
        QTest::newRow("25 frames") << 25 * 249 << 255u << 25;
        QTest::newRow("odd length 100") << 1000 << 100u << 11;
    }

    void images()
    {
        QFETCH(int, size);
        QFETCH(uint, length);
        QFETCH(int, frames);
        const QByteArray image = randomImage(size, quint32(size + length));
        const QString path = writeFile(QStringLiteral("image.bin"), image);
        QVERIFY(!path.isEmpty());

        // An empty image is refused before anything is sent: a header
        // announcing 0 bytes would leave the sensor without firmware.
        if (size == 0) {
            expectRefused(path, length);
            QCOMPARE(failures().first().first, receiver::UpgradeFailure::FileEmpty);
            QCOMPARE(sensor->upgradeFramesReceived(), 0);
            return;
        }
        worker()->upgrade(path, length);
        QVERIFY(waitForResults(1));
        QCOMPARE(listener->results, QList<bool>{ true });
        QVERIFY(listener->failures.isEmpty());

        // Header and data frames, each written once at the full length.
        QVERIFY(QTest::qWaitFor([&] { return sensor->upgradeFramesReceived() == frames + 1; }, 15000));
        QCOMPARE(sensor->upgradeFramesReceived(), frames + 1);
        QVERIFY(!sensor->upgradeError());
        QCOMPARE(toBytes(sensor->upgradeImage()), image);
        QCOMPARE(sensor->receivedCount(), size_t(frames + 1) * length);

        // Progress after every M-th frame and each of the last ten.
        const int m = frames <= 10000 ? 10 : 100;
        QList<float> expected;
        for (int i = 1; i <= frames; ++i) {
            if (i % m == 0 || i + 10 > frames)
                expected << float(double(i) / frames);
        }
        QCOMPARE(listener->progress, expected);
        if (frames > 0)
            QCOMPARE(listener->progress.last(), 1.0f);

        QVERIFY(parserAttached(*harness));
        QVERIFY(streamResumes(*sensor, *harness));
    }

    void progressOfTwentyFiveFrames()
    {
        const QString path = writeFile(QStringLiteral("25.bin"), randomImage(25 * 249 - 100, 25));
        worker()->upgrade(path, 255);
        QVERIFY(waitForResults(1));
        QCOMPARE(listener->results, QList<bool>{ true });
        QList<float> expected;
        for (int i : { 10, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25 })
            expected << float(i / 25.0);
        QCOMPARE(listener->progress, expected);
        QCOMPARE(listener->progress.last(), 1.0f);
    }

    void secondStartQueuesBehindFirst()
    {
        const QByteArray first = randomImage(3000, 1);
        const QByteArray second = randomImage(2000, 2);
        worker()->upgrade(writeFile(QStringLiteral("a.bin"), first), 255);
        worker()->upgrade(writeFile(QStringLiteral("b.bin"), second), 255);
        QVERIFY(waitForResults(2));
        QCOMPARE(listener->results, (QList<bool>{ true, true }));
        QVERIFY(QTest::qWaitFor([&] { return toBytes(sensor->upgradeImage()) == second; }, 15000));
        QVERIFY(!sensor->upgradeError());
    }

    // The sensor stops acknowledging at frame `stopAt`: one false result
    // after the bound, whether it goes quiet or keeps streaming measurement
    // frames, and no frame after the unacknowledged one.
    void ackBound_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<bool>("streaming");
        QTest::newRow("streaming on") << 249 * 10 << 3 << true;
        QTest::newRow("quiet line") << 249 * 10 << 3 << false;
        // The last frame needs no acknowledgement; the one before it does.
        QTest::newRow("last but one frame") << 249 * 10 << 9 << true;
        QTest::newRow("header of a one-frame image") << 100 << 0 << true;
    }

    void ackBound()
    {
        QFETCH(int, size);
        QFETCH(int, stopAt);
        QFETCH(bool, streaming);
        const int total = (size + 248) / 249;
        worker()->setProtocolTiming(noAnswerTiming());
        sensor->setStreamDuringUpgrade(streaming);
        sensor->setUpgradeStopAckAt(stopAt);
        worker()->upgrade(writeFile(QStringLiteral("stop.bin"), randomImage(size, 3)), 255);
        QVERIFY(waitForResults(1, 20000));
        settle();
        // Reported once, with the frame that got no acknowledgement.
        QCOMPARE(listener->results, QList<bool>{ false });
        QCOMPARE(failures(), (QList<QPair<receiver::UpgradeFailure, uint>>{
                                 {receiver::UpgradeFailure::NoAcknowledgement, uint(stopAt)}}));
        // Frames 0..stopAt went out once each; no frame is re-sent, none follows.
        QCOMPARE(sensor->upgradeFramesReceived(), stopAt + 1);
        QCOMPARE(sensor->receivedCount(), size_t(stopAt + 1) * 255);
        // Progress for the data frames that were acknowledged only.
        QCOMPARE(listener->progress, progressFor(qMax(stopAt - 1, 0), total));
        QVERIFY(parserAttached(*harness));
        sensor->setStreamDuringUpgrade(true);   // the sensor is still waiting for the image
        QVERIFY(streamResumes(*sensor, *harness));
    }

    void wrongAcknowledgement()
    {
        worker()->setProtocolTiming(noAnswerTiming());
        sensor->setUpgradeWrongAck(true);
        worker()->upgrade(writeFile(QStringLiteral("wrong.bin"), randomImage(1000, 4)), 255);
        QVERIFY(waitForResults(1, 20000));
        settle();
        QCOMPARE(listener->results, QList<bool>{ false });
        QCOMPARE(failures(), (QList<QPair<receiver::UpgradeFailure, uint>>{
                                 {receiver::UpgradeFailure::NoAcknowledgement, 0u}}));
        QCOMPARE(sensor->upgradeFramesReceived(), 1);   // only the header
        QVERIFY(parserAttached(*harness));
    }

    // The device vanishes while the transfer waits for an acknowledgement.
    // Its hung-up line makes every wait return at once with an error: a read
    // error, or a resource error when the thread's errno says EIO (QSerialPort
    // takes errno for the reason of a read that brings nothing). Either ends
    // the wait at once, with one failure, not after the frame's bound.
    void portErrorEndsWait_data()
    {
        QTest::addColumn<int>("errnoBefore");
        QTest::newRow("read error") << 0;
        QTest::newRow("resource error") << int(EIO);
    }

    void portErrorEndsWait()
    {
        QFETCH(int, errnoBefore);
        worker()->setProtocolTiming(endlessTiming());
        sensor->setUpgradeFault(3, sim::UpgradeFault::Vanish);
        const QString path = writeFile(QStringLiteral("vanish.bin"), randomImage(249 * 10, 9));
        receiver *w = worker();
        QElapsedTimer clock;
        clock.start();
        // Called in the worker's thread directly, so that nothing but the
        // transfer runs between setting errno and the wait.
        harness->inWorker([&] {
            errno = errnoBefore;
            w->slot_do_cmd_id_upgrade(path, 255);
        });
        const qint64 took = clock.elapsed();
        QVERIFY2(took < 10000, qPrintable(QStringLiteral("the transfer took %1 ms").arg(took)));
        settle();
        QCOMPARE(listener->results, QList<bool>{ false });
        QCOMPARE(failures(), (QList<QPair<receiver::UpgradeFailure, uint>>{{receiver::UpgradeFailure::PortLost, 3u}}));
        QCOMPARE(sensor->upgradeFramesReceived(), 4);   // frames 0..3, the last one unanswered
        QVERIFY(parserAttached(*harness));
    }

    // A cancel (the window closing) stops the transfer that waits for an
    // acknowledgement and those queued behind it, each with one failure;
    // a transfer started after it runs as usual.
    void cancelEndsRunningAndQueuedTransfers()
    {
        worker()->setProtocolTiming(endlessTiming());
        sensor->setUpgradeFault(5, sim::UpgradeFault::StopAck);
        const QString first = writeFile(QStringLiteral("first.bin"), randomImage(249 * 10, 10));
        const QString second = writeFile(QStringLiteral("second.bin"), randomImage(249 * 3, 11));
        worker()->upgrade(first, 255);
        worker()->upgrade(second, 255);
        // Frame 5 is in and will never be acknowledged: the first transfer
        // waits for it, the second is queued.
        QVERIFY(sensor->waitForUpgradeFrames(6, 10000));
        worker()->cancelUpgrade();
        QVERIFY2(waitForResults(2, 10000), "the cancel was not seen within the wait");
        settle();
        QCOMPARE(listener->results, (QList<bool>{ false, false }));
        QCOMPARE(failures(), (QList<QPair<receiver::UpgradeFailure, uint>>{
                                 {receiver::UpgradeFailure::Cancelled, 5u}, {receiver::UpgradeFailure::Cancelled, 0u}}));
        // Nothing after frame 5, and not a byte of the second transfer.
        QCOMPARE(sensor->receivedCount(), size_t(6 * 255));
        QCOMPARE(listener->progress, progressFor(4, 10));
        QVERIFY(parserAttached(*harness));

        sensor->setUpgradeFault(-1, sim::UpgradeFault::None);
        const QByteArray third = randomImage(249 * 3, 12);
        worker()->upgrade(writeFile(QStringLiteral("third.bin"), third), 255);
        QVERIFY(waitForResults(3, 20000));
        QCOMPARE(listener->results, (QList<bool>{ false, false, true }));
        QCOMPARE(toBytes(sensor->upgradeImage()), third);
        QVERIFY(streamResumes(*sensor, *harness));
    }

    void missingFile()
    {
        expectRefused(dir->filePath(QStringLiteral("no-such-file.bin")), 255);
    }

    void refusedFrameLength_data()
    {
        QTest::addColumn<uint>("length");
        QTest::newRow("7") << 7u;
        QTest::newRow("0") << 0u;
        QTest::newRow("256") << 256u;
        QTest::newRow("65536 + 255") << 65791u;
    }

    void refusedFrameLength()
    {
        QFETCH(uint, length);
        expectRefused(writeFile(QStringLiteral("small.bin"), randomImage(100, 5)), length);
    }

    void refusedTooManyFrames()
    {
        // 65536 frames of 2 bytes do not fit the 16-bit frame index.
        expectRefused(writeFile(QStringLiteral("big.bin"), randomImage(131071, 6)), 8);
    }

    void refusedHugeFileWithoutReadingIt()
    {
        // A sparse 8 GiB file: refused from its size, never read.
        const QString path = dir->filePath(QStringLiteral("huge.bin"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (!f.resize(qint64(8) << 30))
            QSKIP("no sparse files here");
        f.close();
        expectRefused(path, 255);
    }

    void refusedDirectory()
    {
        expectRefused(dir->path(), 255);
    }

    void refusedFifo()
    {
        // Opening a fifo for reading would block until a writer appears.
        const QString path = dir->filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        expectRefused(path, 255);
    }

    void refusedUnreadable()
    {
        QString path;
        if (::geteuid() != 0) {
            path = writeFile(QStringLiteral("secret.bin"), randomImage(100, 7));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        } else {
            // Root reads every ordinary file; a write-only kernel setting
            // refuses even root.
            path = QStringLiteral("/proc/sys/vm/drop_caches");
            QFile probe(path);
            if (!QFileInfo(path).isFile() || probe.open(QIODevice::ReadOnly))
                QSKIP("no file here that refuses to be read");
        }
        expectRefused(path, 255);
    }

    void closedPort()
    {
        QVERIFY(worker()->closePort());
        expectRefused(writeFile(QStringLiteral("closed.bin"), randomImage(1000, 8)), 255);
    }
};

QTEST_GUILESS_MAIN(tst_upgrade_transfer)
#include "tst_upgrade_transfer.moc"
