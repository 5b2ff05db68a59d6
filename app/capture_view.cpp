// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture_view.h"

#include "batch_stream.h"
#include "combo_texts.h"
#include "named_widget.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {

// At most this many points drawn: the capture is up to 20 s at 11,111/s.
constexpr int kMostCapturePoints = 4000;

} // namespace

CaptureView::CaptureView(BatchStream *stream, QWidget *parent) : QWidget(parent)
{
    edge = namedWidget<QComboBox>("comboBox_capture_edge");
    level = namedWidget<QDoubleSpinBox>("doubleSpinBox_capture_level");
    level->setRange(0, 655.35);
    level->setDecimals(2);
    level->setSingleStep(0.01);
    level->setSuffix(QStringLiteral(" m"));
    level->setValue(1.0);
    preSeconds = namedWidget<QDoubleSpinBox>("doubleSpinBox_capture_pre");
    postSeconds = namedWidget<QDoubleSpinBox>("doubleSpinBox_capture_post");
    for (QDoubleSpinBox *s : {preSeconds, postSeconds}) {
        s->setRange(0, 10);
        s->setDecimals(3);
        s->setSingleStep(0.1);
        s->setSuffix(QStringLiteral(" s"));
        s->setValue(0.5);
    }
    mode = namedWidget<QComboBox>("comboBox_capture_mode");
    armButton = namedWidget<QPushButton>("pushButton_capture_arm");
    saveButton = namedWidget<QPushButton>("pushButton_capture_save");
    saveButton->setEnabled(false);
    for (QLabel *&c : captions)
        c = new QLabel;
    state = namedWidget<QLabel>("label_capture_state");

    chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    axisX = new QValueAxis;
    axisY = new QValueAxis;
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series = new QLineSeries;
    zero = new QLineSeries;
    zero->setPen(QPen(Qt::red, 1, Qt::DashLine));
    for (QLineSeries *s : {series, zero}) {
        chart->addSeries(s);
        s->attachAxis(axisX);
        s->attachAxis(axisY);
    }
    view = namedWidget<QChartView>("chartView_capture", chart);
    view->setMinimumSize(300, 220);

    auto *grid = new QGridLayout(this);
    // Three rows of settings: the dock stays narrow beside the chart.
    grid->addWidget(captions[0], 0, 0);
    grid->addWidget(edge, 0, 1);
    grid->addWidget(captions[1], 0, 2);
    grid->addWidget(level, 0, 3);
    grid->addWidget(captions[2], 1, 0);
    grid->addWidget(preSeconds, 1, 1);
    grid->addWidget(captions[3], 1, 2);
    grid->addWidget(postSeconds, 1, 3);
    grid->addWidget(captions[4], 2, 0);
    grid->addWidget(mode, 2, 1);
    grid->addWidget(armButton, 2, 2);
    grid->addWidget(saveButton, 2, 3);
    grid->setColumnStretch(4, 1);
    grid->addWidget(view, 3, 0, 1, 5);
    grid->addWidget(state, 4, 0, 1, 5);

    connect(stream, &BatchStream::batch, this, [this](const MeasurementBatch &b) {
        if (b.rate > 0)
            rate = b.rate;
        capture.add(b);
    });
    connect(&capture, &analysis::TriggeredCapture::captured, this, &CaptureView::showCapture);
    connect(&capture, &analysis::TriggeredCapture::stateChanged, this, &CaptureView::showState);
    connect(armButton, &QPushButton::clicked, this, [this] {
        if (capture.state() == analysis::TriggeredCapture::State::Idle)
            arm();
        else
            capture.disarm();
        showState();
    });
    connect(saveButton, &QPushButton::clicked, this, &CaptureView::saveAs);
    retranslate();
}

void CaptureView::setTolerance(std::function<bool(double)> outside)
{
    tolerance = std::move(outside);
    retranslate();
}

bool CaptureView::arm()
{
    if (rate <= 0) {
        state->setText(tr("帧率未知：请先连接传感器"));
        return false;
    }
    analysis::CaptureSettings s;
    const int e = edge->currentIndex();
    s.edge = e == 1 ? analysis::TriggerEdge::Falling
           : e == 2 ? analysis::TriggerEdge::Either
           : e == 3 ? analysis::TriggerEdge::Leave
                    : analysis::TriggerEdge::Rising;
    s.levelM = level->value();
    s.outside = tolerance;
    const int side = analysis::TriggeredCapture::kMaxSide;
    s.pre = std::min(side, int(std::lround(preSeconds->value() * rate)));
    s.post = std::min(side, int(std::lround(postSeconds->value() * rate)));
    s.mode = analysis::CaptureMode(std::max(0, mode->currentIndex()));
    if (!capture.setSettings(s))
        return false;
    capture.arm();
    return true;
}

void CaptureView::showCapture(const analysis::Capture &k)
{
    const int n = k.size();
    const int step = std::max(1, (n + kMostCapturePoints - 1) / kMostCapturePoints);
    QVector<QPointF> points;
    points.reserve(n / step + 2);
    double lo = k.cm.isEmpty() ? 0 : k.cm.first() / 100.0, hi = lo;
    // Every step-th sample, and always the trigger sample.
    for (int i = 0; i < n; ++i) {
        if (i % step != 0 && i != k.pre)
            continue;
        const double m = k.cm.at(i) / 100.0;
        points.append(QPointF(k.seconds(i), m));
        lo = std::min(lo, m);
        hi = std::max(hi, m);
    }
    series->replace(points);
    const double margin = std::max(0.01, (hi - lo) * 0.05);
    axisY->setRange(lo - margin, hi + margin);
    axisX->setRange(k.seconds(0), std::max(k.seconds(n - 1), k.seconds(0) + 1e-3));
    zero->replace(QVector<QPointF>{QPointF(0, lo - margin), QPointF(0, hi + margin)});
    saveButton->setEnabled(true);
    showState();
}

void CaptureView::showState()
{
    using State = analysis::TriggeredCapture::State;
    QString text;
    switch (capture.state()) {
    case State::Idle:
        text = tr("未启动");
        break;
    case State::Filling:
        text = tr("正在填充触发前数据");
        break;
    case State::Armed:
        text = tr("等待触发");
        break;
    case State::Collecting:
        text = tr("已触发，正在采集");
        break;
    }
    text += QStringLiteral("  ") + tr("触发次数 %1").arg(capture.triggers());
    if (capture.last().size() > 0)
        text += QStringLiteral("  ") + tr("上次捕获 %1 个数据 %2")
                                           .arg(capture.last().size())
                                           .arg(capture.last().forced ? tr("（自动，无触发）") : QString());
    state->setText(text);
    armButton->setText(capture.state() == State::Idle ? tr("启动") : tr("停止"));
}

bool CaptureView::save(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && analysis::writeCaptureCsv(capture.last(), f)
           && f.flush();
}

void CaptureView::saveAs()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("保存捕获"), QString(), tr("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (!save(path))
        state->setText(tr("无法写入 %1").arg(path));
}

void CaptureView::retranslate()
{
    captions[0]->setText(tr("触发"));
    captions[1]->setText(tr("电平"));
    captions[2]->setText(tr("触发前"));
    captions[3]->setText(tr("触发后"));
    captions[4]->setText(tr("模式"));
    QStringList edges{tr("上升沿"), tr("下降沿"), tr("双沿")};
    if (tolerance)
        edges << tr("超出公差");
    setComboTexts(edge, edges);
    setComboTexts(mode, {tr("单次"), tr("正常"), tr("自动")});
    saveButton->setText(tr("保存 CSV"));
    axisX->setTitleText(tr("距触发的时间 (s)"));
    axisY->setTitleText(tr("距离 (m)"));
    showState();
}
