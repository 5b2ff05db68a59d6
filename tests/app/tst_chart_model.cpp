// SPDX-License-Identifier: GPL-3.0-or-later
// The chart model on its own: the envelope it hands to the chart draws the
// same pixels as all points of the time window, while the window scrolls and
// after the plot changes its width; suspend, resume, clear and reset as one
// state.

#include "chart_model.h"
#include "curve_raster.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

#include <cmath>
#include <cstring>
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

// Pixels that differ between two pictures of one size (outside the
// rectangles given).
int countDiffering(const QImage &a, const QImage &b, const QVector<QRect> &except = {})
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            n += ra[x] != rb[x]
                 && std::none_of(except.begin(), except.end(), [x, y](const QRect &r) { return r.contains(x, y); });
        }
    }
    return n;
}

// Copies a picture's pixels into `to`, which keeps its buffer while the size
// stays (and shares none with `from`).
void copyPixels(const QImage &from, QImage &to)
{
    if (from.size() != to.size() || from.format() != to.format()) {
        to = from.copy();
        return;
    }
    for (int y = 0; y < from.height(); ++y)
        std::memcpy(to.scanLine(y), from.constScanLine(y), size_t(from.bytesPerLine()));
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
    void pictureEqualsFullDrawing_data();
    void pictureEqualsFullDrawing();
    void columnSpanMatchesPainter_data();
    void columnSpanMatchesPainter();
    void statsIndexEveryRange_data();
    void statsIndexEveryRange();
    void statsMatchTwoPass_data();
    void statsMatchTwoPass();
    void zoomedCurveDrawsLikeAllPoints_data();
    void zoomedCurveDrawsLikeAllPoints();
    void nearestShownPoint_data();
    void nearestShownPoint();
    void heldZoomKeepsItsPoints_data();
    void heldZoomKeepsItsPoints();
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

    // A column wider than the window: the oldest column is often the newest
    // too, losing points at its front while new ones join it at its back.
    for (int i = 0; i < 300; ++i) {
        next();
        const QVector<QPointF> all = model.windowPoints();
        QCOMPARE(model.windowCurve(120, 1), ChartModel::envelope(all.constData(), all.size(), 120.0));
    }
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

// How the picture is drawn, per row of pictureEqualsFullDrawing.
struct PictureCase
{
    Scenario scenario;
    int refreshFrames;      // frames between two pictures
    QPen pen;
    double fixedTop;        // 0: autoscale (the window's largest distance / 0.9)
    int allPointsEvery;     // compare with all points drawn every n-th picture (0: never)
};
Q_DECLARE_METATYPE(PictureCase)

void tst_chart_model::pictureEqualsFullDrawing_data()
{
    QTest::addColumn<PictureCase>("c");
    auto walk = [](quint32 seed, int stepCm) {
        auto rng = std::make_shared<QRandomGenerator>(seed);
        auto level = std::make_shared<qint64>(20000);
        auto last = std::make_shared<qint64>(-1);
        return Signal([rng, level, last, stepCm](qint64 frame) {
            if (frame != *last) {
                *last = frame;
                *level = std::clamp<qint64>(*level + qint64(rng->bounded(2 * stepCm + 1)) - stepCm, 0, 65535);
            }
            return uint16_t(*level);
        });
    };
    // The soak's target: 1 to 40 m, a new place every 20 s, noise.
    auto band = Signal([](qint64 frame) {
        const quint32 h = quint32(frame) * 2654435761u;
        return uint16_t(100 + (frame / 2000) % 40 * 100 + h % 37);
    });
    const QPen chartPen(QColor(32, 159, 223), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QPen widePen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QPen glassPen(QColor(0, 0, 200, 120), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);

    QTest::newRow("band, 11111 fps, hour window, 480 px, chart pen")
            << PictureCase{{"bandHour", 11111, 3600, 480, 3660, 1111, band}, 11111 * 15, chartPen, 0, 60};
    QTest::newRow("band, 1000 fps, 120-s window, 300 px, pictures of single batches")
            << PictureCase{{"band120", 1000, 120, 300, 130, 10, band}, 80, chartPen, 0, 50};
    QTest::newRow("walk, 11111 fps, 60-s window, 640 px, peak moving")
            << PictureCase{{"walk60", 11111, 60, 640, 75, 111, walk(11, 400)}, 1111, chartPen, 0, 25};
    QTest::newRow("walk, 100 fps, 10-s window, 472 px (fewer points than columns x 4)")
            << PictureCase{{"walk10", 100, 10, 472, 14, 11, walk(12, 30)}, 11, chartPen, 0, 10};
    QTest::newRow("walk, 2 fps, sparse columns, 300 px")
            << PictureCase{{"sparse", 2, 60, 300, 80, 1, walk(13, 500)}, 1, chartPen, 0, 10};
    QTest::newRow("walk past a fixed range, 5000 fps, 30-s window")
            << PictureCase{{"fixed", 5000, 30, 400, 40, 50, walk(14, 900)}, 500, chartPen, 120.0, 10};
    QTest::newRow("walk, 11111 fps, 60-s window, 1280 device px, chart pen at twice the pixels")
            << PictureCase{{"walk60x2", 11111, 60, 1280, 75, 111, walk(17, 400)}, 1111, QPen(chartPen.color(), 4,
                           Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin), 0, 25};
    QTest::newRow("wide round pen (every segment drawn)")
            << PictureCase{{"wide", 1000, 60, 350, 70, 100, walk(15, 300)}, 300, widePen, 0, 10};
    QTest::newRow("translucent pen (every segment drawn)")
            << PictureCase{{"glass", 1000, 60, 350, 70, 100, walk(16, 300)}, 300, glassPen, 0, 0};
}

// The window's way of taking pictures (the time axis on the column grid,
// scrolling with the window; the vertical range autoscaled or fixed), picture
// after picture on one raster: each picture equals the curve drawn from
// scratch with one QPainter line per pair of points, and every so often the
// line through all points of the window.
// Pixels of the picture that are not clear although no ink is said to reach
// them.
static int pixelsOutsideInk(const CurveRaster &raster)
{
    const QImage &image = raster.image();
    QVector<int> top(image.width()), bottom(image.width());
    for (int x = 0; x < image.width(); ++x) {
        const QRect band = raster.inkIn(QRect(x, 0, 1, image.height()));
        top[x] = band.isEmpty() ? image.height() : band.top();
        bottom[x] = band.isEmpty() ? -1 : band.bottom();
    }
    int outside = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            outside += qAlpha(line[x]) != 0 && (y < top[x] || y > bottom[x]);
    }
    return outside;
}

void tst_chart_model::pictureEqualsFullDrawing()
{
    QFETCH(PictureCase, c);
    const Scenario &s = c.scenario;
    ChartModel model;
    CurveRaster raster;
    CurveRaster::Geometry g;
    g.size = QSize(s.plotWidth, 301);
    g.columnWidth = ChartModel::columnWidth(s.windowSeconds, s.plotWidth);
    g.yOffset = 5.3;
    g.plotHeight = 290.6;
    g.pen = c.pen;
    qint64 frame = 0;
    const qint64 total = qint64(s.rate) * s.seconds;
    int pictures = 0, partial = 0;
    qint64 columnsDrawn = 0;
    // One buffer each for the last picture and the references, drawn over
    // picture after picture: a new image of this size per picture is a fresh
    // mapping, and its page faults cost more than the drawing under
    // AddressSanitizer. The copy of the last picture also keeps the raster
    // from detaching its image on every update.
    QImage before, reference(g.size, QImage::Format_ARGB32_Premultiplied), all(reference.size(), reference.format());
    while (frame < total) {
        feed(model, s, frame, std::min<qint64>(c.refreshFrames, total - frame));
        const double phase = 0.37;
        const double start = ChartModel::alignedStart(model.axisStart(), g.columnWidth, phase);
        g.firstColumn = qint64(std::llround(start / g.columnWidth - phase));
        g.yTop = c.fixedTop > 0 ? c.fixedTop : std::max(model.maxDistance(), 0.01) / 0.9;
        const QVector<QPointF> curve = model.windowCurve(s.windowSeconds, s.plotWidth);
        copyPixels(raster.image(), before);
        const QVector<QRect> changed = raster.update(curve, g);
        ++pictures;
        partial += !raster.lastWasFull();
        columnsDrawn += raster.lastColumnsDrawn();
        // What is repainted on screen: every pixel that changed.
        if (before.size() == raster.image().size())
            QVERIFY2(countDiffering(raster.image(), before, changed) == 0, "a change outside the parts reported");

        const QByteArray where = s.name.toUtf8() + " picture " + QByteArray::number(pictures);
        reference.fill(Qt::transparent);
        CurveRaster::drawAllSegments(reference, curve, g);
        QCOMPARE(raster.image().size(), reference.size());
        int differing = countDiffering(raster.image(), reference);
        if (differing != 0) {
            raster.image().save(QDir::temp().filePath("tst_chart_model_picture.png"));
            reference.save(QDir::temp().filePath("tst_chart_model_reference.png"));
        }
        QVERIFY2(differing == 0, (where + ": " + QByteArray::number(differing) + " pixels differ from a full drawing").constData());
        // The screen composes only the rows the raster says hold ink (every
        // third picture: a scan of every pixel).
        const int outsideInk = pictures % 3 == 1 ? pixelsOutsideInk(raster) : 0;
        QVERIFY2(outsideInk == 0, (where + ": " + QByteArray::number(outsideInk) + " pixels outside the ink").constData());
        if (c.allPointsEvery > 0 && pictures % c.allPointsEvery == 0) {
            all.fill(Qt::transparent);
            CurveRaster::drawAllSegments(all, model.windowPoints(), g);
            differing = countDiffering(raster.image(), all);
            QVERIFY2(differing == 0, (where + ": " + QByteArray::number(differing) + " pixels differ from all points").constData());
        }
    }
    // Most pictures only redrew a few columns.
    QVERIFY2(partial > pictures / 2, qPrintable(QString("%1 of %2").arg(partial).arg(pictures)));
    QVERIFY2(columnsDrawn < qint64(pictures) * s.plotWidth / 2, qPrintable(QString::number(columnsDrawn)));
}

void tst_chart_model::columnSpanMatchesPainter_data()
{
    QTest::addColumn<double>("width");
    QTest::newRow("chart pen") << 2.0;
    QTest::newRow("chart pen at twice the pixels") << 4.0;
    QTest::newRow("chart pen at three times the pixels") << 6.0;
}

// The fast path of the chart's pen: a column's vertical segments are filled
// as one rectangle. Against QPainter's own lines, segment by segment, at
// positions on and off the rasteriser's boundaries, and for a whole column
// of segments; with the pen as wide as a high-DPI screen makes it.
void tst_chart_model::columnSpanMatchesPainter()
{
    QFETCH(double, width);
    const QPen pen(QColor(32, 159, 223), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    QRandomGenerator rng(99);
    CurveRaster::Geometry g;
    g.size = QSize(12, 80);
    g.columnWidth = 1;
    g.firstColumn = 0;
    g.yTop = 80;
    g.yBottom = 0;
    g.plotHeight = 80;
    g.pen = pen;
    for (int t = 0; t < 3000; ++t) {
        // Values on whole, half and 1/64 pixels and anywhere; one to six
        // points in column 5, one point in columns 3 and 8.
        auto value = [&] {
            switch (t % 4) {
            case 0: return 5 + rng.bounded(140) * 0.5;
            case 1: return 5 + rng.bounded(70 * 64) / 64.0;
            default: return 5 + rng.generateDouble() * 70;
            }
        };
        QVector<QPointF> points{{3.5, value()}};
        const int n = 1 + int(rng.bounded(6));
        for (int k = 0; k < n; ++k)
            points << QPointF(5.1 + k * 0.1, t % 9 == 0 ? points.last().y() : value());
        points << QPointF(8.5, value());
        CurveRaster raster;
        raster.update(points, g);
        QImage reference(g.size, QImage::Format_ARGB32_Premultiplied);
        reference.fill(Qt::transparent);
        CurveRaster::drawAllSegments(reference, points, g);
        QVERIFY2(countDiffering(raster.image(), reference) == 0, qPrintable(QString("case %1").arg(t)));
    }
}

// The statistics of a range, written out as two passes over the points.
static ChartStats twoPass(const QVector<QPointF> &points, double xMin, double xMax)
{
    ChartStats s;
    QVector<double> ys;
    for (const QPointF &p : points)
        if (p.x() >= xMin && p.x() <= xMax)
            ys << p.y();
    s.count = ys.size();
    if (ys.isEmpty())
        return s;
    s.min = *std::min_element(ys.begin(), ys.end());
    s.max = *std::max_element(ys.begin(), ys.end());
    long double sum = 0;
    for (double y : ys)
        sum += y;
    const long double mean = sum / ys.size();
    long double squares = 0;
    for (double y : ys)
        squares += (y - mean) * (y - mean);
    s.mean = double(mean);
    s.stdDev = ys.size() > 1 ? double(std::sqrt(squares / (ys.size() - 1))) : 0.0;
    return s;
}

// Statistics of what is on screen (the window or the frozen picture, all of
// it or a zoomed range) against two passes over the points, while the window
// scrolls: random data, a large offset with a small spread (where a running
// sum of squares loses the spread), constants, extremes at the range's ends.
// Every stretch of a short sequence, after the front was dropped by various
// counts, against the values themselves: an extreme anywhere (first or last
// value of a block, just inside or outside the stretch) is found.
void tst_chart_model::statsIndexEveryRange_data()
{
    QTest::addColumn<int>("dropped");
    QTest::addColumn<quint32>("seed");
    for (const int dropped : {0, 1, 63, 64, 65, 130})
        QTest::newRow(qPrintable(QString("%1 dropped").arg(dropped))) << dropped << quint32(dropped + 5);
}

void tst_chart_model::statsIndexEveryRange()
{
    QFETCH(int, dropped);
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    StatsIndex index;
    QVector<uint16_t> values;
    for (int i = 0; i < 200 + dropped; ++i) {
        // Mostly a narrow band, with single extremes scattered about.
        const quint32 pick = rng.bounded(20u);
        const uint16_t v = pick == 0 ? uint16_t(rng.bounded(65536u)) : uint16_t(30000 + rng.bounded(50u));
        values << v;
        index.append(v);
    }
    index.dropFront(dropped);
    values.remove(0, dropped);
    QCOMPARE(index.size(), int(values.size()));
    for (int from = 0; from < values.size(); ++from) {
        uint16_t low = values.at(from), high = low;
        quint64 sum = 0;
        for (int to = from + 1; to <= values.size(); ++to) {
            low = std::min(low, values.at(to - 1));
            high = std::max(high, values.at(to - 1));
            sum += values.at(to - 1);
            const ChartStats st = index.stats(from, to);
            if (st.count != to - from || st.min != low / 100.0 || st.max != high / 100.0
                || std::abs(st.mean - sum / 100.0 / (to - from)) > 1e-9)
                QFAIL(qPrintable(QString("stretch %1 .. %2: count %3 min %4 max %5 mean %6")
                                         .arg(from).arg(to).arg(st.count).arg(st.min).arg(st.max).arg(st.mean)));
        }
    }
    QCOMPARE(index.stats(5, 5).count, 0);
    QCOMPARE(index.stats(-3, 2).count, 2);
}

void tst_chart_model::statsMatchTwoPass_data()
{
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<double>("fromShare");   // the range, as shares of the window
    QTest::addColumn<double>("toShare");
    QTest::addColumn<bool>("suspendHalfWay");
    auto random = [](quint32 seed, int lo, int hi) {
        return Signal([seed, lo, hi](qint64 frame) {
            // A mixed hash of the frame: every frame's value on its own, cheaply.
            quint64 h = quint64(frame) * 0x9E3779B97F4A7C15ull ^ seed;
            h ^= h >> 31;
            h *= 0xBF58476D1CE4E5B9ull;
            h ^= h >> 29;
            return uint16_t(lo + int(h % quint64(hi - lo + 1)));
        });
    };
    auto constant = [](uint16_t v) { return Signal([v](qint64) { return v; }); };
    auto sawtooth = Signal([](qint64 frame) { return uint16_t(frame % 1000 * 65); });
    QTest::newRow("random, whole window") << Scenario{"random", 100, 10, 0, 25, 7, random(1, 0, 65535)} << 0.0 << 1.0 << false;
    QTest::newRow("random, middle third") << Scenario{"random", 1000, 60, 0, 90, 100, random(2, 100, 5000)} << 0.34 << 0.66 << false;
    QTest::newRow("random, 10-minute window at line rate")
            << Scenario{"random", 11111, 600, 0, 700, 11111, random(3, 0, 65535)} << 0.0 << 1.0 << false;
    QTest::newRow("large offset, small spread")
            << Scenario{"offset", 11111, 600, 0, 650, 1111, random(4, 65530, 65535)} << 0.0 << 1.0 << false;
    QTest::newRow("large offset, zoomed") << Scenario{"offset", 1000, 600, 0, 700, 13, random(5, 65000, 65003)} << 0.1 << 0.13 << false;
    QTest::newRow("constant at the top") << Scenario{"constant", 5000, 120, 0, 150, 50, constant(65535)} << 0.0 << 1.0 << false;
    QTest::newRow("constant zero") << Scenario{"zero", 100, 10, 0, 12, 1, constant(0)} << 0.2 << 0.9 << false;
    QTest::newRow("sawtooth, partial blocks") << Scenario{"saw", 100, 30, 0, 40, 3, sawtooth} << 0.013 << 0.977 << false;
    QTest::newRow("suspended, whole picture") << Scenario{"random", 1000, 60, 0, 90, 100, random(6, 0, 9000)} << 0.0 << 1.0 << true;
    QTest::newRow("suspended, zoomed") << Scenario{"random", 1000, 60, 0, 90, 100, random(7, 0, 9000)} << 0.5 << 0.52 << true;
}

void tst_chart_model::statsMatchTwoPass()
{
    QFETCH(Scenario, scenario);
    QFETCH(double, fromShare);
    QFETCH(double, toShare);
    QFETCH(bool, suspendHalfWay);
    ChartModel model;
    qint64 frame = 0;
    const qint64 total = qint64(scenario.rate) * scenario.seconds;
    for (int part = 1; part <= 3; ++part) {
        feed(model, scenario, frame, total * part / 3 - frame);
        if (part == 2 && suspendHalfWay)
            model.suspend();
        const QVector<QPointF> shown = model.isSuspended() ? model.frozenPoints() : model.windowPoints();
        QVERIFY(!shown.isEmpty());
        const double x0 = shown.first().x(), x1 = shown.last().x();
        const double xMin = x0 + (x1 - x0) * fromShare, xMax = x0 + (x1 - x0) * toShare;
        const ChartStats want = twoPass(shown, xMin, xMax);
        const ChartStats got = model.shownStats(xMin, xMax);
        const QByteArray where = "part " + QByteArray::number(part);
        QVERIFY2(want.count > 0, where.constData());
        QCOMPARE(got.count, want.count);
        QCOMPARE(got.min, want.min);
        QCOMPARE(got.max, want.max);
        QVERIFY2(std::abs(got.mean - want.mean) <= 1e-9 * std::max(1.0, want.mean),
                 qPrintable(QString("%1: mean %2 against %3").arg(where.constData()).arg(got.mean, 0, 'g', 17).arg(want.mean, 0, 'g', 17)));
        QVERIFY2(std::abs(got.stdDev - want.stdDev) <= 1e-9 * std::max(1.0, want.stdDev),
                 qPrintable(QString("%1: deviation %2 against %3").arg(where.constData()).arg(got.stdDev, 0, 'g', 17).arg(want.stdDev, 0, 'g', 17)));
        QCOMPARE(got.peakToPeak(), want.max - want.min);
    }
}

// A zoomed range draws the same pixels from the model's curve for it as
// from all its points (with one neighbour each side, so that the line runs
// on to the plot's edges); a narrow zoom hands over every point.
void tst_chart_model::zoomedCurveDrawsLikeAllPoints_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("window");
    QTest::addColumn<double>("fromShare");
    QTest::addColumn<double>("toShare");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("everyPoint");
    QTest::newRow("half an hour of an hour") << 11111 << 3600 << 0.25 << 0.75 << 700 << false;
    QTest::newRow("a minute of an hour") << 11111 << 3600 << 0.5 << 0.5 + 60.0 / 3600 << 640 << false;
    QTest::newRow("five seconds of an hour: every point") << 11111 << 3600 << 0.3 << 0.3 + 5.0 / 3600 << 640 << true;
    QTest::newRow("the newest tenth of a minute: every point") << 1000 << 60 << 0.9 << 1.0 << 480 << true;
    QTest::newRow("beyond the newest point: every point") << 1000 << 60 << 0.8 << 1.3 << 480 << true;
}

void tst_chart_model::zoomedCurveDrawsLikeAllPoints()
{
    QFETCH(int, rate);
    QFETCH(int, window);
    QFETCH(double, fromShare);
    QFETCH(double, toShare);
    QFETCH(int, width);
    QFETCH(bool, everyPoint);
    ChartModel model;
    QRandomGenerator rng(uint(rate + window));
    qint64 level = 3000;
    QVector<uint16_t> batch(rate);
    for (int second = 0; second < window + 5; ++second) {
        for (uint16_t &d : batch) {
            level = std::clamp<qint64>(level + qint64(rng.bounded(81)) - 40, 0, 65535);
            d = uint16_t(level);
        }
        model.addBatch(batch, rate, window);
    }
    const QVector<QPointF> all = model.windowPoints();
    const double x0 = all.first().x(), x1 = all.last().x();
    const double xMin = x0 + (x1 - x0) * fromShare, xMax = x0 + (x1 - x0) * toShare;
    const QVector<QPointF> curve = model.shownCurve(xMin, xMax, width);
    QVector<QPointF> inRange;
    int from = 0;
    while (from < all.size() && all.at(from).x() < xMin)
        ++from;
    int to = from;
    while (to < all.size() && all.at(to).x() <= xMax)
        ++to;
    inRange = all.mid(std::max(from - 1, 0), std::min(to + 1, int(all.size())) - std::max(from - 1, 0));
    QCOMPARE(curve.first(), inRange.first());
    QCOMPARE(curve.last(), inRange.last());
    if (everyPoint)
        QCOMPARE(curve, inRange);
    else
        QVERIFY(curve.size() < inRange.size());
    Plot plot;
    plot.range = xMax - xMin;
    plot.width = width;
    plot.firstColumn = qint64(std::floor(xMin / (plot.range / width)));
    plot.yMax = 700;
    const QImage full = plot.draw(inRange);
    const QImage drawn = plot.draw(curve);
    QImage blank(full.size(), full.format());
    blank.fill(Qt::white);
    QVERIFY(countDiffering(full, blank) > 100);
    QCOMPARE(countDiffering(full, drawn), 0);
}

// The point under the cursor: the nearest on screen among those a few
// pixels from the cursor's time, else the nearest in time; only points on
// the visible time axis count. Where the axes' pixels differ (seconds a pixel
// across, metres a pixel up), each distance is weighed by its own axis.
void tst_chart_model::nearestShownPoint_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("xPerPixel");
    QTest::addColumn<double>("yPerPixel");
    QTest::addColumn<double>("xMin");   // the visible time axis
    QTest::addColumn<double>("xMax");
    QTest::addColumn<QPointF>("expected");   // (-1, -1): none
    const double inf = qInf();
    // Points every 0.01 s (100 fps): 1 m, with 5 m at 0.50 s.
    // 0.1 s a pixel across, 0.1 m a pixel up:
    QTest::newRow("on the curve") << 0.3 << 1.0 << 0.1 << 0.1 << -inf << inf << QPointF(0.3, 1.0);
    QTest::newRow("above the spike, a pixel beside it") << 0.51 << 5.0 << 0.1 << 0.1 << -inf << inf << QPointF(0.5, 5.0);
    QTest::newRow("at the spike's time, low") << 0.5 << 1.0 << 0.1 << 0.1 << -inf << inf << QPointF(0.49, 1.0);
    QTest::newRow("before the first point") << -3.0 << 1.0 << 0.1 << 0.1 << -inf << inf << QPointF(0.01, 1.0);
    QTest::newRow("after the last point") << 9.0 << 0.0 << 0.1 << 0.1 << -inf << inf << QPointF(1.0, 1.0);
    // 4 pixels between points, a metre a pixel up: 0.4 px from the spike in
    // time and 3 px below it is nearer than 3.6 px and 1 px from the next
    // point. Weighing the metres by the seconds' pixels (or the other way
    // round) picks the next point.
    QTest::newRow("scales differ, x fine") << 0.501 << 2.0 << 0.0025 << 1.0 << -inf << inf << QPointF(0.5, 5.0);
    QTest::newRow("scales differ, x fine, nearer the line")
            << 0.509 << 2.0 << 0.0025 << 1.0 << -inf << inf << QPointF(0.51, 1.0);
    // A second a pixel across, a centimetre a pixel up: everything within
    // reach in time, the spike 100 px above the line.
    QTest::newRow("scales differ, y fine") << 0.2 << 4.5 << 1.0 << 0.01 << -inf << inf << QPointF(0.5, 5.0);
    QTest::newRow("scales differ, y fine, on the line") << 0.9 << 1.2 << 1.0 << 0.01 << -inf << inf << QPointF(0.9, 1.0);
    // The visible axis: a point beside it is never read out.
    QTest::newRow("spike just past the axis")
            << 0.45 << 5.0 << 0.1 << 0.1 << 0.2 << 0.45 << QPointF(0.45, 1.0);
    QTest::newRow("axis past the last point") << 1.5 << 1.0 << 0.1 << 0.1 << 0.6 << 2.0 << QPointF(1.0, 1.0);
    QTest::newRow("axis before the first point, cursor right")
            << -0.2 << 1.0 << 0.001 << 0.1 << -1.0 << 0.3 << QPointF(0.01, 1.0);
    QTest::newRow("far from any point, nearest in time inside")
            << 0.7 << 1.0 << 0.001 << 0.1 << 0.2 << 0.4 << QPointF(0.4, 1.0);
    QTest::newRow("no point on the axis") << 2.5 << 1.0 << 0.1 << 0.1 << 2.0 << 3.0 << QPointF(-1, -1);
    QTest::newRow("no point on the axis, no scale") << 2.5 << 1.0 << 0.0 << 0.0 << 2.0 << 3.0 << QPointF(-1, -1);
    QTest::newRow("no scale: the first point at the cursor's time") << 0.505 << 1.0 << 0.0 << 0.0 << 0.2 << 0.6
                                                                     << QPointF(0.51, 1.0);
}

void tst_chart_model::nearestShownPoint()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, xPerPixel);
    QFETCH(double, yPerPixel);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(QPointF, expected);
    ChartModel model;
    QVector<uint16_t> batch(100, 100);
    batch[49] = 500;
    model.addBatch(batch, 100, 10);
    QPointF found;
    const bool any = model.nearestShown(x, y, xPerPixel, yPerPixel, found, xMin, xMax);
    QCOMPARE(any, expected.x() >= 0);
    if (any) {
        QCOMPARE(found.x(), expected.x());
        QCOMPARE(found.y(), expected.y());
    }
    // The same while suspended (the frozen picture).
    model.suspend();
    model.addBatch(QVector<uint16_t>(100, 300), 100, 10);
    QPointF frozenFound;
    QCOMPARE(model.nearestShown(x, y, xPerPixel, yPerPixel, frozenFound, xMin, xMax), any);
    if (any)
        QCOMPARE(frozenFound, found);
    ChartModel empty;
    QVERIFY(!empty.nearestShown(x, y, xPerPixel, yPerPixel, found, xMin, xMax));
}

void tst_chart_model::heldZoomKeepsItsPoints_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("batch");
    QTest::addColumn<double>("holdFrom");
    QTest::addColumn<QString>("during");   // "": live, "s": suspended then resumed, "t": time range widened
    QTest::newRow("100 fps, batches of 10") << 100 << 10 << 12.345 << "";
    QTest::newRow("11111 fps, batches of 1111") << 11111 << 1111 << 87.3 << "";
    QTest::newRow("999 fps, odd batches") << 999 << 37 << 40.0 << "";
    QTest::newRow("held while suspended") << 1000 << 100 << 20.0 << "s";
    QTest::newRow("time range widened while held") << 1000 << 100 << 20.0 << "t";
    QTest::newRow("held before any point") << 100 << 10 << -5.0 << "";
}

// While a zoom holds from x on, the window keeps every point from x on (and
// the one before it) however far the time range moves past them, and the
// live picture (its points, axis, maximum and envelope) is the one a model
// without the hold has. A release leaves the two alike.
void tst_chart_model::heldZoomKeepsItsPoints()
{
    QFETCH(int, rate);
    QFETCH(int, batch);
    QFETCH(double, holdFrom);
    QFETCH(QString, during);
    ChartModel held, plain;
    QRandomGenerator rng(5);
    int timeRange = 10;
    qint64 frames = 0;
    auto feed = [&](double seconds) {
        const qint64 until = frames + qint64(seconds * rate);
        while (frames < until) {
            QVector<uint16_t> v(batch);
            for (uint16_t &d : v)
                d = uint16_t(rng.bounded(1000, 9000));
            // A spike (a whole batch, so that plotted frames carry it) that
            // must leave the live maximum once it is old.
            if (frames <= qint64(rate) * 14 && qint64(rate) * 14 < frames + batch)
                v.fill(60000);
            held.addBatch(v, rate, timeRange);
            plain.addBatch(v, rate, timeRange);
            frames += batch;
        }
    };
    // The hold starts in the middle of the window: the points before it go.
    feed(std::max(holdFrom, 0.0) + 5);
    const QVector<QPointF> before = held.windowPoints();
    QVector<QPointF> kept;
    for (int i = 0; i < before.size(); ++i)
        if (before.at(i).x() >= holdFrom || (i + 1 < before.size() && before.at(i + 1).x() >= holdFrom))
            kept << before.at(i);
    held.holdFrom(holdFrom);
    QVERIFY(held.isHolding());
    if (during == "s") {
        held.suspend();
        plain.suspend();
    }
    if (during == "t")
        timeRange = 30;
    // Three times the time range: the held points are far out of it.
    feed(30);
    if (during == "s") {
        held.resume();
        plain.resume();
    }
    const QVector<QPointF> all = held.windowPoints();
    QVERIFY(all.size() >= kept.size());
    QCOMPARE(all.mid(0, kept.size()), kept);
    // The newest points are the time range's, as without the hold.
    const QVector<QPointF> live = plain.windowPoints();
    QCOMPARE(held.livePointCount(), live.size());
    QCOMPARE(all.mid(all.size() - live.size()), live);
    QCOMPARE(held.axisStart(), plain.axisStart());
    QCOMPARE(held.maxDistance(), plain.maxDistance());
    QVERIFY(held.maxDistance() < 600);   // the old spike is out of the live maximum
    // What the zoom shows: statistics of the held points, the spike among them.
    const double xMin = holdFrom, xMax = std::max(holdFrom, 0.0) + 5;
    int inRange = 0;
    double top = 0;
    for (const QPointF &p : all)
        if (p.x() >= xMin && p.x() <= xMax) {
            ++inRange;
            top = std::max(top, p.y());
        }
    QVERIFY(inRange > 0);
    QCOMPARE(held.shownStats(xMin, xMax).count, inRange);
    QCOMPARE(held.shownStats(xMin, xMax).max, top);

    held.releaseHold();
    QVERIFY(!held.isHolding());
    QCOMPARE(held.windowPoints(), live);
    QCOMPARE(held.pointCount(), plain.pointCount());
    QCOMPARE(held.maxDistance(), plain.maxDistance());
    QCOMPARE(held.windowCurve(10, 800), plain.windowCurve(10, 800));
    feed(1);
    QCOMPARE(held.windowPoints(), plain.windowPoints());
    QCOMPARE(held.axisStart(), plain.axisStart());
}

QTEST_MAIN(tst_chart_model)
#include "tst_chart_model.moc"
