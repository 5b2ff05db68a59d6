// SPDX-License-Identifier: GPL-3.0-or-later
// The session layer without a window: the numbered stream of batches (its
// numbering and host times across batches) and the recorder that listens to
// it (both formats, the file's name in a folder, never an existing file
// emptied, one write per batch).

#include "batch_stream.h"
#include "recorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

struct Batch
{
    QVector<uint16_t> cm;
    int rate;
    qint64 nowUs;
};
using Batches = QVector<Batch>;
// Markers dropped: after how many of the batches, and the label.
using Marks = QVector<QPair<int, QString>>;

// A judging part's answers: the even samples judged (their filtered distance
// and state), the odd ones not.
struct EvenJudge : recordformat::SampleAnnotator
{
    bool annotate(quint64 number, double &filteredM, const char *&state) const override
    {
        static const QMap<quint64, QPair<double, const char *>> judged{
            {0, {12.345, "ok"}}, {2, {3.005, "above"}}, {4, {1.005, "ok"}}};
        if (!judged.contains(number))
            return false;
        filteredM = judged.value(number).first;
        state = judged.value(number).second;
        return true;
    }
};

// Write system calls of this process so far (Linux's per-process I/O
// account); -1 where it cannot be read.
qint64 writeCalls()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("syscw:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<cannot open>");
}

QDateTime fixedStart()
{
    return QDateTime(QDate(2024, 3, 15), QTime(14, 25, 30));
}

} // namespace

Q_DECLARE_METATYPE(Batches)
Q_DECLARE_METATYPE(Marks)
Q_DECLARE_METATYPE(recordformat::Format)

class tst_recorder : public QObject
{
    Q_OBJECT

private slots:
    void numberingAcrossBatches_data();
    void numberingAcrossBatches();
    void recordedLines_data();
    void recordedLines();
    void namesInAFolder_data();
    void namesInAFolder();
    void namedFileIsNeverOverwritten();
    void oneWritePerBatch();
    void listensToOneStreamUntilStopped();
};

// Every sample gets the next number; the host time of a batch ends at its
// arrival and spans its frames at the rate, never reaching back before the
// previous batch. Empty batches are not handed on; a restart numbers from 0.
void tst_recorder::numberingAcrossBatches_data()
{
    QTest::addColumn<Batches>("batches");
    QTest::addColumn<QVector<qint64>>("expected");   // first, firstUs, lastUs per batch handed on

    QTest::newRow("evenly paced") << Batches{{{1, 2, 3}, 1000, 10000}, {{4, 5}, 1000, 12000}}
                                  << QVector<qint64>{0, 8000, 10000, 3, 11000, 12000};
    QTest::newRow("empty batch skipped") << Batches{{{1, 2}, 100, 50000}, {{}, 100, 60000}, {{3}, 100, 70000}}
                                         << QVector<qint64>{0, 40000, 50000, 2, 70000, 70000};
    // A batch that came close behind the previous one starts after it.
    QTest::newRow("late batch squeezed") << Batches{{{1, 2}, 10, 1000000}, {{3, 4, 5}, 10, 1050000}}
                                         << QVector<qint64>{0, 900000, 1000000, 2, 1000001, 1050000};
    // A rate of 0 (the first second after a connect): all at the arrival.
    QTest::newRow("unknown rate") << Batches{{{7, 8, 9}, 0, 3000}, {{10}, 0, 2000}}
                                  << QVector<qint64>{0, 3000, 3000, 3, 3001, 3001};
    QTest::newRow("restart") << Batches{{{1, 2, 3}, 100, 5000}, {{}, -1, 0}, {{4}, 100, 100}}
                             << QVector<qint64>{0, 0, 5000, 0, 100, 100};
}

void tst_recorder::numberingAcrossBatches()
{
    QFETCH(Batches, batches);
    QFETCH(QVector<qint64>, expected);
    BatchStream stream;
    QVector<MeasurementBatch> seen;
    connect(&stream, &BatchStream::batch, this, [&seen](const MeasurementBatch &b) { seen << b; });
    QSignalSpy restarted(&stream, &BatchStream::restarted);
    for (const Batch &b : batches) {
        if (b.rate < 0)
            stream.restart();
        else
            stream.takeAt(b.cm, b.rate, b.nowUs);
    }
    QCOMPARE(seen.size(), expected.size() / 3);
    quint64 total = 0;
    for (int i = 0; i < seen.size(); ++i) {
        const MeasurementBatch &b = seen.at(i);
        QCOMPARE(qint64(b.first), expected.at(3 * i));
        QCOMPARE(b.firstUs, expected.at(3 * i + 1));
        QCOMPARE(b.lastUs, expected.at(3 * i + 2));
        QVERIFY(b.timeUs(0) == b.firstUs && b.timeUs(b.size() - 1) == b.lastUs);
        total = b.end();
    }
    QCOMPARE(stream.samples(), total);
    QCOMPARE(restarted.count(), int(std::count_if(batches.begin(), batches.end(), [](const Batch &b) {
        return b.rate < 0;
    })));
}

// What a recording holds after the stream's batches: every distance, the
// first second's batches without a rate as well, in either format; and the
// operator's markers, each on the first frame after it (a CSV recording's
// marker column, a plain one's side file, which only a marker makes).
void tst_recorder::recordedLines_data()
{
    QTest::addColumn<recordformat::Format>("format");
    QTest::addColumn<Batches>("batches");
    QTest::addColumn<Marks>("marks");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("expectedMarkers");   // the side file; empty: none made
    QTest::addColumn<int>("restartAt");   // the stream restarts before this batch (-1: never)
    QTest::addColumn<bool>("judged");     // a judging part annotates the samples (see EvenJudge)

    // The host time's column names the stream's start, which the test puts
    // in for %START%.
    const QByteArray kHeader("time_s,distance_m,marker,sample,host_us_since_%START%,filtered_m,state\n");
    const Batches mixed{{{1234, 5}, 0, 1000}, {{300, 65535, 100}, 100, 40000}, {{2}, 50, 80000}};
    // Before the first frame, two on one frame (one with a comma), one
    // with quotes, and one after the last frame (never written).
    const Marks marks{{0, "start"}, {1, "M1"}, {1, "a,b"}, {2, "say \"hi\""}, {3, "late"}};
    QTest::newRow("plain") << recordformat::Format::Plain << mixed << Marks{}
                           << QByteArray("12.34\n0.05\n3\n655.35\n1\n0.02\n") << QByteArray() << -1 << false;
    QTest::newRow("csv") << recordformat::Format::Csv << mixed << Marks{}
                         << QByteArray(kHeader + "0.000000,12.34,,0,1000,,\n0.000000,0.05,,1,1000,,\n"
                                       "0.010000,3,,2,20000,,\n0.020000,655.35,,3,30000,,\n0.030000,1,,4,40000,,\n"
                                       "0.050000,0.02,,5,80000,,\n")
                         << QByteArray() << -1 << false;
    // The judge's filtered distance and state where it has them (here: the
    // even samples), empty fields where not.
    QTest::newRow("csv, judged") << recordformat::Format::Csv << mixed << Marks{}
                                 << QByteArray(kHeader + "0.000000,12.34,,0,1000,12.345000,ok\n0.000000,0.05,,1,1000,,\n"
                                               "0.010000,3,,2,20000,3.005000,above\n0.020000,655.35,,3,30000,,\n"
                                               "0.030000,1,,4,40000,1.005000,ok\n0.050000,0.02,,5,80000,,\n")
                                 << QByteArray() << -1 << true;
    QTest::newRow("csv, nothing yet") << recordformat::Format::Csv << Batches{} << Marks{}
                                      << kHeader << QByteArray() << -1 << false;
    QTest::newRow("plain, nothing yet") << recordformat::Format::Plain << Batches{} << Marks{} << QByteArray()
                                        << QByteArray() << -1 << false;
    QTest::newRow("plain, markers") << recordformat::Format::Plain << mixed << marks
                                    << QByteArray("12.34\n0.05\n3\n655.35\n1\n0.02\n")
                                    << QByteArray("line,sample,host_time_s,label\n1,0,0.001000,start\n"
                                                  "3,2,0.020000,M1\n3,2,0.020000,\"a,b\"\n"
                                                  "6,5,0.080000,\"say \"\"hi\"\"\"\n")
                                    << -1 << false;
    // A marker waiting when the numbers begin again goes on the first frame
    // of the new count.
    QTest::newRow("plain, restart") << recordformat::Format::Plain << mixed << Marks{{1, "M1"}}
                                    << QByteArray("12.34\n0.05\n3\n655.35\n1\n0.02\n")
                                    << QByteArray("line,sample,host_time_s,label\n3,0,0.020000,M1\n") << 1 << false;
    QTest::newRow("csv, markers") << recordformat::Format::Csv << mixed << marks
                                  << QByteArray(kHeader + "0.000000,12.34,start,0,1000,,\n0.000000,0.05,,1,1000,,\n"
                                                "0.010000,3,\"M1; a,b\",2,20000,,\n0.020000,655.35,,3,30000,,\n"
                                                "0.030000,1,,4,40000,,\n0.050000,0.02,\"say \"\"hi\"\"\",5,80000,,\n")
                                  << QByteArray() << -1 << false;
}

void tst_recorder::recordedLines()
{
    QFETCH(recordformat::Format, format);
    QFETCH(Batches, batches);
    QFETCH(Marks, marks);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, expectedMarkers);
    QFETCH(int, restartAt);
    QFETCH(bool, judged);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BatchStream stream;
    Recorder recorder;
    EvenJudge judge;
    if (judged)
        recorder.setAnnotator(&judge);
    recorder.listenTo(&stream);
    recorder.setFormat(format);
    // Nothing recorded, nothing marked.
    QVERIFY(!recorder.mark(QStringLiteral("none")));
    QString why;
    QVERIFY2(recorder.startAt(dir.filePath(QStringLiteral("r")), &why), qPrintable(why));
    for (int i = 0; i <= batches.size(); ++i) {
        for (const auto &m : marks)
            if (m.first == i)
                QVERIFY(recorder.mark(m.second));
        if (i == restartAt)
            stream.restart();
        if (i < batches.size())
            stream.takeAt(batches.at(i).cm, batches.at(i).rate, batches.at(i).nowUs);
    }
    // On disk while the recording still runs. A recording opened before the
    // stream began starts it: the host times count from the recording's start.
    QVERIFY(stream.isStarted() || batches.isEmpty());
    const QDateTime start = stream.startedAt();
    expected.replace("%START%", start.toOffsetFromUtc(start.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1());
    QCOMPARE(contents(recorder.fileName()), expected);
    const QString side = recordformat::markersPath(recorder.fileName());
    QCOMPARE(QFileInfo::exists(side), !expectedMarkers.isEmpty());
    if (!expectedMarkers.isEmpty()) {
        QCOMPARE(recorder.markersFileName(), side);
        QCOMPARE(contents(side), expectedMarkers);
    }
    quint64 distances = 0;
    for (const Batch &b : batches)
        distances += quint64(b.cm.size());
    QCOMPARE(recorder.distances(), distances);
}

// A recording in a folder is named after its start; a name taken (two
// recordings within one second) gets the next free "_N" before the suffix,
// and the folder is made when missing.
void tst_recorder::namesInAFolder_data()
{
    QTest::addColumn<recordformat::Format>("format");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    const auto plain = recordformat::Format::Plain;
    const auto csv = recordformat::Format::Csv;
    QTest::newRow("free") << plain << "Data/" << QStringList{} << "Data/20240315_142530.txt";
    QTest::newRow("csv") << csv << "Data/" << QStringList{} << "Data/20240315_142530.csv";
    QTest::newRow("taken") << plain << "Data/" << QStringList{"Data/20240315_142530.txt"}
                           << "Data/20240315_142530_2.txt";
    QTest::newRow("taken twice") << csv << "Data"
                                 << QStringList{"Data/20240315_142530.csv", "Data/20240315_142530_2.csv"}
                                 << "Data/20240315_142530_3.csv";
    QTest::newRow("other suffix is no clash") << csv << "Data/" << QStringList{"Data/20240315_142530.txt"}
                                              << "Data/20240315_142530.csv";
    QTest::newRow("missing folders made") << plain << "a/b/c/" << QStringList{} << "a/b/c/20240315_142530.txt";
}

void tst_recorder::namesInAFolder()
{
    QFETCH(recordformat::Format, format);
    QFETCH(QString, folder);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : existing) {
        QVERIFY(QDir(dir.path()).mkpath(QFileInfo(name).path()));
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kept\n");
    }
    Recorder recorder;
    recorder.setFormat(format);
    recorder.setClock(fixedStart);
    BatchStream stream;
    recorder.listenTo(&stream);
    QString why;
    QVERIFY2(recorder.startIn(dir.filePath(folder), &why), qPrintable(why));
    QCOMPARE(recorder.fileName(), QDir(dir.path()).filePath(expected));
    QCOMPARE(recorder.folder(), dir.filePath(folder));
    stream.takeAt({250}, 10, 100);
    recorder.stop();
    QVERIFY(!recorder.isRecording());
    // (a CSV line: no marker, the stream's first frame at 100 us, no judge)
    QVERIFY(contents(recorder.fileName())
                    .endsWith(recorder.format() == recordformat::Format::Csv ? ",2.5,,0,100,,\n" : "2.5\n"));
    for (const QString &name : existing)
        QCOMPARE(contents(dir.filePath(name)), QByteArray("kept\n"));
}

// A file named by the caller is made new: an existing one is refused and
// keeps its lines, a folder that does not exist is refused too.
void tst_recorder::namedFileIsNeverOverwritten()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString taken = dir.filePath(QStringLiteral("taken.txt"));
    {
        QFile f(taken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1.5\n");
    }
    Recorder recorder;
    QString why;
    QVERIFY(!recorder.startAt(taken, &why));
    QVERIFY2(why.contains(QStringLiteral("exists")), qPrintable(why));
    QVERIFY(!recorder.isRecording());
    QCOMPARE(contents(taken), QByteArray("1.5\n"));
    why.clear();
    QVERIFY(!recorder.startAt(dir.filePath(QStringLiteral("no/such/folder.txt")), &why));
    QVERIFY(!why.isEmpty());
}

// A batch of a thousand distances reaches the file with one write system
// call, however many lines it has; a batch while stopped with none.
void tst_recorder::oneWritePerBatch()
{
    if (writeCalls() < 0)
        QSKIP("no per-process I/O account (/proc/self/io)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const auto format : {recordformat::Format::Plain, recordformat::Format::Csv}) {
        BatchStream stream;
        Recorder recorder;
        recorder.listenTo(&stream);
        recorder.setFormat(format);
        QVERIFY(recorder.startAt(dir.filePath(QString::number(int(format)))));
        QVector<uint16_t> batch(1000);
        for (int i = 0; i < batch.size(); ++i)
            batch[i] = uint16_t(100 + i);
        qint64 before = writeCalls();
        stream.takeAt(batch, 11111, 1000);
        qint64 after = writeCalls();
        QCOMPARE(after - before, qint64(1));
        recorder.stop();
        before = writeCalls();
        stream.takeAt(batch, 11111, 2000);
        after = writeCalls();
        QCOMPARE(after - before, qint64(0));
        QCOMPARE(recorder.distances(), quint64(1000));
    }
}

// The recorder takes the stream it listens to, and only that one; a stopped
// recording takes nothing more.
void tst_recorder::listensToOneStreamUntilStopped()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BatchStream first, second;
    Recorder recorder;
    recorder.listenTo(&first);
    recorder.listenTo(&second);
    QVERIFY(recorder.startAt(dir.filePath(QStringLiteral("one.txt"))));
    first.takeAt({100}, 10, 1);
    second.takeAt({200}, 10, 1);
    recorder.stop();
    second.takeAt({300}, 10, 2);
    QCOMPARE(contents(dir.filePath(QStringLiteral("one.txt"))), QByteArray("2\n"));
    QCOMPARE(recorder.fileName(), dir.filePath(QStringLiteral("one.txt")));
}

QTEST_GUILESS_MAIN(tst_recorder)
#include "tst_recorder.moc"
