// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CURVE_ITEM_H
#define CURVE_ITEM_H

#include "curve_raster.h"

#include <QGraphicsItem>
#include <QPoint>
#include <vector>

// The chart's curve on screen: the picture of a CurveRaster, placed over the
// plot area at whole device pixels (on a high-DPI screen the picture is in
// the screen's pixels, not the window's, and is shown one for one). The line series keeps the points (what
// the chart shows, for whoever reads the chart); this item draws them, and
// after a refresh asks for the repaint of only the pixel columns that
// changed.
//
// The picture is shown through tiles, each a band of columns: a graphics
// item joins all the parts of itself to be repainted into one rectangle, so
// one item would repaint the whole plot when the oldest column (at the left
// edge) and the newest (at the right) change together.
class CurveItem : public QGraphicsItem
{
public:
    explicit CurveItem(QGraphicsItem *parent = nullptr);

    // Draws `points` on `geometry`, the picture's top-left pixel at `origin`
    // in device pixels (the viewport's times the geometry's device pixel
    // ratio); `toItem` maps viewport pixels to this item.
    void show(const QVector<QPointF> &points, const CurveRaster::Geometry &geometry, const QPoint &origin,
              const QPointF &toItem);
    void clearCurve();

    const CurveRaster &raster() const { return curve; }
    // The picture's rectangle in this item's coordinates (empty when none).
    QRectF pictureRect() const;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // Draws the part `part` (picture pixels) of the picture.
    void paintPart(QPainter *painter, const QRect &part) const;

private:
    class Tile;
    void layOutTiles();

    CurveRaster curve;
    QPoint deviceOrigin;
    QPointF deviceToItem;
    bool empty = true;
    QRectF placed;   // the picture's rectangle as the scene knows it
    std::vector<Tile *> tiles;
};

#endif // CURVE_ITEM_H
