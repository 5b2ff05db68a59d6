// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "cross_thread.h"
#include "link_panel.h"
#include "signal_panel.h"
#include "log_ui.h"
#include "receiver.h"

#include <QChart>
#include <QChartView>
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
      dataDir(QString()),
      recording(false),
      timeRange(10),
      upgrade_frame_length(255),
      upgrade_payload_length(249),
      translator(nullptr),
      rateHistoryPos(0),
      timeRangeBoxOpen(false),
      chartRefreshTimer(nullptr),
      shownRevision(0)
{
    ui->setupUi(this);

    qCDebug(lcUi) << "main thread ID: " << QThread::currentThreadId();

    setUpWorker();
    setUpChart();

    // Reconnect, line health, find and command traffic (before any port opens).
    linkPanel = new LinkPanel(this);
    signalPanel = new SignalPanel(this, &batchStream);
    ui->statusBar->addPermanentWidget(signalPanel->toggleButton());

    chartRefreshTimer = new QTimer(this);
    chartRefreshTimer->setObjectName(QStringLiteral("chartRefreshTimer"));
    chartRefreshTimer->setSingleShot(true);
    connect(chartRefreshTimer, &QTimer::timeout, this, &MainWindow::refreshChart);
    connect(chart, &QChart::plotAreaChanged, this, &MainWindow::chartPlotAreaChanged);
    setUpChartTools();
    setUpChartControls();
    setUpShortcuts();
    // Every tab's caption in full, in either language: no scroll buttons.
    ui->tabWidget_cmd->setUsesScrollButtons(false);

    workerThread->start();
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

// The worker and its thread; what it reports reaches the window's thread
// through the inbox of connectAcrossThreads.
void MainWindow::setUpWorker()
{
    worker = new receiver();
    workerThread = new QThread();
    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("updateTimer"));

    worker->moveToThread(workerThread);
    worker->serialPort->moveToThread(workerThread);
    worker->freqTimer->moveToThread(workerThread);

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
    setAxis(axisX, 0, 10);
    axisX->setLabelFormat("%g");
    axisX->setTitleText(tr("时间") + "(s)");
    axisY = new QValueAxis();
    setAxis(axisY, 0, 350);
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
    shutdownWorker();
    if (recording)
        recordStream.flush();
    recordStream.setDevice(nullptr);
    delete ui;
    // The translator removes itself from the application; a later window
    // must not find this window's texts.
    delete translator;
    delete updateTimer;
    // The worker and its thread go with the window. A thread that did not
    // stop keeps its objects: deleting them under it would be worse.
    if (workerThread && !workerThread->isRunning()) {
        delete worker;
        delete workerThread;
    }
}

void MainWindow::shutdownWorker()
{
    if (!workerThread || !workerThread->isRunning())
        return;
    // The port is closed in the worker's thread, behind whatever runs there:
    // a firmware transfer in progress would hold the close (and the window)
    // for up to its whole length. It stops within one wait step instead.
    worker->cancelUpgrade();
    worker->closePort();
    // The rate timer belongs to the worker's thread: stop it there, so that
    // deleting it after the thread has ended needs no cross-thread call.
    worker->runInWorkerThread([this] { worker->freqTimer->stop(); });
    workerThread->quit();
    if (!workerThread->wait(5000))
        qCDebug(lcUi) << "MainWindow::shutdownWorker: worker thread did not stop";
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveSettings();
    shutdownWorker();
    QMainWindow::closeEvent(event);
}

void MainWindow::showStatus(StatusText compose)
{
    lastStatus = std::move(compose);
    ui->statusBar->showMessage(lastStatus(), 0);
}

void MainWindow::showWarning(const QString &text, const QString &why)
{
    QMessageBox box;
    box.setText(text);
    box.setInformativeText(why);
    box.exec();
}

// A question the operator answers before something that cannot be undone;
// No unless Yes is chosen.
bool MainWindow::confirm(const QString &question)
{
    QMessageBox box(QMessageBox::Question, windowTitle(), question, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::showOutcome(StatusText prefix, bool ok)
{
    showStatus([prefix, ok] { return joinStatus(prefix(), ok ? tr("成功！") : tr("失败！")); });
}

// Status texts are built from pieces: a prefix, sometimes a value, and the
// outcome. Chinese runs them together ("保存配置成功！"), English needs one
// blank between words ("Save configuration succeeded!"). Translations carry
// no blanks at their ends, so the blank is put here, wherever neither side of
// the join is a Chinese character or full-width sign.
QString MainWindow::joinStatus(const QString &head, const QString &tail)
{
    const auto isCjk = [](QChar c) {
        const ushort u = c.unicode();
        return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF);
    };
    int end = head.size();
    while (end > 0 && head.at(end - 1).isSpace())
        --end;
    int begin = 0;
    while (begin < tail.size() && tail.at(begin).isSpace())
        ++begin;
    const QString a = head.left(end);
    const QString b = tail.mid(begin);
    if (a.isEmpty() || b.isEmpty() || isCjk(a.back()) || isCjk(b.front()))
        return a + b;
    return a + QLatin1Char(' ') + b;
}
