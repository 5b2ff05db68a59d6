// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CURVE_RASTER_INK_H
#define CURVE_RASTER_INK_H

#include <QPair>
#include <QRect>
#include <QVector>

// Where a picture may hold ink: per pixel column, the first and last row
// that may be drawn on, kept as the columns are drawn, so that the screen
// composes only those rows. Knows nothing of what is drawn; the curve's
// raster (curve_raster.h) tells it which rows its segments can cover.
class CurveInk
{
public:
    // `width` columns, none with ink.
    void reset(int width);
    int width() const { return int(rows.size()); }
    // Columns from..to hold no ink (about to be drawn anew).
    void clear(int from, int to);
    // Columns lo..hi (clipped to the picture) may hold ink in rows top..bottom.
    void mark(qint64 lo, qint64 hi, int top, int bottom);
    // The picture moved `by` columns to the left (right when negative); the
    // columns coming into view hold none.
    void scroll(int by);
    // The part of `inside` (already within the picture) where ink may lie.
    QRect within(const QRect &inside) const;

private:
    // First greater than last: none.
    QVector<QPair<int, int>> rows;
};

#endif // CURVE_RASTER_INK_H
