// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic_panel.h"

#include "named_widget.h"

#include "command_frame.h"
#include "modbus_frame.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TrafficPanel::TrafficPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("trafficPanel"));
    view = namedWidget<QPlainTextEdit>("plainTextEdit_traffic", this);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The oldest lines go once 1,000 are kept.
    view->setMaximumBlockCount(kKeptEntries);
    view->setFont(QFont(QStringLiteral("monospace")));
    copyAllButton = namedWidget<QPushButton>("pushButton_traffic_copy_all", this);
    clearButton = namedWidget<QPushButton>("pushButton_traffic_clear", this);
    connect(copyAllButton, &QPushButton::clicked, this, &TrafficPanel::copyAll);
    connect(clearButton, &QPushButton::clicked, this, &TrafficPanel::clear);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(copyAllButton);
    buttons->addWidget(clearButton);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    layout->addLayout(buttons);
    retranslate();
}

namespace {

// How a value is shown after the exchange's name.
enum class Shown { None, Decimal, Hex, Signed16 };

struct ExchangeName
{
    TrafficKind kind;
    uint16_t id;
    const char *name;   // source text, context "TrafficPanel"
    Shown shown;
};

#define PANEL_TEXT(text) QT_TRANSLATE_NOOP("TrafficPanel", text)

const ExchangeName kNames[] = {
    {TrafficKind::Query, commandframe::IdVersion, PANEL_TEXT("读版本号"), Shown::None},
    {TrafficKind::Query, commandframe::IdFullVersion, PANEL_TEXT("读全版本号"), Shown::None},
    {TrafficKind::Query, commandframe::IdSampleTrig, PANEL_TEXT("单次触发"), Shown::None},
    {TrafficKind::Command, commandframe::IdSoftReset, PANEL_TEXT("复位"), Shown::None},
    {TrafficKind::Command, commandframe::IdFrameRate, PANEL_TEXT("设置帧率"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdOutputFormat, PANEL_TEXT("设置输出格式"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdBaudRate, PANEL_TEXT("设置波特率"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdOutputEn, PANEL_TEXT("设置输出模式"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdFrameChecksumEn, PANEL_TEXT("设置校验和"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdRestoreDefault, PANEL_TEXT("恢复出厂设置"), Shown::None},
    {TrafficKind::Command, commandframe::IdSaveSettings, PANEL_TEXT("保存设置"), Shown::None},
    {TrafficKind::Command, commandframe::IdTransType, PANEL_TEXT("设置通信接口"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdGainAdjust, PANEL_TEXT("设置自动增益"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdCanSndId, PANEL_TEXT("设置CAN发送ID"), Shown::Hex},
    {TrafficKind::Command, commandframe::IdCanRcvId, PANEL_TEXT("设置CAN接收ID"), Shown::Hex},
    {TrafficKind::Command, commandframe::IdCanBaudrate, PANEL_TEXT("设置CAN波特率"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdCustomChoise, PANEL_TEXT("自定义选择"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdCanFrameType, PANEL_TEXT("设置CAN帧类型"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdNearIoValue, PANEL_TEXT("设置近距离IO电平"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdIoDelay, PANEL_TEXT("设置IO延时"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdDistIoThreshold, PANEL_TEXT("设置IO距离阈值"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdFogFeature, PANEL_TEXT("设置雨雾算法"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdOffset, PANEL_TEXT("设置测距偏移"), Shown::Signed16},
    {TrafficKind::Command, commandframe::IdModbusEnable, PANEL_TEXT("使能modbus协议"), Shown::None},
    {TrafficKind::Command, commandframe::IdModbusDevAddr, PANEL_TEXT("设置modbus地址"), Shown::Decimal},
    {TrafficKind::Command, commandframe::IdDacMapType, PANEL_TEXT("设置DAC映射"), Shown::Decimal},
    {TrafficKind::Upgrade, commandframe::IdUpgrade, PANEL_TEXT("固件升级"), Shown::None},
    {TrafficKind::ModbusRead, modbusframe::RegDistance, PANEL_TEXT("Modbus读距离"), Shown::None},
    {TrafficKind::ModbusRead, modbusframe::RegVersion, PANEL_TEXT("Modbus读版本号"), Shown::None},
    {TrafficKind::ModbusWrite, modbusframe::RegSaveConfig, PANEL_TEXT("Modbus保存设置"), Shown::None},
    {TrafficKind::ModbusWrite, modbusframe::RegModbusOff, PANEL_TEXT("关闭modbus协议"), Shown::None},
    {TrafficKind::ModbusWrite, modbusframe::RegBaudHigh, PANEL_TEXT("Modbus设置波特率高16位"), Shown::Decimal},
    {TrafficKind::ModbusWrite, modbusframe::RegBaudLow, PANEL_TEXT("Modbus设置波特率低16位"), Shown::Decimal},
    {TrafficKind::ModbusWrite, modbusframe::RegDevAddr, PANEL_TEXT("Modbus设置设备地址"), Shown::Decimal},
    {TrafficKind::ModbusWrite, modbusframe::RegFrameRate, PANEL_TEXT("Modbus设置采样频率"), Shown::Decimal},
};

QString valueText(uint32_t v, Shown shown)
{
    switch (shown) {
    case Shown::Hex:
        return QStringLiteral("0x") + QString::number(v, 16).toUpper();
    case Shown::Signed16:
        return QString::number(int16_t(uint16_t(v)));
    case Shown::Decimal:
    case Shown::None:
        break;
    }
    return QString::number(v);
}

} // namespace

QString TrafficPanel::nameOf(const TrafficEntry &e)
{
    if (e.kind == TrafficKind::Other)
        return e.name;
    // One register both restarts (1) and shuts down (0) the sensor.
    if (e.kind == TrafficKind::ModbusWrite && e.id == modbusframe::RegPower)
        return e.valueCount > 0 && e.values[0] == 1 ? tr("Modbus重启雷达") : tr("Modbus关闭雷达");
    for (const ExchangeName &n : kNames) {
        if (n.kind != e.kind || n.id != e.id)
            continue;
        QString text = tr(n.name);
        if (n.shown != Shown::None) {
            for (int i = 0; i < e.valueCount && i < 2; ++i)
                text += QLatin1Char(' ') + valueText(e.values[i], n.shown);
        }
        return text;
    }
    // An exchange this panel has no words for: its number, never nothing.
    if (e.kind == TrafficKind::ModbusRead || e.kind == TrafficKind::ModbusWrite)
        return tr("Modbus寄存器 0x%1").arg(e.id, 4, 16, QLatin1Char('0'));
    return tr("命令 0x%1").arg(e.id, 2, 16, QLatin1Char('0'));
}

QString TrafficPanel::hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString TrafficPanel::lineOf(const TrafficEntry &e)
{
    QString outcome;
    if (e.ok)
        outcome = tr("成功");
    else if (e.received.isEmpty())
        outcome = tr("无应答");
    else
        outcome = tr("应答不符");
    QString line = e.time.toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ") + nameOf(e);
    if (e.frames > 0)
        line += QStringLiteral("  ") + QString::number(e.frames) + QLatin1Char(' ') + tr("帧");
    line += QStringLiteral("  ") + tr("发送") + QStringLiteral(": ") + hex(e.sent);
    line += QStringLiteral("  ") + tr("接收") + QStringLiteral(": ") + hex(e.received);
    line += QStringLiteral("  ") + outcome;
    return line;
}

void TrafficPanel::add(const TrafficEntry &entry)
{
    view->appendPlainText(lineOf(entry));
}

QString TrafficPanel::text() const
{
    return view->toPlainText();
}

int TrafficPanel::entryCount() const
{
    return view->document()->isEmpty() ? 0 : view->document()->blockCount();
}

void TrafficPanel::copyAll()
{
    QApplication::clipboard()->setText(view->toPlainText());
}

void TrafficPanel::clear()
{
    view->clear();
}

void TrafficPanel::retranslate()
{
    copyAllButton->setText(tr("全部复制"));
    clearButton->setText(tr("清空"));
}
