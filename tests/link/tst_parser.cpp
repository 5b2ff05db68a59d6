// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement stream parser: the pure byte logic fed in chunks, and the
// batch threshold through the worker on a pty with exact byte streams.

#include "measurement_parser.h"
#include "simsensor.h"
#include "testutil.h"
#include "workerharness.h"

#include <QTest>

#include <random>

namespace {

// The four bytes between the distance and the checksum (signal strength and
// temperature), not interpreted but summed: never zero in the rows, so that a
// checksum over too few bytes cannot pass.
const QByteArray kMiddle("\xA7\x03\x1C\x0B", 4);

// A measurement frame; `good` false spoils the checksum.
QByteArray frame(int cm, bool good = true, const QByteArray &middle = kMiddle)
{
    QByteArray f;
    f.append(char(0x59));
    f.append(char(0x59));
    f.append(char(cm & 0xFF));
    f.append(char((cm >> 8) & 0xFF));
    f.append(middle.left(4));
    unsigned s = 0;
    for (char c : f)
        s += static_cast<unsigned char>(c);
    f.append(char((s + (good ? 0 : 1)) & 0xFF));
    return f;
}

QByteArray frames(const QList<int> &cms)
{
    QByteArray all;
    for (int cm : cms)
        all += frame(cm);
    return all;
}

const QByteArray kTwo("\x00\x00", 2);

// The rules applied to a whole stream at once: every 0x59 0x59 pair with ten
// more bytes after its first byte, and not inside a good frame, is examined,
// and counts when its checksum holds.
QList<int> referenceDistances(const QByteArray &s)
{
    QList<int> out;
    const auto *d = reinterpret_cast<const unsigned char *>(s.constData());
    for (int p = 0; p + 10 < s.size(); ++p) {
        if (d[p] != 0x59 || d[p + 1] != 0x59)
            continue;
        unsigned sum = 0;
        for (int i = 0; i < 8; ++i)
            sum += d[p + i];
        if ((sum & 0xFF) == d[p + 8]) {
            out.append(d[p + 3] << 8 | d[p + 2]);
            p += 8;
        }
    }
    return out;
}

QList<int> toList(const QVector<uint16_t> &v)
{
    QList<int> l;
    for (uint16_t x : v)
        l.append(x);
    return l;
}

// Feeds `stream` in chunks of `chunk` bytes (0: all at once); returns the
// distances, the largest buffer left after a call, and whether every call
// returned the number of distances it appended.
struct Fed {
    QList<int> distances;
    int maxBuffer = 0;
    bool countsMatch = true;
};

Fed feed(const QByteArray &stream, int chunk, QByteArray &buffer)
{
    Fed fed;
    QVector<uint16_t> out;
    const int step = chunk > 0 ? chunk : std::max(1, int(stream.size()));
    for (int i = 0; i < stream.size(); i += step) {
        buffer.append(stream.mid(i, step));
        const int before = out.size();
        if (parseMeasurementFrames(buffer, out) != out.size() - before)
            fed.countsMatch = false;
        fed.maxBuffer = std::max(fed.maxBuffer, int(buffer.size()));
    }
    fed.distances = toList(out);
    return fed;
}

} // namespace

class tst_parser : public QObject
{
    Q_OBJECT

private slots:
    void findHeader_data();
    void findHeader();
    void chunkedStreams_data();
    void chunkedStreams();
    void returnsCountAndAppends();
    void textStreamKeepsBufferBounded();
    void matchesReferenceModel_data();
    void matchesReferenceModel();

    void thresholdNeedsMoreThanDistNum();
    void oneBatchPerRead_data();
    void oneBatchPerRead();
    void frameSplitAcrossReadsParsedOnce();
    void badFramesDoNotCount();
};

void tst_parser::findHeader_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty") << QByteArray() << 0 << -1;
    QTest::newRow("single 0x59") << hexBytes("59") << 0 << -1;
    QTest::newRow("pair at start") << hexBytes("59 59") << 0 << 0;
    QTest::newRow("pair after noise") << hexBytes("00 59 00 59 59") << 0 << 3;
    QTest::newRow("three in a row from 1") << hexBytes("59 59 59") << 1 << 1;
    QTest::newRow("past the pair") << hexBytes("59 59 00") << 1 << -1;
    QTest::newRow("split by other byte") << hexBytes("59 5A 59") << 0 << -1;
    QTest::newRow("negative from") << hexBytes("59 59") << -3 << 0;
}

void tst_parser::findHeader()
{
    QFETCH(QByteArray, data);
    QFETCH(int, from);
    QFETCH(int, expected);
    QCOMPARE(findMeasurementHeader(data.constData(), data.size(), from), expected);
}

void tst_parser::chunkedStreams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<QList<int>>("distances");
    QTest::addColumn<QByteArray>("rest");

    struct Case {
        const char *name;
        QByteArray stream;
        QList<int> distances;
        QByteArray rest;
    };
    const QByteArray text = QByteArray("3.00m\r\n").repeated(40);
    const QList<Case> cases = {
        {"one frame and two bytes", frame(300) + kTwo, {300}, QByteArray()},
        {"one frame alone waits", frame(300), {}, frame(300)},
        {"one frame and one byte waits", frame(300) + hexBytes("00"), {}, frame(300) + hexBytes("00")},
        {"the last of two frames waits", frames({1, 2}), {1}, frame(2)},
        {"five frames and two bytes", frames({10, 20, 30, 40, 50}) + kTwo, {10, 20, 30, 40, 50}, QByteArray()},
        {"bad checksum skipped", frame(500, false) + frame(600) + kTwo, {600}, QByteArray()},
        {"only bad checksums", frame(500, false) + frame(501, false) + kTwo, {}, QByteArray()},
        {"stray bytes", hexBytes("00 13 FF") + frame(100) + hexBytes("5A") + frame(200) + hexBytes("01 02"),
         {100, 200}, QByteArray()},
        {"59 59 inside the distance", frame(0x5959) + frame(1000) + kTwo, {0x5959, 1000}, QByteArray()},
        {"59 59 inside the middle", frame(700, true, hexBytes("59 59 59 59")) + frame(800) + kTwo,
         {700, 800}, QByteArray()},
        // 9817 cm (59 59 59 26 ...): bytes 1 to 8 with the next frame's first
        // byte pass for a frame of 379.26 m.
        {"a good frame's bytes pass for another", frame(9817, true, hexBytes("94 01 09 0A"))
             + frame(9818, true, hexBytes("94 01 0A 0A")) + kTwo, {9817, 9818}, QByteArray()},
        {"each middle byte counts", frame(1, true, hexBytes("01 00 00 00")) + frame(2, true, hexBytes("00 01 00 00"))
             + frame(3, true, hexBytes("00 00 01 00")) + frame(4, true, hexBytes("00 00 00 01"))
             + frame(5, true, hexBytes("FF FF FF FF")) + kTwo,
         {1, 2, 3, 4, 5}, QByteArray()},
        {"a middle byte changed", frame(900).replace(4, 1, "\xA8") + frame(901).replace(7, 1, "\x0C")
             + frame(902) + kTwo,
         {902}, QByteArray()},
        {"a third 0x59 before a frame", hexBytes("59") + frame(300) + kTwo, {300}, QByteArray()},
        {"65535 cm", frame(65535) + kTwo, {65535}, QByteArray()},
        {"0 cm", frame(0) + kTwo, {0}, QByteArray()},
        {"trailing 0x59 kept", frame(300) + kTwo + hexBytes("59"), {300}, hexBytes("59")},
        {"text then half a header", text + hexBytes("59"), {}, hexBytes("59")},
        {"text only", text, {}, QByteArray()},
        {"text between frames", frame(1) + text + frame(2) + kTwo, {1, 2}, QByteArray()},
        {"truncated frame then a good one", frame(300).left(6) + frame(400) + kTwo, {400}, QByteArray()},
    };
    for (const Case &c : cases) {
        for (int chunk : {0, 1, 2, 3, 4, 9, 10, 11, 64}) {
            QTest::addRow("%s / chunk %d", c.name, chunk) << c.stream << chunk << c.distances << c.rest;
        }
    }
}

void tst_parser::chunkedStreams()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, chunk);
    QFETCH(QList<int>, distances);
    QFETCH(QByteArray, rest);
    QByteArray buffer;
    const Fed fed = feed(stream, chunk, buffer);
    QCOMPARE(fed.distances, distances);
    QVERIFY(fed.countsMatch);
    QVERIFY2(fed.maxBuffer <= 10, qPrintable(QString::number(fed.maxBuffer)));
    QCOMPARE(buffer.toHex(), rest.toHex());
    // Nothing is parsed twice: another call without new bytes adds nothing.
    QVector<uint16_t> again;
    QCOMPARE(parseMeasurementFrames(buffer, again), 0);
    QVERIFY(again.isEmpty());
    QCOMPARE(buffer.toHex(), rest.toHex());
}

void tst_parser::returnsCountAndAppends()
{
    QByteArray buffer = frames({7, 8, 9}) + kTwo;
    QVector<uint16_t> out{1, 2};
    QCOMPARE(parseMeasurementFrames(buffer, out), 3);
    QCOMPARE(toList(out), (QList<int>{1, 2, 7, 8, 9}));
    QVERIFY(buffer.isEmpty());
}

void tst_parser::textStreamKeepsBufferBounded()
{
    // A sensor in a text output format sends no measurement frame at all.
    const QByteArray lines = QByteArray("12.34m\r\n3.00m\r\nYY\r\n");
    QByteArray buffer;
    QVector<uint16_t> out;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> len(1, 100);
    int maxSize = 0;
    QByteArray all;
    for (int i = 0; i < 20000; ++i) {
        const int n = len(rng);
        QByteArray chunk;
        for (int k = 0; k < n; ++k)
            chunk.append(lines[(i + k) % lines.size()]);
        all += chunk;
        buffer.append(chunk);
        parseMeasurementFrames(buffer, out);
        maxSize = std::max(maxSize, int(buffer.size()));
    }
    QVERIFY2(maxSize <= 10, qPrintable(QString::number(maxSize)));
    // "YY" in the text is a header pair; whatever it happens to pass for
    // follows the same rules as on a whole stream.
    QCOMPARE(toList(out), referenceDistances(all));
}

void tst_parser::matchesReferenceModel_data()
{
    QTest::addColumn<int>("seed");
    for (int seed = 1; seed <= 40; ++seed)
        QTest::addRow("seed %d", seed) << seed;
}

void tst_parser::matchesReferenceModel()
{
    QFETCH(int, seed);
    std::mt19937 rng(static_cast<unsigned>(seed));
    std::uniform_int_distribution<int> pick(0, 99);
    std::uniform_int_distribution<int> cm(0, 65535);
    std::uniform_int_distribution<int> byte(0, 255);
    auto middle = [&] {
        QByteArray m;
        for (int i = 0; i < 4; ++i)
            m.append(char(byte(rng)));
        return m;
    };
    // A noisy stream: good and bad frames (any middle bytes), cut frames,
    // stray bytes with many 0x59, text runs.
    QByteArray stream;
    while (stream.size() < 20000) {
        const int what = pick(rng);
        if (what < 55) {
            stream += frame(cm(rng), true, middle());
        } else if (what < 65) {
            stream += frame(cm(rng), false, middle());
        } else if (what < 75) {
            stream += frame(cm(rng)).left(1 + pick(rng) % 8);
        } else if (what < 85) {
            stream.append(char(pick(rng) < 50 ? 0x59 : byte(rng)));
        } else if (what < 90) {
            stream += frame(0x5959, true, hexBytes("59 59 59 59"));
        } else {
            stream += QByteArray("1.23m\r\n");
        }
    }
    QByteArray buffer;
    QVector<uint16_t> out;
    std::uniform_int_distribution<int> chunk(1, 300);
    for (int i = 0; i < stream.size();) {
        const int n = chunk(rng);
        buffer.append(stream.mid(i, n));
        i += n;
        const int before = out.size();
        const int got = parseMeasurementFrames(buffer, out);
        QCOMPARE(got, out.size() - before);
        QVERIFY2(buffer.size() <= 10, qPrintable(QString::number(buffer.size())));
    }
    QCOMPARE(toList(out), referenceDistances(stream));
}

// ---- through the worker on a pty ------------------------------------------

namespace {

struct PtyWorker {
    sim::SimSensor sensor;
    WorkerHarness harness;

    bool open()
    {
        // Rate 0: the line carries only what the test writes.
        return sensor.start(0) && harness.worker()->openPort(QString::fromStdString(sensor.linkPath()), 115200);
    }
    void write(const QByteArray &bytes) { sensor.writeRaw(sim::Bytes(bytes.begin(), bytes.end())); }
    int pending()
    {
        int n = -1;
        harness.inWorker([&] { n = harness.worker()->streamState().pendingDistances; });
        return n;
    }
    int rxSize()
    {
        int n = -1;
        harness.inWorker([&] { n = harness.worker()->streamState().bufferedBytes; });
        return n;
    }
    int frameCount()
    {
        int n = -1;
        harness.inWorker([&] { n = harness.worker()->streamState().frameCount; });
        return n;
    }
};

} // namespace

void tst_parser::thresholdNeedsMoreThanDistNum()
{
    PtyWorker w;
    QVERIFY(w.open());
    // Ten distances (the default threshold) do not make a batch.
    w.write(frames({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + kTwo);
    QTRY_COMPARE_WITH_TIMEOUT(w.pending(), 10, 15000);
    QCoreApplication::processEvents();
    QVERIFY(w.harness.collector()->batches.isEmpty());
    // The eleventh sends all of them in one batch.
    w.write(frame(11) + kTwo);
    QTRY_COMPARE_WITH_TIMEOUT(w.harness.collector()->batches.size(), 1, 15000);
    QCOMPARE(toList(w.harness.collector()->batches.first().dist), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    QCOMPARE(w.pending(), 0);
}

void tst_parser::oneBatchPerRead_data()
{
    QTest::addColumn<int>("distNum");
    QTest::addColumn<int>("count");
    QTest::newRow("1, two frames") << 1 << 2;
    QTest::newRow("10, fifty frames") << 10 << 50;
    QTest::newRow("100, a hundred and one frames") << 100 << 101;
}

void tst_parser::oneBatchPerRead()
{
    QFETCH(int, distNum);
    QFETCH(int, count);
    PtyWorker w;
    w.harness.worker()->setDistNum(distNum);
    QVERIFY(w.open());
    QList<int> sent;
    for (int i = 0; i < count; ++i)
        sent.append(1000 + i);
    w.write(frames(sent) + kTwo);
    QTRY_COMPARE_WITH_TIMEOUT(w.harness.collector()->distanceCount(), count, 15000);
    // However the reads fell, each batch holds more than distNum distances
    // and together they hold every distance once, in order.
    for (const BatchCollector::Batch &b : w.harness.collector()->batches)
        QVERIFY(b.dist.size() > distNum);
    QCOMPARE(toList(w.harness.collector()->allDistances()), sent);
    QCOMPARE(w.pending(), 0);
}

void tst_parser::frameSplitAcrossReadsParsedOnce()
{
    PtyWorker w;
    w.harness.worker()->setDistNum(1);
    QVERIFY(w.open());
    const QByteArray f = frames({4242, 4343});
    w.write(f.left(5));
    QTRY_COMPARE_WITH_TIMEOUT(w.rxSize(), 5, 5000); // the first read waits in the buffer
    QCOMPARE(w.frameCount(), 0);
    w.write(f.mid(5) + kTwo);
    QTRY_COMPARE_WITH_TIMEOUT(w.harness.collector()->distanceCount(), 2, 15000);
    QCOMPARE(toList(w.harness.collector()->allDistances()), (QList<int>{4242, 4343}));
    QCOMPARE(w.frameCount(), 2);
}

void tst_parser::badFramesDoNotCount()
{
    PtyWorker w;
    QVERIFY(w.open());
    w.write(frame(1, false) + frame(2) + frame(3, false) + frame(4) + kTwo);
    QTRY_COMPARE_WITH_TIMEOUT(w.pending(), 2, 15000);
    QCOMPARE(w.frameCount(), 2);
}

QTEST_GUILESS_MAIN(tst_parser)
#include "tst_parser.moc"
