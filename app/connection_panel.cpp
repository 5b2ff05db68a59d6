// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "link_panel.h"
#include "receiver.h"
#include "worker_session.h"

#include "log_ui.h"

#include <limits>

// The entry shows a description; the port's name is its item data. (The
// index signal: the one with the text is gone from Qt 6.)
void MainWindow::on_serialComboBox_currentIndexChanged(int index)
{
    serialSelected = index < 0 ? QString() : ui->serialComboBox->currentPort();
    showPortToolTip();
}

// The chosen port's full path; with none chosen, what the box is for.
void MainWindow::showPortToolTip()
{
    const QString path = ui->serialComboBox->currentData(Qt::ToolTipRole).toString();
    ui->serialComboBox->setToolTip(path.isEmpty() ? tr("传感器所在的串口") : path);
}

void MainWindow::on_baudrateComboBox_currentTextChanged(QString arg1)
{
    baudRate = arg1.toInt(nullptr, 10);
}

// The branch follows the worker's port state. A device that vanished while
// connected has had its port closed by the worker, yet the window still offers
// "disconnect": that press takes the window back to its disconnected state
// instead of reopening a device that is gone.
void MainWindow::on_connectButton_clicked()
{
    if (worker->isPortOpen() || ui->tabWidget_cmd->isEnabled()) {
        session->close();
        showStatus([] { return tr("断开成功"); });
        showConnected(false);
        linkPanel->disconnected();
        return;
    }

    qCDebug(lcUi) << serialSelected << baudRate;
    // The rate is typed: a text that is no number read as 0, and a port
    // opened at 0 baud (on a terminal: hang up). Only a whole number of at
    // least 1 opens the port.
    const QString typed = ui->baudrateComboBox->currentText().trimmed();
    bool ok = false;
    const int rate = typed.toInt(&ok, 10);
    if (typed.isEmpty() || !ok || rate < 1) {
        const QString range = acceptedRange(1, std::numeric_limits<int>::max());
        if (typed.isEmpty())
            showWarning(tr("警告：输入不能为空!"), tr("%1：未输入，有效范围为 %2").arg(tr("波特率"), range));
        else
            showWarning(tr("警告：非法输入!"),
                        tr("%1：输入“%2”无效，有效范围为 %3").arg(tr("波特率"), typed.left(24), range));
        return;
    }
    baudRate = rate;
    if (serialSelected.isEmpty()) {
        showStatus([] { return joinStatus(tr("连接失败!"), tr("未选择串口")); });
        return;
    }
    OpenError failed;
    if (!session->open(serialSelected, baudRate, &failed)) {
        const OpenFailure why = failed.failure;
        qCDebug(lcUi) << "MainWindow: cannot open" << serialSelected << failed.reason();
        showStatus([why] { return LinkPanel::failureText(tr("连接失败!"), why); });
        return;
    }
    // The port and the rate follow the text after one blank in any language.
    showStatus([port = serialSelected, rate = baudRate] {
        return tr("连接成功 ").trimmed() + QLatin1Char(' ') + port + QLatin1Char(' ') + QString::number(rate);
    });
    showConnected(true);
    resetLiveDisplay();
    linkPanel->connected();
}

// While connected the port and its rate are fixed, the commands offered, and
// the language cannot change.
void MainWindow::showConnected(bool connected)
{
    ui->connectButton->setText(connected ? tr("断开") : tr("连接"));
    ui->serialComboBox->setEnabled(!connected);
    ui->baudrateComboBox->setEnabled(!connected);
    ui->groupBox_upgrade->setEnabled(connected);
    ui->groupBox_ctrl->setEnabled(connected);
    ui->tabWidget_cmd->setEnabled(connected);
    ui->groupBox_langune->setEnabled(!connected);
}
