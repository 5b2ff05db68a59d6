// The firmware transfer run by a worker in its own thread against the
// simulated sensor on a pseudo-terminal: the image the sensor reassembles,
// progress, the acknowledgement bound, and the images that are refused.

#include "simsensor.h"
#include "workerharness.h"
#include "worker_probe.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

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
        connect(worker, &receiver::signalUpgradeResult, this, &TransferListener::onResult);
        connect(worker, &receiver::sigUpdateProcessbar, this, &TransferListener::onProgress);
    }
    QList<bool> results;
    QList<float> progress;

public slots:
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

    // A refused or failed start: one false result and not a byte on the line.
    void expectRefused(const QString &path, unsigned length)
    {
        worker()->upgrade(path, length);
        QVERIFY(waitForResults(1, 10000));
        QTest::qWait(200);   // anything written would have reached the sensor
        QCOMPARE(listener->results, QList<bool>{ false });
        QCOMPARE(sensor->receivedCount(), size_t(0));
        QVERIFY(parserAttached(*harness));
    }

private slots:
    void init()
    {
        dir = new QTemporaryDir;
        QVERIFY(dir->isValid());
        sensor = new sim::SimSensor;
        QVERIFY(sensor->start(100));
        harness = new WorkerHarness;
        listener = new TransferListener(worker());
        QVERIFY(worker()->openPort(QString::fromStdString(sensor->devicePath()), 115200));
        QVERIFY(QTest::qWaitFor([&] { return !harness->collector()->batches.isEmpty(); }, 10000));
        sensor->clearReceived();
    }

    void cleanup()
    {
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

    void images_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<uint>("length");
        QTest::addColumn<int>("frames");
        QTest::newRow("1000, serial") << 1000 << 255u << 5;
        QTest::newRow("996, serial") << 996 << 255u << 4;
        QTest::newRow("empty, serial") << 0 << 255u << 0;
        QTest::newRow("1000, CAN") << 1000 << 8u << 500;
        QTest::newRow("996, CAN") << 996 << 8u << 498;
        QTest::newRow("empty, CAN") << 0 << 8u << 0;
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

        worker()->upgrade(path, length);
        QVERIFY(waitForResults(1));
        QCOMPARE(listener->results, QList<bool>{ true });

        // Header and data frames, each written once at the full length.
        QVERIFY(QTest::qWaitFor([&] { return sensor->upgradeFramesReceived() == frames + 1; }, 5000));
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
        QVERIFY(QTest::qWaitFor([&] { return toBytes(sensor->upgradeImage()) == second; }, 5000));
        QVERIFY(!sensor->upgradeError());
    }

    // The sensor stops acknowledging: one false result within the bound,
    // whether it goes quiet or keeps streaming measurement frames.
    void ackBound_data()
    {
        QTest::addColumn<bool>("streaming");
        QTest::newRow("streaming on") << true;
        QTest::newRow("quiet line") << false;
    }

    void ackBound()
    {
        QFETCH(bool, streaming);
        sensor->setStreamDuringUpgrade(streaming);
        sensor->setUpgradeStopAckAt(3);
        worker()->upgrade(writeFile(QStringLiteral("stop.bin"), randomImage(249 * 10, 3)), 255);
        QVERIFY(waitForResults(1, 20000));
        QCOMPARE(listener->results, QList<bool>{ false });
        // Frames 0..3 went out once each; no frame is re-sent.
        QCOMPARE(sensor->upgradeFramesReceived(), 4);
        QCOMPARE(sensor->receivedCount(), size_t(4 * 255));
        // With ten frames every frame reports; frames 1 and 2 were taken.
        QCOMPARE(listener->progress, (QList<float>{ float(1 / 10.0), float(2 / 10.0) }));
        // Reported once: nothing follows.
        QTest::qWait(500);
        QCOMPARE(listener->results.size(), 1);
        QVERIFY(parserAttached(*harness));
        sensor->setStreamDuringUpgrade(true);   // the sensor is still waiting for the image
        QVERIFY(streamResumes(*sensor, *harness));
    }

    void wrongAcknowledgement()
    {
        sensor->setUpgradeWrongAck(true);
        worker()->upgrade(writeFile(QStringLiteral("wrong.bin"), randomImage(1000, 4)), 255);
        QVERIFY(waitForResults(1, 20000));
        QCOMPARE(listener->results, QList<bool>{ false });
        QCOMPARE(sensor->upgradeFramesReceived(), 1);   // only the header
        QVERIFY(parserAttached(*harness));
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
