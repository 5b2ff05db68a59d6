// Recording the live distances: file name and place, one line per distance in
// arrival order, the number format, no file ever emptied, and the failure text.

#include "mainwindow.h"
#include "windowprobe.h"

#include <QDateTime>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

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
}

// Files named after the next few seconds are there already: the recording
// must pick a free name and leave them untouched.
void tst_window_recording::existingFileIsNeverEmptied()
{
    QFETCH(QStringList, taken);
    QFETCH(QString, expectedSuffix);
    QVERIFY(QDir().mkpath("Data"));
    const QDateTime now = QDateTime::currentDateTime();
    QStringList sentinels;
    for (int s = 0; s < 6; ++s) {
        for (const QString &suffix : taken) {
            const QString name = "Data/" + now.addSecs(s).toString("yyyyMMdd_HHmmss") + suffix + ".txt";
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier recording\n");
            sentinels << name;
        }
    }
    const QString path = startRecording();
    QVERIFY(probe().recording());
    const QString stamp = QFileInfo(path).completeBaseName().left(15);
    QCOMPARE(QFileInfo(path).fileName(), stamp + expectedSuffix + ".txt");
    const QVector<uint16_t> batch = ramp(20, 250);
    probe().display(batch, 100);
    ui()->saveButton->click();
    QCOMPARE(readAll(path), lines(batch));
    for (const QString &name : sentinels)
        QCOMPARE(readAll(name), QByteArray("earlier recording\n"));
}

// Start, stop, start again at once: when both fall in one second (retried
// until they do) the second file is "_2" and the first keeps its lines.
void tst_window_recording::twoRecordingsInOneSecond()
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QString first = startRecording();
        const QVector<uint16_t> a = ramp(40, 100);
        probe().display(a, 100);
        ui()->saveButton->click();
        const QString second = startRecording();
        const QVector<uint16_t> b = ramp(15, 9000);
        probe().display(b, 100);
        ui()->saveButton->click();
        QVERIFY(first != second);
        QCOMPARE(readAll(first), lines(a));
        QCOMPARE(readAll(second), lines(b));
        if (QFileInfo(second).completeBaseName() == QFileInfo(first).completeBaseName() + "_2")
            return;
    }
    QFAIL("no two recordings fell in the same second");
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

QTEST_MAIN(tst_window_recording)
#include "tst_window_recording.moc"
