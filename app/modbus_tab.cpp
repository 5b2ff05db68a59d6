#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_pushButton_mb_read_dist_once_clicked()
{
}

void MainWindow::on_pushButton_mb_save_config_clicked()
{
}

void MainWindow::on_pushButton_mb_baudrate_config_clicked()
{
}

void MainWindow::on_pushButton_mb_addr_config_clicked()
{
}

void MainWindow::on_pushButton_modbus_disable_clicked()
{
}

void MainWindow::on_pushButton_modbus_enable_clicked()
{
}

void MainWindow::on_pushButton_mb_addr_clicked()
{
}

void MainWindow::on_pushButton_mb_set_fps_clicked()
{
}

void MainWindow::on_pushButton_mb_get_version_clicked()
{
}

void MainWindow::on_pushButton_mb_shutdown_clicked()
{
}

void MainWindow::on_pushButton_mb_reboot_clicked()
{
}
