// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef HISTOGRAM_VIEW_H
#define HISTOGRAM_VIEW_H

// How the newest N distances, or those the chart shows, spread: bins of a
// typed or chosen width, the mean and ±3σ marked (the sensor's
// repeatability is read from them).

#include "histogram.h"

#include <QWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QTimer;
class SampleRing;
class SampleTimeline;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

class HistogramView : public QWidget
{
    Q_OBJECT

public:
    // `onChart` tells which samples the chart shows.
    HistogramView(const SampleRing *ring, const SampleTimeline *onChart, QWidget *parent = nullptr);
    // The texts in the interface's language (the window calls it).
    void retranslate();

    // Counts the newest samples (or the chart's) now; false when there are
    // none.
    bool refresh();
    const analysis::Histogram &lastHistogram() const { return shown; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showStatistics();

    const SampleRing *ring;
    const SampleTimeline *chartSamples;
    analysis::Histogram shown;
    QComboBox *source;
    QSpinBox *count;
    QDoubleSpinBox *width;
    QLabel *countCaption;
    QLabel *widthCaption;
    QLabel *statistics;
    QChart *chart;
    QChartView *view;
    QLineSeries *bars;
    QLineSeries *marks[3]; // mean, -3σ, +3σ
    QValueAxis *axisX;
    QValueAxis *axisY;
    QTimer *timer;
};

#endif // HISTOGRAM_VIEW_H
