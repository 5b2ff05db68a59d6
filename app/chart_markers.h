// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHART_MARKERS_H
#define CHART_MARKERS_H

// The operator's markers: a key (M) or the marker button drops one at the
// newest sample, labelled "M1", "M2", ... or with the label typed in the
// button's menu. Each is a vertical line with its label on the chart, kept
// on the chart model's time, so that it scrolls with the curve and leaves
// with the window; while recording, the recorder writes it into the file.
// A replayed recording shows its own markers instead, until the chart goes
// back to live.

#include "record_format.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <QtCharts/QChartGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_BEGIN_NAMESPACE
#else
QT_CHARTS_BEGIN_NAMESPACE
#endif
class QChart;
class QLineSeries;
class QValueAxis;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_END_NAMESPACE
#else
QT_CHARTS_END_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

class ChartFiles;
class ChartModel;
class ChartPanel;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QLineEdit;
class QToolButton;
class Recorder;

class ChartMarkers : public QObject
{
    Q_OBJECT

public:
    struct Chart {
        QChart *chart;
        QLineSeries *series;
        QValueAxis *axisX;
    };
    // The button goes among the panel's tools.
    ChartMarkers(const Chart &parts, ChartPanel *panel, ChartFiles *files, ChartModel &model, Recorder *recorder,
                 QObject *parent);

    // A marker at the newest sample: labelled `label`, or numbered when
    // empty. False when the chart has no sample to put it on.
    bool drop(const QString &label = QString());

    // A marker as on screen: its time on the chart's axis, its label and
    // where its line stands (the chart's coordinates).
    struct Shown {
        double time;
        QString label;
        double x;
    };
    // The markers of what the chart shows (the live window or a replayed
    // recording) between the time axis's ends.
    QVector<Shown> shown() const;

    QToolButton *button() const { return markerButton; }
    void retranslate();

private:
    struct Marker {
        double time;
        QString label;
    };
    void showRecordingMarkers(const QVector<recordformat::ReplayMarker> &markers);
    void forgetLive();
    void redraw();
    const QVector<Marker> &current() const;

    QChart *chart;
    QLineSeries *series;
    QValueAxis *axisX;
    ChartModel &liveChart;
    Recorder *recorder;
    QToolButton *markerButton;
    QLineEdit *labelEdit;
    QVector<Marker> live;
    QVector<Marker> replayed;
    bool replaying = false;
    int dropped = 0;   // markers dropped since the chart was last cleared, for the numbered labels
    QVector<QGraphicsLineItem *> lines;
    QVector<QGraphicsSimpleTextItem *> labels;
};

#endif // CHART_MARKERS_H
