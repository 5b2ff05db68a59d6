#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_pushButton_upgrade_clicked()
{
}

void MainWindow::on_pushButton_browse_clicked()
{
}

void MainWindow::on_radioButton_upgrade_serial_toggled(bool checked)
{
    Q_UNUSED(checked);
}

void MainWindow::on_radioButton_upgrade_can_toggled(bool checked)
{
    Q_UNUSED(checked);
}

void MainWindow::slotUpdateProcessbar(float value)
{
    Q_UNUSED(value);
}

void MainWindow::slotUpgradeResult(bool result)
{
    Q_UNUSED(result);
}
