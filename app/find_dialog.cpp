// SPDX-License-Identifier: GPL-3.0-or-later
#include "find_dialog.h"

#include "cross_thread.h"
#include "mycombobox.h"
#include "named_widget.h"
#include "port_connector.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

FindDialog::FindDialog(QWidget *parent, PortConnector *portConnector)
    : QDialog(parent), connector(portConnector)
{
    setObjectName(QStringLiteral("findDialog"));
    scanner = new PortScanner(this);
    queryVersion = namedWidget<QCheckBox>("checkBox_find_query_version", this);
    startButton = namedWidget<QPushButton>("pushButton_find_start", this);
    connectButton = namedWidget<QPushButton>("pushButton_find_connect", this);
    connectButton->setEnabled(false);
    table = namedWidget<QTableWidget>("tableWidget_find_hits", 0, 3, this);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Each column as wide as its widest cell or caption, none cut short.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(false);
    table->verticalHeader()->hide();
    status = namedWidget<QLabel>("label_find_status", this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(startButton);
    buttons->addStretch(1);
    buttons->addWidget(connectButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(queryVersion);
    layout->addWidget(table);
    layout->addWidget(status);
    layout->addLayout(buttons);
    resize(460, 300);

    connectAcrossThreads(scanner, &PortScanner::portScanned, this, &FindDialog::onPortScanned);
    connectAcrossThreads(scanner, &PortScanner::finished, this, &FindDialog::onFinished);
    connect(startButton, &QPushButton::clicked, this, [this] {
        if (running)
            scanner->cancel();
        else
            startScan(connector ? connector->candidatePorts() : QStringList());
    });
    connect(connectButton, &QPushButton::clicked, this, [this] {
        const QList<QTableWidgetItem *> selected = table->selectedItems();
        connectRow(selected.isEmpty() ? 0 : selected.first()->row());
    });
    connect(table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { connectRow(row); });
    retranslate();
}

FindDialog::~FindDialog()
{
    // The scanner's threads end within one listening step.
    scanner->cancel();
}

bool FindDialog::startScan(const QStringList &ports)
{
    if (running)
        return false;
    found.clear();
    unreachable.clear();
    table->setRowCount(0);
    connectButton->setEnabled(false);
    ScanOptions options = baseOptions;
    options.queryVersion = queryVersion->isChecked();
    running = true;
    clock.start();
    retranslate();
    if (!scanner->start(ports, options)) {
        running = false;
        retranslate();
        return false;
    }
    return true;
}

bool FindDialog::scanning() const
{
    return running;
}

void FindDialog::onPortScanned(PortScanResult result)
{
    if (result.failure == OpenFailure::Busy || result.failure == OpenFailure::NotPermitted)
        unreachable << result.port;
    for (const ScanHit &hit : result.hits) {
        found.append(hit);
        const int row = table->rowCount();
        table->insertRow(row);
        // The port as the port chooser shows it, its full path in the tooltip.
        auto *port = new QTableWidgetItem(myCombobox::shownName(hit.port));
        port->setToolTip(hit.port);
        table->setItem(row, 0, port);
        table->setItem(row, 1, new QTableWidgetItem(QString::number(hit.baud)));
        table->setItem(row, 2, new QTableWidgetItem(QString::number(hit.goodFrames)));
        if (row == 0)
            table->selectRow(0);
        connectButton->setEnabled(true);
    }
    retranslate();
}

// Wide enough to show every column whole, within the screen.
void FindDialog::fitTable()
{
    QHeaderView *header = table->horizontalHeader();
    header->resizeSections(QHeaderView::ResizeToContents);
    if (!isVisible())
        return;
    layout()->activate();
    const int extra = header->length() - table->viewport()->width();
    if (extra <= 0)
        return;
    const int most = screen() ? screen()->availableGeometry().width() : width() + extra;
    resize(qMin(most, width() + extra), height());
}

void FindDialog::onFinished()
{
    scanMs = clock.elapsed();
    running = false;
    retranslate();
    emit scanFinished();
}

bool FindDialog::connectRow(int row)
{
    if (row < 0 || row >= found.size() || !connector)
        return false;
    if (!connector->connectTo(found.at(row).port, found.at(row).baud))
        return false;
    // Found and connected: the dialog has done its work (a scan still
    // running on other ports stops with it).
    close();
    return true;
}

void FindDialog::closeEvent(QCloseEvent *event)
{
    scanner->cancel();
    QDialog::closeEvent(event);
}

void FindDialog::retranslate()
{
    setWindowTitle(tr("查找传感器"));
    queryVersion->setText(tr("同时尝试版本查询（会向端口写入）"));
    startButton->setText(running ? tr("停止查找") : tr("开始查找"));
    connectButton->setText(tr("连接"));
    table->setHorizontalHeaderLabels({tr("端口"), tr("波特率"), tr("有效帧")});
    for (int row = 0; row < found.size() && row < table->rowCount(); ++row) {
        if (found.at(row).versionReply)
            table->item(row, 2)->setText(tr("版本应答"));
    }
    QString text;
    if (running)
        text = tr("正在查找…");
    else if (!clock.isValid())
        text = QString();
    else if (found.isEmpty())
        text = tr("未找到传感器");
    else
        text = tr("查找完成：%1 个结果").arg(found.size());
    if (!unreachable.isEmpty())
        text += QLatin1Char(' ') + tr("无法打开：%1").arg(unreachable.join(QStringLiteral(", ")));
    status->setText(text);
    fitTable();
}
