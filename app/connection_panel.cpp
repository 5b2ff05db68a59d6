#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_serialComboBox_currentIndexChanged(QString _selectedName)
{
    Q_UNUSED(_selectedName);
}

void MainWindow::on_baudrateComboBox_currentTextChanged(QString arg1)
{
    Q_UNUSED(arg1);
}

void MainWindow::on_connectButton_clicked()
{
}
