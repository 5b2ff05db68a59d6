// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIGNAL_PANEL_H
#define SIGNAL_PANEL_H

// The window's look at the raw signal: the spectrum, the histogram and the
// triggered capture, each a view of its own in a dock beside the chart
// (tabbed together, hidden until the operator asks for them). They share
// one ring of the last minute of samples at the full rate, fed by the
// window's batch stream; the chart's decimation never reaches them.

#include "sample_timeline.h"

#include <QObject>
#include <QPointer>
#include <QLabel>

class BatchStream;
struct MeasurementBatch;
class CaptureView;
class HistogramView;
class QDockWidget;
class QMainWindow;

class SampleRing;
class SpectrumView;

class SignalPanel : public QObject
{
    Q_OBJECT

public:
    SignalPanel(QMainWindow *window, BatchStream *stream);

    // The switch that shows or hides the three views (the window places it):
    // a link in a label, no taller than the status bar's own text.
    QLabel *toggleButton() const { return toggle; }
    bool viewsShown() const { return shown; }
    SampleRing *ring() const { return samples; }
    SpectrumView *spectrumView() const { return spectrum; }
    HistogramView *histogramView() const { return histogram; }
    CaptureView *captureView() const { return capture; }
    void showViews(bool on);

    // What the chart shows, for the views that take "the chart's range":
    // each batch the chart drew from `startX` of its time axis on, at the
    // rate it drew it with; the stretch of the axis it shows now (not a
    // number: it shows no part of the stream, a recording say); and a chart
    // whose time starts again at 0 (a clear).
    void chartTook(double startX, const MeasurementBatch &batch, int rate);
    void setChartRange(double x0, double x1);
    void chartRestarted();
    const SampleTimeline &chartTimeline() const { return timeline; }

    // The texts in the interface's language (the window calls it).
    void retranslate();

private:

    QMainWindow *window;
    SampleRing *samples;
    SampleTimeline timeline;
    SpectrumView *spectrum;
    HistogramView *histogram;
    CaptureView *capture;
    QDockWidget *docks[3];
    QLabel *toggle;
    bool shown = false;
};

#endif // SIGNAL_PANEL_H
