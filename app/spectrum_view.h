// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SPECTRUM_VIEW_H
#define SPECTRUM_VIEW_H

// The amplitude spectrum of N samples, refreshed four times a second while
// it is shown: the newest N, or the newest N of those the chart shows (a
// zoomed range); N, the window, a linear or dB scale, averaging of
// successive spectra, and the five largest peaks listed.

#include "spectrum.h"

#include <QWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

class QComboBox;
class QLabel;
class QSpinBox;
class QTimer;
class SampleRing;
class SampleTimeline;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

class SpectrumView : public QWidget
{
    Q_OBJECT

public:
    // `onChart` tells which samples the chart shows.
    SpectrumView(const SampleRing *ring, const SampleTimeline *onChart, QWidget *parent = nullptr);
    // The texts in the interface's language (the window calls it).
    void retranslate();

    // Computes and shows the spectrum now; false when fewer than N samples
    // are held (in the chart's range, when that is the source).
    bool refresh();
    const analysis::Spectrum &lastSpectrum() const { return shown; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void settingsChanged();
    void plot();

    const SampleRing *ring;
    const SampleTimeline *chartSamples;
    analysis::SpectrumAnalyser analyser;
    analysis::Spectrum shown;
    quint64 lastFrom = 0;
    quint64 lastEnd = 0;
    QComboBox *source;
    QComboBox *size;
    QComboBox *window;
    QComboBox *scale;
    QSpinBox *averaging;
    QLabel *sizeCaption;
    QLabel *windowCaption;
    QLabel *averagingCaption;
    QLabel *peaks;
    QChart *chart;
    QChartView *view;
    QLineSeries *series;
    QValueAxis *axisX;
    QValueAxis *axisY;
    QTimer *timer;
};

#endif // SPECTRUM_VIEW_H
