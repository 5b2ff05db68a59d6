// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef GRID_ITEM_H
#define GRID_ITEM_H

#include <QColor>
#include <QGraphicsItem>
#include <QRectF>
#include <QVector>
#include <QtCharts/QChartGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_BEGIN_NAMESPACE
class QValueAxis;
QT_END_NAMESPACE
#else
QT_CHARTS_BEGIN_NAMESPACE
class QValueAxis;
QT_CHARTS_END_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

// The plot's grid: a line across the plot at every tick of the two value
// axes, where the axes would draw theirs and on the same pixels.
//
// The axes' own grid lines are graphics line items, and the window's paint
// engine draws an aliased vertical line one pixel at a time, each through
// the span blender: at twelve pictures a second the grid of the default
// view was an eighth of the viewer's time. Here every line is a one-pixel
// wide rectangle, filled a row at a time; on a high-DPI screen as many
// device pixels wide as the axes' one-unit pen covers there.
class GridItem : public QGraphicsItem
{
public:
    enum { Type = UserType + 84 };
    explicit GridItem(QGraphicsItem *parent = nullptr);
    int type() const override { return Type; }

    // Where the lines of `axis` lie on a plot spanning `from` to `to`
    // (pixels; `to` less than `from` for a vertical axis, whose values grow
    // upwards): at the axis's dynamic ticks (multiples of its interval from
    // its anchor) or, with fixed ticks, at its tick count spread evenly.
    static QVector<double> linePositions(const QValueAxis *axis, double from, double to);

    // The device pixels an aliased line covers along one direction, where
    // it spans `from` to `to` (device pixels: across the line its centre
    // less and plus half the pen's width, along it its ends less and plus
    // half the width, the square caps): first and last. At a device pixel
    // ratio of 1 a one-pixel line through `v` covers the one pixel that
    // holds v.
    static QPair<int, int> pixelsOf(double from, double to);

    // Lines of one direction: where they cross the other axis, their colour.
    struct Lines {
        QVector<double> at;
        QColor color;
        bool operator==(const Lines &o) const { return at == o.at && color == o.color; }
    };
    // Vertical and horizontal lines across `plot`, all in this item's
    // coordinates.
    void setGrid(const QRectF &plot, const Lines &vertical, const Lines &horizontal);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QRectF plot;
    Lines xs;
    Lines ys;
};

#endif // GRID_ITEM_H
