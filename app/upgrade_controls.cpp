// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade_controls.h"

#include "log_ui.h"
#include "upgrade_frame.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QTabWidget>

UpgradeControls::UpgradeControls(const Widgets &widgets, receiver *worker, QObject *parent)
    : QObject(parent), w(widgets), worker(worker)
{
    setObjectName(QStringLiteral("upgradeControls"));
    connect(w.cancelButton, &QAbstractButton::clicked, this, [this] {
        qCDebug(lcUi) << "upgrade cancelled by the operator";
        this->worker->cancelUpgrade();
    });
}

bool UpgradeControls::imageRefused(const QString &path, unsigned int frameLength, receiver::UpgradeFailure &reason)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        reason = receiver::UpgradeFailure::FileMissing;
    else if (!info.isReadable())
        reason = receiver::UpgradeFailure::FileUnreadable;
    else if (info.size() == 0)
        reason = receiver::UpgradeFailure::FileEmpty;
    else if (!upgradeframe::refusalReason(info.size(), frameLength).isEmpty())
        reason = receiver::UpgradeFailure::FileTooLarge;
    else
        return false;
    return true;
}

QString UpgradeControls::failureText(receiver::UpgradeFailure reason, unsigned int frame)
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

bool UpgradeControls::isRefusal(receiver::UpgradeFailure reason)
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

void UpgradeControls::started()
{
    failure = Outcome();
    lock(true);
}

void UpgradeControls::failed(receiver::UpgradeFailure reason, unsigned int frame)
{
    failure.failureKnown = true;
    failure.reason = reason;
    failure.frame = frame;
}

UpgradeControls::Outcome UpgradeControls::finished()
{
    const Outcome outcome = failure;
    failure = Outcome();
    if (running)
        lock(false);
    return outcome;
}

// While a transfer runs only its cancel button is offered: no command, no
// other transfer, no disconnect.
void UpgradeControls::lock(bool on)
{
    running = on;
    // The command pages; the upgrade's own page stays.
    for (QWidget *page : std::as_const(w.commandPages))
        w.commandTabs->setTabEnabled(w.commandTabs->indexOf(page), !on);
    w.connectButton->setEnabled(!on);
    for (QWidget *input : std::as_const(w.inputs))
        input->setEnabled(!on);
    w.cancelButton->setEnabled(on);
}
