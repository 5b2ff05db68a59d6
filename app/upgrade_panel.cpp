// Firmware upgrade panel: link choice (frame length), image file choice, start
// of the transfer, and the progress and outcome reported by the worker.

#include "mainwindow.h"
#include "receiver.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFileDialog>
#include <QStringList>
#include <cmath>

void MainWindow::on_pushButton_upgrade_clicked()
{
    const QString path = ui->lineEdit_image_full_path->text();
    if (path.isEmpty()) {
        showWarning(tr("警告：文件路径不能为空！"));
        return;
    }
    // No value shown until the transfer reports its first progress point.
    ui->progressBar->reset();
    showStatus(tr("正在升级..."));
    worker->upgrade(path, upgrade_frame_length);
}

void MainWindow::on_pushButton_browse_clicked()
{
    // A cancelled dialog empties the field on purpose.
    ui->lineEdit_image_full_path->setText(selectImageFile());
}

QString MainWindow::selectImageFile()
{
    QFileDialog dialog(nullptr, tr("打开文件"), QStringLiteral("."));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    if (dialog.exec() == QDialog::Accepted) {
        const QStringList files = dialog.selectedFiles();
        if (!files.isEmpty())
            return files.first();
    }
    return QString();
}

void MainWindow::on_radioButton_upgrade_serial_toggled(bool checked)
{
    if (!checked)
        return;
    upgrade_frame_length = 255;
    upgrade_payload_length = 249;
    qDebug() << "upgrade frame length" << upgrade_frame_length << "payload length" << upgrade_payload_length;
}

void MainWindow::on_radioButton_upgrade_can_toggled(bool checked)
{
    if (!checked)
        return;
    upgrade_frame_length = 8;
    upgrade_payload_length = 2;
    qDebug() << "upgrade frame length" << upgrade_frame_length << "payload length" << upgrade_payload_length;
}

void MainWindow::slotUpdateProcessbar(float value)
{
    const float percent = value * 100;
    // Converting a non-finite or huge float to int is undefined; such a value
    // cannot come from a sound transfer and is ignored.
    if (!std::isfinite(percent) || percent < 0.0f || percent > 100.0f)
        return;
    ui->progressBar->setValue(static_cast<int>(percent));
}

void MainWindow::slotUpgradeResult(bool result)
{
    showStatus(result ? tr("升级成功！") : tr("升级失败！"));
}
