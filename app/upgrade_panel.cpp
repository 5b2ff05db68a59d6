// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware upgrade panel: link choice (frame length), image file choice, the
// transfer's start (after a confirmation) and cancel, and the progress and
// outcome reported by the worker, with the reason of a failure. While a
// transfer runs, nothing else can be sent or the port closed.

#include "mainwindow.h"
#include "receiver.h"
#include "ui_mainwindow.h"

#include "log_ui.h"
#include "upgrade_frame.h"

#include <QFileDialog>
#include <QFileInfo>
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
    if (imageRefused(path, refusal)) {
        const StatusText text = [this, refusal] {
            return joinStatus(tr("升级失败！"), upgradeFailureText(refusal, 0));
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
    showUpgrading(true);
    worker->upgrade(path, upgrade_frame_length);
}

void MainWindow::on_pushButton_upgrade_cancel_clicked()
{
    qCDebug(lcUi) << "upgrade cancelled by the operator";
    worker->cancelUpgrade();
}

// Whether the image at `path` cannot be sent over the chosen link, and why.
bool MainWindow::imageRefused(const QString &path, receiver::UpgradeFailure &reason) const
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        reason = receiver::UpgradeFailure::FileMissing;
    else if (!info.isReadable())
        reason = receiver::UpgradeFailure::FileUnreadable;
    else if (info.size() == 0)
        reason = receiver::UpgradeFailure::FileEmpty;
    else if (!upgradeframe::refusalReason(info.size(), upgrade_frame_length).isEmpty())
        reason = receiver::UpgradeFailure::FileTooLarge;
    else
        return false;
    return true;
}

QString MainWindow::upgradeFailureText(receiver::UpgradeFailure reason, unsigned int frame) const
{
    switch (reason) {
    case receiver::UpgradeFailure::FileMissing:
        return tr("文件不存在或不是普通文件");
    case receiver::UpgradeFailure::FileUnreadable:
        return tr("文件无法读取");
    case receiver::UpgradeFailure::FileEmpty:
        return tr("文件为空");
    case receiver::UpgradeFailure::FileTooLarge:
        return tr("文件过大");
    case receiver::UpgradeFailure::PortClosed:
        return tr("串口未打开");
    case receiver::UpgradeFailure::NoAcknowledgement:
        return tr("第%1帧无应答").arg(frame);
    case receiver::UpgradeFailure::PortLost:
        return tr("串口断开");
    case receiver::UpgradeFailure::Cancelled:
        return tr("已取消");
    }
    return QString();
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

// While a transfer runs only its cancel button is offered: no command, no
// other transfer, no disconnect.
void MainWindow::showUpgrading(bool running)
{
    upgradeRunning = running;
    // The command pages; the upgrade's own page stays.
    for (QWidget *page : {ui->tab, ui->tab_2, ui->tab_3})
        ui->tabWidget_cmd->setTabEnabled(ui->tabWidget_cmd->indexOf(page), !running);
    ui->connectButton->setEnabled(!running);
    for (QWidget *w : {static_cast<QWidget *>(ui->pushButton_upgrade), static_cast<QWidget *>(ui->pushButton_browse),
                       static_cast<QWidget *>(ui->lineEdit_image_full_path),
                       static_cast<QWidget *>(ui->radioButton_upgrade_serial),
                       static_cast<QWidget *>(ui->radioButton_upgrade_can)})
        w->setEnabled(!running);
    ui->pushButton_upgrade_cancel->setEnabled(running);
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
    upgradeFailed = true;
    upgradeFailureReason = reason;
    upgradeFailureFrame = frame;
}

void MainWindow::slotUpgradeResult(bool result)
{
    if (result) {
        showStatus([] { return tr("升级成功！"); });
    } else if (upgradeFailed) {
        showStatus([this, reason = upgradeFailureReason, frame = upgradeFailureFrame] {
            return joinStatus(tr("升级失败！"), upgradeFailureText(reason, frame));
        });
    } else {
        showStatus([] { return tr("升级失败！"); });
    }
    const bool refused = upgradeFailed && isUpgradeRefusal(upgradeFailureReason);
    upgradeFailed = false;
    if (upgradeRunning)
        showUpgrading(false);
    // A file or port the worker refused before sending anything is told like
    // the refusals found here before the question: with a box as well.
    if (refused)
        showWarning(ui->statusBar->currentMessage(), ui->lineEdit_image_full_path->text());
}

bool MainWindow::isUpgradeRefusal(receiver::UpgradeFailure reason)
{
    switch (reason) {
    case receiver::UpgradeFailure::FileMissing:
    case receiver::UpgradeFailure::FileUnreadable:
    case receiver::UpgradeFailure::FileEmpty:
    case receiver::UpgradeFailure::FileTooLarge:
    case receiver::UpgradeFailure::PortClosed:
        return true;
    case receiver::UpgradeFailure::NoAcknowledgement:
    case receiver::UpgradeFailure::PortLost:
    case receiver::UpgradeFailure::Cancelled:
        break;
    }
    return false;
}
