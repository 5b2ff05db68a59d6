#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "link_panel.h"
#include "receiver.h"

#include <QDebug>

void MainWindow::on_serialComboBox_currentIndexChanged(QString _selectedName)
{
    serialSelected = _selectedName;
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
        worker->closePort();
        showStatus(tr("断开成功"));
        ui->connectButton->setText(tr("连接"));
        ui->serialComboBox->setEnabled(true);
        ui->baudrateComboBox->setEnabled(true);
        ui->groupBox_upgrade->setEnabled(false);
        ui->groupBox_ctrl->setEnabled(false);
        ui->tabWidget_cmd->setEnabled(false);
        ui->groupBox_langune->setEnabled(true);
        linkPanel->disconnected();
        return;
    }

    qDebug() << serialSelected << baudRate;
    if (!worker->openPort(serialSelected, baudRate)) {
        showStatus(LinkPanel::failureText(tr("连接失败!"), worker->lastOpenFailure()));
        return;
    }
    // The port and the rate follow the text after one blank in any language.
    showStatus(tr("连接成功 ").trimmed() + QLatin1Char(' ') + serialSelected + QLatin1Char(' ')
               + QString::number(baudRate));
    ui->connectButton->setText(tr("断开"));
    ui->serialComboBox->setEnabled(false);
    ui->baudrateComboBox->setEnabled(false);
    ui->groupBox_upgrade->setEnabled(true);
    ui->groupBox_ctrl->setEnabled(true);
    ui->tabWidget_cmd->setEnabled(true);
    resetLiveDisplay();
    linkPanel->connected();
    // The language cannot change while connected.
    ui->groupBox_langune->setEnabled(false);
}
