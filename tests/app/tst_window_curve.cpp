// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's time-window curve against a plain vector: dropping, appending,
// the cut search (also where x goes back after a clear), the sliding maximum
// and the vector handed to the chart.

#include "sliding_curve.h"

#include <QRandomGenerator>
#include <QTest>

class tst_window_curve : public QObject
{
    Q_OBJECT

private slots:
    void emptyCurve();
    void cutSearch_data();
    void cutSearch();
    void slidingMaximum();
    void handedOutVectorStaysIntact();
    void matchesPlainVector_data();
    void matchesPlainVector();
};

void tst_window_curve::emptyCurve()
{
    SlidingCurve c;
    QVERIFY(c.isEmpty());
    QCOMPARE(c.firstIndexAtLeast(5.0), 0);
    QCOMPARE(c.maxY(0.0), 0.0);
    QVERIFY(c.toVector().isEmpty());
}

void tst_window_curve::cutSearch_data()
{
    QTest::addColumn<QVector<double>>("xs");
    QTest::addColumn<double>("at");
    QTest::addColumn<int>("index");
    const QVector<double> rising{0.5, 1.0, 1.0, 1.5, 2.0};
    QTest::newRow("before all") << rising << 0.0 << 0;
    QTest::newRow("exact hit") << rising << 1.5 << 3;
    QTest::newRow("first of equal x") << rising << 1.0 << 1;
    QTest::newRow("between") << rising << 1.2 << 3;
    QTest::newRow("after all") << rising << 2.5 << 5;
    // After a clear while suspended the curve can run backwards in time; the
    // cut is then the first point at or after the start, as a scan finds it.
    const QVector<double> backwards{8.0, 9.0, 0.1, 0.2, 9.5};
    QTest::newRow("backwards: first point") << backwards << 5.0 << 0;
    QTest::newRow("backwards: later point") << backwards << 9.2 << 4;
    QTest::newRow("backwards: none") << backwards << 10.0 << 5;
}

void tst_window_curve::cutSearch()
{
    QFETCH(QVector<double>, xs);
    QFETCH(double, at);
    QFETCH(int, index);
    SlidingCurve c;
    for (double x : xs)
        c.append(QPointF(x, 1.0));
    QCOMPARE(c.firstIndexAtLeast(at), index);
}

void tst_window_curve::slidingMaximum()
{
    SlidingCurve c;
    const double ys[] = {3, 9, 4, 9, 2, 1, 7};
    for (int i = 0; i < 7; ++i)
        c.append(QPointF(i, ys[i]));
    QCOMPARE(c.maxY(0.0), 9.0);
    c.dropFront(2);   // one 9 left
    QCOMPARE(c.maxY(0.0), 9.0);
    c.dropFront(2);   // 2, 1, 7
    QCOMPARE(c.maxY(0.0), 7.0);
    QCOMPARE(c.maxY(10.0), 10.0);
    c.dropFront(3);
    QCOMPARE(c.maxY(0.0), 0.0);
}

// The chart keeps the vector it was given while the curve moves on.
void tst_window_curve::handedOutVectorStaysIntact()
{
    SlidingCurve c;
    for (int i = 0; i < 10; ++i)
        c.append(QPointF(i, i));
    const QVector<QPointF> shown = c.toVector();
    c.dropFront(4);
    c.prepareAppend(3);
    for (int i = 10; i < 13; ++i)
        c.append(QPointF(i, i));
    QCOMPARE(shown.size(), 10);
    QCOMPARE(shown.first(), QPointF(0, 0));
    QCOMPARE(c.size(), 9);
    QCOMPARE(c.first(), QPointF(4, 4));
    QCOMPARE(c.toVector().last(), QPointF(12, 12));
}

void tst_window_curve::matchesPlainVector_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {7u, 11u, 99u, 1234u})
        QTest::newRow(qPrintable(QString::number(seed))) << seed;
}

void tst_window_curve::matchesPlainVector()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    SlidingCurve curve;
    QVector<QPointF> plain;
    QVector<QPointF> handedOut;
    double x = 0;
    for (int op = 0; op < 20000; ++op) {
        const int pick = int(rng.bounded(100));
        if (pick < 55) {
            const int n = int(rng.bounded(20));
            curve.prepareAppend(n);
            for (int i = 0; i < n; ++i) {
                // Mostly forward in time, sometimes a jump back.
                x += rng.bounded(8) == 0 ? -rng.bounded(5.0) : rng.bounded(0.5);
                const QPointF p(x, double(rng.bounded(1000)));
                curve.append(p);
                plain.append(p);
            }
        } else if (pick < 85) {
            const double at = x - rng.bounded(20.0);
            int expected = 0;
            while (expected < plain.size() && plain.at(expected).x() < at)
                ++expected;
            QCOMPARE(curve.firstIndexAtLeast(at), expected);
            curve.dropFront(expected);
            plain.remove(0, expected);
        } else if (pick < 95) {
            handedOut = curve.toVector();
            QCOMPARE(handedOut, plain);
        } else if (pick < 98) {
            const int from = plain.isEmpty() ? 0 : int(rng.bounded(plain.size()));
            plain = plain.mid(from);
            curve.assign(plain);
        } else {
            curve.clear();
            plain.clear();
        }
        QCOMPARE(curve.size(), plain.size());
        double expectedMax = 0;
        for (const QPointF &p : plain)
            expectedMax = std::max(expectedMax, p.y());
        QCOMPARE(curve.maxY(0.0), expectedMax);
        if (!plain.isEmpty())
            QCOMPARE(curve.first(), plain.first());
    }
    QCOMPARE(curve.toVector(), plain);
}

QTEST_GUILESS_MAIN(tst_window_curve)
#include "tst_window_curve.moc"
