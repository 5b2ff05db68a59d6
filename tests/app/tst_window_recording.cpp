// SPDX-License-Identifier: GPL-3.0-or-later
// Recording the live distances: file name and place, one line per distance in
// arrival order, the number format, no file ever emptied, the failure text,
// and the operator's markers on the chart, in the file and on replay.

#include "chart_files.h"
#include "chart_markers.h"
#include "mainwindow.h"
#include "windowprobe.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QToolButton>

#include <QDateTime>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

class tst_window_recording : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    QTemporaryDir *scratch = nullptr;
    QString previousDir;

    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return "<cannot open " + path.toUtf8() + ">";
        return f.readAll();
    }
    static QByteArray lines(const QVector<uint16_t> &dist)
    {
        QByteArray out;
        for (uint16_t d : dist)
            out += QByteArray::number(d / 100.0, 'g', 6) + '\n';
        return out;
    }
    static QVector<uint16_t> ramp(int n, int first)
    {
        QVector<uint16_t> v;
        for (int i = 0; i < n; ++i)
            v << uint16_t(first + 3 * i);
        return v;
    }
    QString startRecording()
    {
        ui()->saveButton->click();
        return probe().recordFile().fileName();
    }

private slots:
    void init()
    {
        // Records go to Data/ under the working directory: use a fresh one.
        scratch = new QTemporaryDir;
        QVERIFY(scratch->isValid());
        previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(scratch->path()));
        window = new MainWindow;
        window->show();
        ui()->groupBox_ctrl->setEnabled(true);
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
        QDir::setCurrent(previousDir);
        delete scratch;
        scratch = nullptr;
    }

    void nameAndLocation();
    void everyDistanceInArrivalOrder();
    void lineFormat_data();
    void lineFormat();
    void linesReachTheFileAtOnce();
    void rateZeroBatchesAreRecorded();
    void suspendedChartStillRecords();
    void stopClosesTheFile();
    void existingFileIsNeverEmptied_data();
    void existingFileIsNeverEmptied();
    void twoRecordingsInOneSecond();
    void directoryCannotBeCreated();
    void closingTheWindowKeepsTheLines();
    void markersThroughRecordingAndReplay_data();
    void markersThroughRecordingAndReplay();
};

void tst_window_recording::nameAndLocation()
{
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    const QString path = startRecording();
    const QDateTime after = QDateTime::currentDateTime();

    QVERIFY(probe().recording());
    QCOMPARE(ui()->saveButton->text(), QString("停止"));
    QCOMPARE(probe().dataPath(), QDir::currentPath() + "/Data/");
    QVERIFY(QFileInfo(QDir::currentPath() + "/Data").isDir());
    QCOMPARE(QFileInfo(path).absolutePath(), QDir::currentPath() + "/Data");
    QVERIFY(path.endsWith(".txt"));
    const QString stamp = QFileInfo(path).completeBaseName();
    const QDateTime started = QDateTime::fromString(stamp, "yyyyMMdd_HHmmss");
    QVERIFY2(started.isValid(), qPrintable(stamp));
    QVERIFY(started >= before && started <= after);
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);

    ui()->saveButton->click();
    QVERIFY(!probe().recording());
    QCOMPARE(ui()->saveButton->text(), QString("录制"));
}

// At 1000 frames per second only every tenth distance is plotted, but every
// distance is recorded: ten lines per plotted point.
void tst_window_recording::everyDistanceInArrivalOrder()
{
    const QString path = startRecording();
    const QVector<uint16_t> a = ramp(120, 1000), b = ramp(37, 4000), c = ramp(11, 20);
    probe().display(a, 1000);
    QCOMPARE(probe().series()->count(), 12);
    probe().display(b, 250);
    probe().display(c, 50);
    ui()->saveButton->click();
    const QByteArray content = readAll(path);
    QCOMPARE(content.count('\n'), 120 + 37 + 11);
    QCOMPARE(content, lines(a) + lines(b) + lines(c));
}

void tst_window_recording::lineFormat_data()
{
    QTest::addColumn<int>("centimetres");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("300") << 300 << QByteArray("3\n");
    QTest::newRow("1234") << 1234 << QByteArray("12.34\n");
    QTest::newRow("65535") << 65535 << QByteArray("655.35\n");
    QTest::newRow("5") << 5 << QByteArray("0.05\n");
    QTest::newRow("10") << 10 << QByteArray("0.1\n");
    QTest::newRow("0") << 0 << QByteArray("0\n");
    QTest::newRow("1") << 1 << QByteArray("0.01\n");
    QTest::newRow("12345") << 12345 << QByteArray("123.45\n");
}

void tst_window_recording::lineFormat()
{
    QFETCH(int, centimetres);
    QFETCH(QByteArray, line);
    const QString path = startRecording();
    probe().display(QVector<uint16_t>{uint16_t(centimetres)}, 50);
    ui()->saveButton->click();
    QCOMPARE(readAll(path), line);
}

void tst_window_recording::linesReachTheFileAtOnce()
{
    const QString path = startRecording();
    const QVector<uint16_t> batch = ramp(15, 700);
    probe().display(batch, 100);
    QVERIFY(probe().recording());
    QCOMPARE(readAll(path), lines(batch));
}

// The first second after a connect carries a rate of 0: not drawn, but recorded.
void tst_window_recording::rateZeroBatchesAreRecorded()
{
    const QString path = startRecording();
    const QVector<uint16_t> first = ramp(25, 500), second = ramp(12, 900);
    probe().display(first, 0);
    QCOMPARE(probe().series()->count(), 0);
    QCOMPARE(probe().timeCursor(), 0.0);
    probe().display(second, 100);
    ui()->saveButton->click();
    QCOMPARE(readAll(path), lines(first) + lines(second));
}

void tst_window_recording::suspendedChartStillRecords()
{
    const QString path = startRecording();
    ui()->suspendButton->click();
    const QVector<uint16_t> batch = ramp(30, 1500);
    probe().display(batch, 100);
    QCOMPARE(probe().series()->count(), 0);
    ui()->saveButton->click();
    QCOMPARE(readAll(path), lines(batch));
}

void tst_window_recording::stopClosesTheFile()
{
    const QString path = startRecording();
    const QVector<uint16_t> batch = ramp(11, 100);
    probe().display(batch, 100);
    ui()->saveButton->click();
    QVERIFY(!probe().recordFile().isOpen());
    probe().display(ramp(50, 3000), 100);
    QCOMPARE(readAll(path), lines(batch));
}

void tst_window_recording::existingFileIsNeverEmptied_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expectedSuffix");
    QTest::newRow("name taken") << QStringList{""} << "_2";
    QTest::newRow("name and _2 taken") << QStringList{"", "_2"} << "_3";
    QTest::newRow("only _2 taken") << QStringList{"_2"} << "";
    QTest::newRow("name to _9 taken") << QStringList{"", "_2", "_3", "_4", "_5", "_6", "_7", "_8", "_9"} << "_10";
}

// Files named after the second the recording starts in are there already:
// the recording must pick a free name and leave them untouched. The window's
// clock is set to that second, so the names meet by construction.
void tst_window_recording::existingFileIsNeverEmptied()
{
    QFETCH(QStringList, taken);
    QFETCH(QString, expectedSuffix);
    QVERIFY(QDir().mkpath("Data"));
    const QDateTime start(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
    probe().recordClock() = [start] { return start; };
    const QString stamp = QStringLiteral("20240229_235959");
    QStringList sentinels;
    for (const QString &suffix : taken) {
        const QString name = "Data/" + stamp + suffix + ".txt";
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier recording\n");
        sentinels << name;
    }
    const QString path = startRecording();
    QVERIFY(probe().recording());
    QCOMPARE(QFileInfo(path).fileName(), stamp + expectedSuffix + ".txt");
    const QVector<uint16_t> batch = ramp(20, 250);
    probe().display(batch, 100);
    ui()->saveButton->click();
    QCOMPARE(readAll(path), lines(batch));
    for (const QString &name : sentinels)
        QCOMPARE(readAll(name), QByteArray("earlier recording\n"));
}

// Start, stop, start again within the same second (the window's clock moves
// by less than a second between them, across a whole second too): the second
// file is "_2" and the first keeps its lines; a third gets "_3". A recording
// in the next second takes that second's plain name.
void tst_window_recording::twoRecordingsInOneSecond()
{
    QDateTime now(QDate(2023, 12, 31), QTime(23, 59, 58, 10));
    probe().recordClock() = [&now] { return now; };

    const QString first = startRecording();
    const QVector<uint16_t> a = ramp(40, 100);
    probe().display(a, 100);
    ui()->saveButton->click();
    now = now.addMSecs(980);
    const QString second = startRecording();
    const QVector<uint16_t> b = ramp(15, 9000);
    probe().display(b, 100);
    ui()->saveButton->click();
    now = now.addMSecs(5);
    const QString third = startRecording();
    const QVector<uint16_t> c = ramp(7, 3000);
    probe().display(c, 100);
    ui()->saveButton->click();
    now = now.addMSecs(10);   // 23:59:59.005: the next second
    const QString fourth = startRecording();
    ui()->saveButton->click();

    QCOMPARE(QFileInfo(first).fileName(), QString("20231231_235958.txt"));
    QCOMPARE(QFileInfo(second).fileName(), QString("20231231_235958_2.txt"));
    QCOMPARE(QFileInfo(third).fileName(), QString("20231231_235958_3.txt"));
    QCOMPARE(QFileInfo(fourth).fileName(), QString("20231231_235959.txt"));
    QCOMPARE(readAll(first), lines(a));
    QCOMPARE(readAll(second), lines(b));
    QCOMPARE(readAll(third), lines(c));
    QCOMPARE(readAll(fourth), QByteArray());
}

void tst_window_recording::directoryCannotBeCreated()
{
    QFile blocker("Data");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a directory");
    blocker.close();

    ui()->saveButton->click();
    QCOMPARE(ui()->statusBar->currentMessage(), QString("打开录制文件失败!"));
    QVERIFY(!probe().recording());
    QCOMPARE(ui()->saveButton->text(), QString("录制"));
    probe().display(ramp(20, 100), 100);   // nothing to write to, nothing breaks
    QCOMPARE(probe().series()->count(), 20);
}

void tst_window_recording::closingTheWindowKeepsTheLines()
{
    const QString path = startRecording();
    const QVector<uint16_t> batch = ramp(33, 4400);
    probe().display(batch, 100);
    delete window;
    window = nullptr;
    QCOMPARE(readAll(path), lines(batch));
}

// A marker dropped while recording: a line on the chart at the newest
// sample, in the file on the first frame after it (a CSV recording's marker
// column, a plain one's side file), and back on the chart when the file is
// replayed, in place of the live window's markers until back to live.
void tst_window_recording::markersThroughRecordingAndReplay_data()
{
    QTest::addColumn<bool>("csv");
    QTest::addColumn<QString>("typed");   // the label typed in the button's menu; empty: the button itself
    QTest::addColumn<QString>("label");
    QTest::newRow("plain, numbered") << false << QString() << "M1";
    QTest::newRow("csv, numbered") << true << QString() << "M1";
    QTest::newRow("plain, typed") << false << "run 2, cold" << "run 2, cold";
    QTest::newRow("csv, typed") << true << "run 2, cold" << "run 2, cold";
}

void tst_window_recording::markersThroughRecordingAndReplay()
{
    QFETCH(bool, csv);
    QFETCH(QString, typed);
    QFETCH(QString, label);
    auto *markers = window->findChild<ChartMarkers *>();
    QVERIFY(markers);
    window->findChild<QCheckBox *>(QStringLiteral("recordCsvCheckBox"))->setChecked(csv);
    const QString path = startRecording();
    QVERIFY(probe().recording());
    probe().display(ramp(50, 1000), 100);   // 0.01 .. 0.50 s
    if (typed.isEmpty()) {
        window->findChild<QToolButton *>(QStringLiteral("markerButton"))->click();
    } else {
        auto *edit = window->findChild<QLineEdit *>(QStringLiteral("markerLabelEdit"));
        QVERIFY(edit);
        edit->setText(typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(edit->text().isEmpty());
    }

    // On the chart at the newest sample, drawn there.
    QVector<ChartMarkers::Shown> shown = markers->shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().label, label);
    QCOMPARE(shown.first().time, 0.5);
    QChart *chart = probe().chartView()->chart();
    const QRectF plot = chart->plotArea();
    QVERIFY(shown.first().x > plot.left() && shown.first().x < plot.right());
    const QImage picture = probe().panel()->picture();
    const QPoint top = probe().chartView()->mapFromScene(chart->mapToScene(QPointF(shown.first().x, plot.top())));
    const QPoint bottom = probe().chartView()->mapFromScene(chart->mapToScene(QPointF(shown.first().x, plot.bottom())));
    const double dpr = picture.devicePixelRatio();
    int orange = 0;
    for (int y = top.y(); y < bottom.y(); ++y) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = picture.pixelColor(int((top.x() + dx) * dpr), int(y * dpr));
            if (c.red() > 200 && c.green() > 90 && c.green() < 160 && c.blue() < 90) {
                ++orange;
                break;
            }
        }
    }
    // A dashed line: well over a third of the plot's height.
    QVERIFY2(orange > (bottom.y() - top.y()) / 3, qPrintable(QString::number(orange)));

    probe().display(ramp(50, 2000), 100);   // 0.51 .. 1.00 s
    ui()->saveButton->click();
    QVERIFY(!probe().recording());

    // In the file: on frame 50 (line 51), the first after the marker.
    const QByteArray content = readAll(path);
    const QString sidePath = path + ".markers";
    if (csv) {
        const QList<QByteArray> rows = content.split('\n');
        QVERIFY(rows.first().startsWith("time_s,distance_m,marker,sample,host_us_since_2"));
        // The marker on the frame numbered 50 of the stream.
        QVERIFY2(rows.at(51).startsWith(QByteArray("0.510000,20,")
                                        + (typed.isEmpty() ? QByteArray("M1") : QByteArray("\"run 2, cold\"")) + ",50,"),
                 rows.at(51).constData());
        QCOMPARE(content.count(label.toUtf8()), 1);
        QVERIFY(!QFile::exists(sidePath));
    } else {
        // The recording itself stays one distance per line.
        QCOMPARE(content, lines(ramp(50, 1000)) + lines(ramp(50, 2000)));
        const QList<QByteArray> side = readAll(sidePath).split('\n');
        QCOMPARE(side.size(), 3);
        QCOMPARE(side.at(0), QByteArray("line,sample,host_time_s,label"));
        const QList<QByteArray> fields = side.at(1).split(',');
        QCOMPARE(fields.value(0), QByteArray("51"));
        QCOMPARE(fields.value(1), QByteArray("50"));
        QVERIFY(side.at(1).endsWith(typed.isEmpty() ? QByteArray(",M1") : QByteArray(",\"run 2, cold\"")));
    }

    // Replayed: the recording's marker on its frame's time, the live one
    // hidden meanwhile.
    QVERIFY(probe().files()->openRecording(path, 100));
    shown = markers->shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().label, label);
    QVERIFY2(qAbs(shown.first().time - 0.51) < 1e-9, qPrintable(QString::number(shown.first().time)));
    // Back to live: the live window's marker again.
    ui()->suspendButton->click();
    shown = markers->shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().time, 0.5);
}

QTEST_MAIN(tst_window_recording)
#include "tst_window_recording.moc"
