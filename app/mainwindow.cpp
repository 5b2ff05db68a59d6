#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "cross_thread.h"
#include "link_panel.h"
#include "receiver.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
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
      timeCursor(0),
      maxDistance(0),
      currentDistance(0),
      latestRate(0),
      dataDir(QString()),
      recording(false),
      timeRange(10),
      suspended(false),
      upgrade_frame_length(255),
      upgrade_payload_length(249),
      translator(nullptr),
      rateHistoryPos(0),
      seriesShowsDisplay(true),
      suspendedIsDisplay(false),
      timeRangeBoxOpen(false),
      chartRefreshTimer(nullptr),
      chartAxisStart(0),
      chartRefreshPending(false)
{
    ui->setupUi(this);

    qDebug() << "main thread ID: " << QThread::currentThreadId();

    worker = new receiver();
    workerThread = new QThread();
    updateTimer = new QTimer();

    worker->moveToThread(workerThread);
    worker->serialPort->moveToThread(workerThread);
    worker->freqTimer->moveToThread(workerThread);

    connectAcrossThreads(worker, &receiver::signalDistance, this, &MainWindow::slotDisplay);
    connectAcrossThreads(worker, &receiver::sigUpdateProcessbar, this, &MainWindow::slotUpdateProcessbar);
    connect(updateTimer, &QTimer::timeout, this, &MainWindow::slotDistUpdate);
    connectAcrossThreads(worker, &receiver::signalUpgradeResult, this, &MainWindow::slotUpgradeResult);

    chart = new QChart();
    chartView = new QChartView(chart);
    chartView->setRubberBand(QChartView::RectangleRubberBand);
    series = new QLineSeries();
    chart->addSeries(series);
    series->setUseOpenGL(true);
    qDebug() << "enable OpenGL:" << series->useOpenGL();

    axisX = new QValueAxis();
    axisX->setRange(0, 10);
    axisX->setLabelFormat("%g");
    axisX->setTitleText(tr("Time") + "(s)");
    axisY = new QValueAxis();
    axisY->setRange(0, 350);
    axisY->setTitleText(tr("Distance") + "(m)");
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    chart->legend()->hide();

    ui->dispalyLayout->addWidget(chartView, 0, Qt::Alignment());

    // Reconnect, line health, find and command traffic (before any port opens).
    linkPanel = new LinkPanel(this);

    chartRefreshTimer = new QTimer(this);
    chartRefreshTimer->setSingleShot(true);
    connect(chartRefreshTimer, &QTimer::timeout, this, &MainWindow::refreshChart);

    workerThread->start();
    updateTimer->start(200);

    rateHistory.resize(10);
    rateHistory.fill(0);
    rateHistoryPos = 0;

    const QStringList baudRates = {"9600", "115200", "460800", "921600", "1000000"};
    for (const QString &rate : baudRates)
        ui->baudrateComboBox->insertItem(ui->baudrateComboBox->count(), rate);
    ui->baudrateComboBox->setCurrentText("115200");
    ui->baudrateComboBox->setEditable(true);

    const QStringList frameRates = {"1", "5", "10", "100", "200", "500", "1000", "5000", "10000"};
    for (const QString &rate : frameRates)
        ui->comboBox_fps_set->insertItem(ui->comboBox_fps_set->count(), rate);
    ui->comboBox_fps_set->setEditable(true);

    translator = new QTranslator();
    ui->radioButton_chinese->setChecked(true);

    ui->groupBox_upgrade->setEnabled(false);
    ui->groupBox_ctrl->setEnabled(false);
    ui->tabWidget_cmd->setEnabled(false);

    upgrade_frame_length = 255;
    upgrade_payload_length = 249;
    ui->radioButton_upgrade_serial->setChecked(true);

    ui->progressBar->setRange(0, 100);
    ui->progressBar->setMinimum(0);
    ui->progressBar->setMaximum(100);

    latestRate = 0;
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
        qDebug() << "MainWindow::shutdownWorker: worker thread did not stop";
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    shutdownWorker();
    QMainWindow::closeEvent(event);
}

void MainWindow::showStatus(const QString &text)
{
    ui->statusBar->showMessage(text, 0);
}

void MainWindow::showWarning(const QString &text)
{
    QMessageBox box;
    box.setText(text);
    box.exec();
}

void MainWindow::showOutcome(const QString &prefix, bool ok)
{
    showStatus(prefix + (ok ? tr("成功！") : tr("失败！")));
}
