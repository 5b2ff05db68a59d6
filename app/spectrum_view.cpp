// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrum_view.h"

#include "combo_texts.h"
#include "named_widget.h"
#include "sample_ring.h"
#include "sample_timeline.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

namespace {

// Four pictures a second: fresh enough to watch a vibration change, cheap
// enough for 65,536 points at the line's top rate.
constexpr int kSpectrumRefreshMs = 250;
// At most this many points drawn: the largest bin of each group, so that no
// peak is lost between pixels.
constexpr int kMostSpectrumPoints = 1024;

} // namespace

SpectrumView::SpectrumView(const SampleRing *r, const SampleTimeline *onChart, QWidget *parent)
    : QWidget(parent), ring(r), chartSamples(onChart)
{
    source = namedWidget<QComboBox>("comboBox_spectrum_source");
    size = namedWidget<QComboBox>("comboBox_spectrum_size");
    for (int n = analysis::SpectrumAnalyser::kMinSize; n <= analysis::SpectrumAnalyser::kMaxSize; n *= 2)
        size->addItem(QString::number(n), n);
    size->setCurrentIndex(size->findData(8192));
    window = namedWidget<QComboBox>("comboBox_spectrum_window");
    scale = namedWidget<QComboBox>("comboBox_spectrum_scale");
    averaging = namedWidget<QSpinBox>("spinBox_spectrum_averaging");
    averaging->setRange(1, 100);
    sizeCaption = new QLabel;
    windowCaption = new QLabel;
    averagingCaption = new QLabel;
    peaks = namedWidget<QLabel>("label_spectrum_peaks");
    peaks->setTextInteractionFlags(Qt::TextSelectableByMouse);
    peaks->setMinimumWidth(180);
    peaks->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    series = new QLineSeries;
    chart->addSeries(series);
    axisX = new QValueAxis;
    axisY = new QValueAxis;
    axisX->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    view = namedWidget<QChartView>("chartView_spectrum", chart);
    view->setMinimumSize(300, 220);

    auto *grid = new QGridLayout(this);
    // Two rows of settings: the dock stays narrow beside the chart.
    grid->addWidget(sizeCaption, 0, 0);
    grid->addWidget(size, 0, 1);
    grid->addWidget(windowCaption, 0, 2);
    grid->addWidget(window, 0, 3);
    grid->addWidget(averagingCaption, 1, 0);
    grid->addWidget(averaging, 1, 1);
    grid->addWidget(scale, 1, 2, 1, 2);
    grid->addWidget(source, 2, 0, 1, 4);
    grid->setColumnStretch(4, 1);
    grid->addWidget(view, 3, 0, 1, 5);
    grid->addWidget(peaks, 4, 0, 1, 5);

    retranslate();
    window->setCurrentIndex(int(analysis::Window::FlatTop));
    settingsChanged();
    connect(size, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpectrumView::settingsChanged);
    connect(window, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpectrumView::settingsChanged);
    connect(scale, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpectrumView::plot);
    connect(averaging, QOverload<int>::of(&QSpinBox::valueChanged), this, &SpectrumView::settingsChanged);
    connect(source, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpectrumView::settingsChanged);

    timer = new QTimer(this);
    timer->setInterval(kSpectrumRefreshMs);
    connect(timer, &QTimer::timeout, this, &SpectrumView::refresh);
}

void SpectrumView::settingsChanged()
{
    analyser.setSize(size->currentData().toInt());
    analyser.setWindow(analysis::Window(std::max(0, window->currentIndex())));
    analyser.setAveraging(averaging->value());
    analyser.resetAverage();
    lastFrom = lastEnd = 0;
}

bool SpectrumView::refresh()
{
    const int n = analyser.size();
    quint64 end = ring->endNumber();
    quint64 held = quint64(ring->size());
    if (source->currentIndex() == 1) {
        // The newest N of the samples the chart shows that the ring holds.
        const auto shown = chartSamples->shownSamplesIn(*ring);
        end = shown.second;
        held = shown.second - shown.first;
        if (held < quint64(n)) {
            peaks->setText(tr("图表范围内有 %1 个数据，少于 %2 点").arg(held).arg(n));
            return false;
        }
    } else if (held < quint64(n)) {
        return false;
    }
    const quint64 from = end - quint64(n);
    // Nothing new since the last picture (a paused stream, a held zoom):
    // keep it.
    if (from == lastFrom && end == lastEnd)
        return true;
    lastFrom = from;
    lastEnd = end;
    QVector<double> metres(n);
    ring->copyMetres(from, n, metres.data());
    const double rate = ring->measuredRate(from, n);
    if (rate <= 0)
        return false;
    shown = analyser.transform(metres.constData(), rate);
    plot();
    return true;
}

void SpectrumView::plot()
{
    if (shown.amplitude.isEmpty())
        return;
    const bool db = scale->currentIndex() == 1;
    auto value = [db](double a) { return db ? analysis::amplitudeDb(a) : a; };
    const int bins = shown.amplitude.size();
    const int group = std::max(1, (bins + kMostSpectrumPoints - 1) / kMostSpectrumPoints);
    QVector<QPointF> points;
    points.reserve(bins / group + 1);
    double top = 0, bottom = 0;
    bool first = true;
    for (int k = 1; k < bins; k += group) {
        int best = k;
        for (int j = k; j < std::min(bins, k + group); ++j)
            if (shown.amplitude[j] > shown.amplitude[best])
                best = j;
        const double v = value(shown.amplitude[best]);
        points.append(QPointF(shown.hz(best), v));
        top = first ? v : std::max(top, v);
        bottom = first ? v : std::min(bottom, v);
        first = false;
    }
    series->replace(points);
    axisX->setRange(0, shown.rate / 2);
    if (db)
        axisY->setRange(std::max(bottom, top - 120), top + 6);
    else
        axisY->setRange(0, top > 0 ? top * 1.1 : 1e-3);
    QString text = tr("帧率 %1 帧/秒，分辨率 %2 Hz").arg(shown.rate, 0, 'f', 1).arg(shown.binHz, 0, 'f', 4);
    for (const analysis::SpectrumPeak &p : shown.peaks)
        text += QLatin1Char('\n')
                + tr("%1 Hz：%2 mm").arg(p.hz, 0, 'f', 2).arg(p.amplitude * 1000, 0, 'f', 3);
    peaks->setText(text);
}

void SpectrumView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    timer->start();
    refresh();
}

void SpectrumView::hideEvent(QHideEvent *event)
{
    timer->stop();
    QWidget::hideEvent(event);
}

void SpectrumView::retranslate()
{
    sizeCaption->setText(tr("点数"));
    windowCaption->setText(tr("窗函数"));
    averagingCaption->setText(tr("平均"));
    setComboTexts(window, {tr("无"), tr("汉宁"), tr("布莱克曼-哈里斯"), tr("平顶")});
    setComboTexts(scale, {tr("线性 (m)"), tr("对数 (dB re 1 m)")});
    setComboTexts(source, {tr("最新数据"), tr("图表范围内的最新数据")});
    axisX->setTitleText(tr("频率 (Hz)"));
    if (shown.amplitude.isEmpty())
        peaks->setText(tr("等待 %1 个数据").arg(analyser.size()));
    else
        plot();
}
