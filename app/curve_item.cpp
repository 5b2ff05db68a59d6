#include "curve_item.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace {
constexpr int kTileWidth = 32;   // pixel columns per tile
}

// A band of the picture's columns.
class CurveItem::Tile : public QGraphicsItem
{
public:
    Tile(CurveItem *owner, int index) : QGraphicsItem(owner), owner(owner), index(index)
    {
        setFlag(QGraphicsItem::ItemUsesExtendedStyleOption, true);
    }

    // The tile's columns of the picture.
    QRect part() const
    {
        const QSize size = owner->curve.image().size();
        return QRect(index * kTileWidth, 0, kTileWidth, size.height()) & QRect(QPoint(0, 0), size);
    }
    QRectF boundingRect() const override
    {
        const QRect p = part();
        return p.isEmpty() ? QRectF() : QRectF(p).translated(owner->pictureRect().topLeft());
    }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *) override
    {
        const QRect exposed = option->exposedRect.translated(-owner->pictureRect().topLeft()).toAlignedRect() & part();
        owner->paintPart(painter, exposed);
    }
    void geometryChanging() { prepareGeometryChange(); }

    CurveItem *owner;
    int index;
};

CurveItem::CurveItem(QGraphicsItem *parent) : QGraphicsItem(parent)
{
    setFlag(QGraphicsItem::ItemHasNoContents, true);
}

QRectF CurveItem::pictureRect() const
{
    if (empty)
        return QRectF();
    return QRectF(QPointF(deviceOrigin) + deviceToItem, QSizeF(curve.image().size()));
}

QRectF CurveItem::boundingRect() const
{
    return pictureRect();
}

void CurveItem::paint(QPainter *, const QStyleOptionGraphicsItem *, QWidget *)
{
}

void CurveItem::layOutTiles()
{
    const int needed = empty ? 0 : (curve.image().width() + kTileWidth - 1) / kTileWidth;
    while (int(tiles.size()) > needed) {
        delete tiles.back();
        tiles.pop_back();
    }
    for (Tile *t : tiles)
        t->geometryChanging();
    while (int(tiles.size()) < needed)
        tiles.push_back(new Tile(this, int(tiles.size())));
}

void CurveItem::show(const QVector<QPointF> &points, const CurveRaster::Geometry &geometry, const QPoint &origin,
                     const QPointF &toItem)
{
    const QSize before = curve.image().size();
    const QVector<QRect> changed = curve.update(points, geometry);
    const bool moved = origin != deviceOrigin || toItem != deviceToItem || empty != curve.image().isNull()
            || before != curve.image().size();
    if (moved) {
        prepareGeometryChange();
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
                t->update(QRectF(part).translated(pictureRect().topLeft()));
        }
}

void CurveItem::clearCurve()
{
    if (empty)
        return;
    prepareGeometryChange();
    curve.update(QVector<QPointF>(), CurveRaster::Geometry());
    empty = true;
    layOutTiles();
}

void CurveItem::paintPart(QPainter *painter, const QRect &part) const
{
    if (empty || part.isEmpty())
        return;
    const QRectF where = pictureRect();
    const QTransform toDevice = painter->worldTransform();
    if (toDevice.type() > QTransform::TxTranslate) {
        // Scaled (a print, an export at another size): the picture as it is.
        painter->drawImage(QRectF(part).translated(where.topLeft()), curve.image(), part);
        return;
    }
    // The picture's pixels go to whole device pixels, one for one.
    const QPoint topLeft = toDevice.map(where.topLeft()).toPoint();
    painter->save();
    painter->resetTransform();
    painter->drawImage(topLeft + part.topLeft(), curve.image(), part);
    painter->restore();
}
