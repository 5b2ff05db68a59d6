// SPDX-License-Identifier: GPL-3.0-or-later
#include "curve_raster.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Rows drawn above and below the picture: a line that the rasteriser clips
// at the edge of what it draws on can round otherwise near that edge, so no
// edge is near a pixel that is kept.
constexpr int kRowMargin = 8;

// How many pixel columns beyond a segment's ends its pixels can lie: half
// the pen's width and as much again for a square cap, and one for rounding.
int reachOf(const QPen &pen)
{
    return int(std::ceil(std::max(pen.widthF(), 1.0))) + 1;
}

} // namespace

double CurveRaster::snapY(double y)
{
    // Far outside the picture a line's pixels inside it do not depend on
    // where exactly it ends; fixed point does not reach that far.
    y = qBound(-16000.0, y, 16000.0);
    return std::round(y * 64.0) / 64.0;
}

QPair<double, double> CurveRaster::yExtent(const QVector<QPointF> &pts, int begin, int end)
{
    double top = pts.at(begin).y(), bottom = top;
    for (int k = begin + 1; k < end; ++k) {
        top = std::min(top, pts.at(k).y());
        bottom = std::max(bottom, pts.at(k).y());
    }
    return qMakePair(top, bottom);
}

bool CurveRaster::Geometry::sameGrid(const Geometry &o) const
{
    return size == o.size && devicePixelRatio == o.devicePixelRatio && columnWidth == o.columnWidth && anchor == o.anchor && yTop == o.yTop
            && yBottom == o.yBottom && yOffset == o.yOffset && plotHeight == o.plotHeight && pen == o.pen;
}

qint64 CurveRaster::columnOf(double x, const Geometry &g)
{
    // The same arithmetic as ChartModel's column grid (anchored at 0 there).
    return qint64(std::floor(g.anchor == 0 ? x / g.columnWidth : (x - g.anchor) / g.columnWidth));
}

QPointF CurveRaster::pixelOf(const QPointF &p, const Geometry &g)
{
    // As a chart maps a value: (top - y) times pixels per unit.
    const double span = g.yTop - g.yBottom;
    const double perUnit = span > 0 ? g.plotHeight / span : 0.0;
    return QPointF(double(columnOf(p.x(), g) - g.firstColumn), snapY(g.yOffset + (g.yTop - p.y()) * perUnit));
}

void CurveRaster::drawAllSegments(QImage &image, const QVector<QPointF> &points, const Geometry &g)
{
    // Drawn on a larger canvas and cut out, as the picture is.
    const int side = 64;
    QImage canvas(image.width() + 2 * side, image.height() + 2 * kRowMargin, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(g.pen);
        painter.translate(side, kRowMargin);
        for (int i = 1; i < points.size(); ++i)
            painter.drawLine(pixelOf(points.at(i - 1), g), pixelOf(points.at(i), g));
    }
    QPainter painter(&image);
    painter.drawImage(QPoint(0, 0), canvas, QRect(side, kRowMargin, image.width(), image.height()));
}

// The chart's pen (square-capped, solid, 2 px wide, twice or more that on a
// high-DPI screen): a column's vertical segments cover the rows
// floor(top - w/2 - 0.5) + 1 .. floor(bottom + w/2 - 0.5) of the w pixel
// columns centred on the line (w the pen's width; measured against QPainter
// and kept by the tests), so they can be filled as one rectangle.
bool CurveRaster::fastPen(const QPen &pen)
{
    const double w = pen.widthF();
    return pen.style() == Qt::SolidLine && w >= 2 && w <= 16 && w == 2 * std::floor(w / 2)
            && pen.capStyle() == Qt::SquareCap && !pen.isCosmetic() && pen.brush().style() == Qt::SolidPattern
            && pen.color().alpha() == 255;
}

bool CurveRaster::groupByColumn(const QVector<QPointF> &points, const Geometry &g, QVector<Run> &out)
{
    out.clear();
    bool ordered = true;
    for (int i = 0; i < points.size(); ++i) {
        const qint64 c = columnOf(points.at(i).x(), g);
        if (!out.isEmpty() && out.last().column == c) {
            out.last().end = i + 1;
            continue;
        }
        if (!out.isEmpty() && c < out.last().column)
            ordered = false;
        out.append(Run{c, i, i + 1});
    }
    return ordered;
}

void CurveRaster::invalidate()
{
    valid = false;
}

QVector<QRect> CurveRaster::update(const QVector<QPointF> &points, const Geometry &g)
{
    columnsDrawn = 0;
    wasFull = false;
    if (g.size.isEmpty() || !(g.columnWidth > 0)) {
        picture = QImage();
        valid = false;
        drawn.clear();
        runs.clear();
        ink.reset(0);
        return {};
    }
    QVector<Run> fresh;
    const bool ordered = groupByColumn(points, g, fresh);
    QVector<QPointF> pix(points.size());
    for (int i = 0; i < points.size(); ++i)
        pix[i] = pixelOf(points.at(i), g);

    const qint64 shift = g.firstColumn - geo.firstColumn;
    const bool full = !valid || !geo.sameGrid(g) || !ordered || !monotonic
            || std::abs(shift) >= g.size.width();
    if (full) {
        geo = g;
        drawn = pix;
        runs = fresh;
        monotonic = ordered;
        valid = true;
        drawAll();
        wasFull = true;
        columnsDrawn = g.size.width();
        return {picture.rect()};
    }

    dirty.clear();
    if (shift != 0)
        scroll(shift);
    markChangedColumns(pix, fresh);
    drawn = pix;
    runs = fresh;
    const QVector<QRect> changed = redrawDirty();
    // A scrolled picture moved as a whole.
    if (shift != 0)
        return {picture.rect()};
    return changed;
}

namespace {

// The rows the points of a column cover with the chart's pen, `half` its
// half width.
QPair<int, int> spanRows(const QVector<QPointF> &pts, int begin, int end, int half)
{
    const QPair<double, double> y = CurveRaster::yExtent(pts, begin, end);
    return qMakePair(int(std::floor(y.first - half - 0.5)) + 1, int(std::floor(y.second + half - 0.5)));
}

} // namespace

bool CurveRaster::sameRun(const QVector<QPointF> &pix, const QVector<Run> &fresh, int i, int j, bool fast) const
{
    const Run &a = runs.at(i);
    const Run &b = fresh.at(j);
    if (fast) {
        if ((a.end - a.begin > 1) != (b.end - b.begin > 1))
            return false;
        const int half = int(geo.pen.widthF()) / 2;
        if (a.end - a.begin > 1 && spanRows(drawn, a.begin, a.end, half) != spanRows(pix, b.begin, b.end, half))
            return false;
        if ((i > 0 || j > 0) && drawn.at(a.begin).y() != pix.at(b.begin).y())
            return false;
        if ((i + 1 < runs.size() || j + 1 < fresh.size()) && drawn.at(a.end - 1).y() != pix.at(b.end - 1).y())
            return false;
        return true;
    }
    if (a.end - a.begin != b.end - b.begin)
        return false;
    for (int k = 0; k < a.end - a.begin; ++k)
        if (drawn.at(a.begin + k).y() != pix.at(b.begin + k).y())
            return false;
    return true;
}

// Column by column, old against new; a changed column needs the pixels of the
// segments to its neighbours (in both curves) redrawn. With the chart's pen a
// column's pixels are its span of rows and the ends of the segments to its
// neighbours: the newest point moving inside the span of the newest column
// changes no pixel, and nothing is redrawn.
void CurveRaster::markChangedColumns(const QVector<QPointF> &pix, const QVector<Run> &fresh)
{
    const bool fast = fastPen(geo.pen);
    // index: the run itself when present, else the first run after the column.
    const auto neighbours = [](const QVector<Run> &list, int index, bool present, qint64 &lo, qint64 &hi) {
        if (index > 0)
            lo = std::min(lo, list.at(index - 1).column);
        const int next = present ? index + 1 : index;
        if (next < list.size())
            hi = std::max(hi, list.at(next).column);
    };
    int i = 0, j = 0;
    const qint64 none = std::numeric_limits<qint64>::max();
    while (i < runs.size() || j < fresh.size()) {
        const qint64 co = i < runs.size() ? runs.at(i).column : none;
        const qint64 cn = j < fresh.size() ? fresh.at(j).column : none;
        const qint64 c = std::min(co, cn);
        if (co == cn && sameRun(pix, fresh, i, j, fast)) {
            ++i;
            ++j;
            continue;
        }
        qint64 lo = c, hi = c;
        neighbours(runs, i, co == c, lo, hi);
        neighbours(fresh, j, cn == c, lo, hi);
        addDirty(lo, hi);
        if (co == c)
            ++i;
        if (cn == c)
            ++j;
    }
}

// Merges the ranges marked dirty, redraws them and returns them.
QVector<QRect> CurveRaster::redrawDirty()
{
    std::sort(dirty.begin(), dirty.end());
    QVector<QRect> changed;
    int k = 0;
    while (k < dirty.size()) {
        int from = dirty.at(k).first, to = dirty.at(k).second;
        ++k;
        while (k < dirty.size() && dirty.at(k).first <= to + 1)
            to = std::max(to, dirty.at(k++).second);
        drawRange(from, to);
        columnsDrawn += to - from + 1;
        changed.append(QRect(from, 0, to - from + 1, picture.height()));
    }
    return changed;
}

void CurveRaster::addDirty(qint64 fromColumn, qint64 toColumn)
{
    const int reach = reachOf(geo.pen);
    const qint64 from = std::max<qint64>(fromColumn - geo.firstColumn - reach, 0);
    const qint64 to = std::min<qint64>(toColumn - geo.firstColumn + reach, picture.width() - 1);
    if (from <= to)
        dirty.append(qMakePair(int(from), int(to)));
}

// The picture moves by whole columns; what comes into view is drawn anew.
void CurveRaster::scroll(qint64 by)
{
    const int w = picture.width();
    const int n = int(std::abs(by));
    const int bpp = 4;
    for (int y = 0; y < picture.height(); ++y) {
        uchar *row = picture.scanLine(y);
        if (by > 0) {
            std::memmove(row, row + n * bpp, size_t(w - n) * bpp);
            std::memset(row + (w - n) * bpp, 0, size_t(n) * bpp);
        } else {
            std::memmove(row + n * bpp, row, size_t(w - n) * bpp);
            std::memset(row, 0, size_t(n) * bpp);
        }
    }
    ink.scroll(int(by));
    geo.firstColumn += by;
    if (by > 0)
        dirty.append(qMakePair(w - n, w - 1));
    else
        dirty.append(qMakePair(0, n - 1));
}

void CurveRaster::drawAll()
{
    picture = QImage(geo.size, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(geo.devicePixelRatio);
    ink.reset(picture.width());
    drawRange(0, picture.width() - 1);
}

// Redraws pixel columns from..to: the segments that can reach them are drawn
// whole into a scratch strip, and the strip's columns copied over (a line
// drawn whole and one clipped need not round alike at the clip's edge).
void CurveRaster::drawRange(int from, int to)
{
    // Every segment that can reach the range is drawn whole around it.
    const int margin = 2 * reachOf(geo.pen);
    const int width = to - from + 1 + 2 * margin;
    const int height = picture.height() + 2 * kRowMargin;
    if (scratch.width() < width || scratch.height() != height)
        scratch = QImage(std::max(width, 64), height, QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);

    // Runs whose column lies in the strip, and one more on each side (the
    // segment into the strip from outside).
    const qint64 lowColumn = geo.firstColumn + from - margin;
    const qint64 highColumn = geo.firstColumn + to + margin;
    const auto byColumn = [](const Run &r, qint64 c) { return r.column < c; };
    int first = int(std::lower_bound(runs.begin(), runs.end(), lowColumn, byColumn) - runs.begin());
    int last = int(std::lower_bound(runs.begin(), runs.end(), highColumn + 1, byColumn) - runs.begin()) - 1;
    first = std::max(first - 1, 0);
    last = std::min(last + 1, int(runs.size()) - 1);
    if (first <= last) {
        QPainter painter(&scratch);
        painter.translate(0, kRowMargin);
        drawRuns(painter, first, last, margin - from);
    }
    markInk(first, last, from, to);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(picture.scanLine(y) + from * 4, scratch.constScanLine(y + kRowMargin) + margin * 4,
                    size_t(to - from + 1) * 4);
}

// Runs first..last and the segments between them, `shift` pixels to the right.
void CurveRaster::drawRuns(QPainter &painter, int first, int last, int shift) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(geo.pen);
    const bool fast = fastPen(geo.pen);
    const QColor color = geo.pen.color();
    const auto at = [&](int index, qint64 column) {
        return QPointF(double(column - geo.firstColumn + shift), drawn.at(index).y());
    };
    for (int r = first; r <= last; ++r) {
        const Run &run = runs.at(r);
        if (run.end - run.begin > 1) {
            if (fast) {
                const int x = int(run.column - geo.firstColumn) + shift;
                const int half = int(geo.pen.widthF()) / 2;
                const QPair<int, int> rows = spanRows(drawn, run.begin, run.end, half);
                painter.fillRect(QRect(x - half, rows.first, 2 * half, rows.second - rows.first + 1), color);
            } else {
                for (int k = run.begin + 1; k < run.end; ++k)
                    painter.drawLine(at(k - 1, run.column), at(k, run.column));
            }
        }
        if (r < last) {
            const Run &next = runs.at(r + 1);
            painter.drawLine(at(run.end - 1, run.column), at(next.begin, next.column));
        }
    }
}

// The rows runs first..last can cover in picture columns from..to, which
// they alone draw: every segment's rows and columns, widened by the pen's
// reach.
void CurveRaster::markInk(int first, int last, int from, int to)
{
    const int reach = reachOf(geo.pen);
    ink.clear(from, to);
    const auto mark = [&](qint64 columnA, qint64 columnB, double yA, double yB) {
        const qint64 lo = std::max<qint64>(std::min(columnA, columnB) - geo.firstColumn - reach, from);
        const qint64 hi = std::min<qint64>(std::max(columnA, columnB) - geo.firstColumn + reach, to);
        ink.mark(lo, hi, int(std::floor(std::min(yA, yB))) - reach, int(std::ceil(std::max(yA, yB))) + reach);
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
    if (ink.width() != picture.width())
        return QRect();
    return ink.within(part & picture.rect());
}
