// SPDX-License-Identifier: GPL-3.0-or-later
#include "histogram_view.h"

#include "combo_texts.h"
#include "named_widget.h"
#include "sample_ring.h"
#include "sample_timeline.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

HistogramView::HistogramView(const SampleRing *r, const SampleTimeline *onChart, QWidget *parent)
    : QWidget(parent), ring(r), chartSamples(onChart)
{
    source = namedWidget<QComboBox>("comboBox_histogram_source");
    count = namedWidget<QSpinBox>("spinBox_histogram_count");
    count->setRange(10, SampleRing::kDefaultCapacity);
    count->setValue(10000);
    width = namedWidget<QDoubleSpinBox>("doubleSpinBox_histogram_width");
    // Millimetres; 0 chooses the width.
    width->setRange(0, 10000);
    width->setDecimals(0);
    width->setSingleStep(10);
    width->setSuffix(QStringLiteral(" mm"));
    countCaption = new QLabel;
    widthCaption = new QLabel;
    statistics = namedWidget<QLabel>("label_histogram_statistics");
    statistics->setTextInteractionFlags(Qt::TextSelectableByMouse);

    chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    axisX = new QValueAxis;
    axisY = new QValueAxis;
    axisY->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    bars = new QLineSeries;
    chart->addSeries(bars);
    bars->attachAxis(axisX);
    bars->attachAxis(axisY);
    const QColor markColours[3] = {Qt::darkGreen, Qt::red, Qt::red};
    for (int i = 0; i < 3; ++i) {
        marks[i] = new QLineSeries;
        chart->addSeries(marks[i]);
        marks[i]->attachAxis(axisX);
        marks[i]->attachAxis(axisY);
        QPen pen(markColours[i]);
        pen.setStyle(i == 0 ? Qt::SolidLine : Qt::DashLine);
        marks[i]->setPen(pen);
    }
    view = namedWidget<QChartView>("chartView_histogram", chart);
    view->setMinimumSize(300, 220);

    auto *grid = new QGridLayout(this);
    grid->addWidget(countCaption, 0, 0);
    grid->addWidget(count, 0, 1);
    grid->addWidget(widthCaption, 0, 2);
    grid->addWidget(width, 0, 3);
    grid->addWidget(source, 1, 0, 1, 4);
    grid->setColumnStretch(4, 1);
    grid->addWidget(view, 2, 0, 1, 5);
    grid->addWidget(statistics, 3, 0, 1, 5);

    timer = new QTimer(this);
    timer->setInterval(250);
    connect(timer, &QTimer::timeout, this, &HistogramView::refresh);
    retranslate();
    connect(source, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int i) {
        count->setEnabled(i == 0);
        refresh();
    });
}

bool HistogramView::refresh()
{
    quint64 end = ring->endNumber();
    int n = std::min(ring->size(), count->value());
    if (source->currentIndex() == 1) {
        // What the chart shows, as far as the ring still holds it.
        const auto shown = chartSamples->shownSamplesIn(*ring);
        end = shown.second;
        n = int(shown.second - shown.first);
        if (n <= 0) {
            statistics->setText(tr("图表范围内没有数据"));
            return false;
        }
    }
    if (n <= 0)
        return false;
    QVector<double> metres(n);
    ring->copyMetres(end - quint64(n), n, metres.data());
    analysis::Histogram h;
    if (!analysis::makeHistogram(metres.constData(), n, width->value() / 1000.0, h)) {
        statistics->setText(tr("箱宽太小：超过 %1 个箱").arg(analysis::kMaxBins));
        return false;
    }
    shown = h;
    // The bars as one stepped outline: metres across, counts up.
    QVector<QPointF> outline;
    outline.reserve(h.counts.size() * 2 + 2);
    int highest = 0;
    for (int b = 0; b < h.counts.size(); ++b) {
        outline.append(QPointF(h.lower(b), b == 0 ? 0 : h.counts[b - 1]));
        outline.append(QPointF(h.lower(b), h.counts[b]));
        highest = std::max(highest, h.counts[b]);
    }
    outline.append(QPointF(h.lower(h.counts.size()), h.counts.last()));
    outline.append(QPointF(h.lower(h.counts.size()), 0));
    bars->replace(outline);
    const double top = highest * 1.1 + 1;
    const double at[3] = {h.mean, h.mean - 3 * h.sigma, h.mean + 3 * h.sigma};
    for (int i = 0; i < 3; ++i)
        marks[i]->replace(QVector<QPointF>{QPointF(at[i], 0), QPointF(at[i], top)});
    const double lo = std::min(h.start, at[1]) - h.width, hi = std::max(h.lower(h.counts.size()), at[2]) + h.width;
    axisX->setRange(lo, hi);
    axisY->setRange(0, top);
    showStatistics();
    return true;
}

void HistogramView::showStatistics()
{
    if (shown.n == 0) {
        statistics->setText(tr("等待数据"));
        return;
    }
    statistics->setText(tr("%1 个数据  平均 %2 m  σ %3 mm  ±3σ %4 mm  箱宽 %5 mm")
                            .arg(shown.n)
                            .arg(shown.mean, 0, 'f', 4)
                            .arg(shown.sigma * 1000, 0, 'f', 2)
                            .arg(shown.sigma * 3000, 0, 'f', 2)
                            .arg(shown.width * 1000, 0, 'f', 0));
}

void HistogramView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    timer->start();
    refresh();
}

void HistogramView::hideEvent(QHideEvent *event)
{
    timer->stop();
    QWidget::hideEvent(event);
}

void HistogramView::retranslate()
{
    countCaption->setText(tr("最近数据个数"));
    widthCaption->setText(tr("箱宽"));
    width->setSpecialValueText(tr("自动"));
    setComboTexts(source, {tr("最近的数据"), tr("图表上的数据")});
    axisX->setTitleText(tr("距离 (m)"));
    axisY->setTitleText(tr("次数"));
    showStatistics();
}
