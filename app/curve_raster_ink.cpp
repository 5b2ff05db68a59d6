// SPDX-License-Identifier: GPL-3.0-or-later
#include "curve_raster_ink.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {
const QPair<int, int> kNone(std::numeric_limits<int>::max(), std::numeric_limits<int>::min());
}

void CurveInk::reset(int width)
{
    // A new list rather than fill(value, size): Qt 6.4's QList::fill counts
    // the room before the first element (which scroll's remove from the
    // front leaves) as room to grow into at the end, and writes past its
    // block (AddressSanitizer's heap-buffer-overflow in the chart's
    // random-use test).
    rows = QVector<QPair<int, int>>(std::max(width, 0), kNone);
}

void CurveInk::clear(int from, int to)
{
    std::fill(rows.begin() + from, rows.begin() + to + 1, kNone);
}

void CurveInk::mark(qint64 lo, qint64 hi, int top, int bottom)
{
    lo = std::max<qint64>(lo, 0);
    hi = std::min<qint64>(hi, rows.size() - 1);
    for (qint64 x = lo; x <= hi; ++x) {
        QPair<int, int> &r = rows[int(x)];
        r.first = std::min(r.first, top);
        r.second = std::max(r.second, bottom);
    }
}

void CurveInk::scroll(int by)
{
    const int n = std::min(std::abs(by), int(rows.size()));
    if (by > 0) {
        rows.remove(0, n);
        rows.insert(rows.size(), n, kNone);
    } else if (by < 0) {
        rows.remove(rows.size() - n, n);
        rows.insert(0, n, kNone);
    }
}

QRect CurveInk::within(const QRect &inside) const
{
    if (inside.isEmpty() || inside.left() < 0 || inside.right() >= rows.size())
        return QRect();
    int top = std::numeric_limits<int>::max();
    int bottom = std::numeric_limits<int>::min();
    for (int x = inside.left(); x <= inside.right(); ++x) {
        top = std::min(top, rows.at(x).first);
        bottom = std::max(bottom, rows.at(x).second);
    }
    if (top > bottom)
        return QRect();
    return QRect(inside.left(), top, inside.width(), bottom - top + 1) & inside;
}
