// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated sensor answers as the viewer expects a sensor to: checked from
// the other end of its pty with plain POSIX reads and writes, no Qt port.

#include "sim_pacing.h"
#include "simsensor.h"
#include "testutil.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using sim::Bytes;

Bytes toBytes(const QByteArray &a)
{
    return Bytes(a.begin(), a.end());
}

QByteArray toQt(const Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), static_cast<int>(b.size()));
}

// Command frame with the additive checksum.
QByteArray commandFrame(const QByteArray &body)
{
    QByteArray f = body;
    unsigned s = 0;
    for (char c : f)
        s += static_cast<unsigned char>(c);
    f.append(static_cast<char>(s & 0xFF));
    return f;
}

bool frameChecksumOk(const QByteArray &d, int pos)
{
    unsigned s = 0;
    for (int i = 0; i < 8; ++i)
        s += static_cast<unsigned char>(d[pos + i]);
    return (s & 0xFF) == static_cast<unsigned char>(d[pos + 8]);
}

uint16_t frameDistance(const QByteArray &d, int pos)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(d[pos + 3]) << 8 | static_cast<unsigned char>(d[pos + 2]));
}

// Bytes the simulator writes on request (writeRaw) to close a stretch of the
// stream: it goes out after everything the simulator had queued before, so
// what precedes it on the line is exactly that. It cannot be taken for a
// frame, an answer or a text line.
const QByteArray kMarker("\xF7<zn84 marker>\xF7", 15);

// The viewer's end of the line, opened like a serial device.
class Line
{
public:
    explicit Line(const std::string &path)
    {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~Line()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool isOpen() const { return fd >= 0; }

    void write(const QByteArray &bytes)
    {
        const ssize_t n = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
        QVERIFY(n == bytes.size());
    }

    // Reads until `done(all)` holds or `ms` milliseconds pass (each read
    // waits in poll() for the bytes to come).
    template <typename Pred> QByteArray readUntil(Pred done, int ms)
    {
        QByteArray all;
        QElapsedTimer t;
        t.start();
        while (!done(all) && t.elapsed() < ms)
            readSome(all, static_cast<int>(ms - t.elapsed()));
        return all;
    }

    QByteArray readUntilContains(const QByteArray &needle, int ms)
    {
        return readUntil([&](const QByteArray &a) { return a.contains(needle); }, ms);
    }

    // Everything the simulator has written or queued so far: it writes the
    // marker behind it, and the bytes before the marker are returned. What
    // comes after the marker is kept for the next read.
    QByteArray upToMarker(sim::SimSensor &s)
    {
        s.writeRaw(toBytes(kMarker));
        const QByteArray all = readUntilContains(kMarker, 5000);
        const int at = all.indexOf(kMarker);
        if (at < 0) {
            QTest::qFail("the marker did not come back", __FILE__, __LINE__);
            return all;
        }
        pending = all.mid(at + kMarker.size());
        return all.left(at);
    }

    // Discards what the simulator has written or queued so far (the stream
    // keeps coming afterwards).
    void drain(sim::SimSensor &s) { upToMarker(s); }

    // With the simulator's clock stopped: moves it on by `ms` in steps of
    // `stepUs` microseconds and reads all that each step brings before the
    // next (so the line never backs up, however slow this reader is); returns
    // every byte written during that time.
    QByteArray runFor(sim::SimSensor &s, int ms, int stepUs = 10000)
    {
        QByteArray all;
        const long long total = ms * 1000LL;
        for (long long t = 0; t < total; t += stepUs) {
            s.advanceClock(std::min<long long>(stepUs, total - t));
            all += upToMarker(s);
        }
        return all;
    }

    // One poll + read; returns bytes read, -1 on hangup or error.
    int readSome(QByteArray &into, int timeoutMs)
    {
        if (!pending.isEmpty()) {
            const int n = pending.size();
            into += pending;
            pending.clear();
            return n;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, std::max(0, timeoutMs)) <= 0)
            return 0;
        char buf[65536];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, static_cast<int>(n));
            return static_cast<int>(n);
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return 0;
        return -1;
    }

    int fd = -1;
    QByteArray pending;
};

// Splits a clean binary stream into frames starting at the first header.
QVector<int> frameStarts(const QByteArray &d)
{
    QVector<int> starts;
    int pos = d.indexOf(QByteArray("\x59\x59", 2));
    while (pos >= 0 && pos + 9 <= d.size()) {
        starts.append(pos);
        pos += 9;
    }
    return starts;
}

} // namespace

class tst_simsensor : public QObject
{
    Q_OBJECT

private slots:
    void linkAndDevice();
    void stopRemovesLink();
    void linkOnlyInPrivateFolder_data();
    void linkOnlyInPrivateFolder();
    void streamCarriesValidFrames_data();
    void streamCarriesValidFrames();
    void fixedDistance();
    void movingDistanceStaysInRange();
    void vibrationIsASineAtTheFrameRate_data();
    void vibrationIsASineAtTheFrameRate();
    void rateIsPaced_data();
    void rateIsPaced();
    void pacingInClockTime_data();
    void pacingInClockTime();
    void restartBetweenClockReadings();
    void everyFrameSentOrDropped_data();
    void everyFrameSentOrDropped();
    void badChecksumsAndStrayBytes();
    void splitFramesStayIntact();
    void pauseAndRateZeroStopTheStream();
    void writeRawIsExact();
    void receivedRecordsEverything();

    void answersCommands_data();
    void answersCommands();
    void fullVersionReply();
    void versionIsSettable();
    void triggerSendsOneFrame();
    void answerAmidStream();
    void incompleteFrameIsDropped();
    void frameRateCommandChangesRate();
    void outputModeStopsAndResumes();
    void asciiOutputFormat();
    void answerModes_data();
    void answerModes();
    void splitAnswerComesInTwoParts();
    void lateAnswer();
    void surroundedAnswer();

    void modbusNeedsEnabling();
    void modbusReads_data();
    void modbusReads();
    void modbusWritesEchoed_data();
    void modbusWritesEchoed();
    void modbusAddressChanges();
    void modbusOtherAddressIgnored();
    void modbusDisable();
    void modbusFaults();

    void upgradeReassembles_data();
    void upgradeReassembles();
    void upgradeLargeImage();
    void upgradeStopsAcknowledging();
    void upgradeWrongAck();
    void upgradeOutOfOrder();

    void unplugHangsUpTheLine();
    void program();
};

// ---- pty, link and stream ------------------------------------------------

void tst_simsensor::linkAndDevice()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    QVERIFY(s.running());
    const std::string dev = s.devicePath();
    const std::string link = s.linkPath();
    QVERIFY(QString::fromStdString(dev).startsWith("/dev/pts/"));
    QVERIFY(QString::fromStdString(link).startsWith(QString::fromStdString(sim::simulatorDirectory()) + "/simulated-sensor-"));
    char target[256] = {};
    QVERIFY(readlink(link.c_str(), target, sizeof target - 1) > 0);
    QCOMPARE(std::string(target), dev);
    const std::vector<std::string> listed = sim::runningSimulators();
    QVERIFY(std::find(listed.begin(), listed.end(), link) != listed.end());
    // The folder is the user's own and no one else may write it.
    struct stat st;
    QCOMPARE(lstat(sim::simulatorDirectory().c_str(), &st), 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(st.st_uid, geteuid());
    QCOMPARE(int(st.st_mode & 077 & ~055), 0);

    // The link opens like the device itself and carries the stream.
    Line line(link);
    QVERIFY(line.isOpen());
    const QByteArray d = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 3; }, 5000);
    QVERIFY(frameStarts(d).size() >= 3);
}

void tst_simsensor::stopRemovesLink()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    const std::string link = s.linkPath();
    s.stop();
    QVERIFY(!s.running());
    struct stat st;
    QCOMPARE(lstat(link.c_str(), &st), -1);
    const std::vector<std::string> listed = sim::runningSimulators();
    QVERIFY(std::find(listed.begin(), listed.end(), link) == listed.end());
}

void tst_simsensor::linkOnlyInPrivateFolder_data()
{
    // The folder named by ZN84_SIM_DIR: made by the simulator, or there
    // already with a mode, or a link to a private folder.
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("linked");
    QTest::newRow("made by the simulator") << "missing" << 0 << true;
    QTest::newRow("private 0700") << "present" << 0700 << true;
    QTest::newRow("readable by all 0755") << "present" << 0755 << true;
    QTest::newRow("group-writable 0770") << "present" << 0770 << false;
    QTest::newRow("world-writable 0777") << "present" << 0777 << false;
    QTest::newRow("sticky 1777") << "present" << 01777 << false;
    QTest::newRow("a link to a private folder") << "symlink" << 0700 << false;
}

void tst_simsensor::linkOnlyInPrivateFolder()
{
    QFETCH(QString, folder);
    QFETCH(int, mode);
    QFETCH(bool, linked);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QByteArray dir = QFile::encodeName(scratch.path() + "/links");
    if (folder == QLatin1String("present")) {
        QCOMPARE(mkdir(dir.constData(), 0700), 0);
        QCOMPARE(chmod(dir.constData(), mode_t(mode)), 0);
    } else if (folder == QLatin1String("symlink")) {
        const QByteArray real = QFile::encodeName(scratch.path() + "/real");
        QCOMPARE(mkdir(real.constData(), mode_t(mode)), 0);
        QCOMPARE(symlink(real.constData(), dir.constData()), 0);
    }
    const QByteArray saved = qgetenv("ZN84_SIM_DIR");
    const bool wasSet = qEnvironmentVariableIsSet("ZN84_SIM_DIR");
    auto restore = qScopeGuard([&] {
        if (wasSet)
            qputenv("ZN84_SIM_DIR", saved);
        else
            qunsetenv("ZN84_SIM_DIR");
    });
    qputenv("ZN84_SIM_DIR", dir);
    QCOMPARE(sim::simulatorDirectory(), dir.toStdString());

    sim::SimSensor s;
    QVERIFY(s.start(100));
    // The simulator works either way; only the link depends on the folder.
    QVERIFY(QString::fromStdString(s.devicePath()).startsWith("/dev/pts/"));
    const std::string link = s.linkPath();
    QCOMPARE(!link.empty(), linked);
    const std::vector<std::string> listed = sim::runningSimulators();
    if (linked) {
        QVERIFY(QString::fromStdString(link).startsWith(QString::fromLatin1(dir) + "/simulated-sensor-"));
        QCOMPARE(listed, std::vector<std::string>{link});
        struct stat st;
        QCOMPARE(lstat(dir.constData(), &st), 0);
        QCOMPARE(st.st_mode & 022, mode_t(0));
        if (folder == QLatin1String("missing"))
            QCOMPARE(st.st_mode & 07777, mode_t(0700));
    } else {
        QVERIFY(listed.empty());
        QVERIFY(QDir(QString::fromLatin1(dir)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).isEmpty());
    }
}

void tst_simsensor::streamCarriesValidFrames_data()
{
    QTest::addColumn<int>("fps");
    QTest::newRow("10") << 10;
    QTest::newRow("100") << 100;
    QTest::newRow("11111") << 11111;
}

void tst_simsensor::streamCarriesValidFrames()
{
    QFETCH(int, fps);
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(fps));
    Line line(s.devicePath());
    line.drain(s);
    // One second of the simulator's time: back to back 9-byte frames, each
    // with a good checksum, as many as the rate says.
    const QByteArray d = line.runFor(s, 1000);
    QCOMPARE(d.indexOf(QByteArray("\x59\x59", 2)), 0);
    QCOMPARE(d.size() % 9, 0);
    int frames = 0;
    for (int pos = 0; pos + 9 <= d.size(); pos += 9, ++frames) {
        QCOMPARE(d[pos], char(0x59));
        QCOMPARE(d[pos + 1], char(0x59));
        QVERIFY2(frameChecksumOk(d, pos), qPrintable(d.mid(pos, 9).toHex()));
    }
    QVERIFY2(std::abs(frames - fps) <= 1, qPrintable(QString::number(frames)));
}

void tst_simsensor::fixedDistance()
{
    sim::SimSensor s;
    s.setDistanceCm(300);
    QVERIFY(s.start(200));
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray d = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 5; }, 5000);
    const QVector<int> starts = frameStarts(d);
    QVERIFY(starts.size() >= 5);
    for (int pos : starts) {
        QCOMPARE(d.mid(pos, 4), hexBytes("59 59 2C 01"));
        QVERIFY(frameChecksumOk(d, pos));
    }
    s.setDistanceCm(65535);
    line.drain(s);
    const QByteArray e = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 2; }, 5000);
    const QVector<int> more = frameStarts(e);
    QVERIFY(!more.isEmpty());
    QCOMPARE(frameDistance(e, more.first()), uint16_t(65535));
    QCOMPARE(frameDistance(e, more.last()), uint16_t(65535));
}

void tst_simsensor::movingDistanceStaysInRange()
{
    // Ten seconds of the simulator's time: half a period of the moving target.
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray d = line.runFor(s, 10000, 100000);
    const QVector<int> starts = frameStarts(d);
    QVERIFY2(starts.size() >= 999, qPrintable(QString::number(starts.size())));
    uint16_t lo = 65535, hi = 0;
    for (int pos : starts) {
        const uint16_t cm = frameDistance(d, pos);
        lo = std::min(lo, cm);
        hi = std::max(hi, cm);
        QVERIFY(cm >= 100 && cm <= 4000);
    }
    QVERIFY2(hi - lo > 1000, qPrintable(QString("the target should move: %1..%2").arg(lo).arg(hi)));
}

void tst_simsensor::vibrationIsASineAtTheFrameRate_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("amplitudeCm");
    // How far the simulator's clock moves at once: a step of a second is
    // the simulator stalled on a loaded machine (it makes a quarter second
    // of frames then, not the whole second), and the sine goes on unbroken
    // from its last frame, as a sensor's signal would.
    QTest::addColumn<int>("stepUs");
    QTest::addColumn<int>("runMs");
    QTest::newRow("1000/s, 37.5 Hz, 20 cm") << 1000 << 37.5 << 20.0 << 10000 << 2000;
    QTest::newRow("11111/s, 1234.5 Hz, 50 cm") << 11111 << 1234.5 << 50.0 << 10000 << 2000;
    QTest::newRow("100/s, 3 Hz, 5 cm") << 100 << 3.0 << 5.0 << 10000 << 2000;
    QTest::newRow("1000/s, 37.5 Hz, stalls of a second") << 1000 << 37.5 << 20.0 << 1000000 << 5000;
    QTest::newRow("11111/s, 1234.5 Hz, stalls of a second") << 11111 << 1234.5 << 50.0 << 1000000 << 5000;
}

void tst_simsensor::vibrationIsASineAtTheFrameRate()
{
    // Samples of a sine taken one frame time apart obey
    // x[k-1] + x[k+1] = 2 cos(w) x[k] about the centre, w = 2 pi hz / fps;
    // rounding to whole centimetres moves each side by at most 1 cm. A sine
    // of another frequency, or one taken at other times than the frames',
    // misses this by about the amplitude.
    QFETCH(int, fps);
    QFETCH(double, hz);
    QFETCH(double, amplitudeCm);
    QFETCH(int, stepUs);
    QFETCH(int, runMs);
    const int centre = 500;
    sim::SimSensor s;
    s.setDistanceCm(centre);
    s.setVibration(hz, amplitudeCm);
    s.useManualClock();
    QVERIFY(s.start(fps));
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray d = line.runFor(s, runMs, stepUs);
    const QVector<int> starts = frameStarts(d);
    QVERIFY2(starts.size() >= fps, qPrintable(QString::number(starts.size())));
    QVector<double> x;
    for (int pos : starts)
        x.append(frameDistance(d, pos) - centre);
    const double c = 2.0 * std::cos(2.0 * M_PI * hz / fps);
    double worst = 0.0;
    for (int k = 1; k + 1 < x.size(); ++k)
        worst = std::max(worst, std::abs(x[k - 1] + x[k + 1] - c * x[k]));
    QVERIFY2(worst <= 1.0 + std::abs(c) * 0.5 + 1e-9, qPrintable(QString::number(worst)));
    const auto range = std::minmax_element(x.begin(), x.end());
    QVERIFY2(*range.first >= -amplitudeCm - 0.5 && *range.first <= -amplitudeCm + 1.5,
             qPrintable(QString::number(*range.first)));
    QVERIFY2(*range.second <= amplitudeCm + 0.5 && *range.second >= amplitudeCm - 1.5,
             qPrintable(QString::number(*range.second)));

    // Off again: the fixed distance alone.
    s.setVibration(0, 0);
    line.drain(s);
    const QByteArray e = line.runFor(s, 100);
    const QVector<int> more = frameStarts(e);
    QVERIFY(!more.isEmpty());
    for (int pos : more)
        QCOMPARE(frameDistance(e, pos), uint16_t(centre));
}

void tst_simsensor::rateIsPaced_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("stepUs");
    QTest::newRow("50, 10 ms steps") << 50 << 10000;
    QTest::newRow("1000, 10 ms steps") << 1000 << 10000;
    QTest::newRow("1000, 1.7 ms steps") << 1000 << 1700;
    QTest::newRow("11111, 10 ms steps") << 11111 << 10000;
    QTest::newRow("11111, 50 ms steps") << 11111 << 50000;
}

void tst_simsensor::rateIsPaced()
{
    QFETCH(int, fps);
    QFETCH(int, stepUs);
    // The frames follow the simulator's clock: so many per second however
    // the time passes (in small or uneven steps), and what is counted as
    // sent is what reaches the line.
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(fps));
    Line line(s.devicePath());
    line.drain(s);
    const uint64_t sent0 = s.framesSent();
    const QByteArray half = line.runFor(s, 500, stepUs);
    const QByteArray rest = line.runFor(s, 500, stepUs);
    const int firstHalf = frameStarts(half).size();
    const int whole = frameStarts(half + rest).size();
    QVERIFY2(std::abs(firstHalf - fps / 2) <= 1, qPrintable(QString::number(firstHalf)));
    QVERIFY2(std::abs(whole - fps) <= 1, qPrintable(QString::number(whole)));
    QCOMPARE(int(s.framesSent() - sent0), whole);
}

void tst_simsensor::pacingInClockTime_data()
{
    using namespace std::chrono;
    QTest::addColumn<qint64>("elapsedNs");
    QTest::addColumn<int>("rate");
    QTest::addColumn<quint64>("frames");
    // A restart read the clock after the pass that paces did: no frame, and
    // nothing that converts a negative time into a count.
    QTest::newRow("1 us before the start") << qint64(-1000) << 1000 << quint64(0);
    QTest::newRow("a day before the start") << -qint64(duration_cast<nanoseconds>(hours(24)).count()) << 11111 << quint64(0);
    QTest::newRow("at the start") << qint64(0) << 11111 << quint64(0);
    QTest::newRow("rate 0") << qint64(1000000000) << 0 << quint64(0);
    QTest::newRow("negative rate") << qint64(1000000000) << -5 << quint64(0);
    // 1 / 11111 s is 90,000.9 ns.
    QTest::newRow("one frame's time less 1 ns") << qint64(90000) << 11111 << quint64(0);
    QTest::newRow("one frame's time at 11111") << qint64(90001) << 11111 << quint64(1);
    QTest::newRow("1 s at 11111") << qint64(1000000000) << 11111 << quint64(11111);
    QTest::newRow("1 s less 1 ns at 100") << qint64(999999999) << 100 << quint64(99);
    QTest::newRow("ten days at 11111") << qint64(duration_cast<nanoseconds>(hours(240)).count()) << 11111
                                       << quint64(240ULL * 3600ULL * 11111ULL);
    QTest::newRow("the clock's end at 11111") << std::numeric_limits<qint64>::max() << 11111
                                              << quint64(9223372036ULL * 11111ULL + 854775807ULL * 11111ULL / 1000000000ULL);
}

void tst_simsensor::pacingInClockTime()
{
    QFETCH(qint64, elapsedNs);
    QFETCH(int, rate);
    QFETCH(quint64, frames);
    using sim::pacing::Duration;
    const Duration elapsed = std::chrono::duration_cast<Duration>(std::chrono::nanoseconds(elapsedNs));
    QCOMPARE(quint64(sim::pacing::framesDue(elapsed, rate)), frames);
    if (rate <= 0) {
        QVERIFY(sim::pacing::dueAfter(1, rate) == Duration::max());
        return;
    }
    // Frame n falls due at the first tick at which n frames are due.
    for (const quint64 n : {quint64(1), frames, frames + 1}) {
        if (n == 0)
            continue;
        const Duration at = sim::pacing::dueAfter(n, rate);
        if (at == Duration::max())
            continue;   // beyond what the clock counts
        QVERIFY2(sim::pacing::framesDue(at, rate) >= n, qPrintable(QString::number(n)));
        QVERIFY2(sim::pacing::framesDue(at - Duration(1), rate) < n, qPrintable(QString::number(n)));
    }
}

// A command that restarts the pacing reads the clock after the pass that
// handles it did: the stream goes on at the new rate from the restart, no
// burst of frames and no end of the stream.
void tst_simsensor::restartBetweenClockReadings()
{
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    line.drain(s);
    s.setClockStep(1000);
    const QByteArray fps1000 = commandFrame(hexBytes("5A 06 03 E8 03"));
    line.write(fps1000);
    QVERIFY(s.waitForReceived(size_t(fps1000.size())));
    s.setClockStep(0);
    const QByteArray echo = line.upToMarker(s);
    const int at = echo.indexOf(fps1000);
    QVERIFY2(at >= 0, qPrintable(echo.toHex()));
    QVERIFY2(frameStarts(echo.left(at)).size() <= 2, qPrintable(echo.toHex()));
    // Until the steps stop, each pass of the simulator moves its clock on by
    // a few milliseconds, a frame each at the new rate: a test thread that a
    // loaded machine keeps from stopping them at once lets a pass or two run
    // (a wake-up still pending). Those frames come whole, and a few at most:
    // a burst would be the frames of all the time since the stream began.
    const QByteArray after = echo.mid(at + fps1000.size());
    QCOMPARE(after.size() % 9, 0);
    for (int pos = 0; pos < after.size(); pos += 9)
        QVERIFY2(after.mid(pos, 2) == QByteArray("\x59\x59", 2) && frameChecksumOk(after, pos), qPrintable(after.toHex()));
    QVERIFY2(after.size() / 9 <= 10, qPrintable(after.toHex()));
    QCOMPARE(s.rate(), 1000);
    const int frames = frameStarts(line.runFor(s, 1000)).size();
    QVERIFY2(frames >= 995 && frames <= 1005, qPrintable(QString::number(frames)));
}

void tst_simsensor::everyFrameSentOrDropped_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("unreadMs");
    // A reader that pauses for less than the stall limit, with less than the
    // line and the backlog hold, loses nothing; one that takes nothing for
    // longer than both hold loses what could not be put on the line.
    QTest::newRow("11111, reader away 0.3 s") << 11111 << 300;
    QTest::newRow("11111, reader away 2 s") << 11111 << 2000;
    QTest::newRow("1000, reader away 20 s") << 1000 << 20000;
}

// Every frame made is either on the line, in order and complete (the frame
// log is exactly what the reader gets), or counted as dropped: nothing that
// was put on the line is taken away again.
void tst_simsensor::everyFrameSentOrDropped()
{
    QFETCH(int, fps);
    QFETCH(int, unreadMs);
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(fps));
    Line line(s.devicePath());
    line.drain(s);
    s.setCountingDistance(1000);
    s.setFrameLog(true);
    const uint64_t dropped0 = s.framesDropped();
    for (int t = 0; t < unreadMs; t += 10)
        s.advanceClock(10000);
    QByteArray got = line.upToMarker(s);
    got += line.runFor(s, 200);
    QVector<uint16_t> read;
    for (const int pos : frameStarts(got))
        read.append(frameDistance(got, pos));
    const std::vector<uint16_t> sent = s.frameLog();
    const std::vector<uint16_t> dropped = s.dropLog();
    QVERIFY(read == QVector<uint16_t>(sent.begin(), sent.end()));
    QCOMPARE(s.framesDropped() - dropped0, uint64_t(dropped.size()));
    // Each logged frame's number tells its place among the frames made: the
    // count's step from frame to frame, the dropped frames included.
    const std::vector<uint64_t> numbers = s.frameNumbers();
    QCOMPARE(numbers.size(), sent.size());
    for (size_t i = 1; i < sent.size(); ++i)
        QCOMPARE(numbers[i] - numbers[0], uint64_t(sent[i] - sent[0]));
    if (unreadMs < 1000)
        QCOMPARE(dropped.size(), size_t(0));
    else
        QVERIFY(!dropped.empty());
    // Sent and dropped together are every distance made, each once.
    std::vector<uint16_t> all(sent);
    all.insert(all.end(), dropped.begin(), dropped.end());
    std::sort(all.begin(), all.end());
    QVERIFY(!all.empty());
    for (size_t i = 0; i < all.size(); ++i)
        QCOMPARE(int(all[i]), 1000 + int(i));
}

void tst_simsensor::badChecksumsAndStrayBytes()
{
    sim::SimSensor s;
    sim::StreamFaults f;
    f.badChecksumShare = 0.3;
    f.strayByteShare = 0.3;
    s.setFaults(f);
    s.useManualClock();
    QVERIFY(s.start(1000));
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray d = line.runFor(s, 1000);
    int good = 0, bad = 0, stray = 0;
    int pos = d.indexOf(QByteArray("\x59\x59", 2));
    while (pos >= 0 && pos + 9 <= d.size()) {
        frameChecksumOk(d, pos) ? ++good : ++bad;
        if (pos + 11 > d.size())
            break;
        if (d[pos + 9] == char(0x59) && d[pos + 10] == char(0x59)) {
            pos += 9;
        } else {
            ++stray; // one byte that is never 0x59 before the next header
            QVERIFY(d[pos + 9] != char(0x59));
            QCOMPARE(d.mid(pos + 10, 2), QByteArray("\x59\x59", 2));
            pos += 10;
        }
    }
    QVERIFY2(good > 300 && bad > 100 && stray > 100,
             qPrintable(QString("%1 %2 %3").arg(good).arg(bad).arg(stray)));
    QCOMPARE(uint64_t(good), s.framesSent());
}

void tst_simsensor::splitFramesStayIntact()
{
    sim::SimSensor s;
    sim::StreamFaults f;
    f.splitFrames = true;
    s.setFaults(f);
    s.setDistanceCm(777);
    s.useManualClock();
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    line.drain(s);
    // Each millisecond of the simulator's time lets at most one piece out;
    // the marker behind it shows each piece as the simulator wrote it.
    QByteArray all;
    int pieces = 0;
    for (int ms = 0; ms < 600; ++ms) {
        s.advanceClock(1000);
        const QByteArray piece = line.upToMarker(s);
        if (piece.isEmpty())
            continue;
        ++pieces;
        QVERIFY2(piece.size() <= 11, qPrintable(piece.toHex()));
        all += piece;
    }
    // Small pieces, but together they are the same frames, back to back.
    const QVector<int> starts = frameStarts(all);
    QVERIFY(starts.size() >= 50);
    QCOMPARE(starts.first(), 0);
    QVERIFY2(pieces > starts.size(), qPrintable(QString("%1 pieces, %2 frames").arg(pieces).arg(starts.size())));
    for (int pos : starts) {
        QVERIFY(frameChecksumOk(all, pos));
        QCOMPARE(frameDistance(all, pos), uint16_t(777));
    }
}

void tst_simsensor::pauseAndRateZeroStopTheStream()
{
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(500));
    Line line(s.devicePath());
    s.pauseStream(true);
    line.drain(s);
    const uint64_t sent = s.framesSent();
    QVERIFY(line.runFor(s, 1000).isEmpty());
    QCOMPARE(s.framesSent(), sent);
    s.pauseStream(false);
    QCOMPARE(frameStarts(line.runFor(s, 100)).size(), 50);
    s.setRate(0);
    QCOMPARE(s.rate(), 0);
    line.drain(s);
    QVERIFY(line.runFor(s, 1000).isEmpty());
}

void tst_simsensor::writeRawIsExact()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray raw = hexBytes("00 59 59 2C 01 00 00 00 00 DF FF 59");
    s.writeRaw(toBytes(raw));
    QCOMPARE(line.upToMarker(s), raw);
}

void tst_simsensor::receivedRecordsEverything()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    const QByteArray junk = hexBytes("01 02 03 5A 04 02 60 FF 00");
    line.write(junk);
    QVERIFY(s.waitForReceived(size_t(junk.size())));
    QCOMPARE(toQt(s.received()), junk);
    s.clearReceived();
    QCOMPARE(s.receivedCount(), size_t(0));
}

// ---- command protocol ----------------------------------------------------

void tst_simsensor::answersCommands_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    // Echo acknowledgements.
    QTest::newRow("frame rate 100") << hexBytes("5A 06 03 64 00 C7") << hexBytes("5A 06 03 64 00 C7");
    QTest::newRow("output format BIN") << hexBytes("5A 05 05 01 65") << hexBytes("5A 05 05 01 65");
    QTest::newRow("baud 115200") << hexBytes("5A 08 06 00 C2 01 00 2B") << hexBytes("5A 08 06 00 C2 01 00 2B");
    QTest::newRow("output continuous") << hexBytes("5A 05 07 01 67") << hexBytes("5A 05 07 01 67");
    QTest::newRow("checksum on") << hexBytes("5A 05 08 01 68") << hexBytes("5A 05 08 01 68");
    // Status acknowledgements.
    QTest::newRow("soft reset") << hexBytes("5A 04 02 60") << hexBytes("5A 05 02 00 61");
    QTest::newRow("restore default") << hexBytes("5A 04 10 6E") << hexBytes("5A 05 10 00 6F");
    QTest::newRow("save settings") << hexBytes("5A 04 11 6F") << hexBytes("5A 05 11 00 70");
    QTest::newRow("transport") << commandFrame(hexBytes("5A 05 45 01")) << hexBytes("5A 05 45 00 A4");
    QTest::newRow("gain") << commandFrame(hexBytes("5A 05 4E 01")) << hexBytes("5A 05 4E 00 AD");
    QTest::newRow("can send id") << hexBytes("5A 08 50 FF FF FF 1F CE") << hexBytes("5A 05 50 00 AF");
    QTest::newRow("can receive id") << commandFrame(hexBytes("5A 08 51 03 00 00 00")) << hexBytes("5A 05 51 00 B0");
    QTest::newRow("can baud 500k") << hexBytes("5A 08 52 20 A1 07 00 7C") << hexBytes("5A 05 52 00 B1");
    QTest::newRow("custom") << commandFrame(hexBytes("5A 05 5A 01")) << hexBytes("5A 05 5A 00 B9");
    QTest::newRow("can frame type") << commandFrame(hexBytes("5A 05 5D 01")) << hexBytes("5A 05 5D 00 BC");
    QTest::newRow("io level") << commandFrame(hexBytes("5A 05 61 00")) << hexBytes("5A 05 61 00 C0");
    QTest::newRow("io delay") << hexBytes("5A 08 62 64 00 C8 00 F0") << hexBytes("5A 05 62 00 C1");
    QTest::newRow("io threshold") << commandFrame(hexBytes("5A 08 63 64 00 C8 00")) << hexBytes("5A 05 63 00 C2");
    QTest::newRow("fog") << commandFrame(hexBytes("5A 05 64 01")) << hexBytes("5A 05 64 00 C3");
    QTest::newRow("offset -10") << hexBytes("5A 06 69 F6 FF BE") << hexBytes("5A 05 69 00 C8");
    QTest::newRow("dac map") << commandFrame(hexBytes("5A 05 71 01")) << hexBytes("5A 05 71 00 D0");
    QTest::newRow("modbus enable") << hexBytes("5A 05 6F 00 CE") << hexBytes("5A 05 6F 00 CE");
    QTest::newRow("modbus address 2") << hexBytes("5A 05 70 02 D1") << hexBytes("5A 05 70 00 CF");
    // Replies.
    QTest::newRow("version") << hexBytes("5A 04 01 5F") << hexBytes("5A 07 01 03 00 02 67");
}

void tst_simsensor::answersCommands()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(request);
    QVERIFY(s.waitForReceived(size_t(request.size())));
    // The whole answer and nothing else.
    QCOMPARE(line.upToMarker(s).toHex(), answer.toHex());
    QCOMPARE(toQt(s.received()), request);
}

void tst_simsensor::fullVersionReply()
{
    sim::SimSensor s;
    s.setFullVersion("ZN84 V1.2.3");
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("5A 04 14 72"));
    QVERIFY(s.waitForReceived(4));
    const QByteArray got = line.upToMarker(s);
    QCOMPARE(got.size(), 30);
    QCOMPARE(got.left(3), hexBytes("5A 1E 14"));
    QCOMPARE(got.mid(3, 11), QByteArray("ZN84 V1.2.3"));
    QCOMPARE(got.mid(14, 15), QByteArray(15, '\0'));
    QCOMPARE(got.right(1), commandFrame(got.left(29)).right(1));
}

void tst_simsensor::versionIsSettable()
{
    sim::SimSensor s;
    s.setVersion(0x04, 0x05, 0x06);
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("5A 04 01 5F"));
    QVERIFY(s.waitForReceived(4));
    QCOMPARE(line.upToMarker(s), commandFrame(hexBytes("5A 07 01 04 05 06")));
}

void tst_simsensor::triggerSendsOneFrame()
{
    sim::SimSensor s;
    s.setDistanceCm(1234);
    s.useManualClock();
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    line.runFor(s, 100);
    // Trigger mode: the stream stops, a trigger brings exactly one frame.
    line.write(hexBytes("5A 05 07 00 66"));
    QVERIFY(s.waitForReceived(5));
    QVERIFY(line.upToMarker(s).endsWith(hexBytes("5A 05 07 00 66")));
    QVERIFY(!s.outputEnabled());
    QVERIFY(line.runFor(s, 1000).isEmpty());
    line.write(hexBytes("5A 04 04 62"));
    QVERIFY(s.waitForReceived(9));
    const QByteArray got = line.upToMarker(s);
    QCOMPARE(got.size(), 9);
    QCOMPARE(frameDistance(got, 0), uint16_t(1234));
    QVERIFY(frameChecksumOk(got, 0));
    QVERIFY(line.runFor(s, 1000).isEmpty());
}

void tst_simsensor::answerAmidStream()
{
    // A command that comes while the stream runs: its answer goes out after
    // the frames already made and before the next ones, never inside a frame.
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(2000));
    Line line(s.devicePath());
    line.drain(s);
    s.advanceClock(10000);                 // 20 frames on their way
    line.write(hexBytes("5A 04 11 6F"));
    QVERIFY(s.waitForReceived(4));
    s.advanceClock(10000);                 // 20 more
    const QByteArray got = line.upToMarker(s);
    const QByteArray ack = hexBytes("5A 05 11 00 70");
    const int at = got.indexOf(ack);
    QCOMPARE(at, 20 * 9);
    QCOMPARE(got.size(), 40 * 9 + 5);
    for (int pos : frameStarts(got.left(at)))
        QVERIFY(frameChecksumOk(got, pos));
    QCOMPARE(frameStarts(got.left(at)).size(), 20);
    QCOMPARE(frameStarts(got.mid(at + 5)).size(), 20);
    QVERIFY(got.mid(at + 5).startsWith(QByteArray("\x59\x59", 2)));
    QVERIFY(frameChecksumOk(got, at + 5));
}

void tst_simsensor::incompleteFrameIsDropped()
{
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    // A header with a length that never completes, then a real command after
    // the idle limit: the sensor resynchronises and answers the command.
    line.write(hexBytes("5A 40 02"));
    QVERIFY(s.waitForReceived(3));
    s.advanceClock(150000);
    line.write(hexBytes("5A 04 02 60"));
    QVERIFY(s.waitForReceived(7));
    QCOMPARE(line.upToMarker(s), hexBytes("5A 05 02 00 61"));
    // A frame with a wrong checksum gets no answer, the next one does.
    line.write(hexBytes("5A 04 02 61 5A 04 11 6F"));
    QVERIFY(s.waitForReceived(15));
    QCOMPARE(line.upToMarker(s), hexBytes("5A 05 11 00 70"));
}

void tst_simsensor::frameRateCommandChangesRate()
{
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    const QByteArray fps1000 = commandFrame(hexBytes("5A 06 03 E8 03"));
    line.write(fps1000);
    QVERIFY(s.waitForReceived(size_t(fps1000.size())));
    QVERIFY(line.upToMarker(s).endsWith(fps1000));
    QCOMPARE(s.rate(), 1000);
    const int frames = frameStarts(line.runFor(s, 1000)).size();
    QVERIFY2(frames >= 999 && frames <= 1001, qPrintable(QString::number(frames)));
}

void tst_simsensor::outputModeStopsAndResumes()
{
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(200));
    Line line(s.devicePath());
    line.write(hexBytes("5A 05 07 00 66"));
    QVERIFY(s.waitForReceived(5));
    line.drain(s);
    QVERIFY(line.runFor(s, 1000).isEmpty());
    line.write(hexBytes("5A 05 07 01 67"));
    QVERIFY(s.waitForReceived(10));
    const QByteArray d = line.upToMarker(s) + line.runFor(s, 100);
    QCOMPARE(d.left(5), hexBytes("5A 05 07 01 67"));
    QCOMPARE(frameStarts(d.mid(5)).size(), 20);
    QVERIFY(s.outputEnabled());
}

void tst_simsensor::asciiOutputFormat()
{
    sim::SimSensor s;
    s.setDistanceCm(300);
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    line.write(hexBytes("5A 05 05 00 64"));
    QVERIFY(s.waitForReceived(5));
    // Lines of the new format may already follow the echo (the stream goes
    // on while this thread writes its marker): everything after the echo
    // is text.
    const QByteArray before = line.upToMarker(s);
    const int echo = before.lastIndexOf(hexBytes("5A 05 05 00 64"));
    QVERIFY2(echo >= 0, before.toHex(' ').constData());
    QCOMPARE(s.outputFormat(), 0);
    QByteArray text = before.mid(echo + 5);
    text += line.readUntil([&text](const QByteArray &a) { return text.count('\n') + a.count('\n') >= 5; }, 5000);
    QVERIFY2(text.startsWith("3.00m\r\n3.00m\r\n"), text.constData());
    QVERIFY(!text.contains(QByteArray("\x59\x59", 2)));
    line.write(hexBytes("5A 05 05 01 65"));
    const QByteArray back = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 3; }, 5000);
    QVERIFY(frameStarts(back).size() >= 3);
}

void tst_simsensor::answerModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("silent") << int(sim::AnswerMode::Silent) << hexBytes("5A 04 02 60") << QByteArray();
    QTest::newRow("bad status") << int(sim::AnswerMode::BadStatus) << hexBytes("5A 04 02 60")
                                << hexBytes("5A 05 02 01 62");
    QTest::newRow("bad status leaves echo") << int(sim::AnswerMode::BadStatus) << hexBytes("5A 05 05 01 65")
                                            << hexBytes("5A 05 05 01 65");
    QTest::newRow("wrong byte in status") << int(sim::AnswerMode::WrongByte) << hexBytes("5A 04 02 60")
                                          << hexBytes("5A 05 02 01 61");
    QTest::newRow("wrong byte in echo") << int(sim::AnswerMode::WrongByte) << hexBytes("5A 06 03 64 00 C7")
                                        << hexBytes("5A 06 03 64 01 C7");
}

void tst_simsensor::answerModes()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setAnswerMode(static_cast<sim::AnswerMode>(mode));
    Line line(s.devicePath());
    line.drain(s);
    line.write(request);
    QVERIFY(s.waitForReceived(size_t(request.size())));
    // An empty answer: nothing at all.
    QCOMPARE(line.upToMarker(s).toHex(), answer.toHex());
}

void tst_simsensor::splitAnswerComesInTwoParts()
{
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setAnswerMode(sim::AnswerMode::Split);
    s.setSplitPauseMs(300);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("5A 04 01 5F"));
    QVERIFY(s.waitForReceived(4));
    const QByteArray first = line.upToMarker(s);
    QVERIFY2(!first.isEmpty() && first.size() < 7, qPrintable(first.toHex()));
    // The rest only after the pause.
    s.advanceClock(299000);
    QVERIFY(line.upToMarker(s).isEmpty());
    s.advanceClock(1000);
    QCOMPARE(first + line.upToMarker(s), hexBytes("5A 07 01 03 00 02 67"));
}

void tst_simsensor::lateAnswer()
{
    sim::SimSensor s;
    s.useManualClock();
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setAnswerMode(sim::AnswerMode::Late);
    s.setLateDelayMs(1200);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("5A 04 02 60"));
    QVERIFY(s.waitForReceived(4));
    // Nothing within the first wait of an exchange (and up to the delay),
    // then the answer.
    s.advanceClock(1000000);
    QVERIFY(line.upToMarker(s).isEmpty());
    s.advanceClock(199000);
    QVERIFY(line.upToMarker(s).isEmpty());
    s.advanceClock(1000);
    QCOMPARE(line.upToMarker(s), hexBytes("5A 05 02 00 61"));
}

void tst_simsensor::surroundedAnswer()
{
    sim::SimSensor s;
    s.setDistanceCm(300);
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setAnswerMode(sim::AnswerMode::Surrounded);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("5A 05 07 01 67"));
    QVERIFY(s.waitForReceived(5));
    // Two frames with two stray bytes between them, the answer, two frames.
    const QByteArray got = line.upToMarker(s);
    QCOMPARE(got.size(), 9 + 2 + 9 + 5 + 9 + 9);
    const int at = got.indexOf(hexBytes("5A 05 07 01 67"));
    QCOMPARE(at, 20);
    for (int pos : {0, 11, at + 5, at + 14}) {
        QCOMPARE(frameDistance(got, pos), uint16_t(300));
        QVERIFY(frameChecksumOk(got, pos));
    }
    QVERIFY(got.mid(at + 5).startsWith(QByteArray("\x59\x59", 2)));
}

// ---- Modbus --------------------------------------------------------------

void tst_simsensor::modbusNeedsEnabling()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    QVERIFY(s.waitForReceived(8));
    QVERIFY(line.upToMarker(s).isEmpty());
    QVERIFY(!s.modbusEnabled());
    line.write(hexBytes("5A 05 6F 00 CE"));
    QVERIFY(s.waitForReceived(13));
    QCOMPARE(line.upToMarker(s), hexBytes("5A 05 6F 00 CE"));
    QVERIFY(s.modbusEnabled());
}

void tst_simsensor::modbusReads_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("distance 0x0123") << hexBytes("01 03 00 00 00 01 84 0A") << hexBytes("01 03 02 01 23 F8 0D");
    QTest::newRow("version 1.2.3.4") << hexBytes("01 03 00 06 00 02 24 0A")
                                     << hexBytes("01 03 04 01 02 03 04 5B 3C");
}

void tst_simsensor::modbusReads()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    sim::SimSensor s;
    const uint8_t version[4] = {1, 2, 3, 4};
    s.setModbusRegisters(0x0123, version);
    s.useManualClock();
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(request);
    QVERIFY(s.waitForReceived(size_t(request.size())));
    QCOMPARE(line.upToMarker(s).toHex(), reply.toHex());
    // While Modbus is on the sensor only answers: no stream.
    QVERIFY(line.runFor(s, 1000).isEmpty());
}

void tst_simsensor::modbusWritesEchoed_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("reboot") << hexBytes("01 06 00 81 00 01 18 22");
    QTest::newRow("shut down") << hexBytes("01 06 00 81 00 00 D9 E2");
    QTest::newRow("save") << hexBytes("01 06 00 80 00 00 88 22");
    QTest::newRow("baud high") << hexBytes("01 06 00 83 00 01 B9 E2");
    QTest::newRow("baud low") << hexBytes("01 06 00 84 C2 00 98 83");
    QTest::newRow("frame rate 100") << hexBytes("01 06 00 86 00 64 69 C8");
}

void tst_simsensor::modbusWritesEchoed()
{
    QFETCH(QByteArray, request);
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(request);
    QVERIFY(s.waitForReceived(size_t(request.size())));
    QCOMPARE(line.upToMarker(s).toHex(), request.toHex());
}

void tst_simsensor::modbusAddressChanges()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain(s);
    // New address 2 over Modbus: echoed at the old address, then in force.
    line.write(hexBytes("01 06 00 85 00 02 19 E2"));
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 8; }, 3000), hexBytes("01 06 00 85 00 02 19 E2"));
    QCOMPARE(s.modbusAddress(), uint8_t(2));
    // Back to 1 with the ordinary frame.
    line.write(hexBytes("5A 05 70 01 D0"));
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 5; }, 3000), hexBytes("5A 05 70 00 CF"));
    QCOMPARE(s.modbusAddress(), uint8_t(1));
    // Baud rate halves and frame rate take effect.
    line.write(hexBytes("01 06 00 83 00 01 B9 E2"));
    line.readUntil([](const QByteArray &a) { return a.size() >= 8; }, 3000);
    line.write(hexBytes("01 06 00 84 C2 00 98 83"));
    line.readUntil([](const QByteArray &a) { return a.size() >= 8; }, 3000);
    QCOMPARE(s.baudRate(), uint32_t(115200));
    line.write(hexBytes("01 06 00 86 00 64 69 C8"));
    line.readUntil([](const QByteArray &a) { return a.size() >= 8; }, 3000);
    QCOMPARE(s.rate(), 100);
}

void tst_simsensor::modbusOtherAddressIgnored()
{
    sim::SimSensor s;
    s.setModbusAddress(7);
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    QVERIFY(s.waitForReceived(8));
    QVERIFY(line.upToMarker(s).isEmpty());
}

void tst_simsensor::modbusDisable()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(hexBytes("01 06 00 82 00 01 E8 22"));
    QVERIFY(s.waitForReceived(8));
    QCOMPARE(line.upToMarker(s).left(8), hexBytes("01 06 00 82 00 01 E8 22"));
    QVERIFY(!s.modbusEnabled());
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    QVERIFY(s.waitForReceived(16));
    const QByteArray after = line.upToMarker(s);
    QVERIFY(!after.contains(hexBytes("01 03 02")));
}

void tst_simsensor::modbusFaults()
{
    sim::SimSensor s;
    const uint8_t version[4] = {1, 2, 3, 4};
    s.setModbusRegisters(0x0123, version);
    s.useManualClock();
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray request = hexBytes("01 03 00 00 00 01 84 0A");
    size_t sent = 0;
    auto ask = [&] {
        line.write(request);
        sent += size_t(request.size());
        return s.waitForReceived(sent);
    };

    s.setModbusBadCrc(true);
    QVERIFY(ask());
    QByteArray got = line.upToMarker(s);
    QCOMPARE(got.size(), 7);
    QCOMPARE(got.left(5), hexBytes("01 03 02 01 23"));
    QVERIFY(got.mid(5, 2) != hexBytes("F8 0D"));
    s.setModbusBadCrc(false);

    s.setAnswerMode(sim::AnswerMode::Surrounded);
    QVERIFY(ask());
    got = line.upToMarker(s);
    QCOMPARE(got.size(), 9 + 2 + 9 + 7 + 9 + 9);
    QCOMPARE(got.indexOf(hexBytes("01 03 02 01 23 F8 0D")), 20);

    s.setAnswerMode(sim::AnswerMode::Split);
    s.setSplitPauseMs(300);
    QVERIFY(ask());
    const QByteArray part = line.upToMarker(s);
    QVERIFY(!part.isEmpty() && part.size() < 7);
    s.advanceClock(300000);
    QCOMPARE(part + line.upToMarker(s), hexBytes("01 03 02 01 23 F8 0D"));
}

// ---- firmware transfer ---------------------------------------------------

namespace {

QByteArray upgradeFrame(int length, int index, const QByteArray &payload)
{
    QByteArray f(length, '\0');
    f[0] = char(0x5A);
    f[1] = char(length & 0xFF);
    f[2] = char(0x49);
    f[3] = char(index & 0xFF);
    f[4] = char((index >> 8) & 0xFF);
    for (int i = 0; i < payload.size() && i < length - 6; ++i)
        f[5 + i] = payload[i];
    unsigned s = 0;
    for (int i = 0; i < length - 1; ++i)
        s += static_cast<unsigned char>(f[i]);
    f[length - 1] = char(s & 0xFF);
    return f;
}

QByteArray image(int size)
{
    QByteArray img(size, '\0');
    for (int i = 0; i < size; ++i)
        img[i] = char((i * 7 + i / 251) & 0xFF);
    return img;
}

const QByteArray kAck = QByteArray::fromHex("5a054900a8");

// Sends header and data frames like the viewer, waiting for each
// acknowledgement but the last; returns the number of acks seen. The
// simulator reports each frame it takes; an acknowledgement it sends for a
// frame is then on its way before the marker.
int transfer(sim::SimSensor &s, Line &line, const QByteArray &img, int length)
{
    const int p = length - 6;
    const int n = img.size() / p + (img.size() % p ? 1 : 0);
    QByteArray header(2, '\0');
    header[0] = char(img.size() & 0xFF);
    header[1] = char((img.size() >> 8) & 0xFF);
    int acks = 0;
    for (int i = 0; i <= n; ++i) {
        line.write(i == 0 ? upgradeFrame(length, 0, header) : upgradeFrame(length, i, img.mid((i - 1) * p, p)));
        if (i == n)
            break;
        if (!s.waitForUpgradeFrames(i + 1))
            return acks;
        const QByteArray got = line.upToMarker(s);
        if (got != kAck)
            return acks;
        ++acks;
    }
    return acks;
}

} // namespace

void tst_simsensor::upgradeReassembles_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("length");
    QTest::newRow("1000 serial") << 1000 << 255;
    QTest::newRow("996 serial") << 996 << 255;
    QTest::newRow("1000 CAN") << 1000 << 8;
    QTest::newRow("999 CAN") << 999 << 8;
    QTest::newRow("empty") << 0 << 255;
    QTest::newRow("100 odd length") << 100 << 17;
}

void tst_simsensor::upgradeReassembles()
{
    QFETCH(int, size);
    QFETCH(int, length);
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray img = image(size);
    const int p = length - 6;
    const int n = size / p + (size % p ? 1 : 0);
    QCOMPARE(transfer(s, line, img, length), n);
    QVERIFY(s.waitForUpgradeFrames(n + 1));
    QCOMPARE(s.upgradeFramesReceived(), n + 1);
    QCOMPARE(toQt(s.upgradeImage()), img);
    QVERIFY(!s.upgradeError());
}

void tst_simsensor::upgradeLargeImage()
{
    // 70000 bytes announce only 4464; the image is still rebuilt whole.
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    const QByteArray img = image(70000);
    QCOMPARE(transfer(s, line, img, 255), 282);
    QVERIFY(s.waitForUpgradeFrames(283));
    QCOMPARE(toQt(s.upgradeImage()), img);
}

void tst_simsensor::upgradeStopsAcknowledging()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setUpgradeStopAckAt(3);
    Line line(s.devicePath());
    line.drain(s);
    QCOMPARE(transfer(s, line, image(2000), 255), 3); // frames 0, 1, 2
    QCOMPARE(s.upgradeFramesReceived(), 4);           // frame 3 taken, not acknowledged
}

void tst_simsensor::upgradeWrongAck()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setUpgradeWrongAck(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(upgradeFrame(255, 0, hexBytes("E8 03")));
    QVERIFY(s.waitForUpgradeFrames(1));
    QCOMPARE(line.upToMarker(s), hexBytes("5A 05 49 01 A9"));
}

void tst_simsensor::upgradeOutOfOrder()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain(s);
    line.write(upgradeFrame(8, 0, hexBytes("E8 03")));
    QVERIFY(s.waitForUpgradeFrames(1));
    QCOMPARE(line.upToMarker(s), kAck);
    line.write(upgradeFrame(8, 2, hexBytes("12 34"))); // frame 1 skipped
    QVERIFY(s.waitForReceived(16));
    QVERIFY(s.upgradeError());
    QVERIFY(line.upToMarker(s).isEmpty());
    // A bad checksum is no frame at all.
    QByteArray bad = upgradeFrame(8, 0, hexBytes("E8 03"));
    bad[7] = char(bad[7] ^ 1);
    line.write(bad);
    QVERIFY(s.waitForReceived(24));
    QVERIFY(line.upToMarker(s).isEmpty());
    QCOMPARE(s.upgradeFramesReceived(), 1);
}

// ---- unplug and the program ----------------------------------------------

void tst_simsensor::unplugHangsUpTheLine()
{
    sim::SimSensor s;
    QVERIFY(s.start(1000));
    const std::string link = s.linkPath();
    Line line(s.devicePath());
    line.drain(s);
    s.unplug();
    QVERIFY(!s.running());
    struct stat st;
    QCOMPARE(lstat(link.c_str(), &st), -1);
    // The open end sees the hangup (end of file or an error), not silence.
    QByteArray rest;
    int r = 0;
    QElapsedTimer t;
    t.start();
    while ((r = line.readSome(rest, 1000)) > 0 && t.elapsed() < 3000) {
    }
    QCOMPARE(r, -1);
    // Started again, it is a new, working device.
    QVERIFY(s.start(100));
    Line again(s.devicePath());
    QVERIFY(!again.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 2; }, 3000).isEmpty());
}

void tst_simsensor::program()
{
    const QString exe = QDir::current().absoluteFilePath("zn84-sim");
    if (!QFileInfo(exe).isExecutable())
        QSKIP("zn84-sim is not built in the working directory");
    QProcess proc;
    proc.start(exe, {"--rate", "200", "--distance", "321"});
    QVERIFY(proc.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(proc.canReadLine() && QString(proc.peek(4096)).count('\n') >= 3, 15000);
    const QString out = QString::fromLocal8Bit(proc.readAll());
    const QRegularExpression linkLine("link: (\\S+)");
    const QRegularExpressionMatch m = linkLine.match(out);
    QVERIFY2(m.hasMatch(), qPrintable(out));
    QVERIFY(out.contains("device: /dev/pts/"));
    QVERIFY(out.contains("200"));
    const std::string link = m.captured(1).toStdString();
    {
        Line line(link);
        QVERIFY(line.isOpen());
        const QByteArray d = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 3; }, 3000);
        QVERIFY(frameStarts(d).size() >= 3);
        QCOMPARE(frameDistance(d, frameStarts(d).last()), uint16_t(321));
    }
    ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
    QVERIFY(proc.waitForFinished(5000));
    QCOMPARE(proc.exitCode(), 0);
    struct stat st;
    QCOMPARE(lstat(link.c_str(), &st), -1);

    // Bad options are refused.
    const QList<QStringList> badOptions = {{"--rate", "0"},
                                           {"--vibration", "0:5"},
                                           {"--vibration", "20"},
                                           {"--vibration", "20:-1"},
                                           {"--vibration", "20:5x"}};
    for (const QStringList &options : badOptions) {
        QProcess bad;
        bad.start(exe, options);
        QVERIFY(bad.waitForFinished(5000));
        QVERIFY2(bad.exitCode() == 2, qPrintable(options.join(' ')));
    }
}

QTEST_GUILESS_MAIN(tst_simsensor)
#include "tst_simsensor.moc"
