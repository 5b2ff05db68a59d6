// Record files: the lines the window writes (plain and CSV), and reading a
// recording back for replay (both formats, the rate of a plain file, faulty
// lines), without widgets.

#include "record_format.h"

#include <QTextStream>
#include <QtTest>

#include <clocale>

class tst_record_file : public QObject
{
    Q_OBJECT

private slots:
    void plainLinesAsTextStreamWrites();
    void csvLines_data();
    void csvLines();
    void secondsWhateverTheLocale();
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
    QCOMPARE(lines, expected);
    QCOMPARE(recordformat::csvHeader(), QByteArray("time_s,distance_m\n"));
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
    QVERIFY(lines.endsWith("\n3600.000000,12.34\n"));
    QByteArray one;
    recordformat::appendSeconds(one, 2.5);
    QCOMPARE(one, QByteArray("2.500000"));
    std::setlocale(LC_NUMERIC, keep.constData());
    QLocale::setDefault(QLocale::c());
    if (!german)
        qInfo("no German locale installed: the C library's decimal point was not changed");
}

QTEST_MAIN(tst_record_file)
#include "tst_record_file.moc"
