#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_pushButton_reset_clicked()
{
}

void MainWindow::on_pushButton_recover_factory_clicked()
{
}

void MainWindow::on_pushButton_gain_adjust_clicked()
{
}

void MainWindow::on_pushButton_can_type_clicked()
{
}

void MainWindow::on_pushButton_can_baudrate_clicked()
{
}

void MainWindow::on_pushButton_can_rcv_id_clicked()
{
}

void MainWindow::on_pushButton_can_snd_id_clicked()
{
}

void MainWindow::on_pushButton_ofs_config_clicked()
{
}

void MainWindow::on_pushButton_IO_level_clicked()
{
}

void MainWindow::on_pushButton_IO_delay_clicked()
{
}

void MainWindow::on_pushButton_dist_threshold_clicked()
{
}
