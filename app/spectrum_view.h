// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SPECTRUM_VIEW_H
#define SPECTRUM_VIEW_H

// The amplitude spectrum of the newest N samples, refreshed four times a
// second while it is shown: N, the window, a linear or dB scale, averaging
// of successive spectra, and the five largest peaks listed.

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
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

class SpectrumView : public QWidget
{
    Q_OBJECT

public:
    explicit SpectrumView(const SampleRing *ring, QWidget *parent = nullptr);
    // The texts in the interface's language (the window calls it).
    void retranslate();

    // Computes and shows the spectrum of the newest samples now; false when
    // fewer than N are held.
    bool refresh();
    const analysis::Spectrum &lastSpectrum() const { return shown; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void settingsChanged();
    void plot();

    const SampleRing *ring;
    analysis::SpectrumAnalyser analyser;
    analysis::Spectrum shown;
    quint64 lastEnd = 0;
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
