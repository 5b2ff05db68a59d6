// SPDX-License-Identifier: GPL-3.0-or-later
#include "sliding_curve.h"

#include <algorithm>

void SlidingCurve::clear()
{
    points = QVector<QPointF>();
    headSeq += head;
    head = 0;
    handedOut = false;
    lastDescentSeq = -1;
    maxSeqs.clear();
}

void SlidingCurve::assign(const QVector<QPointF> &v)
{
    clear();
    prepareAppend(v.size());
    for (const QPointF &p : v)
        append(p);
}

int SlidingCurve::firstIndexAtLeast(double x) const
{
    const QPointF *begin = points.constData() + head;
    const QPointF *end = points.constData() + points.size();
    // A descent inside the window (only possible after the chart was cleared
    // while the display was suspended) rules out the binary search.
    if (lastDescentSeq > seqAt(head)) {
        const QPointF *it = std::find_if(begin, end, [x](const QPointF &p) { return p.x() >= x; });
        return int(it - begin);
    }
    const QPointF *it = std::lower_bound(begin, end, x,
                                         [](const QPointF &p, double v) { return p.x() < v; });
    return int(it - begin);
}

void SlidingCurve::dropFront(int count)
{
    if (count <= 0)
        return;
    head += std::min(count, size());
    const qint64 firstSeq = seqAt(head);
    while (!maxSeqs.empty() && maxSeqs.front() < firstSeq)
        maxSeqs.pop_front();
    // Shift the live points down only once the dropped ones outnumber them,
    // so each point is moved a bounded number of times on average.
    if (!handedOut && head > size())
        rebuild(0);
}

void SlidingCurve::prepareAppend(int count)
{
    if (handedOut)
        rebuild(count);
    else
        reserveFor(count);
}

// Grows the storage geometrically: reserving just what the next batch needs
// would copy the whole window for every batch of a point or two.
void SlidingCurve::reserveFor(int extra)
{
    const int needed = points.size() + extra;
    if (points.capacity() < needed)
        points.reserve(std::max(needed, int(points.capacity() + points.capacity() / 2 + 16)));
}

void SlidingCurve::rebuild(int extra)
{
    if (handedOut) {
        // The storage is shared: copy the live points into a fresh vector once.
        QVector<QPointF> fresh;
        fresh.reserve(size() + std::max(extra, size() / 2 + 16));
        std::copy(points.constBegin() + head, points.constEnd(), std::back_inserter(fresh));
        points.swap(fresh);
        handedOut = false;
    } else {
        points.remove(0, head);
        reserveFor(extra);
    }
    headSeq += head;
    head = 0;
}

void SlidingCurve::append(const QPointF &p)
{
    const qint64 seq = seqAt(points.size());
    if (!isEmpty() && p.x() < points.constLast().x())
        lastDescentSeq = seq;
    while (!maxSeqs.empty() && bySeq(maxSeqs.back()).y() <= p.y())
        maxSeqs.pop_back();
    points.append(p);
    maxSeqs.push_back(seq);
}

double SlidingCurve::maxY(double floor) const
{
    if (maxSeqs.empty())
        return floor;
    return std::max(floor, bySeq(maxSeqs.front()).y());
}

QVector<QPointF> SlidingCurve::toVector()
{
    if (head > 0)
        rebuild(0);
    handedOut = true;
    return points;
}
