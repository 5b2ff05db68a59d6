// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_model.h"

#include <algorithm>
#include <cmath>

QVector<QPointF> ChartModel::windowPoints() const
{
    QVector<QPointF> v;
    v.reserve(window.size());
    for (int i = 0; i < window.size(); ++i)
        v.append(window.at(i));
    return v;
}

int ChartModel::addBatch(const QVector<uint16_t> &dist, int freq, int timeRange)
{
    if (freq <= 0)
        return 0;
    const int n = dist.size();
    const int step = decimationStep(freq);
    // A lower rate has a smaller step: the next plotted frame is not further
    // away than one step.
    if (skip >= step)
        skip = step - 1;

    // The window keeps what lies within timeRange of the newest frame; the
    // live time axis starts where the window began before this cut.
    const double batchStart = cursor;
    batchStartX = batchStart;
    const double windowStart = batchStart + double(n) / freq - timeRange;
    if (current != State::Suspended) {
        const int live = liveIndex();
        liveAxisStart = live < window.size() ? window.at(live).x() : 0.0;
    }
    if (windowStart >= 0) {
        const int cut = window.firstIndexAtLeast(windowStart);
        liveSeq = std::max(liveSeq, dropped + cut);
        dropOldest(holding ? std::min(cut, std::max(window.firstIndexAtLeast(holdX) - 1, 0)) : cut);
    }

    int plotted = 0;
    window.prepareAppend(skip < n ? (n - skip + step - 1) / step : 0);
    int k = skip;
    for (; k < n; k += step) {
        newest = dist.at(k) / 100.0;
        windowStats.append(dist.at(k));
        appendPoint(QPointF(batchStart + double(k + 1) / freq, newest));
        ++plotted;
    }
    skip = k - n;
    cursor = batchStart + double(n) / freq;
    // Points a zoom holds are no part of the live window's maximum.
    const int live = liveIndex();
    peak = live == 0 ? window.maxY(0.0) : windowStats.stats(live, windowStats.size()).max;
    if (current == State::Cleared)
        current = State::Live;
    ++changes;
    return plotted;
}

void ChartModel::skipTime(double seconds)
{
    if (seconds > 0)
        cursor += seconds;
}

int ChartModel::liveIndex() const
{
    // Without a zoom's hold every point before the cut is gone already.
    return int(std::min<qint64>(std::max<qint64>(liveSeq - dropped, 0), window.size()));
}

void ChartModel::holdFrom(double x)
{
    // A zoom into a recording shows none of the window's points.
    holding = !replaying && std::isfinite(x);
    holdX = x;
}

void ChartModel::releaseHold()
{
    if (!holding)
        return;
    holding = false;
    const int live = liveIndex();
    if (live == 0)
        return;
    dropOldest(live);
    peak = window.maxY(0.0);
    ++changes;
}

void ChartModel::suspend()
{
    if (current == State::Suspended)
        return;
    frozen = windowPoints();
    frozenStats = windowStats;
    current = State::Suspended;
    ++changes;
}

void ChartModel::resume()
{
    if (current != State::Suspended)
        return;
    frozen = QVector<QPointF>();
    frozenStats.clear();
    replaying = false;
    current = window.isEmpty() ? State::Cleared : State::Live;
    ++changes;
}

void ChartModel::clear()
{
    emptyWindow();
    frozen = QVector<QPointF>();
    frozenStats.clear();
    cursor = 0;
    batchStartX = 0;
    skip = 0;
    if (current == State::Live)
        current = State::Cleared;
    ++changes;
}

void ChartModel::reset()
{
    clear();
    peak = 0;
    newest = 0;
    liveAxisStart = 0;
}

void ChartModel::showRecording(const QVector<QPointF> &points)
{
    releaseHold();
    frozen = points;
    frozenStats.clear();
    for (const QPointF &p : points)
        frozenStats.append(uint16_t(std::lround(p.y() * 100)));
    current = State::Suspended;
    replaying = true;
    ++changes;
}

void ChartModel::emptyWindow()
{
    holding = false;
    liveSeq = 0;
    window.clear();
    windowStats.clear();
    dropped = 0;
    columns.clear();
    oldestStale = false;
}

void ChartModel::dropOldest(int count)
{
    count = std::min(count, window.size());
    if (count <= 0)
        return;
    window.dropFront(count);
    windowStats.dropFront(count);
    dropped += count;
    while (!columns.empty() && columns.front().last < dropped)
        columns.pop_front();
    if (!columns.empty() && columns.front().first < dropped)
        oldestStale = true;
}

void ChartModel::appendPoint(const QPointF &p)
{
    const qint64 seq = dropped + window.size();
    window.append(p);
    if (gridWidth > 0)
        addToColumns(p, seq);
}

void ChartModel::addToColumns(const QPointF &p, qint64 seq) const
{
    const qint64 index = qint64(std::floor(p.x() / gridWidth));
    if (columns.empty() || columns.back().index != index) {
        columns.push_back(Column{index, seq, seq, seq, seq});
        return;
    }
    // The newest column may be the oldest too, its first points cut off
    // with the window: it is found again before the point is weighed.
    if (oldestStale && columns.size() == 1)
        rescanOldestColumn();
    Column &c = columns.back();
    c.last = seq;
    if (p.y() < pointAt(c.low).y())
        c.low = seq;
    if (p.y() > pointAt(c.high).y())
        c.high = seq;
}

void ChartModel::rebuildColumns(double width) const
{
    columns.clear();
    oldestStale = false;
    gridWidth = width;
    if (width <= 0)
        return;
    for (int i = 0; i < window.size(); ++i)
        addToColumns(window.at(i), dropped + i);
}

// The oldest column lost its first points to the window's cut: find its
// first, smallest and largest point among those left (one column's points).
void ChartModel::rescanOldestColumn() const
{
    oldestStale = false;
    if (columns.empty())
        return;
    Column &c = columns.front();
    c.first = c.low = c.high = dropped;
    for (qint64 s = dropped + 1; s <= c.last; ++s) {
        const double y = pointAt(s).y();
        if (y < pointAt(c.low).y())
            c.low = s;
        if (y > pointAt(c.high).y())
            c.high = s;
    }
}

double ChartModel::columnWidth(double range, double plotWidth)
{
    if (!(range > 0) || !(plotWidth >= 1))
        return 0.0;
    return range / plotWidth;
}

bool ChartModel::needsEnvelope(int count, double range, double plotWidth)
{
    return columnWidth(range, plotWidth) > 0 && count > kPointsPerColumn * plotWidth;
}

double ChartModel::alignedStart(double x, double columnWidth, double phase)
{
    if (!(columnWidth > 0))
        return x;
    double start = (std::floor(x / columnWidth - phase) + phase) * columnWidth;
    // Rounding can put the result a hair above x; the axis must not start
    // after its first point.
    if (start > x)
        start -= columnWidth;
    return start;
}

QVector<QPointF> ChartModel::envelope(const QPointF *points, int count, double columnWidth)
{
    QVector<QPointF> out;
    if (count <= 0)
        return out;
    if (!(columnWidth > 0)) {
        out.reserve(count);
        std::copy(points, points + count, std::back_inserter(out));
        return out;
    }
    out.reserve(4 * int(std::min<qint64>(count, 1 << 20) / 16 + 16));
    int i = 0;
    while (i < count) {
        const qint64 index = qint64(std::floor(points[i].x() / columnWidth));
        int low = i, high = i, j = i + 1;
        for (; j < count && qint64(std::floor(points[j].x() / columnWidth)) == index; ++j) {
            if (points[j].y() < points[low].y())
                low = j;
            if (points[j].y() > points[high].y())
                high = j;
        }
        int picks[4] = {i, low, high, j - 1};
        std::sort(picks, picks + 4);
        for (int k = 0; k < 4; ++k)
            if (k == 0 || picks[k] != picks[k - 1])
                out.append(points[picks[k]]);
        i = j;
    }
    return out;
}

QVector<QPointF> ChartModel::windowCurve(double range, double plotWidth) const
{
    if (!needsEnvelope(window.size(), range, plotWidth))
        return window.toVector();
    const double width = columnWidth(range, plotWidth);
    if (width != gridWidth)
        rebuildColumns(width);
    else if (oldestStale)
        rescanOldestColumn();

    QVector<QPointF> out;
    out.reserve(4 * int(columns.size()));
    for (const Column &c : columns) {
        qint64 picks[4] = {c.first, c.low, c.high, c.last};
        std::sort(picks, picks + 4);
        for (int k = 0; k < 4; ++k)
            if (k == 0 || picks[k] != picks[k - 1])
                out.append(pointAt(picks[k]));
    }
    return out;
}

QVector<QPointF> ChartModel::frozenCurve(double range, double plotWidth) const
{
    if (!needsEnvelope(frozen.size(), range, plotWidth))
        return frozen;
    return envelope(frozen.constData(), frozen.size(), columnWidth(range, plotWidth));
}

int ChartModel::shownLowerIndex(double xMin) const
{
    int lo = 0, hi = shownCount();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (shownAt(mid).x() < xMin)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int ChartModel::shownUpperIndex(double xMax) const
{
    int lo = 0, hi = shownCount();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (shownAt(mid).x() <= xMax)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

QVector<QPointF> ChartModel::shownPoints(double xMin, double xMax) const
{
    const int from = shownLowerIndex(xMin);
    const int to = shownUpperIndex(xMax);
    QVector<QPointF> out;
    if (from >= to)
        return out;
    out.reserve(to - from);
    for (int i = from; i < to; ++i)
        out.append(shownAt(i));
    return out;
}

QVector<QPointF> ChartModel::shownCurve(double xMin, double xMax, double plotWidth) const
{
    const int from = std::max(shownLowerIndex(xMin) - 1, 0);
    const int to = std::min(shownUpperIndex(xMax) + 1, shownCount());
    if (from >= to)
        return QVector<QPointF>();
    // The shown points lie one after the other in memory (a vector, or the
    // window's storage from its first kept point on).
    const QPointF *first = &shownAt(from);
    const double range = xMax - xMin;
    if (!needsEnvelope(to - from, range, plotWidth)) {
        QVector<QPointF> out;
        out.reserve(to - from);
        std::copy(first, first + (to - from), std::back_inserter(out));
        return out;
    }
    return envelope(first, to - from, columnWidth(range, plotWidth));
}

ChartStats ChartModel::shownStats(double xMin, double xMax) const
{
    const StatsIndex &index = isSuspended() ? frozenStats : windowStats;
    return index.stats(shownLowerIndex(xMin), shownUpperIndex(xMax));
}

bool ChartModel::nearestShown(double x, double y, double xPerPixel, double yPerPixel, QPointF &found,
                              double xMin, double xMax) const
{
    // Only what lies on the visible time axis: a point beside it would be
    // read out where nothing is drawn.
    const int first = shownLowerIndex(xMin);
    const int end = shownUpperIndex(xMax);
    if (first >= end)
        return false;
    if (!(xPerPixel > 0) || !(yPerPixel > 0)) {
        const int i = qBound(first, shownLowerIndex(x), end - 1);
        found = shownAt(i);
        return true;
    }
    // Points within a few pixels of the cursor's time, nearest on screen.
    const double reach = 4 * xPerPixel;
    const int from = qBound(first, shownLowerIndex(x - reach), end);
    const int to = qBound(from, shownUpperIndex(x + reach), end);
    double best = -1;
    for (int i = from; i < to; ++i) {
        const double dx = (shownAt(i).x() - x) / xPerPixel;
        const double dy = (shownAt(i).y() - y) / yPerPixel;
        const double d = dx * dx + dy * dy;
        if (best < 0 || d < best) {
            best = d;
            found = shownAt(i);
        }
    }
    if (best >= 0)
        return true;
    // None that close: the nearest in time.
    const int after = std::min(from, end - 1);
    const int before = std::max(from - 1, first);
    found = std::abs(shownAt(before).x() - x) <= std::abs(shownAt(after).x() - x) ? shownAt(before) : shownAt(after);
    return true;
}
