// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "capture_view.h"
#include "judge_panel.h"
#include "ui_mainwindow.h"

#include "batch_stream.h"
#include "cross_thread.h"
#include "chart_files.h"
#include "chart_markers.h"
#include "chart_panel.h"
#include "link_panel.h"
#include "port_connector.h"
#include "signal_panel.h"
#include "upgrade_controls.h"
#include "remote_panel.h"
#include "log_ui.h"
#include "receiver.h"
#include "worker_session.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QGraphicsScene>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineSeries>
#include <QMessageBox>
#include <QSerialPort>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QValueAxis>

#include <limits>

// The order below matters: the form's slots are bound before any widget value
// is set, the worker's objects are in the worker thread before anything is
// connected to them, and the chart and the translator exist before the
// Chinese language is checked (which fills the item lists and axis titles).
MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      worker(nullptr),
      workerThread(nullptr),
      chartView(nullptr),
      chart(nullptr),
      series(nullptr),
      axisX(nullptr),
      axisY(nullptr),
      updateTimer(nullptr),
      baudRate(0),
      currentDistance(0),
      latestRate(0),
      timeRange(10),
      upgrade_frame_length(255),
      upgrade_payload_length(249),
      translator(nullptr),
      rateHistoryPos(0),
      timeRangeBoxOpen(false)
{
    ui->setupUi(this);
    statusLine = new StatusLine(ui->statusBar);

    qCDebug(lcUi) << "main thread ID: " << QThread::currentThreadId();

    setUpWorker();
    setUpChart();

    // Reconnect, line health, find and command traffic (before any port opens).
    auto *connector = new PortConnector(
            worker, {ui->connectButton, ui->serialComboBox, ui->baudrateComboBox, ui->tabWidget_cmd}, this);
    linkPanel = new LinkPanel(this, worker, connector, statusLine);
    ui->gridLayout_5->addWidget(linkPanel, 3, 0);   // under the chart, beside its statistics
    connect(linkPanel, &LinkPanel::deviceBackAfter, this, [this](double seconds) { liveChart.skipTime(seconds); });

    // The chart's display and tools, under the chart; the export and replay.
    chartPanel = new ChartPanel({chartView, chart, series, axisX, axisY}, liveChart, ui->freqLabel, this);
    ui->gridLayout_5->addWidget(chartPanel, 2, 0);
    chartFiles = new ChartFiles(chartPanel, liveChart, statusLine, this);
    connect(chartPanel, &ChartPanel::recordingShown, this, [this] { ui->suspendButton->setText(tr("恢复")); });
    recordCsvBox = chartPanel->recordFormatBox();
    connect(recordCsvBox, &QCheckBox::toggled, this, [this](bool csv) {
        recorder->setFormat(csv ? recordformat::Format::Csv : recordformat::Format::Plain);
    });
    upgradeControls = new UpgradeControls(
        {ui->tabWidget_cmd, {ui->tab, ui->tab_2, ui->tab_3}, ui->connectButton,
         {ui->pushButton_upgrade, ui->pushButton_browse, ui->lineEdit_image_full_path, ui->radioButton_upgrade_serial,
          ui->radioButton_upgrade_can},
         ui->pushButton_upgrade_cancel},
        worker, this);
    signalPanel = new SignalPanel(this, batches);
    ui->statusBar->addPermanentWidget(signalPanel->toggleButton());
    // The chart's range in stream samples; a recording on the chart is no
    // part of the stream.
    connect(axisX, &QValueAxis::rangeChanged, signalPanel, [this](qreal min, qreal max) {
        const double none = std::numeric_limits<double>::quiet_NaN();
        const bool stream = !liveChart.isReplaying();
        signalPanel->setChartRange(stream ? min : none, stream ? max : none);
    });

    // The plant's broker: publishing this sensor, or showing a remote one.
    auto *remote = new RemotePanel(batches, liveChart, {ui->tabWidget_cmd, ui->connectButton, ui->groupBox_ctrl},
                                   statusLine, this);
    ui->statusBar->addPermanentWidget(remote);
    connect(remote, &RemotePanel::remoteStarted, this, &MainWindow::resetLiveDisplay);
    connect(remote, &RemotePanel::remoteSamples, this, &MainWindow::slotDisplay);
    chartMarkers = new ChartMarkers({chart, series, axisX}, chartPanel, chartFiles, liveChart, recorder, this);
    setUpShortcuts();
    judgePanel = new JudgePanel(batches, chart, &liveChart, this);
    // A CSV recording carries the judge's filtered distance and state of
    // each sample: the judge takes each batch before the recorder writes it.
    recorder->setAnnotator(judgePanel->judge());
    recorder->listenTo(batches);
    // A publisher to a broker tells each change of the tolerance state (none
    // while no limits are set: every sample is then "ok" by definition).
    connect(judgePanel->judge(), &MeasurementJudge::transition, remote, [this, remote](quint64, JudgeState state) {
        if (judgePanel->judge()->limits().on)
            remote->publishState(judgeStateName(state));
    });
    // The capture offers "leaving the tolerance" while limits are set; each
    // sample is asked of the judge as it stands then (its zero included).
    auto offerTolerance = [this](const JudgeLimits &limits) {
        const MeasurementJudge *judge = judgePanel->judge();
        signalPanel->captureView()->setTolerance(
            limits.on ? std::function<bool(double)>([judge](double m) { return judge->outsideTolerance(m); })
                      : std::function<bool(double)>());
    };
    connect(judgePanel->judge(), &MeasurementJudge::limitsChanged, this, offerTolerance);
    offerTolerance(judgePanel->judge()->limits());
    // Every tab's caption in full, in either language: no scroll buttons.
    ui->tabWidget_cmd->setUsesScrollButtons(false);

    session->start();
    updateTimer->start(200);

    rateHistory.resize(10);
    rateHistory.fill(0);
    rateHistoryPos = 0;

    fillChoiceLists();

    translator = new QTranslator();
    ui->radioButton_chinese->setChecked(true);

    ui->groupBox_upgrade->setEnabled(false);
    ui->groupBox_ctrl->setEnabled(false);
    ui->tabWidget_cmd->setEnabled(false);

    upgrade_frame_length = 255;
    upgrade_payload_length = 249;
    ui->radioButton_upgrade_serial->setChecked(true);
    ui->pushButton_upgrade_cancel->setEnabled(false);

    ui->progressBar->setRange(0, 100);
    ui->progressBar->setMinimum(0);
    ui->progressBar->setMaximum(100);

    latestRate = 0;

    restoreSettings();
}

// The worker and its thread (started with the display timer); what it
// reports reaches the window's thread through the inbox of
// connectAcrossThreads. Its batches go on as the numbered stream that the
// chart model and the recorder take.
void MainWindow::setUpWorker()
{
    session = new WorkerSession(WorkerSession::Start::Later);
    worker = session->worker();
    workerThread = session->thread();
    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("updateTimer"));

    batches = new BatchStream(this);
    batches->setObjectName(QStringLiteral("batchStream"));
    recorder = new Recorder(this);
    recorder->setObjectName(QStringLiteral("recorder"));
    recorder->listenTo(batches);
    // The newest plotted distance is the readout's.
    connect(batches, &BatchStream::batch, this, [this](const MeasurementBatch &b) {
        const double startX = liveChart.timeCursor();
        if (liveChart.addBatch(b.cm, int(b.rate), timeRange) > 0)
            currentDistance = liveChart.newestDistance();
        // Where the batch stands on the chart's time axis, for the signal
        // views that take the chart's range.
        if (signalPanel && int(b.rate) > 0)
            signalPanel->chartTook(startX, b, int(b.rate));
    });

    connectAcrossThreads(worker, &receiver::signalDistance, this, &MainWindow::slotDisplay);
    connectAcrossThreads(worker, &receiver::sigUpdateProcessbar, this, &MainWindow::slotUpdateProcessbar);
    connect(updateTimer, &QTimer::timeout, this, &MainWindow::slotDistUpdate);
    connectAcrossThreads(worker, &receiver::signalUpgradeFailed, this, &MainWindow::slotUpgradeFailed);
    connectAcrossThreads(worker, &receiver::signalUpgradeResult, this, &MainWindow::slotUpgradeResult);
}

// The live chart: a line series on two value axes in a chart view.
void MainWindow::setUpChart()
{
    chart = new QChart();
    chartView = new QChartView(chart);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRubberBand(QChartView::RectangleRubberBand);
    // Some ninety items, most of which move at every picture (the ticks,
    // labels, grid and the curve's tiles): a search tree of their places
    // costs more to keep up than a walk over them.
    chartView->scene()->setItemIndexMethod(QGraphicsScene::NoIndex);
    series = new QLineSeries();
    chart->addSeries(series);
    // The curve is drawn with QPainter, not OpenGL: it holds at most about
    // four points per pixel column (see ChartModel), and an OpenGL series
    // costs a composition of the whole window for every picture, which
    // without a GPU (Mesa's software rasteriser) is the larger part: in the
    // default view at the line's top rate the viewer needed 45.6 % of a core
    // with OpenGL against 16.6 % without, at 20 pictures a second
    // (docs/performance.md).
    series->setUseOpenGL(false);
    qCDebug(lcUi) << "enable OpenGL:" << series->useOpenGL();

    axisX = new QValueAxis();
    axisX->setLabelFormat("%g");
    axisX->setTitleText(tr("时间") + "(s)");
    axisY = new QValueAxis();
    axisY->setTitleText(tr("距离") + "(m)");
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    chart->legend()->hide();

    ui->dispalyLayout->addWidget(chartView, 0, Qt::Alignment());
}

// The offered baud rates and frame rates (both boxes also take a typed value).
void MainWindow::fillChoiceLists()
{
    const QStringList baudRates = {"9600", "115200", "460800", "921600", "1000000"};
    for (const QString &rate : baudRates)
        ui->baudrateComboBox->insertItem(ui->baudrateComboBox->count(), rate);
    ui->baudrateComboBox->setCurrentText("115200");
    ui->baudrateComboBox->setEditable(true);

    const QStringList frameRates = {"1", "5", "10", "100", "200", "500", "1000", "5000", "10000"};
    for (const QString &rate : frameRates)
        ui->comboBox_fps_set->insertItem(ui->comboBox_fps_set->count(), rate);
    ui->comboBox_fps_set->setEditable(true);
}

MainWindow::~MainWindow()
{
    // The broker's part goes first, while the window is whole: its publisher
    // waits for the broker's acknowledgements in an event loop, which also
    // delivers the worker's last batches to this window.
    delete findChild<RemotePanel *>();
    shutdownWorker();
    recorder->stop();
    delete ui;
    // The translator removes itself from the application; a later window
    // must not find this window's texts.
    delete translator;
    delete updateTimer;
    // The worker and its thread go with the window, unless the thread did
    // not stop (the session keeps them then).
    delete session;
}

void MainWindow::shutdownWorker()
{
    session->stop();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveSettings();
    shutdownWorker();
    QMainWindow::closeEvent(event);
}

