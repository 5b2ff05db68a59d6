// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_panel.h"

#include "capture_view.h"
#include "histogram_view.h"
#include "measurement_batch.h"
#include "named_widget.h"
#include "sample_ring.h"
#include "spectrum_view.h"

#include <QDockWidget>
#include <QMainWindow>

SignalPanel::SignalPanel(QMainWindow *w, BatchStream *stream) : QObject(w), window(w)
{
    samples = new SampleRing(SampleRing::kDefaultCapacity, this);
    samples->attach(stream);
    // A new stream numbers its samples from 0 again.
    connect(samples, &SampleRing::cleared, this, &SignalPanel::chartRestarted);
    spectrum = namedWidget<SpectrumView>("spectrumView", samples, &timeline);
    histogram = namedWidget<HistogramView>("histogramView", samples, &timeline);
    capture = namedWidget<CaptureView>("captureView", stream);
    static const char *const names[3] = {"dockWidget_spectrum", "dockWidget_histogram", "dockWidget_capture"};
    QWidget *const views[3] = {spectrum, histogram, capture};
    for (int i = 0; i < 3; ++i) {
        docks[i] = namedWidget<QDockWidget>(names[i], window);
        docks[i]->setWidget(views[i]);
        window->addDockWidget(Qt::RightDockWidgetArea, docks[i]);
        if (i > 0)
            window->tabifyDockWidget(docks[0], docks[i]);
        docks[i]->hide();
    }
    // A link no taller than a line of text: it sits in the status bar,
    // which must not grow (the chart above keeps its height).
    setObjectName(QStringLiteral("signalPanel"));
    toggle = namedWidget<QLabel>("label_signal");
    toggle->setTextFormat(Qt::RichText);
    connect(toggle, &QLabel::linkActivated, this, [this] { showViews(!shown); });
    retranslate();
}

void SignalPanel::chartTook(double startX, const MeasurementBatch &batch, int rate)
{
    timeline.add(startX, batch.first, batch.size(), rate);
    // Only what the ring still holds can be analysed.
    timeline.forgetBefore(samples->firstNumber());
}

void SignalPanel::setChartRange(double x0, double x1)
{
    timeline.setShown(x0, x1);
}

void SignalPanel::chartRestarted()
{
    timeline.clear();
}

void SignalPanel::showViews(bool on)
{
    for (QDockWidget *d : docks)
        d->setVisible(on);
    if (on)
        docks[0]->raise();
    shown = on;
}

void SignalPanel::retranslate()
{
    toggle->setText(QStringLiteral("<a href=\"#signal\">%1</a>").arg(tr("信号分析").toHtmlEscaped()));
    docks[0]->setWindowTitle(tr("频谱"));
    docks[1]->setWindowTitle(tr("直方图"));
    docks[2]->setWindowTitle(tr("触发捕获"));
    spectrum->retranslate();
    histogram->retranslate();
    capture->retranslate();
}
