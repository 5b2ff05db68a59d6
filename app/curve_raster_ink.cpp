// SPDX-License-Identifier: GPL-3.0-or-later
#include "curve_raster.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Where the picture may hold ink: kept per column as the columns are drawn,
// so that the screen composes only those rows.

// The rows runs first..last can cover in picture columns from..to, which
// they alone draw: every segment's rows and columns, widened by `reach`
// (the pen's).
void CurveRaster::markInk(int first, int last, int from, int to, int reach)
{
    const QPair<int, int> none(std::numeric_limits<int>::max(), std::numeric_limits<int>::min());
    std::fill(ink.begin() + from, ink.begin() + to + 1, none);
    const auto mark = [&](qint64 columnA, qint64 columnB, double yA, double yB) {
        const qint64 lo = std::max<qint64>(std::min(columnA, columnB) - geo.firstColumn - reach, from);
        const qint64 hi = std::min<qint64>(std::max(columnA, columnB) - geo.firstColumn + reach, to);
        const int top = int(std::floor(std::min(yA, yB))) - reach;
        const int bottom = int(std::ceil(std::max(yA, yB))) + reach;
        for (qint64 x = lo; x <= hi; ++x) {
            QPair<int, int> &rows = ink[int(x)];
            rows.first = std::min(rows.first, top);
            rows.second = std::max(rows.second, bottom);
        }
    };
    for (int r = first; r <= last; ++r) {
        const Run &run = runs.at(r);
        const QPair<double, double> y = yExtent(drawn, run.begin, run.end);
        mark(run.column, run.column, y.first, y.second);
        if (r < last) {
            const Run &next = runs.at(r + 1);
            mark(run.column, next.column, drawn.at(run.end - 1).y(), drawn.at(next.begin).y());
        }
    }
}

QRect CurveRaster::inkIn(const QRect &part) const
{
    const QRect inside = part & picture.rect();
    if (inside.isEmpty() || ink.size() != picture.width())
        return QRect();
    int top = std::numeric_limits<int>::max();
    int bottom = std::numeric_limits<int>::min();
    for (int x = inside.left(); x <= inside.right(); ++x) {
        top = std::min(top, ink.at(x).first);
        bottom = std::max(bottom, ink.at(x).second);
    }
    if (top > bottom)
        return QRect();
    return QRect(inside.left(), top, inside.width(), bottom - top + 1) & inside;
}
