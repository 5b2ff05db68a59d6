// Handlers of the sensor settings page: each reads the operator's choice,
// maps it to a command value, runs one blocking worker call and reports the
// outcome in the status bar. Translated item texts are compared with tr() of
// the same source text so the mapping holds in either interface language.

#include "mainwindow.h"
#include "receiver.h"
#include "ui_mainwindow.h"

void MainWindow::on_pushButton_version_clicked()
{
    bool ok = false;
    const QString version = worker->send_cmd_id_version(ok);
    if (ok)
        showStatus(version);
    else
        showStatus(tr("版本号获取失败"));
}

void MainWindow::on_pushButton_full_version_clicked()
{
    bool ok = false;
    const QString version = worker->send_cmd_id_full_version(ok);
    if (ok)
        showStatus(version.simplified());
    else
        showStatus(tr("新版本号获取失败"));
}

void MainWindow::on_pushButton_save_config_clicked()
{
    const bool ok = worker->send_cmd_id_save_settings();
    showOutcome(tr("保存配置"), ok);
}

void MainWindow::on_pushButton_trig_clicked()
{
    unsigned short dist = 0;
    const bool ok = worker->send_cmd_id_sample_trig(dist);
    showStatus(joinStatus(tr("获取dist"), ok ? tr("成功") : tr("失败")));
    if (ok)
        currentDistance = dist / 100.0;
}

void MainWindow::on_pushButton_fps_clicked()
{
    // No validation by design: a non-number gives 0, larger values wrap to 16 bits.
    const int fps = ui->comboBox_fps_set->currentText().toInt(nullptr, 10);
    const bool ok = worker->send_cmd_id_frame_rate(static_cast<unsigned short>(fps & 0xFFFF));
    showOutcome(tr("设置帧率"), ok);
}

void MainWindow::on_pushButton_trans_clicked()
{
    const QString text = ui->comboBox_lidar_trans->currentText();
    unsigned char type;
    QString prefix;
    if (text == QLatin1String("CAN")) {
        type = 2;
        prefix = tr("配置CAN口");
    } else if (text == tr("串口")) {
        type = 1;
        prefix = tr("配置串口");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_trans_type_config(type);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_output_format_clicked()
{
    const QString text = ui->comboBox_output_format->currentText();
    unsigned char format;
    QString prefix;
    // Values 3 and 4 are not output formats of this sensor and are never sent.
    if (text == QLatin1String("ASCII")) {
        format = 0;
        prefix = tr("配置ASCII码格式");
    } else if (text == QLatin1String("BIN")) {
        format = 1;
        prefix = tr("配置二进制格式");
    } else if (text == QLatin1String("IO")) {
        format = 5;
        prefix = tr("配置IO输出");
    } else if (text == QLatin1String("PIX")) {
        format = 2;
        prefix = tr("配置PIX");
    } else if (text == QLatin1String("RS485")) {
        format = 6;
        prefix = tr("配置RS485");
    } else if (text == QLatin1String("4-20mA")) {
        format = 7;
        prefix = tr("配置4-20mA");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_output_format(format);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_baudrate_clicked()
{
    // The integer's 32 bits are sent as they are; a non-number gives 0.
    const unsigned int baud =
        static_cast<unsigned int>(ui->comboBox_seri_baud->currentText().toInt(nullptr, 10));
    const bool ok = worker->send_cmd_id_baud_rate(baud);
    showOutcome(joinStatus(tr("配置波特率"), ui->comboBox_seri_baud->currentText()), ok);
}

void MainWindow::on_pushButton_output_enable_clicked()
{
    const QString text = ui->comboBox_output_enable->currentText();
    unsigned char enabled;
    QString prefix;
    if (text == tr("连续模式")) {
        enabled = 1;
        prefix = tr("配置连续模式");
    } else if (text == tr("触发模式")) {
        enabled = 0;
        prefix = tr("配置触发模式");
    } else {
        showWarning(tr("警告：非法输入!") + text);
        return;
    }
    const bool ok = worker->send_cmd_id_output_en(enabled);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_checksum_clicked()
{
    const QString text = ui->comboBox_checksum->currentText();
    unsigned char enabled;
    QString prefix;
    if (text == tr("使能")) {
        enabled = 1;
        prefix = tr("配置校验和使能");
    } else if (text == tr("不使能")) {
        enabled = 0;
        prefix = tr("配置校验和不使能");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_frame_checksum_en(enabled);
    showOutcome(prefix, ok);
}

void MainWindow::on_pushButton_fog_feature_clicked()
{
    const QString text = ui->comboBox_fog_feature->currentText();
    unsigned char value;
    // The sensor's flag is a "disable" bit: enabling the algorithm sends 0.
    if (text == tr("使能")) {
        value = 0;
    } else if (text == tr("不使能")) {
        value = 1;
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_fog_feature_enable(value);
    showOutcome(QString(), ok);
}

void MainWindow::on_pushButton_dac_map_clicked()
{
    const QString text = ui->comboBox_dac_map->currentText();
    unsigned char type;
    QString prefix;
    if (text == tr("正向")) {
        type = 0;
        prefix = tr("配置正向映射");
    } else if (text == tr("反向")) {
        type = 1;
        prefix = tr("配置反向映射");
    } else {
        showWarning(tr("警告：非法输入!"));
        return;
    }
    const bool ok = worker->send_cmd_id_dac_map_type(type);
    showOutcome(prefix, ok);
}
