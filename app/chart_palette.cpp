// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_palette.h"

#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

namespace {

// Colour a over b, a's share `t` (0..1).
QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(a.redF() * t + b.redF() * (1 - t), a.greenF() * t + b.greenF() * (1 - t),
                            a.blueF() * t + b.blueF() * (1 - t));
}

} // namespace

ChartPalette::ChartPalette(QChartView *view, QLineSeries *series, QObject *parent)
    : QObject(parent), view(view), series(series)
{
    light = current();
    view->installEventFilter(this);
    follow();
}

bool ChartPalette::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

ChartPalette::Colours ChartPalette::current() const
{
    QChart *chart = view->chart();
    Colours c;
    c.background = chart->backgroundBrush();
    c.viewBackground = view->backgroundBrush();
    const QList<QAbstractAxis *> axes = chart->axes();
    if (!axes.isEmpty()) {
        c.labels = axes.first()->labelsBrush().color();
        c.title = axes.first()->titleBrush();
        c.axisLine = axes.first()->linePenColor();
        c.grid = axes.first()->gridLineColor();
    }
    c.curve = series->pen().color();
    return c;
}

void ChartPalette::set(const Colours &c)
{
    QChart *chart = view->chart();
    chart->setBackgroundBrush(c.background);
    view->setBackgroundBrush(c.viewBackground);
    for (QAbstractAxis *axis : chart->axes()) {
        axis->setLabelsColor(c.labels);
        axis->setTitleBrush(c.title);
        axis->setLinePenColor(c.axisLine);
        axis->setGridLineColor(c.grid);
    }
    if (series->pen().color() != c.curve) {
        QPen pen = series->pen();
        pen.setColor(c.curve);
        series->setPen(pen);
        emit curveColourChanged();
    }
}

void ChartPalette::follow()
{
    const QPalette palette = view->palette();
    const bool nowDark = isDark(palette);
    if (nowDark == darkNow && !nowDark)
        return;
    darkNow = nowDark;
    if (!nowDark) {
        set(light);
        return;
    }
    // The plot on the colour of a view's content (a dark base), else the
    // window's.
    QColor background = palette.color(QPalette::Base);
    if (background.lightness() >= palette.color(QPalette::Text).lightness())
        background = palette.color(QPalette::Window);
    Colours c;
    c.background = background;
    c.viewBackground = background;
    c.labels = palette.color(QPalette::WindowText);
    c.title = c.labels;
    c.axisLine = mix(c.labels, background, 0.45);
    c.grid = mix(c.labels, background, 0.2);
    // The theme's blue, lightened until it stands well clear of the
    // background (a lightness at least 110 above it, or near white).
    QColor curve = light.curve;
    for (int step = 0; step < 30 && curve.lightness() < std::min(background.lightness() + 110, 235); ++step)
        curve = curve.lighter(112);
    c.curve = curve;
    set(c);
}

bool ChartPalette::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange))
        follow();
    return QObject::eventFilter(watched, event);
}
