// SPDX-License-Identifier: GPL-3.0-or-later
#include "judge_panel.h"

#include "batch_stream.h"
#include "chart_model.h"
#include "log_ui.h"
#include "named_widget.h"

#include <QAbstractAxis>
#include <QAction>
#include <QBoxLayout>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScopedPointer>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// Limits, a master value and the jump step: metres within these bounds.
constexpr double kLimitMetres = 1000;
constexpr double kStepMetres = 100;
constexpr int kMaxZeroSamples = 10000;
// The overlay keeps an hour, the chart's longest time range.
constexpr double kKeepSeconds = 3600;

QSettings *openJudgeSettings()
{
    return new QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ZN84"),
                         QStringLiteral("zn84-viewer"));
}

// A decimal number within [-max, max] (or [0, max]), or nothing.
bool readMetres(const QString &text, double max, bool signedValue, double &value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v > max || v < (signedValue ? -max : 0.0))
        return false;
    value = v;
    return true;
}

QString metresText(double v)
{
    return QString::number(v, 'g', 6);
}

} // namespace

// ---------------------------------------------------------------- overlay

JudgeOverlay::JudgeOverlay(QChart *chart) : QGraphicsItem(chart), chart(chart)
{
    // Over the curve (4.5), under the legend (5).
    setZValue(4.6);
    setFlag(QGraphicsItem::ItemHasNoContents, false);
}

void JudgeOverlay::setLimitLines(bool on, double low, double high)
{
    limitsOn = on;
    lowY = low;
    highY = high;
    update();
}

void JudgeOverlay::setFilterCurve(bool on)
{
    filterOn = on;
    update();
}

void JudgeOverlay::clear()
{
    filterPoints.clear();
    spans.clear();
    inSpan = false;
    skip = 0;
    lastX = -1;
    update();
}

void JudgeOverlay::prune(double before)
{
    const auto firstPoint = std::lower_bound(filterPoints.begin(), filterPoints.end(), before,
                                             [](const QPointF &p, double x) { return p.x() < x; });
    filterPoints.erase(filterPoints.begin(), firstPoint);
    const auto firstSpan = std::lower_bound(spans.begin(), spans.end(), before,
                                            [](const Span &s, double x) { return s.to < x; });
    spans.erase(spans.begin(), firstSpan);
}

void JudgeOverlay::add(const JudgedBatch &batch, double batchStart, double rate)
{
    // The chart plots only batches whose rate is known, at the frames' own
    // times; a cleared chart starts again at 0.
    if (!(rate > 0) || batch.state.isEmpty())
        return;
    // A chart whose time starts again (a clear) starts the overlay afresh;
    // batches that follow on begin where the last one ended.
    if (batchStart < lastX - 1e-9 * (1 + std::abs(lastX)))
        clear();
    const int n = batch.state.size();
    // The same frames as the chart plots.
    const int step = ChartModel::decimationStep(int(rate));
    if (skip >= step)
        skip = step - 1;
    int k = skip;
    for (; k < n; k += step)
        filterPoints.append(QPointF(batchStart + double(k + 1) / rate, batch.filtered.at(k)));
    skip = k - n;
    for (int i = 0; i < n; ++i) {
        const double x = batchStart + double(i + 1) / rate;
        if (isViolation(batch.state.at(i))) {
            if (inSpan)
                spans.last().to = x;
            else
                spans.append(Span{x - 1.0 / rate, x});
            inSpan = true;
        } else {
            inSpan = false;
        }
    }
    lastX = batchStart + double(n) / rate;
    prune(lastX - kKeepSeconds);
}

QRectF JudgeOverlay::boundingRect() const
{
    return QRectF(QPointF(0, 0), chart->size());
}

void JudgeOverlay::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF plot = chart->plotArea();
    const QList<QAbstractAxis *> horizontal = chart->axes(Qt::Horizontal);
    const QList<QAbstractAxis *> vertical = chart->axes(Qt::Vertical);
    auto *axisX = horizontal.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(horizontal.first());
    auto *axisY = vertical.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(vertical.first());
    if (!axisX || !axisY || plot.isEmpty() || !(axisX->max() > axisX->min()) || !(axisY->max() > axisY->min()))
        return;
    const double xMin = axisX->min(), xMax = axisX->max(), yMin = axisY->min(), yMax = axisY->max();
    auto px = [&](double x) { return plot.left() + (x - xMin) / (xMax - xMin) * plot.width(); };
    auto py = [&](double y) { return plot.bottom() - (y - yMin) / (yMax - yMin) * plot.height(); };
    painter->save();
    painter->setClipRect(plot);

    // Spans out of tolerance, at least a pixel wide, neighbours within a
    // pixel drawn as one.
    const QColor shade(230, 60, 60, 60);
    auto span = std::lower_bound(spans.cbegin(), spans.cend(), xMin, [](const Span &s, double x) { return s.to < x; });
    double runFrom = 0, runTo = -1;
    for (; span != spans.cend() && span->from <= xMax; ++span) {
        const double from = px(span->from), to = std::max(px(span->to), px(span->from) + 1);
        if (runTo >= runFrom && from <= runTo + 1) {
            runTo = std::max(runTo, to);
            continue;
        }
        if (runTo >= runFrom)
            painter->fillRect(QRectF(runFrom, plot.top(), runTo - runFrom, plot.height()), shade);
        runFrom = from;
        runTo = to;
    }
    if (runTo >= runFrom)
        painter->fillRect(QRectF(runFrom, plot.top(), runTo - runFrom, plot.height()), shade);

    if (limitsOn) {
        painter->setPen(QPen(QColor(200, 30, 30), 1, Qt::DashLine));
        for (const double y : {lowY, highY})
            painter->drawLine(QPointF(plot.left(), py(y)), QPointF(plot.right(), py(y)));
    }

    if (filterOn && !filterPoints.isEmpty()) {
        auto first = std::lower_bound(filterPoints.cbegin(), filterPoints.cend(), xMin,
                                      [](const QPointF &p, double x) { return p.x() < x; });
        auto last = std::upper_bound(filterPoints.cbegin(), filterPoints.cend(), xMax,
                                     [](double x, const QPointF &p) { return x < p.x(); });
        if (first != filterPoints.cbegin())
            --first;
        if (last != filterPoints.cend())
            ++last;
        const int count = int(last - first);
        QVector<QPointF> shown = ChartModel::needsEnvelope(count, xMax - xMin, plot.width())
            ? ChartModel::envelope(&*first, count, ChartModel::columnWidth(xMax - xMin, plot.width()))
            : QVector<QPointF>(first, last);
        for (QPointF &p : shown)
            p = QPointF(px(p.x()), py(p.y()));
        painter->setPen(QPen(QColor(240, 140, 20), 2));
        painter->drawPolyline(shown.constData(), shown.size());
    }
    painter->restore();
}

// ---------------------------------------------------------------- panel

JudgePanel::JudgePanel(BatchStream *stream, QChart *chart, const ChartModel *model, QMainWindow *window)
    : QWidget(nullptr), model(model), window(window), chart(chart)
{
    setObjectName(QStringLiteral("judgePanel"));
    measurementJudge.attach(stream);
    chartOverlay = new JudgeOverlay(chart);

    createWidgets();
    layOut();

    dockWidget = namedWidget<QDockWidget>("dockWidget_judge", window);
    dockWidget->setWidget(this);
    window->addDockWidget(Qt::RightDockWidgetArea, dockWidget);
    dockWidget->hide();

    connect(&measurementJudge, &MeasurementJudge::judged, this, &JudgePanel::onJudged);
    connect(&measurementJudge, &MeasurementJudge::stateChanged, this, &JudgePanel::showState);
    connect(chart, &QChart::plotAreaChanged, this, [this] { chartOverlay->relayout(); });
    connect(dockWidget->toggleViewAction(), &QAction::toggled, this, [this](bool on) {
        if (auto *toggle = this->window->findChild<QCheckBox *>(QStringLiteral("checkBox_judge_show")))
            toggle->setChecked(on);
    });
    for (QAbstractAxis *axis : chart->axes()) {
        if (auto *value = qobject_cast<QValueAxis *>(axis))
            connect(value, &QValueAxis::rangeChanged, this, [this] { chartOverlay->update(); });
    }
    counterTimer = new QTimer(this);
    connect(counterTimer, &QTimer::timeout, this, &JudgePanel::showCounters);
    counterTimer->start(200);
    window->installEventFilter(this);

    retranslate();
    restore();
    showState(measurementJudge.state());
    showCounters();
}

void JudgePanel::createWidgets()
{
    stateLabel = namedWidget<QLabel>("label_judge_state", this);
    stateLabel->setAlignment(Qt::AlignCenter);
    stateLabel->setMinimumHeight(56);
    QFont big = stateLabel->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    stateLabel->setFont(big);
    stateLabel->setAutoFillBackground(true);
    valueLabel = namedWidget<QLabel>("label_judge_value", this);
    valueLabel->setAlignment(Qt::AlignCenter);
    QFont mid = valueLabel->font();
    mid.setPointSize(mid.pointSize() * 3 / 2);
    valueLabel->setFont(mid);
    referenceLabel = namedWidget<QLabel>("label_judge_reference", this);
    referenceLabel->setAlignment(Qt::AlignCenter);

    referenceBox = namedWidget<QGroupBox>("groupBox_judge_reference", this);
    samplesCaption = new QLabel(referenceBox);
    zeroSamples = namedWidget<QSpinBox>("spinBox_judge_zero_samples", referenceBox);
    zeroSamples->setRange(1, kMaxZeroSamples);
    zeroSamples->setValue(100);
    zeroButton = namedWidget<QPushButton>("pushButton_judge_zero", referenceBox);
    masterCaption = new QLabel(referenceBox);
    masterEdit = namedWidget<QLineEdit>("lineEdit_judge_master", referenceBox);
    masterButton = namedWidget<QPushButton>("pushButton_judge_master", referenceBox);
    absoluteButton = namedWidget<QPushButton>("pushButton_judge_absolute", referenceBox);

    toleranceBox = namedWidget<QGroupBox>("groupBox_judge_tolerance", this);
    lowerCaption = new QLabel(toleranceBox);
    upperCaption = new QLabel(toleranceBox);
    hysteresisCaption = new QLabel(toleranceBox);
    lowerEdit = namedWidget<QLineEdit>("lineEdit_judge_lower", toleranceBox);
    upperEdit = namedWidget<QLineEdit>("lineEdit_judge_upper", toleranceBox);
    hysteresisEdit = namedWidget<QLineEdit>("lineEdit_judge_hysteresis", toleranceBox);
    hysteresisEdit->setText(QStringLiteral("0"));
    applyLimitsButton = namedWidget<QPushButton>("pushButton_judge_apply", toleranceBox);

    filterBox = namedWidget<QGroupBox>("groupBox_judge_filter", this);
    kindCaption = new QLabel(filterBox);
    lengthCaption = new QLabel(filterBox);
    jumpCaption = new QLabel(filterBox);
    jumpSamplesCaption = new QLabel(filterBox);
    filterKind = namedWidget<QComboBox>("comboBox_judge_filter", filterBox);
    filterKind->addItems({QString(), QString(), QString()});
    filterLength = namedWidget<QSpinBox>("spinBox_judge_filter_length", filterBox);
    filterLength->setRange(1, FilterSettings::kMaxAverage);
    jumpEdit = namedWidget<QLineEdit>("lineEdit_judge_jump", filterBox);
    jumpEdit->setText(QStringLiteral("0"));
    jumpSamples = namedWidget<QSpinBox>("spinBox_judge_jump_samples", filterBox);
    jumpSamples->setRange(1, 1000);
    filterFeeds = namedWidget<QCheckBox>("checkBox_judge_filter_feeds", filterBox);

    countBox = namedWidget<QGroupBox>("groupBox_judge_counts", this);
    for (int i = 0; i < kCounters; ++i) {
        counterCaption[i] = new QLabel(countBox);
        counterValue[i] = new QLabel(countBox);
        counterValue[i]->setObjectName(QStringLiteral("label_judge_count_%1").arg(i));
        counterValue[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    resetButton = namedWidget<QPushButton>("pushButton_judge_reset", countBox);

    connect(zeroButton, &QPushButton::clicked, this, &JudgePanel::zeroClicked);
    connect(masterButton, &QPushButton::clicked, this, &JudgePanel::masterClicked);
    connect(absoluteButton, &QPushButton::clicked, this, &JudgePanel::absoluteClicked);
    connect(resetButton, &QPushButton::clicked, this, &JudgePanel::resetClicked);
    connect(applyLimitsButton, &QPushButton::clicked, this, &JudgePanel::applyLimits);
    for (QLineEdit *edit : {lowerEdit, upperEdit, hysteresisEdit})
        connect(edit, &QLineEdit::returnPressed, this, &JudgePanel::applyLimits);
    connect(masterEdit, &QLineEdit::returnPressed, this, &JudgePanel::masterClicked);
    connect(filterKind, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &JudgePanel::applyFilter);
    connect(filterLength, QOverload<int>::of(&QSpinBox::valueChanged), this, &JudgePanel::applyFilter);
    connect(jumpSamples, QOverload<int>::of(&QSpinBox::valueChanged), this, &JudgePanel::applyFilter);
    connect(jumpEdit, &QLineEdit::editingFinished, this, &JudgePanel::applyFilter);
    connect(filterFeeds, &QCheckBox::toggled, this, &JudgePanel::applyFilter);

    // The dock's switch in the status bar's corner: the rows around the
    // chart have no width to spare on the smallest panels the window fits.
    // A check box: no taller than the status bar, which would otherwise take
    // its rows from the chart.
    auto *toggle = namedWidget<QCheckBox>("checkBox_judge_show", window);
    connect(toggle, &QCheckBox::toggled, this, [this](bool on) { dockWidget->setVisible(on); });
    window->statusBar()->addPermanentWidget(toggle);
}

void JudgePanel::layOut()
{
    auto *reference = new QGridLayout(referenceBox);
    reference->addWidget(samplesCaption, 0, 0);
    reference->addWidget(zeroSamples, 0, 1);
    reference->addWidget(zeroButton, 0, 2);
    reference->addWidget(masterCaption, 1, 0);
    reference->addWidget(masterEdit, 1, 1);
    reference->addWidget(masterButton, 1, 2);
    reference->addWidget(absoluteButton, 2, 2);

    auto *tolerance = new QGridLayout(toleranceBox);
    tolerance->addWidget(lowerCaption, 0, 0);
    tolerance->addWidget(lowerEdit, 0, 1);
    tolerance->addWidget(upperCaption, 1, 0);
    tolerance->addWidget(upperEdit, 1, 1);
    tolerance->addWidget(hysteresisCaption, 2, 0);
    tolerance->addWidget(hysteresisEdit, 2, 1);
    tolerance->addWidget(applyLimitsButton, 3, 1);

    auto *filter = new QGridLayout(filterBox);
    filter->addWidget(kindCaption, 0, 0);
    filter->addWidget(filterKind, 0, 1);
    filter->addWidget(lengthCaption, 1, 0);
    filter->addWidget(filterLength, 1, 1);
    filter->addWidget(jumpCaption, 2, 0);
    filter->addWidget(jumpEdit, 2, 1);
    filter->addWidget(jumpSamplesCaption, 3, 0);
    filter->addWidget(jumpSamples, 3, 1);
    filter->addWidget(filterFeeds, 4, 0, 1, 2);

    auto *counts = new QGridLayout(countBox);
    for (int i = 0; i < kCounters; ++i) {
        counts->addWidget(counterCaption[i], i, 0);
        counts->addWidget(counterValue[i], i, 1);
    }
    counts->addWidget(resetButton, kCounters, 1);

    auto *column = new QVBoxLayout(this);
    column->addWidget(stateLabel);
    column->addWidget(valueLabel);
    column->addWidget(referenceLabel);
    column->addWidget(referenceBox);
    column->addWidget(toleranceBox);
    column->addWidget(filterBox);
    column->addWidget(countBox);
    column->addStretch(1);
}

QString JudgePanel::stateText(JudgeState state)
{
    switch (state) {
    case JudgeState::Ok:
        return tr("合格");
    case JudgeState::Above:
        return tr("超上限");
    case JudgeState::Below:
        return tr("超下限");
    case JudgeState::NoMeasurement:
        break;
    }
    return tr("无测量");
}

void JudgePanel::retranslate()
{
    dockWidget->setWindowTitle(tr("测量判定"));
    if (auto *toggle = window->findChild<QCheckBox *>(QStringLiteral("checkBox_judge_show"))) {
        toggle->setText(tr("判定"));
        toggle->setToolTip(tr("显示或隐藏测量判定面板"));
    }
    referenceBox->setTitle(tr("零点/标准值"));
    samplesCaption->setText(tr("零点样本数"));
    zeroSamples->setToolTip(tr("置零或设标准值时取最近N个样本的平均值（1~%1）").arg(kMaxZeroSamples));
    zeroButton->setText(tr("置零"));
    masterCaption->setText(tr("标准值（米）"));
    masterEdit->setToolTip(tr("当前读数应显示的值（米，%1~%2）").arg(-kLimitMetres).arg(kLimitMetres));
    masterButton->setText(tr("设为标准值"));
    absoluteButton->setText(tr("绝对值"));

    toleranceBox->setTitle(tr("公差"));
    lowerCaption->setText(tr("下限（米）"));
    upperCaption->setText(tr("上限（米）"));
    hysteresisCaption->setText(tr("迟滞（米）"));
    lowerEdit->setToolTip(tr("下限，相对零点（米，%1~%2；上下限都为空则不判定）").arg(-kLimitMetres).arg(kLimitMetres));
    upperEdit->setToolTip(tr("上限，相对零点（米，%1~%2；上下限都为空则不判定）").arg(-kLimitMetres).arg(kLimitMetres));
    hysteresisEdit->setToolTip(tr("超差后须回到限内此距离才算合格（米，0~%1）").arg(kStepMetres));
    applyLimitsButton->setText(tr("应用"));

    filterBox->setTitle(tr("滤波"));
    kindCaption->setText(tr("类型"));
    filterKind->setItemText(0, tr("无"));
    filterKind->setItemText(1, tr("滑动平均"));
    filterKind->setItemText(2, tr("滑动中值"));
    lengthCaption->setText(tr("长度"));
    filterLength->setToolTip(tr("滑动平均1~%1个样本，滑动中值1~%2个样本（奇数）")
                                 .arg(FilterSettings::kMaxAverage)
                                 .arg(FilterSettings::kMaxMedian));
    jumpCaption->setText(tr("跳变阈值（米）"));
    jumpEdit->setToolTip(tr("大于此值的跳变若持续少于设定样本数则剔除（米，0~%1，0为关闭）").arg(kStepMetres));
    jumpSamplesCaption->setText(tr("跳变样本数"));
    jumpSamples->setToolTip(tr("跳变持续少于此样本数则剔除（1~1000）"));
    filterFeeds->setText(tr("滤波值用于读数和判定"));

    countBox->setTitle(tr("判定计数"));
    const QString captions[kCounters] = {tr("样本数"), tr("超上限样本"), tr("超下限样本"), tr("超差次数"),
                                         tr("超差时间（秒）"), tr("最长超差（秒）"), tr("平均值（米）"),
                                         tr("标准差（米）"), QStringLiteral("Cp"), QStringLiteral("Cpk")};
    for (int i = 0; i < kCounters; ++i)
        counterCaption[i]->setText(captions[i]);
    resetButton->setText(tr("复位计数"));
    showState(measurementJudge.state());
    showReference();
}

bool JudgePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Close)
        save();
    return QWidget::eventFilter(watched, event);
}

double JudgePanel::readout(double raw) const
{
    if (measurementJudge.reference().mode() == ZeroReference::Absolute && !measurementJudge.filterFeedsJudgement())
        return raw;
    return measurementJudge.counters().samples ? measurementJudge.lastValue() : raw;
}

void JudgePanel::onJudged(const JudgedBatch &batch)
{
    // The judge hears of each batch after the chart model took it (the
    // window subscribes the model first): the batch began where the model's
    // newest batch did, at the model's whole-number rate.
    chartOverlay->add(batch, model->lastBatchStart(), int(batch.rate));
}

void JudgePanel::showState(JudgeState state)
{
    QColor colour(150, 150, 150);
    if (state == JudgeState::Ok)
        colour = QColor(40, 160, 60);
    else if (state == JudgeState::Above)
        colour = QColor(210, 40, 40);
    else if (state == JudgeState::Below)
        colour = QColor(230, 120, 20);
    QPalette palette = stateLabel->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, Qt::white);
    stateLabel->setPalette(palette);
    stateLabel->setText(stateText(state));
    stateLabel->setProperty("judgeState", int(state));
}

void JudgePanel::showReference()
{
    const ZeroReference &r = measurementJudge.reference();
    if (r.mode() == ZeroReference::Absolute) {
        referenceLabel->setText(tr("绝对值"));
        referenceLabel->setStyleSheet(QString());
    } else {
        referenceLabel->setText(r.mode() == ZeroReference::Zero
                                    ? tr("相对零点 %1 m").arg(metresText(r.zeroPoint()))
                                    : tr("标准值 %1 m（零点 %2 m）").arg(metresText(r.masterValue()),
                                                                     metresText(r.zeroPoint())));
        // Readings relative to a reference must not pass for distances.
        referenceLabel->setStyleSheet(QStringLiteral("QLabel { background: #ffe680; font-weight: bold; }"));
    }
    absoluteButton->setEnabled(r.mode() != ZeroReference::Absolute);
    const JudgeLimits &l = measurementJudge.limits();
    chartOverlay->setLimitLines(l.on, l.low + r.zeroPoint(), l.high + r.zeroPoint());
}

void JudgePanel::showCounters()
{
    const JudgeCounters &c = measurementJudge.counters();
    const RunningStats &s = measurementJudge.stats();
    auto number = [](double v, int digits) {
        return std::isfinite(v) ? QString::number(v, 'f', digits) : QStringLiteral("-");
    };
    const QString values[kCounters] = {
        QString::number(c.samples),
        QString::number(c.above),
        QString::number(c.below),
        QString::number(c.violations),
        number(c.outUs / 1e6, 3),
        number(c.longestUs / 1e6, 3),
        c.samples ? number(s.mean(), 4) : QStringLiteral("-"),
        c.samples > 1 ? number(s.stdDev(), 4) : QStringLiteral("-"),
        number(measurementJudge.cp(), 2),
        number(measurementJudge.cpk(), 2),
    };
    for (int i = 0; i < kCounters; ++i)
        counterValue[i]->setText(values[i]);
    valueLabel->setText(c.samples ? metresText(measurementJudge.lastValue()) + QStringLiteral(" m") : QStringLiteral("-"));
}

void JudgePanel::refuse(QLineEdit *field, const QString &why, const QString &restore)
{
    if (field)
        field->setText(restore);
    QMessageBox box(this);
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(tr("输入错误"));
    box.setText(why);
    box.exec();
}

void JudgePanel::applyLimits()
{
    const JudgeLimits before = measurementJudge.limits();
    JudgeLimits l;
    const QString low = lowerEdit->text().trimmed(), high = upperEdit->text().trimmed();
    auto restoreFields = [&] {
        lowerEdit->setText(before.on ? metresText(before.low) : QString());
        upperEdit->setText(before.on ? metresText(before.high) : QString());
        hysteresisEdit->setText(metresText(before.hysteresis));
    };
    if (!readMetres(hysteresisEdit->text(), kStepMetres, false, l.hysteresis)) {
        const QString typed = hysteresisEdit->text();
        restoreFields();
        refuse(nullptr, tr("迟滞“%1”无效：应为0~%2米").arg(typed).arg(kStepMetres), QString());
        return;
    }
    if (!low.isEmpty() || !high.isEmpty()) {
        if (!readMetres(low, kLimitMetres, true, l.low) || !readMetres(high, kLimitMetres, true, l.high)) {
            restoreFields();
            refuse(nullptr, tr("上下限无效：应为%1~%2米的数").arg(-kLimitMetres).arg(kLimitMetres), QString());
            return;
        }
        if (!(l.low < l.high)) {
            restoreFields();
            refuse(nullptr, tr("下限必须小于上限"), QString());
            return;
        }
        l.on = true;
    }
    measurementJudge.setLimits(l);
    showReference();
}

void JudgePanel::applyFilter()
{
    if (restoring)
        return;
    FilterSettings f;
    f.kind = FilterSettings::Kind(filterKind->currentIndex());
    // The median takes odd lengths only.
    filterLength->setMaximum(f.kind == FilterSettings::Median ? FilterSettings::kMaxMedian : FilterSettings::kMaxAverage);
    filterLength->setSingleStep(f.kind == FilterSettings::Median ? 2 : 1);
    if (f.kind == FilterSettings::Median && filterLength->value() % 2 == 0)
        filterLength->setValue(filterLength->value() + 1 <= FilterSettings::kMaxMedian ? filterLength->value() + 1
                                                                                      : FilterSettings::kMaxMedian);
    f.length = filterLength->value();
    double step = 0;
    if (!readMetres(jumpEdit->text(), kStepMetres, false, step)) {
        const QString typed = jumpEdit->text();
        jumpEdit->setText(metresText(measurementJudge.filter().jumpCm / 100.0));
        refuse(nullptr, tr("跳变阈值“%1”无效：应为0~%2米").arg(typed).arg(kStepMetres), QString());
        return;
    }
    f.jumpCm = step * 100;
    f.jumpSamples = jumpSamples->value();
    measurementJudge.setFilter(f);
    measurementJudge.setFilterFeedsJudgement(filterFeeds->isChecked());
    chartOverlay->setFilterCurve(f.isOn());
}

void JudgePanel::zeroClicked()
{
    if (!measurementJudge.zeroOnLast(zeroSamples->value())) {
        refuse(nullptr, tr("样本不足：置零需要最近%1个样本").arg(zeroSamples->value()), QString());
        return;
    }
    showReference();
}

void JudgePanel::masterClicked()
{
    double master = 0;
    if (!readMetres(masterEdit->text(), kLimitMetres, true, master)) {
        const QString typed = masterEdit->text();
        masterEdit->setText(metresText(measurementJudge.reference().masterValue()));
        refuse(nullptr, tr("标准值“%1”无效：应为%2~%3米").arg(typed).arg(-kLimitMetres).arg(kLimitMetres), QString());
        return;
    }
    if (!measurementJudge.masterOnLast(master, zeroSamples->value())) {
        refuse(nullptr, tr("样本不足：置零需要最近%1个样本").arg(zeroSamples->value()), QString());
        return;
    }
    showReference();
}

void JudgePanel::absoluteClicked()
{
    measurementJudge.clearReference();
    showReference();
}

void JudgePanel::resetClicked()
{
    measurementJudge.reset();
    chartOverlay->clear();
    showCounters();
}

// The operator's last choices; a value that cannot be used leaves the default.
void JudgePanel::restore()
{
    const QScopedPointer<QSettings> s(openJudgeSettings());
    restoring = true;
    bool ok = false;
    const int n = s->value(QStringLiteral("judge/zeroSamples")).toInt(&ok);
    if (ok && n >= 1 && n <= kMaxZeroSamples)
        zeroSamples->setValue(n);
    const int kind = s->value(QStringLiteral("judge/filterKind")).toInt(&ok);
    if (ok && kind >= 0 && kind <= 2)
        filterKind->setCurrentIndex(kind);
    const int length = s->value(QStringLiteral("judge/filterLength")).toInt(&ok);
    if (ok)
        filterLength->setValue(length);
    double v = 0;
    if (readMetres(s->value(QStringLiteral("judge/jumpStep")).toString(), kStepMetres, false, v))
        jumpEdit->setText(metresText(v));
    const int js = s->value(QStringLiteral("judge/jumpSamples")).toInt(&ok);
    if (ok)
        jumpSamples->setValue(js);
    filterFeeds->setChecked(s->value(QStringLiteral("judge/filterFeeds")).toBool());
    lowerEdit->setText(s->value(QStringLiteral("judge/lower")).toString());
    upperEdit->setText(s->value(QStringLiteral("judge/upper")).toString());
    if (s->contains(QStringLiteral("judge/hysteresis")))
        hysteresisEdit->setText(s->value(QStringLiteral("judge/hysteresis")).toString());

    const int mode = s->value(QStringLiteral("judge/reference")).toInt(&ok);
    double zero = 0, master = 0;
    if (ok && mode > 0 && mode <= 2
        && readMetres(s->value(QStringLiteral("judge/zeroPoint")).toString(), 1e5, true, zero)
        && (mode == ZeroReference::Zero
            || readMetres(s->value(QStringLiteral("judge/master")).toString(), kLimitMetres, true, master))) {
        ZeroReference r;
        r.restore(ZeroReference::Mode(mode), zero, master);
        measurementJudge.setReference(r);
        if (mode == ZeroReference::Master)
            masterEdit->setText(metresText(master));
    }
    restoring = false;

    // Limits that no longer check out are dropped, silently: nothing typed.
    JudgeLimits l;
    if (readMetres(lowerEdit->text(), kLimitMetres, true, l.low) && readMetres(upperEdit->text(), kLimitMetres, true, l.high)
        && l.low < l.high && readMetres(hysteresisEdit->text(), kStepMetres, false, l.hysteresis)) {
        l.on = true;
        measurementJudge.setLimits(l);
    } else {
        lowerEdit->clear();
        upperEdit->clear();
    }
    applyFilter();
    showReference();
    if (s->value(QStringLiteral("judge/visible")).toBool()) {
        if (auto *toggle = window->findChild<QCheckBox *>(QStringLiteral("checkBox_judge_show")))
            toggle->setChecked(true);
        else
            dockWidget->show();
    }
}

void JudgePanel::save() const
{
    if (restoring)
        return;
    const QScopedPointer<QSettings> s(openJudgeSettings());
    const ZeroReference &r = measurementJudge.reference();
    s->setValue(QStringLiteral("judge/reference"), int(r.mode()));
    s->setValue(QStringLiteral("judge/zeroPoint"), QString::number(r.zeroPoint(), 'g', 17));
    s->setValue(QStringLiteral("judge/master"), QString::number(r.masterValue(), 'g', 12));
    s->setValue(QStringLiteral("judge/zeroSamples"), zeroSamples->value());
    const JudgeLimits &l = measurementJudge.limits();
    s->setValue(QStringLiteral("judge/lower"), l.on ? QString::number(l.low, 'g', 12) : QString());
    s->setValue(QStringLiteral("judge/upper"), l.on ? QString::number(l.high, 'g', 12) : QString());
    s->setValue(QStringLiteral("judge/hysteresis"), QString::number(l.hysteresis, 'g', 12));
    const FilterSettings &f = measurementJudge.filter();
    s->setValue(QStringLiteral("judge/filterKind"), int(f.kind));
    s->setValue(QStringLiteral("judge/filterLength"), f.length);
    s->setValue(QStringLiteral("judge/jumpStep"), QString::number(f.jumpCm / 100.0, 'g', 12));
    s->setValue(QStringLiteral("judge/jumpSamples"), f.jumpSamples);
    s->setValue(QStringLiteral("judge/filterFeeds"), measurementJudge.filterFeedsJudgement());
    s->setValue(QStringLiteral("judge/visible"), !dockWidget->isHidden());
}
