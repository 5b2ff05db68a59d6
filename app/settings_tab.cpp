#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_pushButton_version_clicked()
{
}

void MainWindow::on_pushButton_full_version_clicked()
{
}

void MainWindow::on_pushButton_save_config_clicked()
{
}

void MainWindow::on_pushButton_trig_clicked()
{
}

void MainWindow::on_pushButton_fps_clicked()
{
}

void MainWindow::on_pushButton_trans_clicked()
{
}

void MainWindow::on_pushButton_output_format_clicked()
{
}

void MainWindow::on_pushButton_baudrate_clicked()
{
}

void MainWindow::on_pushButton_output_enable_clicked()
{
}

void MainWindow::on_pushButton_checksum_clicked()
{
}

void MainWindow::on_pushButton_fog_feature_clicked()
{
}

void MainWindow::on_pushButton_dac_map_clicked()
{
}
