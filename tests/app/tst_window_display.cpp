// The live chart and the readouts: decimation, the moving time window, the
// axes, suspend and resume, clear, the time-range input and the batch size.

#include "mainwindow.h"
#include "modalcatcher.h"
#include "receiver.h"
#include "windowprobe.h"

#include <QChart>
#include <QLineSeries>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QValueAxis>
#include <QSignalSpy>
#include <QtTest>

// The chart's batch pass written out step by step, on plain vectors, as the
// reference that the window's incremental bookkeeping must match exactly.
// Its axes sit in a chart of their own, so that range requests are treated
// as the window's are.
struct ReferenceChart
{
    QVector<QPointF> series, suspendedPoints, displayPoints, chartPoints;
    double timeCursor = 0, maxDistance = 0, currentDistance = 0;
    int latestRate = 0, timeRange = 10;
    bool suspended = false;
    QChart chart;
    QLineSeries *line = new QLineSeries;
    QValueAxis *axisX = new QValueAxis;
    QValueAxis *axisY = new QValueAxis;

    ReferenceChart()
    {
        chart.addSeries(line);
        axisX->setRange(0, 10);
        axisY->setRange(0, 350);
        chart.addAxis(axisX, Qt::AlignBottom);
        line->attachAxis(axisX);
        chart.addAxis(axisY, Qt::AlignLeft);
        line->attachAxis(axisY);
    }

    void batch(const QVector<uint16_t> &dist, int freq)
    {
        if (freq == 0)
            return;
        const int n = dist.size();
        const int b = freq >= 100 ? freq / 100 : 1;
        latestRate = freq;
        chartPoints = suspended ? suspendedPoints : series;
        const double c = double(n) / freq + timeCursor - timeRange;
        if (c >= 0) {
            int i = 0;
            while (i < chartPoints.size() && chartPoints.at(i).x() < c)
                ++i;
            displayPoints = chartPoints.mid(i);
        }
        const double d = chartPoints.isEmpty() ? 0 : chartPoints.first().x();
        if (!suspended)
            axisX->setRange(d, d + timeRange);
        for (int k = 0; k < n; k += b) {
            timeCursor += double(b) / freq;
            currentDistance = dist.at(k) / 100.0;
            displayPoints.append(QPointF(timeCursor, currentDistance));
        }
        maxDistance = 0;
        for (const QPointF &p : displayPoints)
            maxDistance = std::max(maxDistance, p.y());
        if (!suspended)
            axisY->setRange(0, maxDistance / 0.9);
        if (suspended)
            suspendedPoints = displayPoints;
        else
            series = displayPoints;
    }

    void suspendClick()
    {
        suspended = !suspended;
        if (suspended)
            suspendedPoints = series;
        else
            series = suspendedPoints;
    }

    void clear()
    {
        series.clear();
        displayPoints.clear();
        timeCursor = 0;
    }

    void connectReset()
    {
        series.clear();
        chartPoints.clear();
        displayPoints.clear();
        axisX->setRange(0, 10);
        timeCursor = maxDistance = currentDistance = 0;
        latestRate = 0;
    }
};

class tst_window_display : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }

    static QVector<uint16_t> ramp(int n, int first = 100, int step = 1)
    {
        QVector<uint16_t> v;
        for (int i = 0; i < n; ++i)
            v << uint16_t(first + i * step);
        return v;
    }
    void compareWith(const ReferenceChart &ref, const QByteArray &where);
    void settleChart();
    void enterTimeRange(const QString &text);

private slots:
    void init()
    {
        window = new MainWindow;
        window->show();
        // The chart controls are live only while connected; these tests drive
        // the display without a sensor.
        ui()->groupBox_ctrl->setEnabled(true);
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void decimation_data();
    void decimation();
    void rateZeroChangesNothing();
    void windowMovesWithTime();
    void peakLeavesTheWindow();
    void nonPositiveTimeRange();
    void readoutHoldsRateForTwoSeconds();
    void distanceReadoutFormat_data();
    void distanceReadoutFormat();
    void suspendAndResume();
    void clearRestartsAtZero();
    void connectResetsDisplay();
    void timeRangeInput_data();
    void timeRangeInput();
    void batchSizeReachesWorker_data();
    void batchSizeReachesWorker();
    void matchesReferenceUnderRandomUse_data();
    void matchesReferenceUnderRandomUse();
    void fastBatchesRefreshChartLater();
    void pendingRefreshAndOperator_data();
    void pendingRefreshAndOperator();
};

void tst_window_display::compareWith(const ReferenceChart &ref, const QByteArray &where)
{
    WindowProbe p = probe();
    const char *at = where.constData();
    QVERIFY2(p.series()->pointsVector() == ref.series, at);
    QVERIFY2(p.displayPoints() == ref.displayPoints, at);
    QVERIFY2(p.suspendedPoints() == ref.suspendedPoints, at);
    QVERIFY2(p.timeCursor() == ref.timeCursor, at);
    QVERIFY2(p.maxDistance() == ref.maxDistance, at);
    QVERIFY2(p.currentDistance() == ref.currentDistance, at);
    QVERIFY2(p.latestRate() == ref.latestRate, at);
    QVERIFY2(p.suspended() == ref.suspended, at);
    QVERIFY2(p.axisX()->min() == ref.axisX->min() && p.axisX()->max() == ref.axisX->max(), at);
    QVERIFY2(p.axisY()->min() == ref.axisY->min() && p.axisY()->max() == ref.axisY->max(), at);
}

void tst_window_display::decimation_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("step");
    QTest::newRow("50 fps, every distance") << 50 << 1;
    QTest::newRow("99 fps, every distance") << 99 << 1;
    QTest::newRow("100 fps, every distance") << 100 << 1;
    QTest::newRow("250 fps, every second") << 250 << 2;
    QTest::newRow("1000 fps, every tenth") << 1000 << 10;
    QTest::newRow("11111 fps, every 111th") << 11111 << 111;
}

void tst_window_display::decimation()
{
    QFETCH(int, rate);
    QFETCH(int, step);
    const QVector<uint16_t> batch = ramp(240, 1000, 7);
    probe().display(batch, rate);

    const QVector<QPointF> points = probe().series()->pointsVector();
    QCOMPARE(points.size(), (batch.size() + step - 1) / step);
    double x = 0;
    for (int i = 0; i < points.size(); ++i) {
        x += double(step) / rate;
        QCOMPARE(points.at(i).x(), x);
        QCOMPARE(points.at(i).y(), batch.at(i * step) / 100.0);
    }
    QCOMPARE(probe().timeCursor(), x);
    QCOMPARE(probe().latestRate(), rate);
    QCOMPARE(probe().currentDistance(), batch.at((points.size() - 1) * step) / 100.0);
    // The first batch starts from an empty chart: the time axis begins at 0.
    QCOMPARE(probe().axisX()->min(), 0.0);
    QCOMPARE(probe().axisX()->max(), 10.0);
    const double peak = batch.at((points.size() - 1) * step) / 100.0;
    QCOMPARE(probe().maxDistance(), peak);
    QCOMPARE(probe().axisY()->max(), peak / 0.9);
}

void tst_window_display::rateZeroChangesNothing()
{
    probe().display(ramp(20), 50);
    const QVector<QPointF> before = probe().series()->pointsVector();
    const double cursor = probe().timeCursor();
    const double current = probe().currentDistance();
    const double axisMax = probe().axisY()->max();

    probe().display(ramp(30, 9000), 0);
    QCOMPARE(probe().series()->pointsVector(), before);
    QCOMPARE(probe().timeCursor(), cursor);
    QCOMPARE(probe().currentDistance(), current);
    QCOMPARE(probe().latestRate(), 50);
    QCOMPARE(probe().axisY()->max(), axisMax);
}

// 64 frames per second in batches of 32 keeps every time an exact binary
// fraction: each batch is half a second, each point 1/64 s after the last.
void tst_window_display::windowMovesWithTime()
{
    probe().timeRange() = 2;
    for (int j = 1; j <= 12; ++j) {
        const QVector<QPointF> before = probe().series()->pointsVector();
        probe().display(ramp(32, 100 * j), 64);
        const QVector<QPointF> points = probe().series()->pointsVector();

        QCOMPARE(probe().timeCursor(), 0.5 * j);
        // The window keeps the points at or after (end of batch - 2 s).
        const double windowStart = 0.5 * j - 2;
        QCOMPARE(points.size(), j < 5 ? 32 * j : 129);
        QVERIFY(points.first().x() >= windowStart);
        QCOMPARE(points.last().x(), 0.5 * j);
        // The time axis starts where the curve started before the cut.
        const double axisStart = before.isEmpty() ? 0 : before.first().x();
        QCOMPARE(probe().axisX()->min(), axisStart);
        QCOMPARE(probe().axisX()->max(), axisStart + 2);
    }
    QCOMPARE(probe().displayPoints(), probe().series()->pointsVector());
}

void tst_window_display::peakLeavesTheWindow()
{
    probe().timeRange() = 1;
    QVector<uint16_t> first(32, 2000);
    first[0] = 50000;
    probe().display(first, 64);
    QCOMPARE(probe().maxDistance(), 500.0);
    QCOMPARE(probe().axisY()->max(), 500.0 / 0.9);

    probe().display(QVector<uint16_t>(32, 1500), 64);
    QCOMPARE(probe().maxDistance(), 500.0);  // the peak at 1/64 s is still inside

    probe().display(QVector<uint16_t>(32, 1500), 64);
    QCOMPARE(probe().maxDistance(), 20.0);   // the peak dropped out, the 20 m remain
    QCOMPARE(probe().axisY()->max(), 20.0 / 0.9);

    probe().display(QVector<uint16_t>(32, 1500), 64);
    probe().display(QVector<uint16_t>(32, 1500), 64);
    QCOMPARE(probe().maxDistance(), 15.0);
}

// A time window of 0 or less keeps only the points of the newest batch.
void tst_window_display::nonPositiveTimeRange()
{
    probe().display(ramp(40), 50);
    probe().timeRange() = 0;
    probe().display(ramp(15, 300), 50);
    QCOMPARE(probe().series()->count(), 15);
    probe().timeRange() = -3;
    probe().display(ramp(12, 700), 50);
    QCOMPARE(probe().series()->count(), 12);
    QCOMPARE(probe().series()->at(0).y(), 7.0);
}

void tst_window_display::readoutHoldsRateForTwoSeconds()
{
    probe().display(ramp(20, 123), 100);
    for (int refresh = 1; refresh <= 10; ++refresh) {
        probe().distUpdate();
        QCOMPARE(ui()->freqLabel->text(), QString("100"));
        QCOMPARE(ui()->distLabel->text(), QString("1.42"));
        QCOMPARE(probe().latestRate(), 0);
    }
    probe().distUpdate();
    QCOMPARE(ui()->freqLabel->text(), QString("0"));
    QCOMPARE(ui()->distLabel->text(), QString("1.42"));

    // A newer rate shows at once.
    probe().display(ramp(20), 250);
    probe().distUpdate();
    QCOMPARE(ui()->freqLabel->text(), QString("250"));
    probe().display(ramp(20), 1000);
    probe().distUpdate();
    QCOMPARE(ui()->freqLabel->text(), QString("1000"));
}

void tst_window_display::distanceReadoutFormat_data()
{
    QTest::addColumn<int>("centimetres");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("5") << 5 << "0.05";
    QTest::newRow("123") << 123 << "1.23";
    QTest::newRow("300") << 300 << "3";
    QTest::newRow("65535") << 65535 << "655.35";
}

void tst_window_display::distanceReadoutFormat()
{
    QFETCH(int, centimetres);
    QFETCH(QString, shown);
    probe().display(QVector<uint16_t>(11, uint16_t(centimetres)), 10);
    probe().distUpdate();
    QCOMPARE(ui()->distLabel->text(), shown);
}

void tst_window_display::suspendAndResume()
{
    probe().timeRange() = 1;
    probe().display(ramp(32, 100), 64);
    const QVector<QPointF> shown = probe().series()->pointsVector();
    const double axisXMin = probe().axisX()->min();
    const double axisYMax = probe().axisY()->max();

    ui()->suspendButton->click();
    QVERIFY(probe().suspended());
    QCOMPARE(ui()->suspendButton->text(), QString("恢复"));

    // Three seconds of data while suspended: the screen stays, the window moves.
    for (int j = 0; j < 6; ++j)
        probe().display(ramp(32, 5000 + j), 64);
    QCOMPARE(probe().series()->pointsVector(), shown);
    QCOMPARE(probe().axisX()->min(), axisXMin);
    QCOMPARE(probe().axisY()->max(), axisYMax);
    const QVector<QPointF> window = probe().suspendedPoints();
    QCOMPARE(window.size(), 65);
    QCOMPARE(window.last().x(), 3.5);
    QCOMPARE(probe().timeCursor(), 3.5);

    ui()->suspendButton->click();
    QVERIFY(!probe().suspended());
    QCOMPARE(ui()->suspendButton->text(), QString("暂停"));
    QCOMPARE(probe().series()->pointsVector(), window);

    // The axes follow with the next batch.
    probe().display(ramp(32, 100), 64);
    QCOMPARE(probe().axisX()->min(), 2.5);
    QCOMPARE(probe().axisX()->max(), 3.5);
}

void tst_window_display::clearRestartsAtZero()
{
    probe().display(ramp(60, 400), 50);
    const double axisXMax = probe().axisX()->max();
    const double axisYMax = probe().axisY()->max();
    const double peak = probe().maxDistance();

    ui()->chartClearButton->click();
    QCOMPARE(probe().series()->count(), 0);
    QVERIFY(probe().displayPoints().isEmpty());
    QCOMPARE(probe().timeCursor(), 0.0);
    QCOMPARE(probe().axisX()->max(), axisXMax);
    QCOMPARE(probe().axisY()->max(), axisYMax);
    QCOMPARE(probe().maxDistance(), peak);

    probe().display(ramp(20, 100), 50);
    QCOMPARE(probe().series()->count(), 20);
    QCOMPARE(probe().series()->at(0).x(), 1.0 / 50);
    QCOMPARE(probe().axisX()->min(), 0.0);
}

void tst_window_display::connectResetsDisplay()
{
    probe().timeRange() = 30;
    probe().display(ramp(60, 400), 50);
    probe().distUpdate();
    probe().resetDisplay();
    QCOMPARE(ui()->distLabel->text(), QString("0"));
    QCOMPARE(ui()->freqLabel->text(), QString("0"));
    QCOMPARE(probe().series()->count(), 0);
    QVERIFY(probe().displayPoints().isEmpty());
    QCOMPARE(probe().axisX()->min(), 0.0);
    QCOMPARE(probe().axisX()->max(), 10.0);   // not the 30 s in force
    QCOMPARE(probe().timeCursor(), 0.0);
    QCOMPARE(probe().maxDistance(), 0.0);
    QCOMPARE(probe().currentDistance(), 0.0);
    QCOMPARE(probe().latestRate(), 0);
    QCOMPARE(probe().timeRange(), 30);
}

void tst_window_display::enterTimeRange(const QString &text)
{
    ui()->timeRangeEdit->setText(text);
    QTest::keyClick(ui()->timeRangeEdit, Qt::Key_Return);
}

void tst_window_display::timeRangeInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("range");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("warned");
    QTest::newRow("25") << "25" << 25 << "25" << false;
    QTest::newRow("3600") << "3600" << 3600 << "3600" << false;
    QTest::newRow("3601") << "3601" << 3600 << "3600" << false;
    QTest::newRow("5000") << "5000" << 3600 << "3600" << false;
    QTest::newRow("0") << "0" << 0 << "0" << false;
    QTest::newRow("-5") << "-5" << -5 << "-5" << false;
    QTest::newRow("letters") << "abc" << 7 << "abc" << true;
    QTest::newRow("empty") << "" << 7 << "" << true;
    QTest::newRow("decimal") << "2.5" << 7 << "2.5" << true;
}

void tst_window_display::timeRangeInput()
{
    QFETCH(QString, text);
    QFETCH(int, range);
    QFETCH(QString, shown);
    QFETCH(bool, warned);
    probe().timeRange() = 7;
    ModalCatcher catcher;
    enterTimeRange(text);
    QCOMPARE(probe().timeRange(), range);
    QCOMPARE(ui()->timeRangeEdit->text(), shown);
    if (warned) {
        QCOMPARE(catcher.texts, QStringList{"Please input valid time range!"});
        QCOMPARE(catcher.titles, QStringList{"Input error"});
    } else {
        QVERIFY(catcher.texts.isEmpty());
    }
}

void tst_window_display::batchSizeReachesWorker_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("57") << 57 << 57;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("1000") << 1000 << 1000;
    QTest::newRow("above the range") << 5000 << 1000;
}

void tst_window_display::batchSizeReachesWorker()
{
    QFETCH(int, value);
    QFETCH(int, expected);
    ui()->spinBox_dist_num->setValue(value);
    QCOMPARE(probe().worker()->getDistNum(), expected);
}

void tst_window_display::matchesReferenceUnderRandomUse_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 42u, 2024u})
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
}

// Batches at many rates, suspend and resume, clear, connect resets and
// changes of the time window in random order: after every step the window's
// curves, cursor, maximum and axes equal the step-by-step reference.
void tst_window_display::matchesReferenceUnderRandomUse()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    ReferenceChart ref;
    const int rates[] = {1, 7, 50, 64, 99, 100, 101, 250, 999, 1000, 3333, 11111};
    const int ranges[] = {10, 1, 2, 3, 0, -1, 3600};

    for (int op = 0; op < 1500; ++op) {
        const int pick = int(rng.bounded(100));
        QByteArray what;
        if (pick < 72) {
            const int rate = pick < 4 ? 0 : rates[rng.bounded(int(std::size(rates)))];
            QVector<uint16_t> batch;
            const int n = 11 + int(rng.bounded(150));
            const uint16_t level = uint16_t(rng.bounded(65536));
            for (int i = 0; i < n; ++i)
                batch << (rng.bounded(4) == 0 ? level : uint16_t(rng.bounded(65536)));
            probe().display(batch, rate);
            ref.batch(batch, rate);
            what = "batch of " + QByteArray::number(n) + " at " + QByteArray::number(rate);
        } else if (pick < 82) {
            ui()->suspendButton->click();
            ref.suspendClick();
            what = "suspend button";
        } else if (pick < 88) {
            ui()->chartClearButton->click();
            ref.clear();
            what = "clear";
        } else if (pick < 91) {
            probe().resetDisplay();
            ref.connectReset();
            what = "connect";
        } else {
            const int range = ranges[rng.bounded(int(std::size(ranges)))];
            probe().timeRange() = range;
            ref.timeRange = range;
            what = "time range " + QByteArray::number(range);
        }
        compareWith(ref, "step " + QByteArray::number(op) + ": " + what);
        if (QTest::currentTestFailed())
            return;
    }
}

// Batches that follow each other closely are drawn together: the series lags
// by at most one refresh interval and then shows every point of the window.
// Lets a chart refresh that is still scheduled happen (its timer's timeout,
// within one refresh interval); with none scheduled nothing can change the
// chart any more.
void tst_window_display::settleChart()
{
    QTimer *timer = probe().chartRefreshTimer();
    if (!timer->isActive())
        return;
    QSignalSpy fired(timer, &QTimer::timeout);
    QVERIFY(fired.wait(5000));
}

void tst_window_display::fastBatchesRefreshChartLater()
{
    // An hour's window: half a second between refreshes, so the batches
    // below come "closely" even when this thread is held up on a busy machine.
    probe().timeRange() = 3600;
    probe().forgetChartRefresh();   // a quiet spell: the next batch is drawn at once
    probe().batchOnly(ramp(50, 200), 50);
    QVERIFY(!probe().chartRefreshPending());
    QCOMPARE(probe().series()->count(), 50);

    probe().batchOnly(ramp(50, 300), 50);
    probe().batchOnly(ramp(50, 400), 50);
    QVERIFY(probe().chartRefreshPending());
    QCOMPARE(probe().series()->count(), 50);   // not yet

    QTRY_VERIFY_WITH_TIMEOUT(!probe().chartRefreshPending(), 5000);
    QCOMPARE(probe().series()->pointsVector(), probe().displayPoints());
    QCOMPARE(probe().series()->count(), 150);
    QCOMPARE(probe().axisY()->max(), 4.49 / 0.9);
    QCOMPARE(probe().axisX()->min(), 1.0 / 50);   // the first point's time

    // A short window is redrawn often, an hour's window twice a second.
    QCOMPARE(probe().chartRefreshInterval(), 500);
    probe().timeRange() = 10;
    QVERIFY2(probe().chartRefreshInterval() >= 40 && probe().chartRefreshInterval() < 100,
             qPrintable(QString::number(probe().chartRefreshInterval())));
}

// A refresh still pending must not undo what the operator did meanwhile.
void tst_window_display::pendingRefreshAndOperator_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("clear") << "clear";
    QTest::newRow("suspend") << "suspend";
    QTest::newRow("suspend and resume") << "resume";
}

void tst_window_display::pendingRefreshAndOperator()
{
    QFETCH(QString, action);
    probe().timeRange() = 3600;     // half a second between refreshes (see above)
    probe().forgetChartRefresh();
    probe().batchOnly(ramp(50, 200), 50);
    probe().batchOnly(ramp(50, 300), 50);
    QVERIFY(probe().chartRefreshPending());
    const QVector<QPointF> newest = probe().displayPoints();

    if (action == QLatin1String("clear")) {
        ui()->chartClearButton->click();
        settleChart();
        QCOMPARE(probe().series()->count(), 0);
        return;
    }
    // Suspending freezes the newest curve, not the one drawn before it.
    ui()->suspendButton->click();
    QCOMPARE(probe().series()->pointsVector(), newest);
    probe().batchOnly(ramp(50, 500), 50);
    settleChart();
    QCOMPARE(probe().series()->pointsVector(), newest);
    if (action == QLatin1String("resume")) {
        ui()->suspendButton->click();
        settleChart();
        QCOMPARE(probe().series()->pointsVector(), probe().displayPoints());
        QCOMPARE(probe().series()->count(), 150);
    }
}

QTEST_MAIN(tst_window_display)
#include "tst_window_display.moc"
