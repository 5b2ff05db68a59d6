// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_panel.h"
#include "chart_palette.h"

#include "chart_clock.h"
#include "curve_item.h"
#include "grid_item.h"
#include "named_widget.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFontMetricsF>
#include <QGraphicsEllipseItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <cmath>
#include <initializer_list>

namespace {

// `widgets` side by side at the left of a row.
QHBoxLayout *leftAlignedRow(std::initializer_list<QWidget *> widgets)
{
    auto *row = new QHBoxLayout;
    for (QWidget *widget : widgets)
        row->addWidget(widget);
    row->addStretch(1);
    return row;
}

// Ticks on round values: a 1-2-5 interval giving about `ticks` of them,
// anchored at 0, so the labels are short and keep their width while the axis
// scrolls.
double tickInterval(double span, int ticks)
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
int tickBudget(const QValueAxis *axis, const QRectF &plot)
{
    if (axis->orientation() != Qt::Vertical || plot.height() <= 0)
        return 8;
    const double room = 1.5 * QFontMetricsF(axis->labelsFont()).height();
    return qBound(2, int(plot.height() / room), 8);
}

void setTickInterval(QValueAxis *axis, double interval)
{
    if (axis->tickType() == QValueAxis::TicksDynamic && axis->tickInterval() == interval)
        return;
    axis->setTickAnchor(0);
    axis->setTickInterval(interval);
    axis->setTickType(QValueAxis::TicksDynamic);
}

// Where a mouse event happened, in the widget's pixels (Qt 6 names it
// position(), Qt 5 pos()).
QPoint eventPoint(const QMouseEvent *mouse)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return mouse->position().toPoint();
#else
    return mouse->pos();
#endif
}

} // namespace

// The chart tools, the readouts of what is on screen and the record format,
// under the chart (the command tabs beside them reach down to the bottom).
ChartPanel::ChartPanel(const Chart &parts, ChartModel &model, QLabel *freqLabel, QWidget *parent)
    : QWidget(parent),
      chartView(parts.view),
      chart(parts.chart),
      series(parts.series),
      axisX(parts.axisX),
      axisY(parts.axisY),
      liveChart(model),
      freqLabel(freqLabel)
{
    setObjectName(QStringLiteral("chartToolPanel"));
    setAxis(axisX, 0, 10);
    setAxis(axisY, 0, 350);
    chartRefreshTimer = new QTimer(this);
    chartRefreshTimer->setObjectName(QStringLiteral("chartRefreshTimer"));
    chartRefreshTimer->setSingleShot(true);
    connect(chartRefreshTimer, &QTimer::timeout, this, &ChartPanel::refreshChart);
    connect(chart, &QChart::plotAreaChanged, this, &ChartPanel::plotAreaChanged);
    // The chart follows a dark palette (chart_palette.h).
    connect(new ChartPalette(chartView, series, this), &ChartPalette::curveColourChanged, this,
            &ChartPanel::plotAreaChanged);
    chartClock = new ChartClock(this);
    setUpGrid();
    setUpCurve();
    createControls();
    layOut();
    connectControls();
}

// The item that draws the curve.
void ChartPanel::setUpCurve()
{
    // The series holds the points shown and is not drawn itself: a line
    // series rasterises every segment for every picture, which for a dense
    // window (an hour's band) took 30 to 45 ms a picture. The curve item
    // keeps the picture and redraws only the columns that change.
    curveItem = new CurveItem(chart);
    curveItem->setZValue(4.5);   // over the grid and axes, under the legend (Qt Charts: series 4, legend 5)
    series->setVisible(false);
    // Nor need its chart item hear of new points: for every change it
    // would outline the whole curve (QPainterPathStroker) for a hit test that
    // nothing uses, a third of a picture's cost in the default view.
    series->blockSignals(true);
}

void ChartPanel::createControls()
{
    liveViewButton = namedWidget<QPushButton>("liveViewButton", this);
    liveViewButton->setEnabled(false);
    autoScaleBox = namedWidget<QCheckBox>("autoScaleCheckBox", this);
    autoScaleBox->setChecked(true);
    yMinLabel = namedWidget<QLabel>("label_y_min", this);
    yMaxLabel = namedWidget<QLabel>("label_y_max", this);
    yMinSpin = namedWidget<QDoubleSpinBox>("yMinSpinBox", this);
    yMaxSpin = namedWidget<QDoubleSpinBox>("yMaxSpinBox", this);
    for (QDoubleSpinBox *spin : {yMinSpin, yMaxSpin}) {
        spin->setDecimals(2);
        spin->setRange(-1000, 1000);
        spin->setSuffix(" m");
        spin->setEnabled(false);
    }
    yMaxSpin->setValue(50);
    exportImageButton = namedWidget<QPushButton>("exportImageButton", this);
    exportCsvButton = namedWidget<QPushButton>("exportCsvButton", this);
    openRecordingButton = namedWidget<QPushButton>("openRecordingButton", this);
    recordCsvBox = namedWidget<QCheckBox>("recordCsvCheckBox", this);
    statsLabel = namedWidget<QLabel>("statsLabel", this);
    statsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    hoverLabel = namedWidget<QLabel>("hoverLabel", this);
}

// The tools in two rows, the readouts of what is on screen below them. The
// window places the panel under the chart (rows 2 and 3 of the form's grid
// are kept for it and the link's panel; the command tabs reach down beside
// them).
void ChartPanel::layOut()
{
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->addLayout(leftAlignedRow({liveViewButton, autoScaleBox, yMinLabel, yMinSpin, yMaxLabel, yMaxSpin}));
    rows->addLayout(leftAlignedRow({recordCsvBox, exportImageButton, exportCsvButton, openRecordingButton}));

    auto *readouts = new QHBoxLayout;
    readouts->addWidget(statsLabel, 1);
    readouts->addWidget(hoverLabel);
    rows->addLayout(readouts);
    readoutRow = readouts;
    lastTool = openRecordingButton;

    hoverMark = new QGraphicsEllipseItem(-4, -4, 8, 8, chart);
    hoverMark->setPen(QPen(Qt::red, 1.5));
    hoverMark->setZValue(6);
    hoverMark->hide();
}

// Left drag: the chart view's rubber band (its time range is taken); wheel:
// zoom about the cursor; shift + wheel or middle drag: pan.
void ChartPanel::connectControls()
{
    chartView->viewport()->setMouseTracking(true);
    chartViewport = chartView->viewport();
    chartViewport->installEventFilter(this);
    connect(axisX, &QValueAxis::rangeChanged, this, &ChartPanel::xRangeChanged);
    connect(liveViewButton, &QPushButton::clicked, this, &ChartPanel::backToLive);
    connect(autoScaleBox, &QCheckBox::toggled, this, &ChartPanel::yRangeChanged);
    connect(yMinSpin, &QDoubleSpinBox::editingFinished, this, &ChartPanel::yRangeChanged);
    connect(yMaxSpin, &QDoubleSpinBox::editingFinished, this, &ChartPanel::yRangeChanged);
    connect(exportImageButton, &QPushButton::clicked, this, &ChartPanel::exportImageClicked);
    connect(exportCsvButton, &QPushButton::clicked, this, &ChartPanel::exportCsvClicked);
    connect(openRecordingButton, &QPushButton::clicked, this, &ChartPanel::openRecordingClicked);
}

void ChartPanel::addTool(QWidget *tool)
{
    readoutRow->addWidget(tool);
    setTabOrder(lastTool, tool);
    lastTool = tool;
}

void ChartPanel::retranslate()
{
    liveViewButton->setText(tr("回到实时"));
    autoScaleBox->setText(tr("自动量程"));
    yMinLabel->setText(tr("最小"));
    yMaxLabel->setText(tr("最大"));
    exportImageButton->setText(tr("导出图片"));
    exportCsvButton->setText(tr("导出CSV"));
    openRecordingButton->setText(tr("回放录制"));
    recordCsvBox->setText(tr("录制为CSV"));
    hideHover();
    updateStatistics();
}

void ChartPanel::setAxis(QValueAxis *axis, double min, double max)
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
void ChartPanel::updateGrid()
{
    if (!gridItem)
        return;
    const QRectF plot = chart->plotArea();
    gridItem->setGrid(plot, {GridItem::linePositions(axisX, plot.left(), plot.right()), axisX->gridLineColor()},
                      {GridItem::linePositions(axisY, plot.bottom(), plot.top()), axisY->gridLineColor()});
}

// The grid is drawn by an item of its own (grid_item.h), on the pixels of
// the axes' grid, and follows whatever changes the axes.
void ChartPanel::setUpGrid()
{
    axisX->setGridLineVisible(false);
    axisY->setGridLineVisible(false);
    gridItem = new GridItem(chart);
    gridItem->setZValue(2);   // Qt Charts: grid 2, axes 3
    for (QValueAxis *axis : {axisX, axisY}) {
        connect(axis, &QValueAxis::rangeChanged, this, &ChartPanel::updateGrid);
        connect(axis, &QValueAxis::tickIntervalChanged, this, &ChartPanel::updateGrid);
        connect(axis, &QValueAxis::tickAnchorChanged, this, &ChartPanel::updateGrid);
        connect(axis, &QValueAxis::tickTypeChanged, this, &ChartPanel::updateGrid);
        connect(axis, &QValueAxis::tickCountChanged, this, &ChartPanel::updateGrid);
        connect(axis, &QValueAxis::gridLineColorChanged, this, &ChartPanel::updateGrid);
    }
    updateGrid();
    // A new plot height may hold more or fewer distance labels.
    connect(chart, &QChart::plotAreaChanged, this, [this] { setAxis(axisY, axisY->min(), axisY->max()); });
    connect(chart, &QChart::plotAreaChanged, this, &ChartPanel::fitChartHeight);
}

// The chart is never so short that the distance axis's title, which runs
// along the plot's height, is cut ("Dista..." in English at the window's
// least size): at least what lies around the plot (margins, the time axis's
// labels and title) and the title's length.
void ChartPanel::fitChartHeight()
{
    const QRectF plot = chart->plotArea();
    if (plot.height() <= 0 || chartView->height() <= plot.height())
        return;
    const int around = chartView->height() - int(std::floor(plot.height()));
    const int title = QFontMetrics(axisY->titleFont()).horizontalAdvance(axisY->titleText());
    chartView->setMinimumHeight(around + title + QFontMetrics(axisY->titleFont()).height());
}

// How often the chart takes the newest picture: 12.5 times a second for
// every window. A picture costs the plot's width whatever the window's length
// (the model hands at most about four points per pixel column); what it
// costs is mostly Qt Charts outlining the curve (its hit-test shape) and
// drawing it segment by segment with the 2-px pen. In the default view at the
// line's top rate the viewer needed about 17 % of a core at 20 pictures a
// second and about 12 % at 12.5 (docs/performance.md); the curve still moves
// by only a few pixels from one picture to the next.
int ChartPanel::chartRefreshInterval() const
{
    return 80;
}

bool ChartPanel::chartRefreshPending() const
{
    return liveChart.state() == ChartModel::State::Live && shownRevision != liveChart.revision();
}

void ChartPanel::scheduleChartRefresh()
{
    if (chartRefreshTimer->isActive() || !chartRefreshPending())
        return;
    const int interval = chartRefreshInterval();
    const qint64 since = lastChartRefresh >= 0 ? chartClock->nowMs() - lastChartRefresh : interval;
    if (since >= interval)
        refreshChart();
    else
        chartRefreshTimer->start(int(interval - since));
}

// The axes and the series take the newest picture of the live window. The
// axes are set only when their range changes (a new range lays out the
// labels again).
void ChartPanel::refreshChart()
{
    chartRefreshTimer->stop();
    if (!chartRefreshPending())
        return;
    lastChartRefresh = chartClock->nowMs();
    if (zoomed) {
        showZoomedChart(false);
        return;
    }
    // The series' own item, though hidden, outlines all the series' points
    // for every new range of an axis (a third of a refresh in the default
    // view): while the axes move it holds none, and takes the new picture's
    // points after them (its signals are blocked, so that costs a copy).
    series->clear();
    double width = plotWidth();
    // Labels of another width lay the chart out anew at once (coming back
    // from a zoom to other times, say): the picture is for the plot's width
    // after that.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double start = alignedAxisStart(liveChart.axisStart(), timeRange, width, liveChart.livePointCount());
        setAxis(axisX, start, start + timeRange);
        applyYAxis(liveChart.maxDistance());
        if (plotWidth() == width)
            break;
        width = plotWidth();
    }
    showCurve(liveChart.windowCurve(timeRange, width), timeRange);
}

// Where an axis of `range` seconds starting near `start` begins when `count`
// points are drawn on `width` pixels. For an envelope the columns must end
// where the renderer's pixel columns do (half-way between pixel centres,
// where a line's pixels switch columns): the axis starts on the model's
// column grid shifted by the plot's position in the pixels, less than a
// pixel before `start`.
double ChartPanel::alignedAxisStart(double start, double range, double width, int count) const
{
    if (!ChartModel::needsEnvelope(count, range, width))
        return start;
    const QPointF plotLeft = chartView->viewportTransform().map(chart->mapToScene(chart->plotArea().topLeft()))
            * chartView->viewport()->devicePixelRatioF();
    const double phase = plotLeft.x() - 0.5 - std::floor(plotLeft.x() - 0.5);
    return ChartModel::alignedStart(start, ChartModel::columnWidth(range, width), phase);
}

// The vertical axis: the operator's fixed range, or from 0 to a little above
// the largest distance shown (autoscale).
void ChartPanel::applyYAxis(double dataMax)
{
    if (autoScaleBox && !autoScaleBox->isChecked() && yMaxSpin->value() > yMinSpin->value())
        setAxis(axisY, yMinSpin->value(), yMaxSpin->value());
    else
        setAxis(axisY, 0, dataMax / 0.9);
}

// The series keeps the points shown; the curve item draws them on a grid of
// `range` / plot-width seconds per pixel column (the model's grid).
void ChartPanel::showCurve(const QVector<QPointF> &points, double range)
{
    series->replace(points);
    shownRevision = liveChart.revision();
    drawCurve(points, range);
    if (hovering)
        updateHover();
}

void ChartPanel::drawCurve(const QVector<QPointF> &points, double range)
{
    const double cw = ChartModel::columnWidth(range, plotWidth());
    const QRectF plot = chart->plotArea();
    const QRectF view = chartView->viewportTransform().mapRect(chart->mapRectToScene(plot));
    // On a high-DPI screen the picture has the screen's pixels.
    const double ratio = chartView->viewport()->devicePixelRatioF();
    const QRectF device(view.topLeft() * ratio, view.size() * ratio);
    if (!(cw > 0) || device.width() < 1 || device.height() < 1) {
        curveItem->clearCurve();
        return;
    }
    const QPoint origin(qRound(device.left()), qRound(device.top()));
    CurveRaster::Geometry g;
    g.size = QSize(qRound(device.right()) - origin.x(), qRound(device.bottom()) - origin.y());
    g.columnWidth = cw;
    // The column whose centre lies on the picture's first pixel column (a
    // whole number when the axis starts on the column grid).
    g.firstColumn = qint64(std::llround(axisX->min() / cw + origin.x() - device.left() - 0.5));
    g.yTop = axisY->max();
    g.yBottom = axisY->min();
    g.yOffset = device.top() - origin.y();
    g.plotHeight = device.height();
    g.devicePixelRatio = ratio;
    g.pen = series->pen();
    g.pen.setWidthF(g.pen.widthF() * ratio);
    curveItem->show(points, g, origin, plot.topLeft() - view.topLeft());
}

// Before the chart is given another picture (clear, resume, connect), a
// refresh still pending would bring the old one back.
void ChartPanel::cancelChartRefresh()
{
    chartRefreshTimer->stop();
    shownRevision = liveChart.revision();
}

// The plot's width in device pixels (the curve's pixel columns, twice the
// window's pixels at a scale of 2); before the chart has been laid out, a
// plot of a common size.
double ChartPanel::plotWidth() const
{
    const double width = chart->plotArea().width() * chartView->viewport()->devicePixelRatioF();
    return width >= 1 ? width : 1000.0;
}

// A plot of another size needs the picture for its new width: at the next
// refresh when live, at once when suspended.
void ChartPanel::plotAreaChanged()
{
    updateGrid();
    if (zoomed) {
        showZoomedChart(true);
        return;
    }
    if (liveChart.isSuspended()) {
        const double range = axisX->max() - axisX->min();
        showCurve(liveChart.frozenCurve(range, plotWidth()), range);
        return;
    }
    if (liveChart.state() == ChartModel::State::Live) {
        // The picture shown no longer fits: whatever revision it was.
        shownRevision = liveChart.revision() - 1;
        scheduleChartRefresh();
    }
}

// A range change the panel did not make: the chart view's rubber band or
// its right-click zoom out. The zoom is taken after the chart has finished
// with the change.
void ChartPanel::xRangeChanged(double min, double max)
{
    if (settingAxes)
        return;
    QMetaObject::invokeMethod(this, [this, min, max] { zoomTo(min, max); }, Qt::QueuedConnection);
}

// Shows `min` to `max` seconds and keeps them while data arrives.
void ChartPanel::zoomTo(double min, double max)
{
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max))
        return;
    // Not narrower than a millisecond across the plot.
    if (max - min < 1e-3) {
        const double mid = (min + max) / 2;
        min = mid - 0.5e-3;
        max = mid + 0.5e-3;
    }
    zoomed = true;
    zoomMin = min;
    zoomMax = max;
    liveViewButton->setEnabled(true);
    showZoomedChart(true);
    updateStatistics();
}

// The zoomed range at full resolution: every point there, or its envelope.
// A batch that changes nothing in the range (new data after it, old data cut
// before it) changes no picture.
void ChartPanel::showZoomedChart(bool force)
{
    double width = plotWidth();
    const double range = zoomMax - zoomMin;
    const int from = liveChart.shownLowerIndex(zoomMin);
    const int to = liveChart.shownUpperIndex(zoomMax);
    double start = alignedAxisStart(zoomMin, range, width, to - from);
    ZoomKey key;
    const int n = liveChart.shownCount();
    if (n > 0) {
        key.first = liveChart.shownAt(std::max(from - 1, 0)).x();
        key.last = liveChart.shownAt(std::min(to, n - 1)).x();
    }
    key.count = to - from;
    key.width = width;
    key.min = start;
    key.max = start + range;
    // Autoscale follows the largest distance in the range (a change of the
    // operator's fixed range forces a picture).
    key.yTop = to > from ? liveChart.shownStats(zoomMin, zoomMax).max : 0.0;
    // What the zoom shows stays while it is held, however old it grows.
    liveChart.holdFrom(start);
    if (!force && key == zoomShown) {
        shownRevision = liveChart.revision();
        return;
    }
    // Labels of another width (a zoom to negative times, say) lay the chart
    // out anew at once: the picture is for the plot's width after that.
    for (int attempt = 0; attempt < 3; ++attempt) {
        setAxis(axisX, start, start + range);
        applyShownYAxis(key.yTop);
        if (plotWidth() == width)
            break;
        width = plotWidth();
        start = alignedAxisStart(zoomMin, range, width, to - from);
    }
    key.width = width;
    key.min = start;
    key.max = start + range;
    zoomShown = key;
    liveChart.holdFrom(start);
    showCurve(liveChart.shownCurve(start, start + range, width), range);
}

// The vertical axis for a zoom or a frozen picture whose largest distance
// is `dataMax`: with nothing above 0 in view, autoscale has no range to take
// and the axis stays as it is.
void ChartPanel::applyShownYAxis(double dataMax)
{
    if (autoScaleBox->isChecked() && !(dataMax > 0))
        return;
    applyYAxis(dataMax);
}

void ChartPanel::backToLive()
{
    if (!zoomed)
        return;
    zoomed = false;
    liveViewButton->setEnabled(false);
    // The live window is the time range again.
    liveChart.releaseHold();
    if (liveChart.isSuspended()) {
        setAxis(axisX, frozenAxisMin, frozenAxisMax);
        applyShownYAxis(liveChart.shownStats(-qInf(), qInf()).max);
        const double range = frozenAxisMax - frozenAxisMin;
        showCurve(liveChart.frozenCurve(range, plotWidth()), range);
        updateStatistics();
        return;
    }
    showLiveWindow();
}

// The live window over the time range: its newest picture at once, whatever
// revision is shown, or an empty chart when nothing is live.
void ChartPanel::showLiveWindow()
{
    if (liveChart.state() == ChartModel::State::Live) {
        shownRevision = liveChart.revision() - 1;
        refreshChart();
    } else {
        setAxis(axisX, 0, timeRange);
        showCurve(QVector<QPointF>(), timeRange);
    }
    updateStatistics();
}

void ChartPanel::yRangeChanged()
{
    const bool fixed = !autoScaleBox->isChecked();
    yMinSpin->setEnabled(fixed);
    yMaxSpin->setEnabled(fixed);
    if (zoomed) {
        showZoomedChart(true);
    } else if (liveChart.isSuspended()) {
        applyShownYAxis(liveChart.shownStats(-qInf(), qInf()).max);
        const double range = axisX->max() - axisX->min();
        showCurve(liveChart.frozenCurve(range, plotWidth()), range);
    } else {
        applyYAxis(liveChart.maxDistance());
        const double range = axisX->max() - axisX->min();
        showCurve(liveChart.windowCurve(range, plotWidth()), range);
    }
}

// A wheel over the plot: with shift (or sideways) a pan, else a zoom about
// the time under the cursor.
void ChartPanel::chartWheel(QWheelEvent *wheel)
{
    const QPoint delta = wheel->angleDelta();
    const double min = axisX->min(), max = axisX->max();
    const double span = max - min;
    if (!(span > 0))
        return;
    if ((wheel->modifiers() & Qt::ShiftModifier) || delta.x() != 0) {
        // A notch pans a tenth of the range (back in time: wheel up).
        const double notches = (delta.x() != 0 ? delta.x() : delta.y()) / 120.0;
        zoomTo(min - notches * span / 10, max - notches * span / 10);
    } else if (delta.y() != 0) {
        // A notch up zooms in by a fifth, about the time under the cursor.
        const double factor = std::pow(0.8, delta.y() / 120.0);
        const QPointF scenePos = chartView->mapToScene(wheel->position().toPoint());
        const double cursorTime = chart->mapToValue(chart->mapFromScene(scenePos), series).x();
        const double at = qBound(min, cursorTime, max);
        zoomTo(at - (at - min) * factor, at + (max - at) * factor);
    }
}

bool ChartPanel::eventFilter(QObject *watched, QEvent *event)
{
    // Compared with the viewport kept at install time: the viewport sends its
    // last events (QEvent::Destroy) while the chart view around it is being
    // destroyed, when asking the view for its viewport is no longer valid.
    if (watched != chartViewport || event->type() == QEvent::Destroy)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Wheel:
        chartWheel(static_cast<QWheelEvent *>(event));
        return true;
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::MiddleButton)
            return false;
        panning = true;
        panFrom = eventPoint(mouse);
        panMin = axisX->min();
        panMax = axisX->max();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (panning) {
            const double perPixel = (panMax - panMin) / (plotWidth() / chartView->viewport()->devicePixelRatioF());
            const double shift = -(eventPoint(mouse).x() - panFrom.x()) * perPixel;
            zoomTo(panMin + shift, panMax + shift);
            return true;
        }
        hovering = true;
        hoverPos = eventPoint(mouse);
        updateHover();
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::MiddleButton || !panning)
            return false;
        panning = false;
        return true;
    }
    case QEvent::Leave:
        hideHover();
        return false;
    default:
        return false;
    }
}

// The time and distance of the shown point nearest the cursor, and a ring
// around it.
void ChartPanel::updateHover()
{
    const QPointF scenePos = chartView->mapToScene(hoverPos);
    const QPointF chartPos = chart->mapFromScene(scenePos);
    const QRectF plot = chart->plotArea();
    QPointF found;
    // A pixel's margin: the curve's pen reaches over the plot's edges.
    if (!plot.adjusted(-1.5, -1.5, 1.5, 1.5).contains(chartPos) || plot.width() < 1 || plot.height() < 1) {
        hideHover();
        return;
    }
    const QPointF value = chart->mapToValue(chartPos, series);
    const double xPerPixel = (axisX->max() - axisX->min()) / plot.width();
    const double yPerPixel = (axisY->max() - axisY->min()) / plot.height();
    if (!liveChart.nearestShown(value.x(), value.y(), xPerPixel, yPerPixel, found, axisX->min(), axisX->max())) {
        hideHover();
        return;
    }
    hovering = true;
    hoverLabel->setText(tr("时间") + QString(" %1 s, ").arg(found.x(), 0, 'f', 3) + tr("距离")
                        + QString(" %1 m").arg(found.y(), 0, 'f', 2));
    if (found.x() >= axisX->min() && found.x() <= axisX->max() && found.y() >= axisY->min()
        && found.y() <= axisY->max()) {
        hoverMark->setPos(chart->mapToPosition(found, series));
        hoverMark->show();
    } else {
        hoverMark->hide();
    }
}

void ChartPanel::hideHover()
{
    hovering = false;
    hoverLabel->clear();
    hoverMark->hide();
}

// Statistics of what is on screen: the points between the time axis's ends
// (the live window, the frozen picture or the zoomed range).
ChartStats ChartPanel::visibleStats() const
{
    return liveChart.shownStats(axisX->min(), axisX->max());
}

void ChartPanel::updateStatistics()
{
    const ChartStats s = visibleStats();
    // Two lines: the column under the chart is narrow on a small panel.
    QString text = tr("点数") + QString(" %1").arg(s.count);
    QString second;
    if (s.count > 0) {
        const auto metres = [](double v, int decimals) { return QString::number(v, 'f', decimals); };
        text += "  " + tr("最小") + " " + metres(s.min, 2) + "  " + tr("最大") + " " + metres(s.max, 2) + "  "
                + tr("峰峰值") + " " + metres(s.peakToPeak(), 2);
        second = tr("平均") + " " + metres(s.mean, 4) + "  " + tr("标准差") + " " + metres(s.stdDev, 4) + " m  ";
    }
    second += tr("帧率") + " " + freqLabel->text() + " Hz";
    statsLabel->setText(text + "\n" + second);
}

// The points between the time axis's ends, as on screen.
QVector<QPointF> ChartPanel::visiblePoints() const
{
    return liveChart.shownPoints(axisX->min(), axisX->max());
}

QImage ChartPanel::picture() const
{
    return chartView->grab().toImage();
}

// Frozen: "back to live" from a zoom goes to the live axes of the moment of
// the freeze.
void ChartPanel::keepFrozenAxes()
{
    if (!zoomed) {
        frozenAxisMin = axisX->min();
        frozenAxisMax = axisX->max();
    } else {
        frozenAxisMin = alignedAxisStart(liveChart.axisStart(), timeRange, plotWidth(), liveChart.livePointCount());
        frozenAxisMax = frozenAxisMin + timeRange;
    }
}

// Resumed: the chart shows the window at once, on the axes it has; the axes
// follow with the next batch.
void ChartPanel::showResumed(bool fromRecording)
{
    if (fromRecording) {
        leaveRecording();
        return;
    }
    cancelChartRefresh();
    if (zoomed) {
        showZoomedChart(true);
        return;
    }
    const double range = axisX->max() - axisX->min();
    showCurve(liveChart.windowCurve(range, plotWidth()), range);
}

// Cleared: the time restarts at 0, a zoom into the old times shows nothing.
void ChartPanel::showCleared()
{
    zoomed = false;
    liveViewButton->setEnabled(false);
    cancelChartRefresh();
    showCurve(QVector<QPointF>(), axisX->max() - axisX->min());
    emit cleared();
}

// A successful connect starts the live display afresh.
void ChartPanel::showReset()
{
    zoomed = false;
    liveViewButton->setEnabled(false);
    cancelChartRefresh();
    setAxis(axisX, 0, 10);
    showCurve(QVector<QPointF>(), 10);
    emit cleared();
}

// A recording takes the chart's place like a suspended picture: zoom,
// statistics and export work on it.
void ChartPanel::showRecording(const QVector<QPointF> &points)
{
    chartRefreshTimer->stop();
    shownRevision = liveChart.revision();
    zoomed = false;
    liveViewButton->setEnabled(false);
    emit recordingShown();
    const double first = points.isEmpty() ? 0.0 : points.first().x();
    const double last = points.isEmpty() ? 10.0 : points.last().x();
    const double range = last > first ? last - first : 10.0;
    frozenAxisMin = alignedAxisStart(first, range, plotWidth(), points.size());
    frozenAxisMax = frozenAxisMin + range;
    setAxis(axisX, frozenAxisMin, frozenAxisMax);
    applyShownYAxis(liveChart.shownStats(-qInf(), qInf()).max);
    showCurve(liveChart.frozenCurve(range, plotWidth()), range);
    updateStatistics();
}

// Back from a recording to the live chart: the live axes at once (not
// those of the recording until the next batch).
void ChartPanel::leaveRecording()
{
    emit recordingLeft();
    zoomed = false;
    liveViewButton->setEnabled(false);
    liveChart.releaseHold();
    showLiveWindow();
}
