// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid_item.h"

#include "curve_raster.h"

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

int GridItem::pixelOf(double v)
{
    // The pixel that holds v (pixel k spans k to k + 1), v taken to the
    // 1/64 pixel the paint engine's line drawing works in.
    return int(std::floor(CurveRaster::snapY(v)));
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
    const QTransform toDevice = painter->worldTransform();
    if (toDevice.type() > QTransform::TxTranslate) {
        // Scaled (a print, an export at another size): lines as the axes draw them.
        painter->setPen(QPen(xs.color, 1));
        for (const double x : xs.at)
            painter->drawLine(QLineF(x, plot.top(), x, plot.bottom()));
        painter->setPen(QPen(ys.color, 1));
        for (const double y : ys.at)
            painter->drawLine(QLineF(plot.left(), y, plot.right(), y));
        return;
    }
    const QRectF device = toDevice.mapRect(plot);
    const int top = pixelOf(device.top());
    const int bottom = pixelOf(device.bottom());
    const int left = pixelOf(device.left());
    const int right = pixelOf(device.right());
    painter->save();
    painter->resetTransform();
    for (const double x : xs.at)
        painter->fillRect(QRect(pixelOf(x + toDevice.dx()), top, 1, bottom - top + 1), xs.color);
    for (const double y : ys.at)
        painter->fillRect(QRect(left, pixelOf(y + toDevice.dy()), right - left + 1, 1), ys.color);
    painter->restore();
}
