// Handlers of the Modbus page. Every Modbus RTU operation goes to the device
// address in spinBox_mb_dev_addr (low 8 bits); only the baud-rate and the
// sampling-rate handlers parse text, and only the latter validates it.

#include "mainwindow.h"
#include "receiver.h"
#include "ui_mainwindow.h"

namespace {

unsigned char lowByte(int value)
{
    return static_cast<unsigned char>(value & 0xFF);
}

} // namespace

void MainWindow::on_pushButton_mb_read_dist_once_clicked()
{
    const QString prefix = tr("获取距离");
    unsigned short dist = 0;
    const bool ok = worker->send_cmd_id_mb_get_dist(lowByte(ui->spinBox_mb_dev_addr->value()), dist);
    if (ok)
        showStatus(joinStatus(prefix, tr("成功！dist = ").trimmed()) + QLatin1Char(' ') + QString::number(dist));
    else
        showStatus(joinStatus(prefix, tr("失败！")));
}

void MainWindow::on_pushButton_mb_save_config_clicked()
{
    const QString prefix = tr("保存配置");
    const bool ok = worker->send_cmd_id_mb_save_config(lowByte(ui->spinBox_mb_dev_addr->value()));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_mb_baudrate_config_clicked()
{
    const QString prefix = tr("设置串口波特率");
    const unsigned char addr = lowByte(ui->spinBox_mb_dev_addr->value());
    // A non-number gives 0, which is sent unchanged.
    const int baud = ui->comboBox_seri_baud_2->currentText().toInt(nullptr, 10);
    const bool ok = worker->send_cmd_id_mb_baudrate_config(addr, static_cast<unsigned int>(baud));
    showOutcome(joinStatus(prefix, QString::number(ui->comboBox_seri_baud_2->currentText().toInt(nullptr, 10))), ok);
}

void MainWindow::on_pushButton_mb_addr_config_clicked()
{
    const QString prefix = tr("配置modbus地址");
    const unsigned char addr = lowByte(ui->spinBox_mb_dev_addr->value());
    const bool ok = worker->send_cmd_id_mb_dev_addr_config(addr, lowByte(ui->spinBox_mb_dev_addr_2->value()));
    showOutcome(joinStatus(prefix, QString::number(ui->spinBox_mb_dev_addr_2->value())), ok);
}

void MainWindow::on_pushButton_modbus_disable_clicked()
{
    const QString prefix = tr("关闭modbus协议");
    const bool ok = worker->send_cmd_id_mb_modbus_disable(lowByte(ui->spinBox_mb_dev_addr->value()));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_modbus_enable_clicked()
{
    const QString prefix = tr("使能modbus协议");
    const bool ok = worker->send_cmd_id_modbus_enable();
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_mb_addr_clicked()
{
    const QString prefix = tr("设置modbus地址");
    const bool ok = worker->send_cmd_id_modbus_dev_addr_set(lowByte(ui->spinBox_mb_dev_addr_3->value()));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_mb_set_fps_clicked()
{
    const QString prefix = tr("设置采样频率");
    const unsigned char addr = lowByte(ui->spinBox_mb_dev_addr->value());
    const int fps = ui->lineEdit_mb_fps->text().toInt(nullptr, 10);
    if (fps < 1 || fps > 10000) {
        showStatus(tr("采样率设置错误！有效值区间为1~10000！"));
        return;
    }
    const bool ok = worker->send_cmd_id_modbus_set_fps(addr, fps);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_mb_get_version_clicked()
{
    const QString prefix = tr("获取版本号");
    QString version;
    const bool ok = worker->send_cmd_id_modbus_get_version(lowByte(ui->spinBox_mb_dev_addr->value()), version);
    if (ok)
        showStatus(joinStatus(prefix, tr("成功: ").trimmed()) + QLatin1Char(' ') + version);
    else
        showStatus(joinStatus(prefix, tr("失败！")));
}

void MainWindow::on_pushButton_mb_shutdown_clicked()
{
    const QString prefix = tr("关闭雷达");
    const bool ok = worker->send_cmd_id_modbus_shutdown(lowByte(ui->spinBox_mb_dev_addr->value()));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_mb_reboot_clicked()
{
    const QString prefix = tr("重启雷达");
    const bool ok = worker->send_cmd_id_modbus_reboot(lowByte(ui->spinBox_mb_dev_addr->value()));
    showOutcome(prefix, ok);
}
