// SPDX-License-Identifier: GPL-3.0-or-later
#include "link_panel.h"

#include "cross_thread.h"
#include "find_dialog.h"
#include "named_widget.h"
#include "port_connector.h"
#include "receiver.h"
#include "status_line.h"
#include "traffic_panel.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {
enum HealthRow { Good, Bad, Stray, Resync };
}

LinkPanel::LinkPanel(QMainWindow *w, receiver *worker, PortConnector *connector, StatusLine *status)
    : QGroupBox(w), window(w), worker(worker), connector(connector), status(status)
{
    createWidgets();
    layOut();
    // The traffic view docked under the window's panels (it can float),
    // hidden until asked for.
    trafficDock = namedWidget<QDockWidget>("dockWidget_traffic", window);
    traffic = new TrafficPanel(trafficDock);
    trafficDock->setWidget(traffic);
    window->addDockWidget(Qt::BottomDockWidgetArea, trafficDock);
    trafficDock->hide();

    connectSignals();
    retranslate();
    fitCounters();
    showCounts();
}

void LinkPanel::createWidgets()
{
    setObjectName(QStringLiteral("groupBox_link"));
    autoReconnect = namedWidget<QCheckBox>("checkBox_auto_reconnect", this);
    autoReconnect->setChecked(true);
    reconnectCaption = new QLabel(this);
    reconnectValue = namedWidget<QLabel>("label_reconnect_count", QStringLiteral("0"), this);
    static const char *const valueNames[4] = {"label_good_frames", "label_bad_checksums", "label_stray_bytes",
                                             "label_resyncs"};
    for (int i = 0; i < 4; ++i) {
        healthCaption[i] = new QLabel(this);
        healthValue[i] = namedWidget<QLabel>(valueNames[i], QStringLiteral("0"), this);
    }
    poorLine = namedWidget<QLabel>("label_poor_line", this);
    poorLine->setStyleSheet(QStringLiteral("color: red"));
    poorLine->hide();
    state = namedWidget<QLabel>("label_link_state", this);
    state->hide();
    state->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    findButton = namedWidget<QPushButton>("pushButton_find_sensor", this);
    showTraffic = namedWidget<QPushButton>("pushButton_show_traffic", this);
    showTraffic->setCheckable(true);
}

// Under the chart, beside its statistics: the switch and the actions on one
// row, the four line-health counters two by two below (each counter as wide
// as its widest count: four side by side would not fit a 1024 x 600 panel
// in English).
void LinkPanel::layOut()
{
    auto *rows = new QVBoxLayout(this);
    rows->setSpacing(2);
    rows->setContentsMargins(6, 2, 6, 2);
    auto *top = new QHBoxLayout;
    top->addWidget(autoReconnect);
    top->addSpacing(8);
    top->addWidget(reconnectCaption);
    top->addWidget(reconnectValue);
    top->addStretch(1);
    top->addWidget(findButton);
    top->addWidget(showTraffic);
    rows->addLayout(top);
    auto *health = new QGridLayout;
    health->setHorizontalSpacing(6);
    health->setVerticalSpacing(0);
    for (int i = 0; i < 4; ++i) {
        const int row = i / 2;
        const int column = (i % 2) * 3;
        health->addWidget(healthCaption[i], row, column);
        health->addWidget(healthValue[i], row, column + 1);
    }
    health->setColumnMinimumWidth(2, 6);
    health->setColumnMinimumWidth(5, 12);
    // The warnings beside the counters, in the room on their right: a
    // warning that comes up does not make the window taller (at its least
    // size it would have to grow).
    auto *warnings = new QVBoxLayout;
    warnings->setSpacing(0);
    poorLine->setWordWrap(true);
    state->setWordWrap(true);
    warnings->addWidget(poorLine);
    warnings->addWidget(state);
    health->addLayout(warnings, 0, 6, 2, 1);
    health->setColumnStretch(6, 1);
    rows->addLayout(health);
}

void LinkPanel::connectSignals()
{
    connect(autoReconnect, &QCheckBox::toggled, this, [this](bool on) { worker->setAutoReconnect(on); });
    connect(showTraffic, &QPushButton::toggled, this, &LinkPanel::showTrafficPanel);
    // Closing the dock unticks its switch.
    connect(trafficDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible && !trafficDock->isVisible())
            showTraffic->setChecked(false);
    });
    connect(findButton, &QPushButton::clicked, this, [this] {
        FindDialog *dialog = openFindDialog();
        if (!dialog->scanning())
            dialog->startScan(connector->candidatePorts());
    });
    connectAcrossThreads(worker, &receiver::signalDeviceLost, this, &LinkPanel::onDeviceLost);
    connectAcrossThreads(worker, &receiver::signalReconnected, this, &LinkPanel::onReconnected);
    connectAcrossThreads(worker, &receiver::signalReconnectStopped, this, &LinkPanel::onReconnectStopped);
    connectAcrossThreads(worker, &receiver::signalLineHealth, this, &LinkPanel::onLineHealth);
    connectAcrossThreads(worker, &receiver::signalTraffic, this, &LinkPanel::onTraffic);
}

QString LinkPanel::failureText(const QString &failed, OpenFailure why)
{
    switch (why) {
    case OpenFailure::NotPermitted:
        return failed + QLatin1Char(' ') + tr("没有权限打开此端口：请将用户加入 dialout 组，然后重新登录");
    case OpenFailure::Busy:
        return failed + QLatin1Char(' ') + tr("端口已被其他程序占用");
    case OpenFailure::Missing:
        return failed + QLatin1Char(' ') + tr("端口不存在");
    default:
        return failed;
    }
}

void LinkPanel::connected()
{
    policy.connected();
    showPresence();
    showCounts();
}

void LinkPanel::disconnected()
{
    policy.disconnected();
    showPresence();
}

FindDialog *LinkPanel::openFindDialog()
{
    if (!finder)
        finder = new FindDialog(window, connector);
    finder->show();
    finder->raise();
    return finder;
}

// Docked under the window when the window has the height for it; on a small
// screen (a 1024 x 600 panel) docking would squeeze the chart until its
// labels are cut and push the panel's buttons and the status line off the
// screen, so the panel floats over the window's lower right corner instead,
// inside the screen. The operator may dock or move it from there.
void LinkPanel::showTrafficPanel(bool show)
{
    if (!show) {
        trafficDock->hide();
        return;
    }
    if (trafficDock->isVisible())
        return;
    const QSize wanted = trafficDock->sizeHint().expandedTo(QSize(0, kTrafficRows * fontMetrics().height()));
    QWidget *central = window->centralWidget();
    const bool room = central->height() - wanted.height() >= central->sizeHint().height();
    trafficDock->setFloating(!room);
    if (!room) {
        const QRect frame = window->frameGeometry();
        QRect area = window->screen() ? window->screen()->availableGeometry() : frame;
        area = area.intersected(frame).isEmpty() ? area : area.intersected(frame);
        // A third of the screen's height: the chart above stays in sight.
        const int height = qMax(trafficDock->minimumSizeHint().height(), qMin(wanted.height(), area.height() / 3));
        const QSize size(qMin(area.width(), qMax(wanted.width(), area.width() * 2 / 3)), qMin(area.height(), height));
        // Above the status line, which keeps showing each command's outcome.
        const int bottom = area.bottom() - window->statusBar()->height();
        trafficDock->setGeometry(QRect(QPoint(area.right() - size.width() + 1, bottom - size.height() + 1), size)
                                         .intersected(area));
    }
    trafficDock->show();
}

// Said in the panel, not in the status line: the outcome of what was running
// when the cable went (an upgrade, a command) stays readable there.
void LinkPanel::onDeviceLost(bool waiting, qint64 atMs)
{
    policy.deviceLost(waiting, atMs);
    showPresence();
}

// The chart's time runs on across the gap: the curve goes on where the wall
// clock is, so the time the device was away shows on the time axis (as one
// straight segment from the last reading before to the first one after).
// The time away is the worker's: this thread may take either news late.
void LinkPanel::onReconnected(int count, qint64 atMs)
{
    const double away = policy.reconnected(count, atMs);
    if (away > 0)
        emit deviceBackAfter(away);
    showCounts();
    showPresence();
    status->show([port = connector->port(), rate = connector->baud()] {
        return tr("已重新连接") + QLatin1Char(' ') + port + QLatin1Char(' ') + QString::number(rate);
    });
}

void LinkPanel::onReconnectStopped()
{
    policy.reconnectStopped();
    showPresence();
}

void LinkPanel::onLineHealth(LineHealth h)
{
    policy.setHealth(h);
    showCounts();
}

void LinkPanel::onTraffic(TrafficEntry entry)
{
    traffic->add(entry);
}

void LinkPanel::showPresence()
{
    QString text;
    if (policy.presence() == LineHealthPolicy::Presence::LostWaiting)
        text = tr("设备丢失，正在等待");
    else if (policy.presence() == LineHealthPolicy::Presence::Lost)
        text = tr("设备丢失");
    state->setText(text);
    state->setVisible(!text.isEmpty());
}

// Each counter as wide as its widest text, so that a count growing while
// the window keeps its size is never cut short (the layout does not make
// room for a wider text when the window is at its least size).
void LinkPanel::fitCounters()
{
    QStringList widest;
    for (quint64 count : LineHealthPolicy::widestCounts())
        widest << countText(count);
    QLabel *counters[] = {reconnectValue, healthValue[Good], healthValue[Bad], healthValue[Stray],
                          healthValue[Resync]};
    for (QLabel *counter : counters) {
        int width = 0;
        for (const QString &text : widest) {
            QLabel sample(text);
            sample.setFont(counter->font());
            width = qMax(width, sample.sizeHint().width());
        }
        counter->setMinimumWidth(width);
    }
}

void LinkPanel::showCounts()
{
    const auto show = [](QLabel *counter, quint64 count) {
        counter->setText(countText(count));
        counter->setToolTip(QString::number(count));
    };
    const LineHealth &health = policy.health();
    show(reconnectValue, quint64(qMax(policy.reconnects(), 0)));
    show(healthValue[Good], health.goodFrames);
    show(healthValue[Bad], health.badChecksums);
    show(healthValue[Stray], health.strayBytes);
    show(healthValue[Resync], health.resyncs);
    poorLine->setVisible(policy.poorLine());
}

void LinkPanel::retranslate()
{
    setTitle(tr("链路"));
    autoReconnect->setText(tr("自动重连"));
    reconnectCaption->setText(tr("重连次数"));
    healthCaption[Good]->setText(tr("好帧"));
    healthCaption[Bad]->setText(tr("校验错误"));
    healthCaption[Stray]->setText(tr("杂散字节"));
    healthCaption[Resync]->setText(tr("重同步"));
    poorLine->setText(tr("线路不良：超过1%的帧校验错误"));
    findButton->setText(tr("查找传感器"));
    showTraffic->setText(tr("命令记录"));
    showTraffic->setToolTip(tr("显示命令记录"));
    trafficDock->setWindowTitle(tr("命令记录"));
    showPresence();
    traffic->retranslate();
    if (finder)
        finder->retranslate();
}
