// SPDX-License-Identifier: GPL-3.0-or-later
// Record files: the lines the window writes (plain and CSV), and reading a
// recording back for replay (both formats, the rate of a plain file, faulty
// lines, the markers of either format), without widgets.

#include "record_format.h"

#include <QTest>
#include <QTextStream>

#include <clocale>

class tst_record_file : public QObject
{
    Q_OBJECT

private slots:
    void plainLinesAsTextStreamWrites();
    void csvLines_data();
    void csvLines();
    void secondsWhateverTheLocale();
    void recordingsReadBack_data();
    void recordingsReadBack();
    void malformedLinesByNumber_data();
    void malformedLinesByNumber();
    void markersReadBack_data();
    void markersReadBack();
    void rateFromNameAndLastWrite_data();
    void rateFromNameAndLastWrite();
};

// The default format is what it has always been: QTextStream's own writing
// of distance / 100.0, for every distance the sensor can send.
void tst_record_file::plainLinesAsTextStreamWrites()
{
    QVector<uint16_t> all(65536);
    for (int d = 0; d < 65536; ++d)
        all[d] = uint16_t(d);
    QByteArray expected;
    {
        QTextStream stream(&expected);
        for (const uint16_t d : all)
            stream << d / 100.0 << '\n';
    }
    QByteArray lines;
    recordformat::appendPlainLines(lines, all);
    QCOMPARE(lines.size(), expected.size());
    QVERIFY(lines == expected);
}

void tst_record_file::csvLines_data()
{
    QTest::addColumn<QVector<int>>("rates");       // one batch of 3 frames per rate
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("100 fps")
            << QVector<int>{100} << QByteArray("0.010000,1.5\n0.020000,2.5\n0.030000,3.5\n");
    QTest::newRow("rate not yet measured, then 4 fps")
            << QVector<int>{0, 4}
            << QByteArray("0.000000,1.5\n0.000000,2.5\n0.000000,3.5\n0.250000,1.5\n0.500000,2.5\n0.750000,3.5\n");
    QTest::newRow("rate changes, a batch without rate between")
            << QVector<int>{2, 0, 4}
            << QByteArray("0.500000,1.5\n1.000000,2.5\n1.500000,3.5\n1.500000,1.5\n1.500000,2.5\n1.500000,3.5\n"
                          "1.750000,1.5\n2.000000,2.5\n2.250000,3.5\n");
    QTest::newRow("11111 fps") << QVector<int>{11111}
                               << QByteArray("0.000090,1.5\n0.000180,2.5\n0.000270,3.5\n");
}

void tst_record_file::csvLines()
{
    QFETCH(QVector<int>, rates);
    QFETCH(QByteArray, expected);
    recordformat::CsvClock clock;
    QByteArray lines;
    for (const int rate : rates)
        recordformat::appendCsvLines(lines, QVector<uint16_t>{150, 250, 350}, rate, clock);
    // Each line with its marker column, empty, and no stream's number, host
    // time or judgement: distances without a stream around them.
    QCOMPARE(lines, QByteArray(expected).replace('\n', ",,,,,\n"));
    QCOMPARE(recordformat::csvHeader(),
             QByteArray("time_s,distance_m,marker,sample,host_us_since_unknown,filtered_m,state\n"));
    // The host time's column names the stream's start with its UTC offset.
    const QDateTime start(QDate(2026, 12, 8), QTime(9, 41, 2, 123), Qt::OffsetFromUTC, 3600);
    QCOMPARE(recordformat::csvHeader(start),
             QByteArray("time_s,distance_m,marker,sample,host_us_since_2026-12-08T09:41:02.123+01:00,filtered_m,state\n"));
}

// A frame count over the rate does not drift over an hour, and a decimal
// comma of the environment's locale does not reach the file.
void tst_record_file::secondsWhateverTheLocale()
{
    const char *previous = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray keep = previous ? QByteArray(previous) : QByteArray("C");
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    QLocale::setDefault(QLocale(QLocale::German));
    recordformat::CsvClock clock;
    QByteArray lines;
    const QVector<uint16_t> second(11111, 1234);
    for (int s = 0; s < 3600; ++s) {
        lines.clear();
        recordformat::appendCsvLines(lines, second, 11111, clock);
    }
    QVERIFY(lines.endsWith("\n3600.000000,12.34,,,,,\n"));
    QByteArray one;
    recordformat::appendSeconds(one, 2.5);
    QCOMPARE(one, QByteArray("2.500000"));
    std::setlocale(LC_NUMERIC, keep.constData());
    QLocale::setDefault(QLocale::c());
    if (!german)
        qInfo("no German locale installed: the C library's decimal point was not changed");
}

// What the recorder writes reads back to the same readings and times: every
// distance from 0 to 655.35 m, in both formats, at rates that keep every
// line and at rates where every b-th is kept (as the live chart plots).
void tst_record_file::recordingsReadBack_data()
{
    QTest::addColumn<bool>("csv");
    QTest::addColumn<int>("rate");
    QTest::newRow("plain, 100 fps") << false << 100;
    QTest::newRow("plain, 7 fps") << false << 7;
    QTest::newRow("plain, 11111 fps (every 111th)") << false << 11111;
    QTest::newRow("csv, 100 fps") << true << 100;
    QTest::newRow("csv, 1000 fps (every 10th)") << true << 1000;
}

void tst_record_file::recordingsReadBack()
{
    QFETCH(bool, csv);
    QFETCH(int, rate);
    QVector<uint16_t> all(65536);
    for (int i = 0; i < all.size(); ++i)
        all[i] = uint16_t((i * 40503u) & 0xFFFF);   // every value once, shuffled
    QByteArray file;
    if (csv) {
        file = recordformat::csvHeader();
        recordformat::CsvClock clock;
        recordformat::appendCsvLines(file, all, rate, clock);
    } else {
        recordformat::appendPlainLines(file, all);
    }
    const recordformat::Replay r = recordformat::readRecording(file, rate);
    QCOMPARE(r.csv, csv);
    QCOMPARE(r.lines, int(all.size()));
    QCOMPARE(r.badLines, 0);
    QCOMPARE(r.firstBadLine, 0);
    const int step = rate >= 100 ? rate / 100 : 1;
    QCOMPARE(r.points.size(), all.size() / step);
    for (int k = 0; k < r.points.size(); ++k) {
        const int frame = (k + 1) * step;   // 1-based: the frame's time is frame / rate
        QCOMPARE(r.points.at(k).y(), all.at(frame - 1) / 100.0);
        QVERIFY2(std::abs(r.points.at(k).x() - double(frame) / rate) <= 0.5e-6, qPrintable(QString::number(k)));
    }
}

void tst_record_file::malformedLinesByNumber_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("badLines");
    QTest::addColumn<int>("firstBad");
    QTest::newRow("clean") << QByteArray("1.5\n2\n0.05\n") << 3 << 0 << 0;
    QTest::newRow("text on line 2") << QByteArray("1.5\nabc\n2\n") << 2 << 1 << 2;
    QTest::newRow("decimal comma on line 3") << QByteArray("1\n2\n3,5\n4\n") << 3 << 1 << 3;
    QTest::newRow("three decimals, too large, empty line")
            << QByteArray("1.234\n700\n\n1\n655.35\n655.36\n") << 2 << 4 << 1;
    QTest::newRow("windows line ends") << QByteArray("1.5\r\n2\r\n") << 2 << 0 << 0;
    QTest::newRow("no line end at the end") << QByteArray("1.5\n2") << 2 << 0 << 0;
    QTest::newRow("csv: bad time on line 3 (after the header)")
            << QByteArray("time_s,distance_m\n0.010000,1.5\nx,2\n0.030000,2.5\n") << 2 << 1 << 3;
    QTest::newRow("csv: missing distance on line 2")
            << QByteArray("time_s,distance_m\n0.010000\n0.020000,2\n") << 1 << 1 << 2;
}

void tst_record_file::malformedLinesByNumber()
{
    QFETCH(QByteArray, file);
    QFETCH(int, readings);
    QFETCH(int, badLines);
    QFETCH(int, firstBad);
    const recordformat::Replay r = recordformat::readRecording(file, 50);
    QCOMPARE(int(r.points.size()), readings);
    QCOMPARE(r.badLines, badLines);
    QCOMPARE(r.firstBadLine, firstBad);
    QCOMPARE(r.lines - r.badLines, readings);
}

// The markers of a recording read back: a CSV one's marker column (a CSV
// field, quoted when the label holds a comma or quote; a file from before
// the column has none), a plain one's side file on the recording's time.
void tst_record_file::markersReadBack_data()
{
    QTest::addColumn<bool>("sideFile");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected");   // "seconds label"
    QTest::addColumn<int>("badLines");
    QTest::newRow("csv") << false
                         << QByteArray("time_s,distance_m,marker\n0.010000,1.5,\n0.020000,2,M1\n"
                                       "0.030000,2.5,\"a, \"\"b\"\"\"\r\n0.040000,3,\n")
                         << QStringList{"0.02 M1", "0.03 a, \"b\""} << 0;
    QTest::newRow("csv before the marker column") << false << QByteArray("time_s,distance_m\n0.010000,1.5\n")
                                                  << QStringList{} << 0;
    QTest::newRow("csv, a quote left open") << false
                                            << QByteArray("time_s,distance_m,marker\n0.010000,1.5,\"M1\n"
                                                          "0.020000,2,M2\n")
                                            << QStringList{"0.02 M2"} << 1;
    QTest::newRow("side file") << true
                               << QByteArray("line,sample,host_time_s,label\n25,1024,3.500000,M1\n"
                                             "garbage\n100,1099,4.250000,\"x,y\"\n")
                               << QStringList{"0.5 M1", "2 x,y"} << 0;
}

void tst_record_file::markersReadBack()
{
    QFETCH(bool, sideFile);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    QFETCH(int, badLines);
    QVector<recordformat::ReplayMarker> markers;
    if (sideFile) {
        markers = recordformat::readMarkers(file, 50);
    } else {
        const recordformat::Replay r = recordformat::readRecording(file, 0);
        QVERIFY(r.csv);
        QCOMPARE(r.badLines, badLines);
        markers = r.markers;
    }
    QStringList got;
    for (const recordformat::ReplayMarker &m : markers)
        got << QString::number(m.seconds) + " " + m.label;
    QCOMPARE(got, expected);
}

void tst_record_file::rateFromNameAndLastWrite_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("secondsLater");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("rate");
    QTest::newRow("an hour at 100 fps") << "Data/20261207_101500.txt" << 3600 << 360000 << 100;
    QTest::newRow("a second name") << "20261207_101500_2.txt" << 60 << 600000 << 10000;
    QTest::newRow("no time in the name") << "distances.txt" << 60 << 6000 << 0;
    QTest::newRow("written before it started") << "20261207_101500.txt" << -5 << 6000 << 0;
    QTest::newRow("no lines") << "20261207_101500.txt" << 60 << 0 << 0;
}

void tst_record_file::rateFromNameAndLastWrite()
{
    QFETCH(QString, name);
    QFETCH(int, secondsLater);
    QFETCH(int, lines);
    QFETCH(int, rate);
    const QDateTime start(QDate(2026, 12, 7), QTime(10, 15, 0));
    QCOMPARE(recordformat::estimateRate(name, start.addSecs(secondsLater), lines), rate);
}

QTEST_MAIN(tst_record_file)
#include "tst_record_file.moc"
