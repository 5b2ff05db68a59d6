#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_radioButton_chinese_toggled(bool checked)
{
    Q_UNUSED(checked);
}

void MainWindow::on_radioButton_english_toggled(bool checked)
{
    Q_UNUSED(checked);
}
