// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware upgrade panel: link choice (frame length), image file choice, the
// transfer's start (after a confirmation) and cancel, and the progress and
// outcome reported by the worker, with the reason of a failure. While a
// transfer runs, nothing else can be sent or the port closed.

#include "mainwindow.h"
#include "receiver.h"
#include "ui_mainwindow.h"

#include "log_ui.h"
#include "upgrade_controls.h"

#include <QFileDialog>
#include <QStringList>
#include <cmath>

void MainWindow::on_pushButton_upgrade_clicked()
{
    // Every refusal the same way: the status line says that the upgrade
    // failed and why, and a box says it too, since the operator is looking
    // at the button, not the status line. Nothing is sent.
    const QString path = ui->lineEdit_image_full_path->text();
    if (path.isEmpty()) {
        showStatus([] { return joinStatus(tr("升级失败！"), tr("未选择固件文件")); });
        showWarning(tr("警告：文件路径不能为空！"));
        return;
    }
    // What the worker would refuse is refused here, before the question.
    receiver::UpgradeFailure refusal = receiver::UpgradeFailure::FileMissing;
    if (UpgradeControls::imageRefused(path, upgrade_frame_length, refusal)) {
        const StatusText text = [refusal] {
            return joinStatus(tr("升级失败！"), UpgradeControls::failureText(refusal, 0));
        };
        showStatus(text);
        showWarning(text(), path);
        return;
    }
    if (!confirm(tr("确定升级固件吗？升级过程中请勿断开连接。")))
        return;
    // No value shown until the transfer reports its first progress point.
    ui->progressBar->reset();
    showStatus([] { return tr("正在升级..."); });
    upgradeControls->started();
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

// A serial link takes frames of 255 bytes (249 of the image), CAN frames
// carry 8 (2 of the image).
void MainWindow::on_radioButton_upgrade_serial_toggled(bool checked)
{
    if (checked)
        setUpgradeFrameLength(255, 249);
}

void MainWindow::on_radioButton_upgrade_can_toggled(bool checked)
{
    if (checked)
        setUpgradeFrameLength(8, 2);
}

void MainWindow::setUpgradeFrameLength(unsigned int frame, unsigned int payload)
{
    upgrade_frame_length = frame;
    upgrade_payload_length = payload;
    qCDebug(lcUi) << "upgrade frame length" << upgrade_frame_length << "payload length" << upgrade_payload_length;
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

void MainWindow::slotUpgradeFailed(receiver::UpgradeFailure reason, unsigned int frame)
{
    // Through the window's own inbox, so that it comes before the result.
    upgradeControls->failed(reason, frame);
}

void MainWindow::slotUpgradeResult(bool result)
{
    const UpgradeControls::Outcome outcome = upgradeControls->finished();
    if (result) {
        showStatus([] { return tr("升级成功！"); });
    } else if (outcome.failureKnown) {
        showStatus([outcome] {
            return joinStatus(tr("升级失败！"), UpgradeControls::failureText(outcome.reason, outcome.frame));
        });
    } else {
        showStatus([] { return tr("升级失败！"); });
    }
    // A file or port the worker refused before sending anything is told like
    // the refusals found here before the question: with a box as well.
    if (outcome.refused())
        showWarning(ui->statusBar->currentMessage(), ui->lineEdit_image_full_path->text());
}
