// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "curve_item.h"
#include "named_widget.h"
#include "record_format.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDoubleSpinBox>
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

} // namespace

// The chart tools, the readouts of what is on screen and the record format,
// under the chart (the command tabs beside them reach down to the bottom).
void MainWindow::setUpChartControls()
{
    createChartControls();
    auto *panel = namedWidget<QWidget>("chartToolPanel", this);
    auto *rows = new QVBoxLayout(panel);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->addLayout(leftAlignedRow({liveViewButton, autoScaleBox, yMinLabel, yMinSpin, yMaxLabel, yMaxSpin}));
    rows->addLayout(leftAlignedRow({recordCsvBox, exportImageButton, exportCsvButton, openRecordingButton}));

    auto *readouts = new QHBoxLayout;
    readouts->addWidget(statsLabel, 1);
    readouts->addWidget(hoverLabel);
    rows->addLayout(readouts);
    // Rows 2 and 3 of the form's grid are kept for these and the link's
    // panel, under the chart; the command tabs reach down beside them.
    ui->gridLayout_5->addWidget(panel, 2, 0);

    hoverMark = new QGraphicsEllipseItem(-4, -4, 8, 8, chart);
    hoverMark->setPen(QPen(Qt::red, 1.5));
    hoverMark->setZValue(6);
    hoverMark->hide();

    connectChartControls();
    setUpChartDialogs();
}

void MainWindow::createChartControls()
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

// Left drag: the chart view's rubber band (its time range is taken); wheel:
// zoom about the cursor; shift + wheel or middle drag: pan.
void MainWindow::connectChartControls()
{
    chartView->viewport()->setMouseTracking(true);
    chartView->viewport()->installEventFilter(this);
    connect(axisX, &QValueAxis::rangeChanged, this, &MainWindow::chartXRangeChanged);
    connect(liveViewButton, &QPushButton::clicked, this, &MainWindow::backToLive);
    connect(autoScaleBox, &QCheckBox::toggled, this, &MainWindow::yRangeChanged);
    connect(yMinSpin, &QDoubleSpinBox::editingFinished, this, &MainWindow::yRangeChanged);
    connect(yMaxSpin, &QDoubleSpinBox::editingFinished, this, &MainWindow::yRangeChanged);
    connect(exportImageButton, &QPushButton::clicked, this, &MainWindow::exportImageClicked);
    connect(exportCsvButton, &QPushButton::clicked, this, &MainWindow::exportCsvClicked);
    connect(openRecordingButton, &QPushButton::clicked, this, &MainWindow::openRecordingClicked);
    connect(recordCsvBox, &QCheckBox::toggled, this, [this](bool csv) {
        recordFormat = csv ? recordformat::Format::Csv : recordformat::Format::Plain;
    });
}

void MainWindow::retranslateChartControls()
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

// A range change the window did not make: the chart view's rubber band or
// its right-click zoom out. The zoom is taken after the chart has finished
// with the change.
void MainWindow::chartXRangeChanged(double min, double max)
{
    if (settingAxes)
        return;
    QMetaObject::invokeMethod(this, [this, min, max] { zoomTo(min, max); }, Qt::QueuedConnection);
}

// Shows `min` to `max` seconds and keeps them while data arrives.
void MainWindow::zoomTo(double min, double max)
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
void MainWindow::showZoomedChart(bool force)
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
void MainWindow::applyShownYAxis(double dataMax)
{
    if (autoScaleBox->isChecked() && !(dataMax > 0))
        return;
    applyYAxis(dataMax);
}

void MainWindow::backToLive()
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
void MainWindow::showLiveWindow()
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

void MainWindow::yRangeChanged()
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

// Where a mouse event happened, in the widget's pixels (Qt 6 names it
// position(), Qt 5 pos()).
static QPoint eventPoint(const QMouseEvent *mouse)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return mouse->position().toPoint();
#else
    return mouse->pos();
#endif
}

// A wheel over the plot: with shift (or sideways) a pan, else a zoom about
// the time under the cursor.
void MainWindow::chartWheel(QWheelEvent *wheel)
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

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (!chartView || watched != chartView->viewport())
        return QMainWindow::eventFilter(watched, event);
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
void MainWindow::updateHover()
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

void MainWindow::hideHover()
{
    hovering = false;
    hoverLabel->clear();
    hoverMark->hide();
}

// Statistics of what is on screen: the points between the time axis's ends
// (the live window, the frozen picture or the zoomed range).
ChartStats MainWindow::visibleStats() const
{
    return liveChart.shownStats(axisX->min(), axisX->max());
}

void MainWindow::updateStatistics()
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
    second += tr("帧率") + " " + ui->freqLabel->text() + " Hz";
    statsLabel->setText(text + "\n" + second);
}
