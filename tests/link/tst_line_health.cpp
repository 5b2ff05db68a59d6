// SPDX-License-Identifier: GPL-3.0-or-later
// The line-health counters: good frames, bad checksums, stray bytes and
// resynchronisations, counted by the parser exactly as a stream with known
// faults holds them, whatever the reads cut it into, without changing the
// distances it returns; and the worker's counters against the simulator's
// own count of the faults it put on the line.

#include "measurement_parser.h"
#include "simsensor.h"
#include "workerharness.h"

#include <QTest>

namespace {

// 59 59, distance, strength C4 09, temperature 02 0A, checksum: no 0x59
// beyond the header for the distances used here.
QByteArray frame(uint16_t cm, bool good = true, const QByteArray &middle = QByteArray("\xC4\x09\x02\x0A", 4))
{
    QByteArray f;
    f.append(char(0x59)).append(char(0x59)).append(char(cm & 0xFF)).append(char(cm >> 8));
    f.append(middle.left(4));
    unsigned sum = 0;
    for (char c : f)
        sum += uint8_t(c);
    f.append(char(good ? sum & 0xFF : (sum ^ 0x5A) & 0xFF));
    return f;
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

struct Counts
{
    quint64 good, bad, stray, resyncs;
};

} // namespace

Q_DECLARE_METATYPE(Counts)

class tst_line_health : public QObject
{
    Q_OBJECT

private slots:
    void countsExactly_data();
    void countsExactly();
    void endOfStreamTakesTheLastFrame_data();
    void endOfStreamTakesTheLastFrame();
    void poorLineAboveOnePercent();
    void workerCountsInjectedFaults();
};

void tst_line_health::countsExactly_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<Counts>("expected");

    const QByteArray A = frame(1234), B = frame(1500), C = frame(300), bad = frame(1234, false);
    // Every stream ends with two filler bytes, so that its last frame is
    // examined; they leave the buffer as two stray bytes.
    const QByteArray end = bytes({0x00, 0x00});

    QTest::newRow("clean") << A + B + C + A + B + end << Counts{5, 0, 2, 0};
    QTest::newRow("stray before the first frame")
            << bytes({0x01, 0x02, 0x03}) + A + B + end << Counts{2, 0, 5, 0};
    QTest::newRow("stray between frames")
            << A + B + bytes({0x11, 0x12}) + C + bytes({0x13}) + A + end << Counts{4, 0, 5, 2};
    QTest::newRow("bad checksums") << A + bad + B + bad + bad + C + end << Counts{3, 3, 2, 0};
    QTest::newRow("stray then a bad frame") << A + bytes({0x21}) + bad + B + end << Counts{2, 1, 3, 1};
    // Two 0x59 in the noise look like a header; its "frame" reaches into the
    // real one, which counts as a jump back.
    QTest::newRow("false header in noise")
            << A + bytes({0x01, 0x59, 0x59, 0x02, 0x03}) + B + C + end << Counts{3, 1, 3, 2};
    QTest::newRow("cut frame") << A + A.left(5) + B + end << Counts{2, 1, 2, 1};
    // Bytes 1 to 8 of a good frame of 9817 cm and the next frame's first byte
    // would pass for a good frame: no frame, no resynchronisation.
    QTest::newRow("good frame's bytes pass for another")
            << frame(9817, true, bytes({0x94, 0x01, 0x09, 0x0A})) + frame(9818, true, bytes({0x94, 0x01, 0x0A, 0x0A})) + end
            << Counts{2, 0, 2, 0};
    QTest::newRow("noise only") << bytes({0x10, 0x20, 0x30, 0x40, 0x50}) << Counts{0, 0, 5, 0};
}

void tst_line_health::countsExactly()
{
    QFETCH(QByteArray, stream);
    QFETCH(Counts, expected);

    for (int chunk : {0, 1, 4, 7, 11}) {
        QByteArray plainBuffer;
        QByteArray buffer;
        QVector<uint16_t> plain;
        QVector<uint16_t> counted;
        LineHealth health;
        const int step = chunk == 0 ? stream.size() : chunk;
        for (int at = 0; at < stream.size(); at += step) {
            plainBuffer.append(stream.mid(at, step));
            buffer.append(stream.mid(at, step));
            const int n = parseMeasurementFrames(plainBuffer, plain);
            QCOMPARE(parseMeasurementFrames(buffer, counted, health), n);
            QCOMPARE(buffer, plainBuffer);
        }
        QCOMPARE(counted, plain);
        const QByteArray what = "chunk " + QByteArray::number(chunk);
        QVERIFY2(health.goodFrames == expected.good, what);
        QVERIFY2(health.badChecksums == expected.bad, what);
        QVERIFY2(health.strayBytes == expected.stray,
                 what + " stray " + QByteArray::number(health.strayBytes));
        QVERIFY2(health.resyncs == expected.resyncs,
                 what + " resyncs " + QByteArray::number(health.resyncs));
    }
}

void tst_line_health::endOfStreamTakesTheLastFrame_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QVector<uint16_t>>("distances");
    QTest::addColumn<Counts>("expected");

    const QByteArray A = frame(1234), B = frame(1500), bad = frame(300, false);
    QTest::newRow("last frame") << A + B << QVector<uint16_t>{1234, 1500} << Counts{2, 0, 0, 0};
    QTest::newRow("last frame bad") << A + bad << QVector<uint16_t>{1234} << Counts{1, 1, 0, 0};
    QTest::newRow("cut last frame") << A + B.left(6) << QVector<uint16_t>{1234} << Counts{1, 0, 6, 0};
    QTest::newRow("one byte after") << A + B + bytes({0x07}) << QVector<uint16_t>{1234, 1500}
                                    << Counts{2, 0, 1, 0};
    QTest::newRow("half header") << A + bytes({0x59}) << QVector<uint16_t>{1234} << Counts{1, 0, 1, 0};
}

// When the device goes, no byte follows: the frame the parser keeps back
// (it waits for two bytes more) is taken all the same.
void tst_line_health::endOfStreamTakesTheLastFrame()
{
    QFETCH(QByteArray, stream);
    QFETCH(QVector<uint16_t>, distances);
    QFETCH(Counts, expected);

    for (int chunk : {0, 1, 5}) {
        QByteArray buffer;
        QVector<uint16_t> out;
        LineHealth health;
        const int step = chunk == 0 ? stream.size() : chunk;
        for (int at = 0; at < stream.size(); at += step) {
            buffer.append(stream.mid(at, step));
            parseMeasurementFrames(buffer, out, health);
        }
        finishMeasurementFrames(buffer, out, health);
        QCOMPARE(out, distances);
        QVERIFY(buffer.isEmpty());
        QCOMPARE(health.goodFrames, expected.good);
        QCOMPARE(health.badChecksums, expected.bad);
        QCOMPARE(health.strayBytes, expected.stray);
        QCOMPARE(health.resyncs, expected.resyncs);
    }
}

void tst_line_health::poorLineAboveOnePercent()
{
    LineHealth h;
    QVERIFY(!h.poor());
    h.goodFrames = 99;
    h.badChecksums = 1;   // exactly 1 %
    QVERIFY(!h.poor());
    h.goodFrames = 98;
    h.badChecksums = 2;
    QVERIFY(h.poor());
    h.goodFrames = 990;
    h.badChecksums = 11;  // 1.1 %
    QVERIFY(h.poor());
    QCOMPARE(h.badShare(), 11.0 / 1001.0);
}

void tst_line_health::workerCountsInjectedFaults()
{
    sim::SimSensor sensor;
    sensor.pauseStream(true);
    sensor.setDistanceCm(1234);
    // A modest rate: a reader that falls behind by a whole 3 KiB for half a
    // second (a loaded machine) has its input dropped by the simulator, as
    // by a real line, and the counts could no longer be compared.
    QVERIFY(sensor.start(200));
    WorkerHarness h;
    QVERIFY(h.worker()->openPort(QString::fromStdString(sensor.linkPath()), 115200));
    LineHealth zero = h.worker()->lineHealth();
    QCOMPARE(zero.goodFrames + zero.badChecksums + zero.strayBytes + zero.resyncs, quint64(0));

    // One clean frame first, so that every stray byte lies between two frames.
    const QByteArray first = frame(1234);
    sensor.writeRaw(sim::Bytes(first.begin(), first.end()));
    sensor.clearSentLog();
    sim::StreamFaults faults;
    faults.badChecksumShare = 0.05;
    faults.strayByteShare = 0.04;
    sensor.setFaults(faults);
    sensor.pauseStream(false);
    QTRY_VERIFY_WITH_TIMEOUT(sensor.framesSent() >= 400, 20000);
    sensor.pauseStream(true);
    sensor.writeRaw({0x00, 0x00});   // the last frame is examined

    const quint64 good = sensor.framesSent() + 1;
    const quint64 bad = sensor.badFramesSent();
    const quint64 stray = sensor.strayBytesSent();
    QVERIFY(bad > 0 && stray > 0);
    LineHealth counted;
    QTRY_VERIFY_WITH_TIMEOUT((counted = h.worker()->lineHealth()).goodFrames == good
                                     && counted.badChecksums == bad && counted.strayBytes == stray + 2,
                             10000);
    QCOMPARE(counted.resyncs, stray);
    QVERIFY(counted.poor());   // 5 % bad

    // A connect starts the counters afresh.
    QVERIFY(h.worker()->openPort(QString::fromStdString(sensor.linkPath()), 115200));
    counted = h.worker()->lineHealth();
    QCOMPARE(counted.goodFrames + counted.badChecksums + counted.strayBytes + counted.resyncs, quint64(0));
}

QTEST_GUILESS_MAIN(tst_line_health)
#include "tst_line_health.moc"
