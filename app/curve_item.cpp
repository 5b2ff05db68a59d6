// SPDX-License-Identifier: GPL-3.0-or-later
#include "curve_item.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace {
constexpr int kTileWidth = 32;   // pixel columns per tile
}

// A band of the picture's columns. Its place is kept, not derived from the
// picture: the scene must be told of a change of it before it happens
// (prepareGeometryChange), and the picture has changed by then.
class CurveItem::Tile : public QGraphicsItem
{
public:
    Tile(CurveItem *owner, int index) : QGraphicsItem(owner), owner(owner), index(index)
    {
        setFlag(QGraphicsItem::ItemUsesExtendedStyleOption, true);
    }

    // The tile's columns of a picture of `size` (its pixels, `ratio` of them
    // to an item unit) at `where`.
    void place(const QSize &size, double ratio, const QPointF &where)
    {
        prepareGeometryChange();
        columns = QRect(index * kTileWidth, 0, kTileWidth, size.height()) & QRect(QPoint(0, 0), size);
        bounds = columns.isEmpty() ? QRectF() : toItem(columns, ratio).translated(where);
        scale = ratio;
    }
    static QRectF toItem(const QRect &r, double ratio)
    {
        return QRectF(r.x() / ratio, r.y() / ratio, r.width() / ratio, r.height() / ratio);
    }
    const QRect &part() const { return columns; }
    QRectF boundingRect() const override { return bounds; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *) override
    {
        const QRectF seen = option->exposedRect.translated(-bounds.topLeft());
        const QRect exposed = QRectF(seen.x() * scale, seen.y() * scale, seen.width() * scale, seen.height() * scale)
                .translated(columns.topLeft()).toAlignedRect() & columns;
        owner->paintPart(painter, exposed);
    }

private:
    CurveItem *owner;
    int index;
    QRect columns;
    QRectF bounds;
    double scale = 1;
};

CurveItem::CurveItem(QGraphicsItem *parent) : QGraphicsItem(parent)
{
    setFlag(QGraphicsItem::ItemHasNoContents, true);
}

QRectF CurveItem::pictureRect() const
{
    return placed;
}

QRectF CurveItem::boundingRect() const
{
    return placed;
}

void CurveItem::paint(QPainter *, const QStyleOptionGraphicsItem *, QWidget *)
{
}

// Places the item and its tiles over the current picture (called once the
// picture has changed size or place).
void CurveItem::layOutTiles()
{
    prepareGeometryChange();
    const double ratio = curve.geometry().devicePixelRatio;
    placed = empty ? QRectF()
                   : QRectF(QPointF(deviceOrigin) / ratio + deviceToItem, QSizeF(curve.image().size()) / ratio);
    const int needed = empty ? 0 : (curve.image().width() + kTileWidth - 1) / kTileWidth;
    while (int(tiles.size()) > needed) {
        delete tiles.back();
        tiles.pop_back();
    }
    while (int(tiles.size()) < needed)
        tiles.push_back(new Tile(this, int(tiles.size())));
    for (Tile *t : tiles)
        t->place(curve.image().size(), ratio, placed.topLeft());
}

void CurveItem::show(const QVector<QPointF> &points, const CurveRaster::Geometry &geometry, const QPoint &origin,
                     const QPointF &toItem)
{
    const QSize before = curve.image().size();
    const double ratioBefore = curve.geometry().devicePixelRatio;
    const QVector<QRect> changed = curve.update(points, geometry);
    const bool moved = origin != deviceOrigin || toItem != deviceToItem || empty != curve.image().isNull()
            || before != curve.image().size() || ratioBefore != geometry.devicePixelRatio;
    if (moved) {
        deviceOrigin = origin;
        deviceToItem = toItem;
        empty = curve.image().isNull();
        layOutTiles();
        for (Tile *t : tiles)
            t->update();
        return;
    }
    for (const QRect &r : changed)
        for (Tile *t : tiles) {
            const QRect part = t->part() & r;
            if (!part.isEmpty())
                t->update(Tile::toItem(part, curve.geometry().devicePixelRatio).translated(pictureRect().topLeft()));
        }
}

void CurveItem::clearCurve()
{
    if (empty)
        return;
    curve.update(QVector<QPointF>(), CurveRaster::Geometry());
    empty = true;
    layOutTiles();
}

void CurveItem::paintPart(QPainter *painter, const QRect &asked) const
{
    // Only the rows the curve can reach: the rest of the picture is clear,
    // and composing it costs as much as composing the curve.
    const QRect part = empty ? QRect() : curve.inkIn(asked);
    if (part.isEmpty())
        return;
    const QRectF where = pictureRect();
    const QTransform world = painter->worldTransform();
    if (world.type() > QTransform::TxTranslate) {
        // Scaled (a print, an export at another size): the picture as it is.
        painter->drawImage(Tile::toItem(part, curve.geometry().devicePixelRatio).translated(where.topLeft()),
                           curve.image(), part);
        return;
    }
    // The picture's pixels go to whole device pixels, one for one: drawn
    // with the screen's own scale (the device pixel ratio below the item's
    // transform) undone.
    const QTransform toDevice = painter->deviceTransform();
    const QPoint topLeft = toDevice.map(where.topLeft()).toPoint();
    const QTransform screen = world.inverted() * toDevice;
    painter->save();
    painter->setWorldTransform(screen.inverted());
    painter->drawImage(QRectF(topLeft + part.topLeft(), part.size()), curve.image(), QRectF(part));
    painter->restore();
}
