// Handlers of the CAN and IO page. Combo choices are matched by text (the
// CAN baud rates are plain, the others translated); text fields must be
// non-empty and are read as base-10 integers without a success check, so a
// non-number or an out-of-range number is sent as 0.

#include "mainwindow.h"
#include "receiver.h"
#include "ui_mainwindow.h"

namespace {

// Low 16 bits of a typed number (a negative offset -10 becomes 0xFFF6).
unsigned short low16(const QString &text)
{
    return static_cast<unsigned short>(text.toInt(nullptr, 10) & 0xFFFF);
}

unsigned int as32(const QString &text)
{
    return static_cast<unsigned int>(text.toInt(nullptr, 10));
}

} // namespace

void MainWindow::on_pushButton_reset_clicked()
{
    const QString prefix = tr("复位");
    const bool ok = worker->send_cmd_id_soft_reset();
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_recover_factory_clicked()
{
    const QString prefix = tr("恢复出厂设置");
    const bool ok = worker->send_cmd_id_restore_default();
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_gain_adjust_clicked()
{
    const QString text = ui->comboBox_gain_adjust->currentText();
    unsigned char value;
    QString prefix;
    // The sensor's flag disables the gain control: "enabled" sends 0.
    if (text == tr("使能")) {
        value = 0;
        prefix = tr("配置自动增益使能");
    } else if (text == tr("不使能")) {
        value = 1;
        prefix = tr("配置自动增益不使能");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_gain_adjust_enable(value);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_can_type_clicked()
{
    const QString text = ui->comboBox_can_type->currentText();
    unsigned char type;
    QString prefix;
    if (text == tr("标准帧")) {
        type = 0;
        prefix = tr("配置CAN标准帧");
    } else if (text == tr("扩展帧")) {
        type = 1;
        prefix = tr("配置CAN扩展帧");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_can_frame_type_config(type);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_can_baudrate_clicked()
{
    const QString text = ui->comboBox_can_baudrate->currentText();
    unsigned int baud;
    QString prefix;
    if (text == QLatin1String("125k")) {
        baud = 125000;
        prefix = tr("配置CAN波特率125K");
    } else if (text == QLatin1String("250k")) {
        baud = 250000;
        prefix = tr("配置CAN波特率250K");
    } else if (text == QLatin1String("500k")) {
        baud = 500000;
        prefix = tr("配置CAN波特率500K");
    } else if (text == QLatin1String("1000000")) {
        baud = 1000000;
        prefix = tr("配置CAN波特率1M");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_can_baudrate(baud);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_can_rcv_id_clicked()
{
    const QString prefix = tr("配置CAN接收ID");
    const QString text = ui->lineEdit_can_rcv_id->text();
    if (text.isEmpty()) {
        showWarning(tr("警告：输入不能为空!"));
        return;
    }
    const bool ok = worker->send_cmd_id_can_rcv_id(as32(text));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_can_snd_id_clicked()
{
    const QString prefix = tr("配置CAN发送ID");
    const QString text = ui->lineEdit_can_snd_id->text();
    if (text.isEmpty()) {
        showWarning(tr("警告：输入不能为空!"));
        return;
    }
    const bool ok = worker->send_cmd_id_can_snd_id(as32(text));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_ofs_config_clicked()
{
    const QString prefix = tr("配置offset");
    const QString text = ui->lineEdit_ofs_config->text();
    if (text.isEmpty()) {
        showWarning(tr("警告：输入不能为空!"));
        return;
    }
    const bool ok = worker->send_cmd_id_offset_config(low16(text));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_IO_level_clicked()
{
    const QString text = ui->comboBox_io_level->currentText();
    unsigned char value;
    QString prefix;
    if (text == tr("高电平")) {
        value = 1;
        prefix = tr("配置IO近距离高电平");
    } else if (text == tr("低电平")) {
        value = 0;
        prefix = tr("配置IO近距离低电平");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_near_io_value(value);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_IO_delay_clicked()
{
    const QString prefix = tr("配置IO delay");
    const QString far = ui->lineEdit_IO_delay_far->text();
    const QString near = ui->lineEdit_IO_delay_near->text();
    if (far.isEmpty() || near.isEmpty()) {
        showWarning(tr("警告：输入不能为空!"));
        return;
    }
    const bool ok = worker->send_cmd_id_io_delay(low16(near), low16(far));
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_dist_threshold_clicked()
{
    const QString prefix = tr("配置IO dist阈值");
    const QString threshold = ui->lineEdit_dist_threshold->text();
    const QString buffer = ui->lineEdit_dist_buffer->text();
    if (threshold.isEmpty() || buffer.isEmpty()) {
        showWarning(tr("警告：输入不能为空!"));
        return;
    }
    const bool ok = worker->send_cmd_id_dist_io_threshold(low16(threshold), low16(buffer));
    showOutcome(prefix, ok);
}
