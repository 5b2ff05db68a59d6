// The simulated sensor answers as the viewer expects a sensor to: checked from
// the other end of its pty with plain POSIX reads and writes, no Qt port.

#include "simsensor.h"
#include "testutil.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <cerrno>
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

    // Reads for `ms` milliseconds, whatever comes.
    QByteArray readFor(int ms)
    {
        QByteArray all;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            readSome(all, static_cast<int>(ms - t.elapsed()));
        return all;
    }

    // Reads until `done(all)` holds or `ms` milliseconds pass.
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

    // Discards what is queued now (the stream keeps coming afterwards).
    void drain()
    {
        QTest::qWait(20);
        tcflush(fd, TCIFLUSH);
        QByteArray junk;
        readSome(junk, 0);
    }

    // One poll + read; returns bytes read, -1 on hangup or error.
    int readSome(QByteArray &into, int timeoutMs)
    {
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
    void streamCarriesValidFrames_data();
    void streamCarriesValidFrames();
    void fixedDistance();
    void movingDistanceStaysInRange();
    void rateIsPaced_data();
    void rateIsPaced();
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
    QVERIFY(s.start(fps));
    Line line(s.devicePath());
    line.drain();
    const int wanted = std::min(fps, 500);
    const QByteArray d = line.readUntil([&](const QByteArray &a) { return a.size() >= wanted * 9 + 9; }, 10000);
    // Back to back 9-byte frames, each with a good checksum.
    const int first = d.indexOf(QByteArray("\x59\x59", 2));
    QVERIFY(first >= 0 && first < 9);
    int frames = 0;
    for (int pos = first; pos + 9 <= d.size(); pos += 9, ++frames) {
        QCOMPARE(d[pos], char(0x59));
        QCOMPARE(d[pos + 1], char(0x59));
        QVERIFY2(frameChecksumOk(d, pos), qPrintable(d.mid(pos, 9).toHex()));
    }
    QVERIFY(frames >= wanted);
}

void tst_simsensor::fixedDistance()
{
    sim::SimSensor s;
    s.setDistanceCm(300);
    QVERIFY(s.start(200));
    Line line(s.devicePath());
    line.drain();
    const QByteArray d = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 5; }, 5000);
    const QVector<int> starts = frameStarts(d);
    QVERIFY(starts.size() >= 5);
    for (int pos : starts) {
        QCOMPARE(d.mid(pos, 4), hexBytes("59 59 2C 01"));
        QVERIFY(frameChecksumOk(d, pos));
    }
    s.setDistanceCm(65535);
    line.drain();
    const QByteArray e = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 2; }, 5000);
    const QVector<int> more = frameStarts(e);
    QVERIFY(!more.isEmpty());
    QCOMPARE(frameDistance(e, more.last()), uint16_t(65535));
}

void tst_simsensor::movingDistanceStaysInRange()
{
    sim::SimSensor s;
    QVERIFY(s.start(1000));
    Line line(s.devicePath());
    line.drain();
    const QByteArray d = line.readFor(1500);
    const QVector<int> starts = frameStarts(d);
    QVERIFY(starts.size() > 500);
    uint16_t lo = 65535, hi = 0;
    for (int pos : starts) {
        const uint16_t cm = frameDistance(d, pos);
        lo = std::min(lo, cm);
        hi = std::max(hi, cm);
        QVERIFY(cm >= 100 && cm <= 4000);
    }
    QVERIFY2(hi > lo, "the target should move");
}

void tst_simsensor::rateIsPaced_data()
{
    QTest::addColumn<int>("fps");
    QTest::newRow("50") << 50;
    QTest::newRow("1000") << 1000;
    QTest::newRow("11111") << 11111;
}

void tst_simsensor::rateIsPaced()
{
    QFETCH(int, fps);
    sim::SimSensor s;
    QVERIFY(s.start(fps));
    Line line(s.devicePath());
    line.drain();
    QElapsedTimer t;
    t.start();
    const uint64_t sent0 = s.framesSent();
    const QByteArray d = line.readFor(2000);
    const double seconds = t.elapsed() / 1000.0;
    const uint64_t sent = s.framesSent() - sent0;
    const double measured = frameStarts(d).size() / seconds;
    QVERIFY2(std::abs(measured - fps) <= fps * 0.1 + 2, qPrintable(QString::number(measured)));
    QVERIFY2(std::abs(sent / seconds - fps) <= fps * 0.1 + 2, qPrintable(QString::number(sent)));
}

void tst_simsensor::badChecksumsAndStrayBytes()
{
    sim::SimSensor s;
    sim::StreamFaults f;
    f.badChecksumShare = 0.3;
    f.strayByteShare = 0.3;
    s.setFaults(f);
    QVERIFY(s.start(1000));
    Line line(s.devicePath());
    line.drain();
    const QByteArray d = line.readFor(1000);
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
}

void tst_simsensor::splitFramesStayIntact()
{
    sim::SimSensor s;
    sim::StreamFaults f;
    f.splitFrames = true;
    s.setFaults(f);
    s.setDistanceCm(777);
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    line.drain();
    // Reads come in small pieces, but together they are the same frames.
    QByteArray all;
    int reads = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1000)
        if (line.readSome(all, 100) > 0)
            ++reads;
    const QVector<int> starts = frameStarts(all);
    QVERIFY(starts.size() >= 50);
    QVERIFY2(reads > starts.size(), qPrintable(QString("%1 reads, %2 frames").arg(reads).arg(starts.size())));
    for (int pos : starts) {
        QVERIFY(frameChecksumOk(all, pos));
        QCOMPARE(frameDistance(all, pos), uint16_t(777));
    }
}

void tst_simsensor::pauseAndRateZeroStopTheStream()
{
    sim::SimSensor s;
    QVERIFY(s.start(500));
    Line line(s.devicePath());
    s.pauseStream(true);
    line.drain();
    QVERIFY(line.readFor(300).isEmpty());
    s.pauseStream(false);
    QVERIFY(!line.readUntil([](const QByteArray &a) { return !a.isEmpty(); }, 3000).isEmpty());
    s.setRate(0);
    QCOMPARE(s.rate(), 0);
    line.drain();
    QVERIFY(line.readFor(300).isEmpty());
}

void tst_simsensor::writeRawIsExact()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain();
    const QByteArray raw = hexBytes("00 59 59 2C 01 00 00 00 00 DF FF 59");
    s.writeRaw(toBytes(raw));
    QCOMPARE(line.readUntil([&](const QByteArray &a) { return a.size() >= raw.size(); }, 3000), raw);
}

void tst_simsensor::receivedRecordsEverything()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    const QByteArray junk = hexBytes("01 02 03 5A 04 02 60 FF 00");
    line.write(junk);
    QTRY_COMPARE_WITH_TIMEOUT(s.receivedCount(), size_t(junk.size()), 3000);
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
    line.drain();
    line.write(request);
    const QByteArray got = line.readUntil([&](const QByteArray &a) { return a.size() >= answer.size(); }, 3000);
    QCOMPARE(got.toHex(), answer.toHex());
    QTRY_COMPARE_WITH_TIMEOUT(toQt(s.received()), request, 3000);
}

void tst_simsensor::fullVersionReply()
{
    sim::SimSensor s;
    s.setFullVersion("ZN84 V1.2.3");
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain();
    line.write(hexBytes("5A 04 14 72"));
    const QByteArray got = line.readUntil([](const QByteArray &a) { return a.size() >= 30; }, 3000);
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
    line.drain();
    line.write(hexBytes("5A 04 01 5F"));
    const QByteArray got = line.readUntil([](const QByteArray &a) { return a.size() >= 7; }, 3000);
    QCOMPARE(got, commandFrame(hexBytes("5A 07 01 04 05 06")));
}

void tst_simsensor::triggerSendsOneFrame()
{
    sim::SimSensor s;
    s.setDistanceCm(1234);
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    // Trigger mode: the stream stops, a trigger brings exactly one frame.
    line.write(hexBytes("5A 05 07 00 66"));
    QVERIFY(!line.readUntilContains(hexBytes("5A 05 07 00 66"), 3000).isEmpty());
    QVERIFY(!s.outputEnabled());
    line.drain();
    line.write(hexBytes("5A 04 04 62"));
    const QByteArray got = line.readUntil([](const QByteArray &a) { return a.size() >= 9; }, 3000);
    QCOMPARE(got.size(), 9);
    QCOMPARE(frameDistance(got, 0), uint16_t(1234));
    QVERIFY(frameChecksumOk(got, 0));
    QVERIFY(line.readFor(300).isEmpty());
}

void tst_simsensor::answerAmidStream()
{
    sim::SimSensor s;
    QVERIFY(s.start(2000));
    Line line(s.devicePath());
    line.drain();
    line.write(hexBytes("5A 04 11 6F"));
    const QByteArray ack = hexBytes("5A 05 11 00 70");
    const QByteArray got = line.readUntil([&](const QByteArray &a) {
        return a.contains(ack) && a.size() >= a.indexOf(ack) + 5 + 9;
    }, 3000);
    // The answer sits between whole frames, never inside one.
    const int at = got.indexOf(ack);
    QVERIFY(at >= 0);
    const int first = got.indexOf(QByteArray("\x59\x59", 2));
    if (first >= 0 && first < at)
        QCOMPARE((at - first) % 9, 0);
    QVERIFY(got.mid(at + 5).startsWith(QByteArray("\x59\x59", 2)));
    QVERIFY(frameChecksumOk(got, at + 5));
}

void tst_simsensor::incompleteFrameIsDropped()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain();
    // A header with a length that never completes, then a real command after
    // a pause: the sensor resynchronises and answers the command.
    line.write(hexBytes("5A 40 02"));
    QTest::qWait(300);
    line.write(hexBytes("5A 04 02 60"));
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 5; }, 3000), hexBytes("5A 05 02 00 61"));
    // A frame with a wrong checksum gets no answer, the next one does.
    line.write(hexBytes("5A 04 02 61 5A 04 11 6F"));
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 5; }, 3000), hexBytes("5A 05 11 00 70"));
}

void tst_simsensor::frameRateCommandChangesRate()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    const QByteArray fps1000 = commandFrame(hexBytes("5A 06 03 E8 03"));
    line.write(fps1000);
    QVERIFY(line.readUntilContains(fps1000, 3000).contains(fps1000));
    QCOMPARE(s.rate(), 1000);
    line.drain();
    QElapsedTimer t;
    t.start();
    const QByteArray d = line.readFor(1000);
    const double measured = frameStarts(d).size() / (t.elapsed() / 1000.0);
    QVERIFY2(measured > 850 && measured < 1150, qPrintable(QString::number(measured)));
}

void tst_simsensor::outputModeStopsAndResumes()
{
    sim::SimSensor s;
    QVERIFY(s.start(200));
    Line line(s.devicePath());
    line.write(hexBytes("5A 05 07 00 66"));
    line.readUntilContains(hexBytes("5A 05 07 00 66"), 3000);
    line.drain();
    QVERIFY(line.readFor(300).isEmpty());
    line.write(hexBytes("5A 05 07 01 67"));
    const QByteArray d = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 5; }, 3000);
    QVERIFY(d.startsWith(hexBytes("5A 05 07 01 67")));
    QVERIFY(frameStarts(d).size() >= 5);
    QVERIFY(s.outputEnabled());
}

void tst_simsensor::asciiOutputFormat()
{
    sim::SimSensor s;
    s.setDistanceCm(300);
    QVERIFY(s.start(100));
    Line line(s.devicePath());
    line.write(hexBytes("5A 05 05 00 64"));
    line.readUntilContains(hexBytes("5A 05 05 00 64"), 3000);
    QCOMPARE(s.outputFormat(), 0);
    line.drain();
    const QByteArray text = line.readUntil([](const QByteArray &a) { return a.count('\n') >= 5; }, 3000);
    QVERIFY(text.contains("3.00m\r\n3.00m\r\n"));
    QVERIFY(!text.contains(QByteArray("\x59\x59", 2)));
    line.write(hexBytes("5A 05 05 01 65"));
    const QByteArray back = line.readUntil([](const QByteArray &a) { return frameStarts(a).size() >= 3; }, 3000);
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
    line.drain();
    line.write(request);
    if (answer.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(s.receivedCount(), size_t(request.size()), 3000);
        QVERIFY(line.readFor(500).isEmpty());
        return;
    }
    QCOMPARE(line.readUntil([&](const QByteArray &a) { return a.size() >= answer.size(); }, 3000).toHex(),
             answer.toHex());
}

void tst_simsensor::splitAnswerComesInTwoParts()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setAnswerMode(sim::AnswerMode::Split);
    Line line(s.devicePath());
    line.drain();
    line.write(hexBytes("5A 04 01 5F"));
    QByteArray first;
    QVERIFY(line.readSome(first, 3000) > 0);
    QVERIFY2(first.size() < 7, qPrintable(first.toHex()));
    QByteArray all = first + line.readUntil([&](const QByteArray &a) { return first.size() + a.size() >= 7; }, 3000);
    QCOMPARE(all, hexBytes("5A 07 01 03 00 02 67"));
}

void tst_simsensor::lateAnswer()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setAnswerMode(sim::AnswerMode::Late);
    s.setLateDelayMs(1200);
    Line line(s.devicePath());
    line.drain();
    line.write(hexBytes("5A 04 02 60"));
    // Nothing within the first wait of an exchange, then the answer.
    QVERIFY(line.readFor(1000).isEmpty());
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 5; }, 3000), hexBytes("5A 05 02 00 61"));
}

void tst_simsensor::surroundedAnswer()
{
    sim::SimSensor s;
    s.setDistanceCm(300);
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setAnswerMode(sim::AnswerMode::Surrounded);
    Line line(s.devicePath());
    line.drain();
    line.write(hexBytes("5A 05 07 01 67"));
    const QByteArray got = line.readUntil([](const QByteArray &a) { return a.size() >= 47; }, 3000);
    const int at = got.indexOf(hexBytes("5A 05 07 01 67"));
    QVERIFY(at > 0);
    QCOMPARE(frameDistance(got, 0), uint16_t(300));
    QVERIFY(frameChecksumOk(got, 0));
    QVERIFY(got.mid(at + 5).startsWith(QByteArray("\x59\x59", 2)));
    QVERIFY(frameChecksumOk(got, at + 5));
}

// ---- Modbus --------------------------------------------------------------

void tst_simsensor::modbusNeedsEnabling()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain();
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    QTRY_COMPARE_WITH_TIMEOUT(s.receivedCount(), size_t(8), 3000);
    QVERIFY(line.readFor(400).isEmpty());
    QVERIFY(!s.modbusEnabled());
    line.write(hexBytes("5A 05 6F 00 CE"));
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 5; }, 3000), hexBytes("5A 05 6F 00 CE"));
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
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain();
    line.write(request);
    QCOMPARE(line.readUntil([&](const QByteArray &a) { return a.size() >= reply.size(); }, 3000).toHex(),
             reply.toHex());
    // While Modbus is on the sensor only answers: no stream.
    QVERIFY(line.readFor(300).isEmpty());
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
    line.drain();
    line.write(request);
    QCOMPARE(line.readUntil([&](const QByteArray &a) { return a.size() >= 8; }, 3000).toHex(), request.toHex());
}

void tst_simsensor::modbusAddressChanges()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain();
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
    line.drain();
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    QTRY_COMPARE_WITH_TIMEOUT(s.receivedCount(), size_t(8), 3000);
    QVERIFY(line.readFor(400).isEmpty());
}

void tst_simsensor::modbusDisable()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain();
    line.write(hexBytes("01 06 00 82 00 01 E8 22"));
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 8; }, 3000).left(8),
             hexBytes("01 06 00 82 00 01 E8 22"));
    QVERIFY(!s.modbusEnabled());
    line.drain();
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    const QByteArray after = line.readFor(400);
    QVERIFY(!after.contains(hexBytes("01 03 02")));
}

void tst_simsensor::modbusFaults()
{
    sim::SimSensor s;
    const uint8_t version[4] = {1, 2, 3, 4};
    s.setModbusRegisters(0x0123, version);
    QVERIFY(s.start(100));
    s.setModbusEnabled(true);
    Line line(s.devicePath());
    line.drain();

    s.setModbusBadCrc(true);
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    QByteArray got = line.readUntil([](const QByteArray &a) { return a.size() >= 7; }, 3000);
    QCOMPARE(got.left(5), hexBytes("01 03 02 01 23"));
    QVERIFY(got.mid(5, 2) != hexBytes("F8 0D"));
    s.setModbusBadCrc(false);

    s.setAnswerMode(sim::AnswerMode::Surrounded);
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    got = line.readUntil([](const QByteArray &a) { return a.size() >= 49; }, 3000);
    QVERIFY(got.indexOf(hexBytes("01 03 02 01 23 F8 0D")) > 0);

    s.setAnswerMode(sim::AnswerMode::Split);
    line.write(hexBytes("01 03 00 00 00 01 84 0A"));
    QByteArray part;
    QVERIFY(line.readSome(part, 3000) > 0);
    QVERIFY(part.size() < 7);
    part += line.readUntil([&](const QByteArray &a) { return part.size() + a.size() >= 7; }, 3000);
    QCOMPARE(part, hexBytes("01 03 02 01 23 F8 0D"));
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
// acknowledgement but the last; returns the number of acks seen.
int transfer(Line &line, const QByteArray &img, int length, int stopAfterFrames = -1)
{
    const int p = length - 6;
    const int n = img.size() / p + (img.size() % p ? 1 : 0);
    QByteArray header(2, '\0');
    header[0] = char(img.size() & 0xFF);
    header[1] = char((img.size() >> 8) & 0xFF);
    int acks = 0;
    for (int i = 0; i <= n; ++i) {
        if (stopAfterFrames >= 0 && i >= stopAfterFrames)
            break;
        line.write(i == 0 ? upgradeFrame(length, 0, header) : upgradeFrame(length, i, img.mid((i - 1) * p, p)));
        if (i == n)
            break;
        const QByteArray got = line.readUntilContains(kAck, 3000);
        if (!got.contains(kAck))
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
    line.drain();
    const QByteArray img = image(size);
    const int p = length - 6;
    const int n = size / p + (size % p ? 1 : 0);
    QCOMPARE(transfer(line, img, length), n);
    QTRY_COMPARE_WITH_TIMEOUT(s.upgradeFramesReceived(), n + 1, 3000);
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
    line.drain();
    const QByteArray img = image(70000);
    QCOMPARE(transfer(line, img, 255), 282);
    QTRY_COMPARE_WITH_TIMEOUT(s.upgradeFramesReceived(), 283, 3000);
    QCOMPARE(toQt(s.upgradeImage()), img);
}

void tst_simsensor::upgradeStopsAcknowledging()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setUpgradeStopAckAt(3);
    Line line(s.devicePath());
    line.drain();
    QCOMPARE(transfer(line, image(2000), 255), 3); // frames 0, 1, 2
}

void tst_simsensor::upgradeWrongAck()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    s.setUpgradeWrongAck(true);
    Line line(s.devicePath());
    line.drain();
    line.write(upgradeFrame(255, 0, hexBytes("E8 03")));
    QCOMPARE(line.readUntil([](const QByteArray &a) { return a.size() >= 5; }, 3000), hexBytes("5A 05 49 01 A9"));
}

void tst_simsensor::upgradeOutOfOrder()
{
    sim::SimSensor s;
    QVERIFY(s.start(100));
    s.pauseStream(true);
    Line line(s.devicePath());
    line.drain();
    line.write(upgradeFrame(8, 0, hexBytes("E8 03")));
    QVERIFY(line.readUntilContains(kAck, 3000).contains(kAck));
    line.write(upgradeFrame(8, 2, hexBytes("12 34"))); // frame 1 skipped
    QTRY_VERIFY_WITH_TIMEOUT(s.upgradeError(), 3000);
    QVERIFY(line.readFor(300).isEmpty());
    // A bad checksum is no frame at all.
    QByteArray bad = upgradeFrame(8, 0, hexBytes("E8 03"));
    bad[7] = char(bad[7] ^ 1);
    line.write(bad);
    QVERIFY(line.readFor(400).isEmpty());
}

// ---- unplug and the program ----------------------------------------------

void tst_simsensor::unplugHangsUpTheLine()
{
    sim::SimSensor s;
    QVERIFY(s.start(1000));
    const std::string link = s.linkPath();
    Line line(s.devicePath());
    line.drain();
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
    QTRY_VERIFY_WITH_TIMEOUT(proc.canReadLine() && QString(proc.peek(4096)).count('\n') >= 3, 5000);
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
        line.drain();
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
    QProcess bad;
    bad.start(exe, {"--rate", "0"});
    QVERIFY(bad.waitForFinished(5000));
    QVERIFY(bad.exitCode() != 0);
}

QTEST_GUILESS_MAIN(tst_simsensor)
#include "tst_simsensor.moc"
