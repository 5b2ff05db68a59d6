// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SLIDING_CURVE_H
#define SLIDING_CURVE_H

#include <QPointF>
#include <QVector>
#include <deque>

// The points of the chart's time window, oldest first. The window moves by
// dropping its oldest points and appending new ones; both cost time in
// proportion to the points that move, not to the window, which can hold
// hundreds of thousands of points. The largest y is kept by a monotonic queue
// (sliding-window maximum), so it is never recomputed over the whole window.
class SlidingCurve
{
public:
    int size() const { return points.size() - head; }
    bool isEmpty() const { return size() == 0; }
    const QPointF &at(int i) const { return points.at(head + i); }
    const QPointF &first() const { return points.at(head); }

    void clear();
    // Replaces the curve with `v` (time proportional to its size).
    void assign(const QVector<QPointF> &v);

    // Index of the first point whose x is at least `x`, size() when none.
    // Binary search while x increases along the curve, a scan otherwise.
    int firstIndexAtLeast(double x) const;
    void dropFront(int count);

    // Call before appending `count` points: it lets the storage be rebuilt
    // once, instead of being copied and then shifted.
    void prepareAppend(int count);
    void append(const QPointF &p);

    // Largest y of the curve, or `floor` when that is larger or the curve is empty.
    double maxY(double floor) const;

    // The curve as one vector. It shares the storage, so handing it to the
    // chart costs no copy here; the next append copies once.
    QVector<QPointF> toVector();

private:
    qint64 seqAt(int storageIndex) const { return headSeq + storageIndex; }
    const QPointF &bySeq(qint64 seq) const { return points.at(int(seq - headSeq)); }
    void rebuild(int extra);
    void reserveFor(int extra);

    QVector<QPointF> points;    // storage; the first `head` entries are dropped points
    int head = 0;
    qint64 headSeq = 0;         // sequence number of points[0]
    bool handedOut = false;     // `points` was returned by toVector()
    qint64 lastDescentSeq = -1; // latest point whose x is below its predecessor's
    std::deque<qint64> maxSeqs; // points with decreasing y; the front is the maximum
};

#endif // SLIDING_CURVE_H
