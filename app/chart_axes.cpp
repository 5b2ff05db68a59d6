// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "grid_item.h"

#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QValueAxis>

#include <cmath>

// The chart's axes: their ranges, their ticks on round values, and the grid
// drawn at the ticks.

// Ticks on round values: a 1-2-5 interval giving about `ticks` of them,
// anchored at 0, so the labels are short and keep their width while the axis
// scrolls.
static double tickInterval(double span, int ticks)
{
    const double raw = span / ticks;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * decade >= raw * (1 - 1e-9))
            return m * decade;
    return 10 * decade;
}

// About eight ticks; on the distance axis no more than its height has room
// for, a label and a half each. The chart cuts a label to "..." when the
// labels stand closer than their height: on a short plot (a 1024 x 600
// panel with the traffic panel open) all of them would be.
static int tickBudget(const QValueAxis *axis, const QRectF &plot)
{
    if (axis->orientation() != Qt::Vertical || plot.height() <= 0)
        return 8;
    const double room = 1.5 * QFontMetricsF(axis->labelsFont()).height();
    return qBound(2, int(plot.height() / room), 8);
}

static void setTickInterval(QValueAxis *axis, double interval);

void MainWindow::setAxis(QValueAxis *axis, double min, double max)
{
    const double span = max - min;
    const double interval = span > 0 && std::isfinite(span) ? tickInterval(span, tickBudget(axis, chart->plotArea()))
                                                           : 0.0;
    if (axis->min() == min && axis->max() == max && (interval <= 0 || interval == axis->tickInterval()))
        return;
    // Range changes that do not come from here are the operator's zoom.
    const bool outer = settingAxes;
    settingAxes = true;
    // The axis makes a tick item for every interval of its range: a wider
    // interval goes in before a wider range, a narrower one after a narrower
    // range, so that no step in between has thousands of ticks.
    const bool coarser = interval > axis->tickInterval();
    if (interval > 0 && coarser)
        setTickInterval(axis, interval);
    axis->setRange(min, max);
    if (interval > 0 && !coarser)
        setTickInterval(axis, interval);
    settingAxes = outer;
}

// The grid's lines where the axes' ticks are now (the window's ranges, the
// operator's rubber band, a new plot size).
void MainWindow::updateGrid()
{
    if (!gridItem)
        return;
    const QRectF plot = chart->plotArea();
    gridItem->setGrid(plot, {GridItem::linePositions(axisX, plot.left(), plot.right()), axisX->gridLineColor()},
                      {GridItem::linePositions(axisY, plot.bottom(), plot.top()), axisY->gridLineColor()});
}

static void setTickInterval(QValueAxis *axis, double interval)
{
    if (axis->tickType() == QValueAxis::TicksDynamic && axis->tickInterval() == interval)
        return;
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
    axis->setTickType(QValueAxis::TicksDynamic);
}

// The grid is drawn by an item of its own (grid_item.h), on the pixels of
// the axes' grid, and follows whatever changes the axes.
void MainWindow::setUpGrid()
{
    axisX->setGridLineVisible(false);
    axisY->setGridLineVisible(false);
    gridItem = new GridItem(chart);
    gridItem->setZValue(2);   // Qt Charts: grid 2, axes 3
    for (QValueAxis *axis : {axisX, axisY}) {
        connect(axis, &QValueAxis::rangeChanged, this, &MainWindow::updateGrid);
        connect(axis, &QValueAxis::tickIntervalChanged, this, &MainWindow::updateGrid);
        connect(axis, &QValueAxis::tickAnchorChanged, this, &MainWindow::updateGrid);
        connect(axis, &QValueAxis::tickTypeChanged, this, &MainWindow::updateGrid);
        connect(axis, &QValueAxis::tickCountChanged, this, &MainWindow::updateGrid);
        connect(axis, &QValueAxis::gridLineColorChanged, this, &MainWindow::updateGrid);
    }
    updateGrid();
    // A new plot height may hold more or fewer distance labels.
    connect(chart, &QChart::plotAreaChanged, this, [this] { setAxis(axisY, axisY->min(), axisY->max()); });
    connect(chart, &QChart::plotAreaChanged, this, &MainWindow::fitChartHeight);
}

// The chart is never so short that the distance axis's title, which runs
// along the plot's height, is cut ("Dista..." in English at the window's
// least size): at least what lies around the plot (margins, the time axis's
// labels and title) and the title's length.
void MainWindow::fitChartHeight()
{
    const QRectF plot = chart->plotArea();
    if (plot.height() <= 0 || chartView->height() <= plot.height())
        return;
    const int around = chartView->height() - int(std::floor(plot.height()));
    const int title = QFontMetrics(axisY->titleFont()).horizontalAdvance(axisY->titleText());
    chartView->setMinimumHeight(around + title + QFontMetrics(axisY->titleFont()).height());
}
