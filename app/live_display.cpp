#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_timeRangeEdit_editingFinished()
{
}

void MainWindow::on_suspendButton_clicked()
{
}

void MainWindow::on_chartClearButton_clicked()
{
}

void MainWindow::slotDisplay(QVector<uint16_t> _dist, int _freq)
{
    Q_UNUSED(_dist);
    Q_UNUSED(_freq);
}

void MainWindow::slotDistUpdate()
{
}

void MainWindow::on_spinBox_dist_num_valueChanged(QString arg1)
{
    Q_UNUSED(arg1);
}
