// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHART_PALETTE_H
#define CHART_PALETTE_H

#include <QBrush>
#include <QColor>
#include <QObject>
#include <QPalette>
#include <QtCharts/QChartGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_BEGIN_NAMESPACE
class QChartView;
class QLineSeries;
QT_END_NAMESPACE
#else
QT_CHARTS_BEGIN_NAMESPACE
class QChartView;
class QLineSeries;
QT_CHARTS_END_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

// The chart's colours follow the palette the window has: the widgets do by
// themselves, the chart keeps the colours of its theme. On a dark palette
// (the window's colour darker than its text) the chart takes the window's
// background and text colours, a grid between the two, and a curve light
// enough to stand out; on a light one it has its own colours again. It
// changes as the palette does (the desktop's switch, the application's).
class ChartPalette : public QObject
{
    Q_OBJECT
public:
    ChartPalette(QChartView *view, QLineSeries *series, QObject *parent = nullptr);

    static bool isDark(const QPalette &palette);
    bool dark() const { return darkNow; }

signals:
    // The curve's pen changed: its picture is to be drawn anew.
    void curveColourChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The chart's colours (its theme's, or the dark ones).
    struct Colours {
        QBrush background;
        QBrush viewBackground;
        QColor labels;
        QBrush title;
        QColor axisLine;
        QColor grid;
        QColor curve;
    };
    Colours current() const;
    void set(const Colours &colours);
    void follow();

    QChartView *view;
    QLineSeries *series;
    Colours light;    // the theme's, kept for the way back
    bool darkNow = false;
};

#endif // CHART_PALETTE_H
