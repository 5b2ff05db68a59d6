// The chart model on its own: the envelope it hands to the chart draws the
// same pixels as all points of the time window, while the window scrolls and
// after the plot changes its width; suspend, resume, clear and reset as one
// state.

#include "chart_model.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <functional>

namespace {

// A plot as a chart draws one: every point lands in the pixel column of its
// time (columns of range / width seconds), at the column's centre, and the
// distance maps linearly onto the plot's height. The line is drawn as
// Qt Charts draws a solid line series: one aliased line per pair of
// neighbouring points, with the series' pen (2 px wide, square caps).
struct Plot
{
    double range = 10;      // seconds across the plot
    int width = 800;        // pixels
    int height = 300;
    double yMax = 700;      // metres at the top
    qint64 firstColumn = 0; // column at the plot's left edge
    QPen pen;

    Plot()
    {
        pen = QPen(QColor(32, 159, 223), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    }

    QPointF map(const QPointF &p) const
    {
        const double columnWidth = range / width;
        const qint64 column = qint64(std::floor(p.x() / columnWidth)) - firstColumn;
        const double y = 10 + height - p.y() / yMax * height;
        return QPointF(10 + column + 0.5, y);
    }

    QImage draw(const QVector<QPointF> &points) const
    {
        QImage image(width + 40, height + 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(pen);
        for (int i = 1; i < points.size(); ++i)
            painter.drawLine(map(points.at(i - 1)), map(points.at(i)));
        painter.end();
        return image;
    }
};

// Distances (cm) of the frames of one scenario, frame by frame.
using Signal = std::function<uint16_t(qint64 frame)>;

struct Scenario
{
    QString name;
    int rate;           // frames per second
    int windowSeconds;  // time window
    int plotWidth;
    int seconds;        // how long the stream runs
    int batch;          // frames per batch
    Signal signal;
};

int countDiffering(const QImage &a, const QImage &b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            n += ra[x] != rb[x];
    }
    return n;
}

} // namespace

Q_DECLARE_METATYPE(Scenario)

class tst_chart_model : public QObject
{
    Q_OBJECT

private:
    static void feed(ChartModel &model, const Scenario &s, qint64 &frame, qint64 frames);
    static void compareDrawings(const ChartModel &model, double range, int width, const QByteArray &where);

private slots:
    void envelopeDrawsLikeAllPoints_data();
    void envelopeDrawsLikeAllPoints();
    void spikeStaysVisible();
    void plotResize();
    void fewPointsAreAllDrawn();
    void envelopeOfAVector_data();
    void envelopeOfAVector();
    void states_data();
    void states();
};

void tst_chart_model::feed(ChartModel &model, const Scenario &s, qint64 &frame, qint64 frames)
{
    QVector<uint16_t> batch;
    while (frames > 0) {
        const int n = int(std::min<qint64>(frames, s.batch));
        batch.resize(n);
        for (int i = 0; i < n; ++i)
            batch[i] = s.signal(frame + i);
        model.addBatch(batch, s.rate, s.windowSeconds);
        frame += n;
        frames -= n;
    }
}

// The window's points and what the model hands to the chart, drawn on the
// same plot, pixel for pixel.
void tst_chart_model::compareDrawings(const ChartModel &model, double range, int width, const QByteArray &where)
{
    const QVector<QPointF> all = model.windowPoints();
    const QVector<QPointF> curve = model.windowCurve(range, width);
    QVERIFY2(!all.isEmpty(), where.constData());
    Plot plot;
    plot.range = range;
    plot.width = width;
    plot.firstColumn = qint64(std::floor(all.first().x() / (range / width))) - 2;
    double top = 0;
    for (const QPointF &p : all)
        top = std::max(top, p.y());
    plot.yMax = top > 0 ? top / 0.9 : 1;

    if (ChartModel::needsEnvelope(all.size(), range, width)) {
        // At most four points per column, and the columns are the plot's.
        const qint64 columns = qint64(std::floor(all.last().x() / (range / width)))
                - qint64(std::floor(all.first().x() / (range / width))) + 1;
        QVERIFY2(curve.size() <= 4 * columns, where.constData());
        QVERIFY2(curve.size() < all.size(), where.constData());
    } else {
        QVERIFY2(curve == all, where.constData());
    }
    // The envelope is a subsequence of the window, in time order.
    int j = 0;
    for (const QPointF &p : curve) {
        while (j < all.size() && all.at(j) != p)
            ++j;
        QVERIFY2(j < all.size(), (where + ": a point that is not in the window").constData());
    }
    QCOMPARE(curve.first(), all.first());
    QCOMPARE(curve.last(), all.last());

    const QImage full = plot.draw(all);
    const QImage envelope = plot.draw(curve);
    QImage blank(full.size(), full.format());
    blank.fill(Qt::white);
    QVERIFY2(countDiffering(full, blank) > 100, (where + ": nothing drawn").constData());
    const int differing = countDiffering(full, envelope);
    if (differing != 0) {
        full.save(QDir::temp().filePath("tst_chart_model_full.png"));
        envelope.save(QDir::temp().filePath("tst_chart_model_envelope.png"));
    }
    QVERIFY2(differing == 0, (where + ": " + QByteArray::number(differing) + " pixels differ").constData());
}

void tst_chart_model::envelopeDrawsLikeAllPoints_data()
{
    QTest::addColumn<Scenario>("scenario");

    auto walk = [](quint32 seed, int stepCm) {
        auto state = std::make_shared<std::pair<QRandomGenerator, qint64>>(QRandomGenerator(seed), 30000);
        auto last = std::make_shared<qint64>(-1);
        return Signal([state, last, stepCm](qint64 frame) {
            // One step per frame asked for, in order.
            if (frame != *last) {
                *last = frame;
                state->second += qint64(state->first.bounded(2 * stepCm + 1)) - stepCm;
                state->second = qBound(qint64(0), state->second, qint64(65535));
            }
            return uint16_t(state->second);
        });
    };
    auto spikes = [](quint32 seed) {
        return Signal([seed](qint64 frame) {
            const quint32 h = quint32(frame) * 2654435761u ^ seed;
            if (h % 997 == 0)
                return uint16_t(60000);
            if (h % 991 == 0)
                return uint16_t(0);
            return uint16_t(1500);
        });
    };
    auto steps = Signal([](qint64 frame) { return uint16_t((frame / 3700) % 3 == 0 ? 800 : 4200 + (frame / 3700) % 5 * 10); });
    auto constant = Signal([](qint64) { return uint16_t(2345); });

    QTest::newRow("random walk, 100 fps, 10-s window, 300 px")
            << Scenario{"walk100", 100, 10, 300, 25, 7, walk(1, 40)};
    QTest::newRow("random walk, 1000 fps, 120-s window, 800 px")
            << Scenario{"walk1000", 1000, 120, 800, 150, 10, walk(2, 300)};
    QTest::newRow("random walk, 11111 fps, 600-s window, 997 px")
            << Scenario{"walk11111", 11111, 600, 997, 700, 1000, walk(3, 120)};
    QTest::newRow("random walk, 11111 fps, hour window, 1000 px")
            << Scenario{"walkHour", 11111, 3600, 1000, 3700, 11111, walk(4, 60)};
    QTest::newRow("spikes, 100 fps, 300-s window, 640 px")
            << Scenario{"spikes", 100, 300, 640, 330, 1, spikes(5)};
    QTest::newRow("steps, 1000 fps, 200-s window, 500 px")
            << Scenario{"steps", 1000, 200, 500, 260, 100, steps};
    QTest::newRow("constant, 5000 fps, 120-s window, 400 px")
            << Scenario{"constant", 5000, 120, 400, 150, 13, constant};
    QTest::newRow("window shorter than the plot, 50 fps, 60-s window, 1200 px")
            << Scenario{"short", 50, 60, 1200, 70, 5, walk(6, 200)};
}

// The stream runs in three parts, and after each (window filling, full,
// scrolled on) the picture is compared: the columns are kept up to date
// batch by batch, and the oldest one loses points as the window scrolls.
void tst_chart_model::envelopeDrawsLikeAllPoints()
{
    QFETCH(Scenario, scenario);
    ChartModel model;
    qint64 frame = 0;
    const qint64 total = qint64(scenario.rate) * scenario.seconds;
    for (int part = 1; part <= 3; ++part) {
        feed(model, scenario, frame, total * part / 3 - frame);
        compareDrawings(model, scenario.windowSeconds, scenario.plotWidth,
                        scenario.name.toUtf8() + " part " + QByteArray::number(part));
        if (QTest::currentTestFailed())
            return;
    }
}

// A single high sample among thousands of equal ones in its column is drawn.
void tst_chart_model::spikeStaysVisible()
{
    ChartModel model;
    QVector<uint16_t> flat(6000, 1000);
    model.addBatch(flat, 100, 600);
    QVector<uint16_t> withSpike(6000, 1000);
    withSpike[3210] = 50000;
    withSpike[4321] = 10;
    model.addBatch(withSpike, 100, 600);
    model.addBatch(flat, 100, 600);
    const QVector<QPointF> curve = model.windowCurve(600, 200);
    QVERIFY(curve.size() <= 4 * 201);
    int high = 0, low = 0;
    for (const QPointF &p : curve) {
        high += p.y() == 500.0;
        low += p.y() == 0.1;
    }
    QCOMPARE(high, 1);
    QCOMPARE(low, 1);
    compareDrawings(model, 600, 200, "spike");
}

// A plot of another width gets columns of its own, and they stay up to date
// as batches come.
void tst_chart_model::plotResize()
{
    ChartModel model;
    QRandomGenerator rng(77);
    QVector<uint16_t> batch(1111);
    auto next = [&] {
        for (uint16_t &d : batch)
            d = uint16_t(3000 + rng.bounded(2000));
        model.addBatch(batch, 11111, 60);
    };
    for (int i = 0; i < 700; ++i)
        next();
    const int widths[] = {700, 701, 350, 1280, 700};
    for (const int width : widths) {
        compareDrawings(model, 60, width, "width " + QByteArray::number(width));
        for (int i = 0; i < 37; ++i)
            next();
        compareDrawings(model, 60, width, "width " + QByteArray::number(width) + ", scrolled");
        if (QTest::currentTestFailed())
            return;
    }
    // Another time range is another grid too.
    compareDrawings(model, 30, 700, "range 30 s");
}

void tst_chart_model::fewPointsAreAllDrawn()
{
    ChartModel model;
    QVector<uint16_t> batch(400, 500);
    model.addBatch(batch, 100, 10);
    // 400 points on 100 pixels: four per column, drawn one by one.
    QCOMPARE(model.windowCurve(10, 100), model.windowPoints());
    QVERIFY(!ChartModel::needsEnvelope(400, 10, 100));
    QVERIFY(ChartModel::needsEnvelope(401, 10, 100));
    // No plot width or no time range: no columns, every point.
    QCOMPARE(model.windowCurve(10, 0), model.windowPoints());
    QCOMPARE(model.windowCurve(0, 800), model.windowPoints());
    QCOMPARE(model.windowCurve(-5, 800), model.windowPoints());
}

void tst_chart_model::envelopeOfAVector_data()
{
    QTest::addColumn<QVector<QPointF>>("points");
    QTest::addColumn<double>("columnWidth");
    QTest::addColumn<QVector<QPointF>>("expected");
    const QVector<QPointF> oneColumn{{0.1, 5}, {0.2, 9}, {0.3, 1}, {0.4, 7}, {0.5, 6}};
    QTest::newRow("first, largest, smallest, last")
            << oneColumn << 1.0 << QVector<QPointF>{{0.1, 5}, {0.2, 9}, {0.3, 1}, {0.5, 6}};
    QTest::newRow("smallest first")
            << QVector<QPointF>{{0.1, 1}, {0.2, 9}, {0.3, 4}} << 1.0 << QVector<QPointF>{{0.1, 1}, {0.2, 9}, {0.3, 4}};
    QTest::newRow("two columns")
            << QVector<QPointF>{{0.1, 3}, {0.2, 4}, {0.3, 5}, {0.6, 2}, {0.7, 2}, {0.8, 2}, {0.9, 2}} << 0.5
            << QVector<QPointF>{{0.1, 3}, {0.3, 5}, {0.6, 2}, {0.9, 2}};
    QTest::newRow("border belongs to the right column")
            << QVector<QPointF>{{0.25, 1}, {0.5, 8}, {0.75, 3}} << 0.5
            << QVector<QPointF>{{0.25, 1}, {0.5, 8}, {0.75, 3}};
    QTest::newRow("no grid") << oneColumn << 0.0 << oneColumn;
}

void tst_chart_model::envelopeOfAVector()
{
    QFETCH(QVector<QPointF>, points);
    QFETCH(double, columnWidth);
    QFETCH(QVector<QPointF>, expected);
    QCOMPARE(ChartModel::envelope(points.constData(), points.size(), columnWidth), expected);
}

// Operations in a row, and the model's state after the last: the state, the
// window's points (as a count), the frozen picture's, the time cursor.
void tst_chart_model::states_data()
{
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("windowPoints");
    QTest::addColumn<int>("frozenPoints");
    QTest::addColumn<double>("cursor");
    QTest::addColumn<double>("peak");
    const int live = int(ChartModel::State::Live);
    const int suspended = int(ChartModel::State::Suspended);
    const int cleared = int(ChartModel::State::Cleared);
    // "b": a batch of 50 frames of 1 m at 50 fps (one second), "B": the same at 2 m.
    QTest::newRow("new model") << QStringList{} << cleared << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("batch") << QStringList{"b"} << live << 50 << 0 << 1.0 << 1.0;
    QTest::newRow("suspend freezes the window") << QStringList{"b", "s"} << suspended << 50 << 50 << 1.0 << 1.0;
    QTest::newRow("window moves while suspended")
            << QStringList{"b", "s", "B", "B"} << suspended << 101 << 50 << 3.0 << 2.0;
    QTest::newRow("resume") << QStringList{"b", "s", "B", "r"} << live << 100 << 0 << 2.0 << 2.0;
    QTest::newRow("suspend twice is one suspend") << QStringList{"b", "s", "s"} << suspended << 50 << 50 << 1.0 << 1.0;
    QTest::newRow("resume while live does nothing") << QStringList{"b", "r"} << live << 50 << 0 << 1.0 << 1.0;
    QTest::newRow("resume while cleared does nothing") << QStringList{"r"} << cleared << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("suspend before any batch") << QStringList{"s", "r", "b"} << live << 50 << 0 << 1.0 << 1.0;
    QTest::newRow("clear") << QStringList{"B", "c"} << cleared << 0 << 0 << 0.0 << 2.0;
    QTest::newRow("batch after clear") << QStringList{"B", "c", "b"} << live << 50 << 0 << 1.0 << 1.0;
    // Cleared while suspended: the picture empties and stays suspended; what
    // resume shows is only what came after the clear.
    QTest::newRow("clear while suspended")
            << QStringList{"B", "s", "c"} << suspended << 0 << 0 << 0.0 << 2.0;
    QTest::newRow("clear while suspended, resume") << QStringList{"B", "s", "c", "r"} << cleared << 0 << 0 << 0.0 << 2.0;
    QTest::newRow("clear while suspended, batch")
            << QStringList{"B", "s", "c", "b"} << suspended << 50 << 0 << 1.0 << 1.0;
    QTest::newRow("clear while suspended, batch, resume")
            << QStringList{"B", "s", "c", "b", "r"} << live << 50 << 0 << 1.0 << 1.0;
    QTest::newRow("reset") << QStringList{"B", "x"} << cleared << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("reset while suspended") << QStringList{"B", "s", "x"} << suspended << 0 << 0 << 0.0 << 0.0;
    QTest::newRow("window of 2 s") << QStringList{"b", "b", "B", "B"} << live << 101 << 0 << 4.0 << 2.0;
}

void tst_chart_model::states()
{
    QFETCH(QStringList, ops);
    QFETCH(int, state);
    QFETCH(int, windowPoints);
    QFETCH(int, frozenPoints);
    QFETCH(double, cursor);
    QFETCH(double, peak);
    ChartModel model;
    quint64 revision = model.revision();
    for (const QString &op : ops) {
        if (op == "b")
            model.addBatch(QVector<uint16_t>(50, 100), 50, 2);
        else if (op == "B")
            model.addBatch(QVector<uint16_t>(50, 200), 50, 2);
        else if (op == "s")
            model.suspend();
        else if (op == "r")
            model.resume();
        else if (op == "c")
            model.clear();
        else if (op == "x")
            model.reset();
        // Batches, clears and resets always change the live picture.
        if (op == "b" || op == "B" || op == "c" || op == "x")
            QVERIFY(model.revision() != revision);
        revision = model.revision();
    }
    QCOMPARE(int(model.state()), state);
    QCOMPARE(model.pointCount(), windowPoints);
    QCOMPARE(model.windowPoints().size(), windowPoints);
    QCOMPARE(model.frozenPoints().size(), frozenPoints);
    QCOMPARE(model.timeCursor(), cursor);
    QCOMPARE(model.maxDistance(), peak);
    if (windowPoints > 0)
        QCOMPARE(model.windowPoints().last().x(), cursor);
}

QTEST_MAIN(tst_chart_model)
#include "tst_chart_model.moc"
