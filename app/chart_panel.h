// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHART_PANEL_H
#define CHART_PANEL_H

// The live chart's display and its tools, under the chart: what the chart
// shows of the chart model (the live window at most once per refresh
// interval, a frozen picture, a zoom that holds until "back to live"), the
// axes and their grid, the curve item, the value under the cursor, the
// vertical range, statistics of what is on screen, and the buttons of the
// export and replay (chart_files.h acts on them). The window's handlers
// (suspend, clear, connect, each batch) tell it what they did to the model.

#include "chart_model.h"

#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QVector>
#include <QWidget>

#include <QtCharts/QChartGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_BEGIN_NAMESPACE
#else
QT_CHARTS_BEGIN_NAMESPACE
#endif
class QChartView;
class QChart;
class QLineSeries;
class QValueAxis;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_END_NAMESPACE
#else
QT_CHARTS_END_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

class ChartClock;
class CurveItem;
class GridItem;
class QCheckBox;
class QDoubleSpinBox;
class QGraphicsEllipseItem;
class QHBoxLayout;
class QImage;
class QLabel;
class QPushButton;
class QTimer;
class QWheelEvent;

class ChartPanel : public QWidget
{
    Q_OBJECT

public:
    // The window's chart view and what it holds (the series on its two
    // axes), and the frame-rate readout the statistics repeat.
    struct Chart {
        QChartView *view;
        QChart *chart;
        QLineSeries *series;
        QValueAxis *axisX;
        QValueAxis *axisY;
    };
    ChartPanel(const Chart &parts, ChartModel &model, QLabel *freqLabel, QWidget *parent);

    // The live window's length in seconds.
    void setTimeRange(int seconds) { timeRange = seconds; }

    // The live picture: at most once per refresh interval; a batch that
    // comes after a quiet spell is shown at once.
    int chartRefreshInterval() const;
    bool chartRefreshPending() const;
    void scheduleChartRefresh();
    void refreshChart();
    // Forgets when the chart was last refreshed, as after a quiet spell.
    void forgetChartRefresh() { lastChartRefresh = -1; }
    ChartClock *clock() const { return chartClock; }

    // What the window's handlers did to the model: frozen (the axes to go
    // back to are kept), resumed (from a replayed recording or not),
    // cleared, started afresh on a connect.
    void keepFrozenAxes();
    void showResumed(bool fromRecording);
    void showCleared();
    void showReset();
    // A recording the model now shows (ChartModel::showRecording).
    void showRecording(const QVector<QPointF> &points);

    // A zoom that holds (until "back to live"), statistics of what is on
    // screen, the points between the time axis's ends, the chart's picture.
    bool isZoomed() const { return zoomed; }
    void zoomTo(double min, double max);
    ChartStats visibleStats() const;
    QVector<QPointF> visiblePoints() const;
    QImage picture() const;
    void updateStatistics();
    // Draws the curve's points (curve_item.h).
    const CurveItem *curve() const { return curveItem; }
    // The record format's switch (the recording's, placed among the tools).
    QCheckBox *recordFormatBox() const { return recordCsvBox; }
    // A tool of another part, at the right end of the readouts' row (the
    // rows of tools above are as wide as a 1024-pixel screen allows), next
    // in the tab chain after the panel's tools.
    void addTool(QWidget *tool);
    void retranslate();

signals:
    void exportImageClicked();
    void exportCsvClicked();
    void openRecordingClicked();
    // A replayed recording took the chart's place / gave it back.
    void recordingShown();
    void recordingLeft();
    // The chart's time begins again at 0 (a clear, a new connection).
    void cleared();

protected:
    // The chart's mouse: wheel zoom and pan of the time axis, the value
    // under the cursor.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void layOut();
    void connectControls();
    void setUpCurve();
    void setUpGrid();
    void setAxis(QValueAxis *axis, double min, double max);
    void updateGrid();
    void fitChartHeight();
    void plotAreaChanged();
    double plotWidth() const;
    double alignedAxisStart(double start, double range, double width, int count) const;
    void applyYAxis(double dataMax);
    void applyShownYAxis(double dataMax);
    void showCurve(const QVector<QPointF> &points, double range);
    void drawCurve(const QVector<QPointF> &points, double range);
    void cancelChartRefresh();
    void xRangeChanged(double min, double max);
    void showZoomedChart(bool force);
    void backToLive();
    void showLiveWindow();
    void leaveRecording();
    void yRangeChanged();
    void updateHover();
    void hideHover();
    void chartWheel(QWheelEvent *wheel);

    QChartView *chartView;
    QPointer<QObject> chartViewport;   // the view's viewport, whose events the panel filters
    QChart *chart;
    QLineSeries *series;
    QValueAxis *axisX;
    QValueAxis *axisY;
    ChartModel &liveChart;
    QLabel *freqLabel;
    int timeRange = 10;

    QTimer *chartRefreshTimer;
    // The steady clock of the refresh decision (chart_clock.h), and when the
    // chart last took a picture on it (-1: not since a quiet spell).
    ChartClock *chartClock;
    qint64 lastChartRefresh = -1;
    quint64 shownRevision = 0;        // the model's revision the live chart shows
    CurveItem *curveItem = nullptr;   // draws the series' points (curve_item.h)
    GridItem *gridItem = nullptr;     // draws the axes' grid (grid_item.h)

    // The operator's zoom: the time range shown instead of the live window
    // (kept while data arrives, until "back to live").
    bool zoomed = false;
    double zoomMin = 0;
    double zoomMax = 10;
    // What the zoomed picture shows (first and last point drawn, how many,
    // the axes), so that a batch outside the range costs no picture.
    struct ZoomKey {
        double first = 0, last = 0, yTop = 0, width = 0, min = 0, max = 0;
        int count = -1;
        bool operator==(const ZoomKey &o) const
        {
            return first == o.first && last == o.last && yTop == o.yTop && width == o.width && min == o.min
                    && max == o.max && count == o.count;
        }
    } zoomShown;
    // The live axes when the picture was frozen, to go back to from a zoom.
    double frozenAxisMin = 0;
    double frozenAxisMax = 10;
    bool settingAxes = false;          // the panel itself sets the axes
    bool panning = false;
    QPoint panFrom;
    double panMin = 0, panMax = 0;
    QPoint hoverPos;                   // the cursor over the plot (viewport pixels)
    bool hovering = false;
    QPushButton *liveViewButton = nullptr, *exportImageButton = nullptr, *exportCsvButton = nullptr,
                *openRecordingButton = nullptr;
    QCheckBox *autoScaleBox = nullptr, *recordCsvBox = nullptr;
    QHBoxLayout *readoutRow = nullptr;
    QWidget *lastTool = nullptr;   // of the first row, in the tab chain
    QLabel *yMinLabel = nullptr, *yMaxLabel = nullptr, *hoverLabel = nullptr, *statsLabel = nullptr;
    QDoubleSpinBox *yMinSpin = nullptr, *yMaxSpin = nullptr;
    QGraphicsEllipseItem *hoverMark = nullptr;
};

#endif // CHART_PANEL_H
