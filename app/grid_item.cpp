// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid_item.h"

#include <QPainter>
#include <QValueAxis>

#include <cmath>

GridItem::GridItem(QGraphicsItem *parent) : QGraphicsItem(parent)
{
}

QVector<double> GridItem::linePositions(const QValueAxis *axis, double from, double to)
{
    QVector<double> at;
    const double min = axis->min();
    const double max = axis->max();
    if (!(max > min))
        return at;
    if (axis->tickType() == QValueAxis::TicksDynamic) {
        const double interval = axis->tickInterval();
        if (!(interval > 0) || (max - min) / interval > 10000)
            return at;
        const double anchor = axis->tickAnchor();
        const double perValue = (to - from) / (max - min);
        // The axis counts on from its first tick by adding the interval, and
        // so does this: the same sums, the same rounding.
        for (double value = anchor - std::floor((anchor - min) / interval) * interval; value <= max;
             value += interval)
            at.append(from + (value - min) * perValue);
        return at;
    }
    const int count = axis->tickCount();
    for (int i = 0; i < count && count > 1; ++i)
        at.append(from + i * (to - from) / (count - 1));
    return at;
}

QPair<int, int> GridItem::pixelsOf(double from, double to)
{
    // The pixels whose centres the span holds (pixel k spans k to k + 1).
    // Exactly so, in both Qt versions: a line at 198.9956 covers pixel 198,
    // although the engine's fixed point (1/64 px) would round it to 199.
    return qMakePair(int(std::floor(from + 0.5)), int(std::floor(to - 0.5)));
}

void GridItem::setGrid(const QRectF &area, const Lines &vertical, const Lines &horizontal)
{
    if (area == plot && vertical == xs && horizontal == ys)
        return;
    if (area != plot)
        prepareGeometryChange();
    plot = area;
    xs = vertical;
    ys = horizontal;
    update();
}

QRectF GridItem::boundingRect() const
{
    return plot.isEmpty() ? QRectF() : plot.adjusted(-1, -1, 1, 1);
}

void GridItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (plot.isEmpty())
        return;
    const QTransform world = painter->worldTransform();
    if (world.type() > QTransform::TxTranslate) {
        // Scaled (a print, an export at another size): lines as the axes draw them.
        painter->setPen(QPen(xs.color, 1));
        for (const double x : xs.at)
            painter->drawLine(QLineF(x, plot.top(), x, plot.bottom()));
        painter->setPen(QPen(ys.color, 1));
        for (const double y : ys.at)
            painter->drawLine(QLineF(plot.left(), y, plot.right(), y));
        return;
    }
    // Below the item's transform the screen's own scale (a high-DPI screen's
    // device pixel ratio): the lines are one unit wide as the axes' pen is,
    // so that many device pixels.
    const QTransform toDevice = painter->deviceTransform();
    const double wx = toDevice.m11();
    const double wy = toDevice.m22();
    const QRectF device = toDevice.mapRect(plot);
    const QPair<int, int> rows = pixelsOf(device.top() - wy / 2, device.bottom() + wy / 2);
    const QPair<int, int> columns = pixelsOf(device.left() - wx / 2, device.right() + wx / 2);
    const auto spanned = [](const QPair<int, int> &p) { return p.second - p.first + 1; };
    painter->save();
    painter->setWorldTransform((world.inverted() * toDevice).inverted());
    for (const double x : xs.at) {
        const double centre = toDevice.map(QPointF(x, 0)).x();
        const QPair<int, int> across = pixelsOf(centre - wx / 2, centre + wx / 2);
        painter->fillRect(QRect(across.first, rows.first, spanned(across), spanned(rows)), xs.color);
    }
    for (const double y : ys.at) {
        const double centre = toDevice.map(QPointF(0, y)).y();
        const QPair<int, int> across = pixelsOf(centre - wy / 2, centre + wy / 2);
        painter->fillRect(QRect(columns.first, across.first, spanned(columns), spanned(across)), ys.color);
    }
    painter->restore();
}
