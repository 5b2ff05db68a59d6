// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CURVE_RASTER_H
#define CURVE_RASTER_H

#include "curve_raster_ink.h"

#include <QImage>
#include <QPen>
#include <QPointF>
#include <QRect>
#include <QVector>

// The chart's curve as a picture on a grid of pixel columns, kept from one
// refresh to the next (a strip chart). Every point is drawn at the centre of
// its column (columns of `columnWidth` seconds from `anchor` on), so that all
// points of a column lie on one vertical line: the first, smallest, largest
// and last point of each column (ChartModel's envelope) then draw the same
// pixels as all of them.
//
// A dense window (an hour on a few hundred pixels, a target that moves all
// the time) is a solid band of columns hundreds of pixels tall; a line series
// rasterises every one of those segments for every picture. Here a refresh
// compares the new curve with the one drawn, column by column, scrolls the
// picture by whole columns when the time axis moved by whole columns, and
// redraws only the pixel columns whose segments changed: the newest column
// or two, the oldest one. Anything else (another size, column width, vertical
// range or pen) redraws the whole picture.
//
// What it draws is exactly what QPainter draws for the line through the
// points (one aliased line per pair of neighbours, the given pen), pixel for
// pixel: a column's vertical segments with the chart's 2-px square-capped
// pen are filled as one rectangle of the rows the rasteriser covers, which
// makes a picture of a solid band cheap; other pens draw every segment.
//
// All of it is in the picture's own pixels, which on a high-DPI screen are
// device pixels: the caller gives the sizes, the pen and the column width
// for them, and the picture carries the screen's device pixel ratio so that
// it is shown one pixel for one.
class CurveRaster
{
public:
    struct Geometry {
        QSize size;                 // the picture, in pixels
        double devicePixelRatio = 1;    // of the screen it is shown on
        double columnWidth = 0;     // seconds per pixel column (> 0)
        double anchor = 0;          // a column border: column k is [anchor + k w, anchor + (k+1) w)
        qint64 firstColumn = 0;     // the column whose points lie at x = 0 of the picture
        double yTop = 1;            // value at y = yOffset
        double yBottom = 0;         // value at y = yOffset + plotHeight
        double yOffset = 0;         // where the plot's top lies in the picture
        double plotHeight = 0;
        QPen pen;

        // Equal apart from the scroll position.
        bool sameGrid(const Geometry &o) const;
    };

    // Draws `points` (in time order) on `geometry`: scrolls and redraws what
    // changed when only the first column moved, else draws all. Returns the
    // parts of the picture that changed (none when nothing did): the oldest
    // and the newest columns are apart, and whatever lies between them is
    // not to be repainted.
    QVector<QRect> update(const QVector<QPointF> &points, const Geometry &geometry);
    // The next update draws everything.
    void invalidate();

    const QImage &image() const { return picture; }
    // The part of `part` (picture pixels) where the curve may have pixels:
    // its columns, and the rows from the highest to the lowest that the
    // segments reaching them can cover. Outside it the picture is clear.
    QRect inkIn(const QRect &part) const;
    const Geometry &geometry() const { return geo; }
    qint64 columnOf(double x) const { return columnOf(x, geo); }
    // Where a point is drawn in the picture.
    QPointF pixelOf(const QPointF &p) const { return pixelOf(p, geo); }

    static qint64 columnOf(double x, const Geometry &g);
    // Vertical positions on a grid of 1/64 px: the rasteriser works in fixed
    // point, and on this grid its rounding and the pixel rules here agree
    // exactly.
    static double snapY(double y);
    // The smallest and largest y of points begin..end - 1.
    static QPair<double, double> yExtent(const QVector<QPointF> &pts, int begin, int end);
    static QPointF pixelOf(const QPointF &p, const Geometry &g);
    // Draws the curve through `points` into `image` with one QPainter line
    // per pair of neighbours (the reference the picture must equal).
    static void drawAllSegments(QImage &image, const QVector<QPointF> &points, const Geometry &g);

    // How much the last update drew, for the benchmarks: pixel columns redrawn
    // (the picture's width for a full redraw).
    int lastColumnsDrawn() const { return columnsDrawn; }
    bool lastWasFull() const { return wasFull; }

private:
    struct Run {            // the points of one column
        qint64 column;
        int begin;
        int end;
    };
    static bool groupByColumn(const QVector<QPointF> &points, const Geometry &g, QVector<Run> &runs);
    static bool fastPen(const QPen &pen);
    void drawRange(int from, int to);
    void drawAll();
    void drawRuns(QPainter &painter, int from, int to, int shift) const;
    void markInk(int first, int last, int from, int to);
    void scroll(qint64 by);
    void addDirty(qint64 fromColumn, qint64 toColumn);
    // The incremental update: marks the columns whose pixels change from the
    // drawn points to `pix` (grouped in `fresh`), then redraws them.
    bool sameRun(const QVector<QPointF> &pix, const QVector<Run> &fresh, int i, int j, bool fast) const;
    void markChangedColumns(const QVector<QPointF> &pix, const QVector<Run> &fresh);
    QVector<QRect> redrawDirty();

    QImage picture;
    QImage scratch;
    Geometry geo;
    QVector<QPointF> drawn;       // the points in the picture
    QVector<QPointF> ys;          // their pixels, y snapped (x: column)
    QVector<Run> runs;
    // Per picture column, the rows that may hold ink, kept with the picture.
    CurveInk ink;
    bool valid = false;
    bool monotonic = true;        // columns never go back along the curve
    QVector<QPair<int, int>> dirty;
    int columnsDrawn = 0;
    bool wasFull = false;
};

#endif // CURVE_RASTER_H
